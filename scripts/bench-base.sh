#!/usr/bin/env bash
# Builds the benchmark programs of a base revision and of the working tree,
# for comparing the two (scripts/bench-documents.sh, scripts/bench.py
# --base-build).
#
#   scripts/bench-base.sh BASE
#
# The base revision's sources are exported to $BENCH_DIR-base with this
# tree's bench/ and samples/ folders copied over them, so both builds run
# the same benchmarks on the same generated stores and only the library
# differs. The base is built in $BENCH_DIR-base/build/bench (the same depth
# below its source as $BENCH_DIR, so the compiler cache serves the files
# both trees share), the working tree in $BENCH_DIR; only the bench
# programs and what they need are built. A program that does not build on
# one side is left out of that side and named in its build folder's
# bench-failed file, so that the other programs still run.
set -euo pipefail

base=${1:?usage: bench-base.sh BASE}
bench_dir=${BENCH_DIR:-build/bench}
jobs=${JOBS:-2}
cd "$(git rev-parse --show-toplevel)"
base_src=$bench_dir-base
generator=$(command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
keep_going=-k
[[ $generator == Ninja ]] && keep_going="-k 0"
programs=()
for source in bench/*_bench.cpp; do programs+=("$(basename "$source" .cpp)"); done

build_programs() {  # source folder, build folder
  local failed=$2/bench-failed program
  echo "building the bench programs of $1 in $2"
  cmake -S "$1" -B "$2" -G "$generator" -DCMAKE_BUILD_TYPE=Release -DKX_BUILD_TESTS=OFF \
    -DKX_BUILD_BENCH=ON >/dev/null
  rm -f "$failed"
  # shellcheck disable=SC2086  # keep_going is one or two words
  if cmake --build "$2" -j"$jobs" --target "${programs[@]}" -- $keep_going; then return; fi
  # One at a time, so that a program that no longer builds leaves no stale
  # binary behind and is named.
  for program in "${programs[@]}"; do
    if ! cmake --build "$2" -j"$jobs" --target "$program" >/dev/null 2>&1; then
      rm -f "$2/bench/$program"
      echo "$program" >>"$failed"
    fi
  done
  [[ -s $failed ]] && echo "did not build in $2: $(tr '\n' ' ' <"$failed")" >&2
  return 0
}

# The export replaces the sources, not the build folder inside it. Its files
# are dated now (tar -m): with the commit's dates, a source of another base
# could be older than the object built from the last one, and not rebuilt.
mkdir -p "$base_src"
find "$base_src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
git archive "$base" | tar -x -m -C "$base_src"
for folder in bench samples; do
  rm -rf "${base_src:?}/$folder"
  cp -r "$folder" "$base_src/$folder"
done
git rev-parse "$base" >"$base_src/REVISION"
build_programs "$base_src" "$base_src/build/bench"
build_programs . "$bench_dir"
