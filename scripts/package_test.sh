#!/usr/bin/env bash
# Tests the built Debian package on its own files: unpacked into a
# temporary root, a C host builds against it through find_package and
# through pkg-config, the Python tests run on its module, library and
# kxpackage, and its manual page names every command and exit status of
# kxpackage --help. Then, as root and where the package is not installed
# already, dpkg -i, kxpackage --help and dpkg -r must leave nothing behind.
#
# usage: package_test.sh PACKAGE_BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh PACKAGE_BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
debs=("$build"/deb/kxdatapackage_*.deb)
deb=${debs[0]}
[[ -f $deb ]] || { echo "no package in $build/deb (run make package)" >&2; exit 1; }
python=/usr/bin/python3
[[ -x $python ]] || python=python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

root=$work/root
dpkg-deb -x "$deb" "$root"
multiarch=$(gcc -print-multiarch)
libdir=$root/usr/lib/$multiarch
export TZ=UTC PYTHONDONTWRITEBYTECODE=1

echo "== C host through find_package"
cmake -S "$source_dir/tests/install_consumer" -B "$work/consumer" \
  -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "$work" | grep -q "consumer ok" || fail "find_package consumer"

echo "== C host through pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root
flags=$(pkg-config --cflags --libs kxdatapackage)
config_dir=$(pkg-config --variable=configdir kxdatapackage)
[[ $config_dir == "$root"/* ]] || config_dir=$root$config_dir  # pkgconf adds the root itself
cc "$source_dir/tests/install_consumer/consumer.c" $flags -DKX_CONFIG_DIR="\"$config_dir\"" \
  -o "$work/consumer-pc"
LD_LIBRARY_PATH=$libdir "$work/consumer-pc" "$work" | grep -q "consumer ok" \
  || fail "pkg-config consumer"
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR

echo "== manual page"
kxpackage=$root/usr/bin/kxpackage
manual=$(zcat "$root/usr/share/man/man1/kxpackage.1.gz")
help=$(LD_LIBRARY_PATH=$libdir "$kxpackage" --help)
for command in $(sed -n '/^commands:/,/^$/p' <<<"$help" | awk '/^  [a-z]/ {print $1}'); do
  grep -q "^\.B kxpackage $command" <<<"$manual" || fail "kxpackage.1 lacks the command $command"
done
statuses=$(LD_LIBRARY_PATH=$libdir "$kxpackage" ios --help | sed -n '/^Exit status/,/^$/p' \
  | grep -oE '(: |, )[0-9]+ ' | grep -oE '[0-9]+')
[[ -n $statuses ]] || fail "no exit statuses in kxpackage ios --help"
for status in $statuses; do
  grep -q "^\.B $status\$" <<<"$manual" || fail "kxpackage.1 lacks the exit status $status"
done

echo "== Python module"
PYTHONPATH=$root/usr/lib/python3/dist-packages KXDATAPACKAGE_LIBRARY=$libdir/libkxdatapackage.so.1 \
  KXPACKAGE=$kxpackage LD_LIBRARY_PATH=$libdir KX_CONFIG_DIR=$libdir \
  KX_EXPECT_MODULE_DIR=$root/usr/lib/python3/dist-packages \
  "$python" -m pytest -q -p no:cacheprovider --basetemp="$work/pytest" "$source_dir/python/tests"

if [[ $(id -u) -ne 0 ]] || dpkg-query -W kxdatapackage >/dev/null 2>&1; then
  echo "== dpkg -i and -r skipped (not root, or kxdatapackage is installed already)"
  exit 0
fi
echo "== dpkg -i, kxpackage --help, dpkg -r"
dpkg -i "$deb" >/dev/null
installed_ok=1
kxpackage --help >/dev/null || installed_ok=0
"$python" -c "import kxdatapackage, sys; kxdatapackage.Library(sys.argv[1])" "$work/logs" \
  || installed_ok=0
dpkg -r kxdatapackage >/dev/null
[[ $installed_ok -eq 1 ]] || fail "the installed package does not run"
left=()
while read -r path; do
  path=/${path#./}
  [[ -d $path && ! -L $path ]] && continue  # folders other packages share
  [[ -e $path || -L $path ]] && left+=("$path")
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)
[[ ! -e /usr/lib/python3/dist-packages/kxdatapackage ]] || left+=(/usr/lib/python3/dist-packages/kxdatapackage)
status=$(dpkg-query -W -f='${db:Status-Status}' kxdatapackage 2>/dev/null || echo not-installed)
[[ $status == not-installed ]] || left+=("the package in state $status")
[[ ${#left[@]} -eq 0 ]] || fail "dpkg -r left behind: ${left[*]}"
echo "package test passed"
