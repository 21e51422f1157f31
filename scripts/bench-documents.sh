#!/usr/bin/env bash
# Compares the documents the benchmarks' stores package into, between a base
# revision and the working tree, in three time zones: a change that is only
# meant to be faster must leave every byte as it was.
#
#   scripts/bench-documents.sh [BASE]        (BASE: a git revision, main by default)
#
# Both builds come from scripts/bench-base.sh: the base revision with this
# tree's bench/ and samples/ over it, so both run the same benchmarks on the
# same generated stores and only the library differs. Every
# *_bench program runs at KX_BENCH_SCALE=tiny with KX_BENCH_DOCUMENTS set; the
# documents (the work folder's path replaced by WORK) are then compared
# whole with diff -r. Exits 1 when any differs or none was written.
set -euo pipefail

base=${1:-main}
bench_dir=${BENCH_DIR:-build/bench}
jobs=${JOBS:-2}
root=$(git rev-parse --show-toplevel)
cd "$root"
base_src=$bench_dir-base
base_build=$base_src/build/bench
zones=(UTC America/St_Johns Asia/Kathmandu)

BENCH_DIR=$bench_dir JOBS=$jobs bash scripts/bench-base.sh "$base"

out=$bench_dir/documents
rm -rf "$out" "$out.log"
status=0
for zone in "${zones[@]}"; do
  for side in base work; do
    programs=$bench_dir/bench
    [[ $side == base ]] && programs=$base_build/bench
    for program in "$programs"/*_bench; do
      echo "$side $zone: $(basename "$program")"
      TZ=$zone KX_BENCH_SCALE=tiny KX_BENCH_DOCUMENTS="$out/$side/$zone" "$program" \
        >>"$out.log" 2>&1 || { echo "error: $program failed (see $out.log)" >&2; status=1; }
    done
  done
done

for zone in "${zones[@]}"; do
  count=$(find "$out/work/$zone" -type f 2>/dev/null | wc -l)
  if [[ $count -eq 0 ]]; then
    echo "$zone: no documents were written" >&2
    status=1
  elif diff -r -q "$out/base/$zone" "$out/work/$zone"; then
    echo "$zone: $count documents byte-identical to $base"
  else
    echo "$zone: documents differ from $base (diff -r $out/base/$zone $out/work/$zone)" >&2
    status=1
  fi
done
exit $status
