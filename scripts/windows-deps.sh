#!/usr/bin/env bash
# Builds the libraries the Windows (x64) build links into one prefix, as
# static libraries made with Debian's mingw-w64 from Debian's own source
# packages, at the very versions the Linux build uses (the installed -dev
# packages). A library already built at that version is skipped.
#
#   scripts/windows-deps.sh [tests]     tests: GoogleTest as well
#
# KX_WINDOWS_ROOT (default build/windows) holds src/ and prefix/.
set -euo pipefail
cd "$(dirname "$0")/.."

root=$(realpath -m "${KX_WINDOWS_ROOT:-build/windows}")
src=$root/src
prefix=$root/prefix
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
jobs=${JOBS:-2}
host=x86_64-w64-mingw32
mkdir -p "$src" "$prefix/lib" "$prefix/include"
export KX_WINDOWS_PREFIX=$prefix
# Other builds share the machine: ours yield to them.
build=(nice -n 10)

# -dev packages whose source is built; OpenSSL first, since it builds in
# the background (below).
libraries=(libssl-dev zlib1g-dev libsqlite3-dev libjsoncpp-dev libpugixml-dev libplist-dev)
[[ ${1:-} == tests ]] && libraries+=(libgtest-dev)

# apt-get source needs a deb-src entry for the archive the packages come from.
ensure_source_index() {
  if grep -rqsE '^[[:space:]]*(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  local list=/etc/apt/sources.list.d/kxdatapackage-src.sources entries
  echo "Adding deb-src entries for Debian's archive ($list)" >&2
  entries=$(mktemp)
  {
    for file in /etc/apt/sources.list.d/*.sources; do
      [[ -e $file ]] || continue
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /(^|\n)Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file"
    done
    if [[ -f /etc/apt/sources.list ]]; then
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list
    fi
  } > "$entries"
  install -m 644 "$entries" "$list"
  rm -f "$entries"
  apt-get update -qq >&2
}

# The source folder of a -dev package's source at its installed version. An
# installed version the archive no longer holds (a security update since
# replaced) gives way to the newest source the archive has, as a fresh
# machine would install.
fetch_source() {
  local dev=$1 name installed version
  read -r name installed < <(dpkg-query -W -f='${source:Package} ${source:Version}\n' "$dev")
  source_folder "$name" "$installed" >/dev/null || ensure_source_index
  for version in "$installed" $(apt-cache madison "$name" 2>/dev/null |
                                awk -F' *[|] *' '/Sources/ { print $2 }' | sort -rV); do
    if source_folder "$name" "$version" >/dev/null ||
       (cd "$src" && apt-get source -qq "$name=$version" >/dev/null 2>&1); then
      [[ $version == "$installed" ]] ||
        echo "note: $name $installed is not in the archive; building $version" >&2
      echo "$(source_folder "$name" "$version") $name $version"
      return
    fi
  done
  echo "error: no source of $name in the archive (apt-get source $name=$installed)" >&2
  exit 1
}

# dpkg-source unpacks NAME_EPOCH:UPSTREAM-REVISION into NAME-UPSTREAM.
source_folder() {
  local upstream=${2#*:}
  upstream=${upstream%-*}
  local folder=$src/$1-$upstream
  [[ -d $folder ]] && echo "$folder"
}

cmake_library() {
  local folder=$1
  shift
  "${build[@]}" cmake -S "$folder" -B "$folder/build-windows" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKX_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  "${build[@]}" cmake --build "$folder/build-windows" -j"$jobs" >/dev/null
  cmake --install "$folder/build-windows" >/dev/null
}

# Debian's source leaves out zlib's Windows makefiles; its library is the
# sources at the top of the tree.
build_zlib() {
  local folder=$1 objects=() name
  mkdir -p "$folder/build-windows"
  for name in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
              inftrees trees uncompr zutil; do
    "${build[@]}" $host-gcc-posix -O2 -c "$folder/$name.c" -o "$folder/build-windows/$name.obj"
    objects+=("$folder/build-windows/$name.obj")
  done
  rm -f "$prefix/lib/libz.a"
  $host-ar rcs "$prefix/lib/libz.a" "${objects[@]}"
  install -m 644 "$folder/zlib.h" "$folder/zconf.h" "$prefix/include/"
}

# The amalgamation is generated on this machine (tclsh and the host
# compiler), then compiled for Windows with the options Debian builds with.
build_sqlite3() {
  local folder=$1
  if [[ ! -f $folder/build-native/sqlite3.c ]]; then
    mkdir -p "$folder/build-native"
    (cd "$folder/build-native" && "${build[@]}" ../configure -q --disable-tcl >/dev/null &&
      "${build[@]}" make -s sqlite3.c >/dev/null)
  fi
  local flags=(-O2 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_FTS3_PARENTHESIS
               -DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_RTREE -DSQLITE_ENABLE_DBSTAT_VTAB
               -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_MATH_FUNCTIONS
               -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_MAX_VARIABLE_NUMBER=250000 -DSQLITE_THREADSAFE=1)
  "${build[@]}" $host-gcc-posix "${flags[@]}" -c "$folder/build-native/sqlite3.c" -o "$folder/build-native/sqlite3.obj"
  rm -f "$prefix/lib/libsqlite3.a"
  $host-ar rcs "$prefix/lib/libsqlite3.a" "$folder/build-native/sqlite3.obj"
  install -m 644 "$folder/build-native/sqlite3.h" "$folder/build-native/sqlite3ext.h" "$prefix/include/"
}

build_libjsoncpp() {
  cmake_library "$1" -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF -DJSONCPP_WITH_TESTS=OFF \
    -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=ON
}

build_pugixml() { cmake_library "$1" -DPUGIXML_BUILD_TESTS=OFF; }

# Debian's source is the bare repository tree: configure is made here.
build_libplist() {
  local folder=$1
  [[ -x $folder/configure ]] || (cd "$folder" && "${build[@]}" autoreconf -fi >/dev/null 2>&1)
  mkdir -p "$folder/build-windows"
  (cd "$folder/build-windows" &&
    "${build[@]}" ../configure -q --host=$host --prefix="$prefix" --enable-static --disable-shared \
      --without-cython CC=$host-gcc-posix CXX=$host-g++-posix >/dev/null &&
    "${build[@]}" make -s -j"$jobs" >/dev/null && make -s install >/dev/null)
  # Its sources mark every function dllexport on Windows, static build or
  # not; linked into our DLL they would all be exported beside the six.
  # The linker directives go, the code stays.
  $host-objcopy --remove-section .drectve "$prefix/lib/libplist-2.0.a"
  $host-objcopy --remove-section .drectve "$prefix/lib/libplist++-2.0.a"
}

# kxpackage.exe uses libcrypto's AES (CBC and key wrap), SHA-1, SHA-256,
# PBKDF2 and random bytes, nothing of TLS: only libcrypto is built, without
# the algorithms and protocols nothing here calls ("no-bulk" drops most of
# them at once), programs, tests or documentation. That is a fraction of
# the full build.
build_openssl() {
  local folder=$1
  mkdir -p "$folder/build-windows"
  (cd "$folder/build-windows" &&
    CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib RC=$host-windres \
      "${build[@]}" perl ../Configure mingw64 no-shared no-module no-dso no-tests no-bulk no-legacy \
      no-deprecated no-engine no-sock no-scrypt no-sm2 no-gost no-rfc3779 no-uplink \
      --prefix="$prefix" --libdir=lib >/dev/null &&
    "${build[@]}" make -s -j"$jobs" build_generated >/dev/null &&
    "${build[@]}" make -s -j"$jobs" libcrypto.a >/dev/null)
  mkdir -p "$prefix/include/openssl"
  install -m 644 "$folder"/include/openssl/*.h "$folder"/build-windows/include/openssl/*.h \
    "$prefix/include/openssl/"
  install -m 644 "$folder/build-windows/libcrypto.a" "$prefix/lib/"
}

build_googletest() {
  cmake_library "$1" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF
}

# Each library is built once per version (a stamp in the prefix). OpenSSL,
# the longest, builds beside the others: their configure scripts and
# single-file compiles leave cores idle that it fills.
build_one() {
  local folder=$1 name=$2 version=$3 start=$SECONDS
  echo "Building $name $version for Windows"
  "build_${name//-/_}" "$folder"
  touch "$prefix/.built-$name-${version//:/_}"
  echo "  $name: $((SECONDS - start)) s"
}

background=()
for dev in "${libraries[@]}"; do
  read -r folder name version < <(fetch_source "$dev")
  [[ -f $prefix/.built-$name-${version//:/_} ]] && continue
  if [[ $name == openssl ]]; then
    build_one "$folder" "$name" "$version" &
    background+=($!)
  else
    build_one "$folder" "$name" "$version"
  fi
done
for pid in "${background[@]}"; do
  wait "$pid"
done
