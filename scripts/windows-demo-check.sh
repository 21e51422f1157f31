#!/usr/bin/env bash
# Runs `kxpackage.exe demo` of the Windows build under wine64, from the
# folder a host ships (the DLL and KxDataConfiger.db beside it), and
# `kxpackage demo` of the Linux build, and compares what they wrote: the same
# files, and every JSON document equal once the output folder and the path
# separator are taken out. Both run with TZ=UTC.
#
#   scripts/windows-demo-check.sh WINDOWS_BUILD_DIR [LINUX_KXPACKAGE]
set -euo pipefail
windows_dir=$(realpath "$1")
linux_kxpackage=${2:-build/asan/tools/kxpackage/kxpackage}
wine=${KX_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
export TZ=UTC

if [[ ! -x $linux_kxpackage ]]; then
  echo "error: no Linux kxpackage at $linux_kxpackage (make test builds it)" >&2
  exit 1
fi
work=$windows_dir/demo-check
rm -rf "$work"
mkdir -p "$work"
cmake --install "$windows_dir" --prefix "$work/dist" >/dev/null

# The Windows side is given a Windows path: a drive letter and "\".
windows_out=$(winepath -w "$work/windows")
"$wine" "$work/dist/bin/kxpackage.exe" demo -o "$windows_out" >"$work/windows.log" 2>&1 ||
  { cat "$work/windows.log"; echo "error: kxpackage.exe demo failed" >&2; exit 1; }
"$linux_kxpackage" demo -o "$work/linux" >"$work/linux.log" 2>&1 ||
  { cat "$work/linux.log"; echo "error: kxpackage demo failed" >&2; exit 1; }

# A document with the output folder written as ROOT and "/" between names.
normalise() {
  local root=$1 file=$2
  python3 - "$root" "$file" <<'PY'
import json, sys
root, path = sys.argv[1], sys.argv[2]
RUN_MEMBERS = {"seconds", "started", "finished", "command_line", "time_zone", "sha256"}
# Paths: under the output folder, or a member that names a path or folder.
def walk(value, key=""):
    if isinstance(value, str):
        text = value.replace(root, "ROOT") if root else value
        is_path = text.startswith("ROOT") or any(w in key.lower() for w in ("path", "folder"))
        return text.replace("\\", "/") if is_path else text
    if isinstance(value, list):
        if key == "staged":  # output files: their sizes hold the host's paths too
            return sorted(entry.get("path", "").replace("\\", "/") for entry in value)
        return [walk(v, key) for v in value]
    if isinstance(value, dict):
        # What describes the run rather than the data may differ: how long a
        # data type took, when and how the tool was started, the host's
        # name for its time zone, and file digests (output holds the host's
        # paths; the samples' gzip headers name the system that wrote them).
        return {k: walk(v, k) for k, v in value.items() if k not in RUN_MEMBERS}
    return value
with open(path, encoding="utf-8") as f:
    print(json.dumps(walk(json.load(f)), indent=1, sort_keys=True, ensure_ascii=False))
PY
}

# The documents a host builds itself (music and video, the Kx photo
# database, the stores of older phones): their request documents, which the
# sample set writes with each build's own paths, run through `request`.
run_requests() {
  local requests=$1/sample/ios-host/requests
  shift
  "$@" $(ls "$requests"/*.json)
}
windows_requests=()
for file in "$work/windows/sample/ios-host/requests"/*.json; do
  windows_requests+=("$(winepath -w "$file")")
done
"$wine" "$work/dist/bin/kxpackage.exe" request "${windows_requests[@]}" \
  -o "$(winepath -w "$work/windows/requests")" >"$work/windows-requests.log" 2>&1 || true
run_requests "$work/linux" "$linux_kxpackage" request -o "$work/linux/requests" \
  >"$work/linux-requests.log" 2>&1 || true

compared=0
differing=0
# Compares the files under `folder` of both runs.
compare_folder() {
  local folder=$1 linux_files windows_files
  linux_files=$(cd "$work/linux/$folder" && find . -type f | sort)
  windows_files=$(cd "$work/windows/$folder" && find . -type f | sort)
  if [[ $linux_files != "$windows_files" ]]; then
    diff <(echo "$linux_files") <(echo "$windows_files") | head -40
    echo "error: the Windows build wrote other files than the Linux build in $folder" >&2
    exit 1
  fi
  while read -r file; do
    [[ $file == *.json ]] || continue
    if ! diff -u <(normalise "$work/linux" "$work/linux/$folder/$file") \
                 <(normalise "$windows_out" "$work/windows/$folder/$file") >"$work/diff.txt"; then
      echo "differs: $folder/$file"
      head -30 "$work/diff.txt"
      differing=$((differing + 1))
    fi
    compared=$((compared + 1))
  done <<<"$linux_files"
}
compare_folder output
compare_folder requests
echo "windows-demo: $((compared - differing)) passed, $differing failed"
[[ $differing -eq 0 ]]
