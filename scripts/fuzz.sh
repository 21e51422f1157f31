#!/usr/bin/env bash
# The libFuzzer targets of fuzz/, for `make fuzz` and `make fuzz-keep`.
#
#   scripts/fuzz.sh run    the campaign: installs clang if missing, builds the
#                          fuzzers in FUZZ_DIR, runs each for FUZZ_SECONDS on
#                          a copy of its corpus with the leak check off (after
#                          every input it costs the database targets most of
#                          their time), then replays every input of that
#                          corpus once with the leak check on, and prints a
#                          table; a finding (crash, leak, timeout, out of
#                          memory) is minimised and kept as
#                          fuzz/corpus/<target>/regress-* and the script
#                          exits 1
#   scripts/fuzz.sh smoke  for CI: the same build (clang, the same warnings,
#                          -Werror), each target FUZZ_SECONDS (5) on a copy
#                          of its corpus with the leak check off (the CTest
#                          replays check the corpora for leaks); exits 1 when
#                          the build fails or a target finds something
#   scripts/fuzz.sh keep   merges what the last run found into fuzz/corpus
#                          (only inputs that add coverage)
#
# Settings (environment): FUZZ_DIR (build/fuzz), FUZZ_SECONDS per target (60;
# 5 for smoke), FUZZ_TARGETS (all *_fuzz.cpp), FUZZ_TIMEOUT seconds per input
# (30), FUZZ_RSS_MB memory limit (2048), JOBS (build jobs), FUZZ_PARALLEL
# (targets fuzzed at the same time, 1).
#
# On a machine shared with other work, wall seconds say little about how much
# fuzzing a target got. FUZZ_CPU_SECONDS gives each target a budget of
# processor seconds instead (the fuzzer is interrupted once it has used them),
# and FUZZ_RESUME=1 continues an interrupted campaign: each target keeps its
# work corpus and the processor seconds, executions and starting coverage it
# has had so far, and only runs for what is left of its budget.
set -uo pipefail

cd "$(dirname "$0")/.."
FUZZ_DIR=$(realpath -m "${FUZZ_DIR:-build/fuzz}")
if [[ ${1:-run} == smoke ]]; then
  FUZZ_SECONDS=${FUZZ_SECONDS:-5}
else
  FUZZ_SECONDS=${FUZZ_SECONDS:-60}
fi
FUZZ_TIMEOUT=${FUZZ_TIMEOUT:-30}
FUZZ_RSS_MB=${FUZZ_RSS_MB:-2048}
JOBS=${JOBS:-2}
GENERATOR=$(command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")
WORK=$FUZZ_DIR/work
CORPUS=$PWD/fuzz/corpus

targets() {
  if [[ -n ${FUZZ_TARGETS:-} ]]; then
    echo "$FUZZ_TARGETS"
  else
    (cd fuzz && ls ./*_fuzz.cpp | sed 's|^\./||; s|\.cpp$||')
  fi
}

# A harness's own options ("// libFuzzer options: ..."); small inputs
# otherwise.
options_of() {
  local line
  line=$(sed -n 's|^// libFuzzer options: ||p' "fuzz/$1.cpp" | head -n1)
  echo "${line:--max_len=8192}" -timeout="$FUZZ_TIMEOUT" -rss_limit_mb="$FUZZ_RSS_MB" \
    -malloc_limit_mb="$FUZZ_RSS_MB"
}

fuzzer_links() {
  local probe
  probe=$(mktemp -d)
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
    >"$probe/probe.cpp"
  clang++ -fsanitize=fuzzer,address "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1
  local status=$?
  rm -rf "$probe"
  return $status
}

# Debian's clang; the libFuzzer runtime comes with it on older releases and
# in libclang-rt-<version>-dev on newer ones.
ensure_clang() {
  command -v clang++ >/dev/null 2>&1 || bash scripts/install-deps.sh clang || return 1
  fuzzer_links && return 0
  local version
  version=$(clang++ -dumpversion | cut -d. -f1)
  bash scripts/install-deps.sh "libclang-rt-$version-dev" || return 1
  fuzzer_links || { echo "error: clang++ cannot link -fsanitize=fuzzer" >&2; return 1; }
}

build() {
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_DIR" -G "$GENERATOR" -DCMAKE_BUILD_TYPE=Debug \
    -DKX_BUILD_FUZZ=ON -DKX_BUILD_TESTS=OFF -DKX_BUILD_BENCH=OFF >/dev/null &&
    cmake --build "$FUZZ_DIR" -j"$JOBS" --target kx_fuzzers
}

count_files() { find "$1" -maxdepth 1 -type f 2>/dev/null | wc -l; }

# Minimises each artifact of a run and keeps it as a regression case.
keep_findings() {
  local target=$1 work=$2 found=0 artifact name kept hash
  for artifact in "$work"/artifacts/{crash,leak,timeout,oom}-*; do
    [[ -f $artifact ]] || continue
    name=$(basename "$artifact")
    echo "$target: finding ${name%%-*}: $artifact" >&2
    kept=$work/minimised-$name
    # shellcheck disable=SC2046
    "$FUZZ_DIR/fuzz/$target" $(options_of "$target") -minimize_crash=1 -max_total_time=60 \
      -exact_artifact_path="$kept" "$artifact" >"$work/minimise-$name.log" 2>&1
    [[ -s $kept ]] || kept=$artifact
    hash=$(sha1sum "$kept" | cut -c1-16)
    mkdir -p "$CORPUS/$target"
    cp "$kept" "$CORPUS/$target/regress-$hash"
    echo "$target: kept as fuzz/corpus/$target/regress-$hash (log: $work/fuzz.log)" >&2
    found=$((found + 1))
  done
  echo "$found"
}

# Replays every input of the target's work corpus once with the leak check
# on; a leak (or a crash) is written to the artifacts like a finding of the
# campaign.
replay_with_leak_check() {
  local target=$1 work=$2
  # shellcheck disable=SC2046
  find "$work/corpus" -type f -print0 |
    xargs -0 -r "$FUZZ_DIR/fuzz/$target" $(options_of "$target") -detect_leaks=1 \
      -artifact_prefix="$work/artifacts/" >"$work/replay.log" 2>&1
}

# Processor seconds (user and system) a running process has used so far.
cpu_seconds_of() {
  local ticks
  ticks=$(awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null) || return 1
  echo $((ticks / $(getconf CLK_TCK)))
}

# Runs the fuzzer (its arguments) in the background and interrupts it once it
# has used CPU_BUDGET processor seconds; the fuzzer's own -max_total_time still
# bounds the wall time. Answers the fuzzer's status, the interruption counted
# as a normal end, and leaves the seconds used in $work/cpu_used.
fuzz_with_cpu_budget() {
  local work=$1 budget=$2 pid used=0 now status
  shift 2
  "$@" &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    now=$(cpu_seconds_of "$pid") || break  # it ended between two looks
    used=$now
    if ((used >= budget)); then
      kill -INT "$pid"
      break
    fi
    sleep 1
  done
  wait "$pid"
  status=$?
  echo "$used" >"$work/cpu_used"
  # libFuzzer's exit status after an interruption
  ((status == 72)) && status=0
  return $status
}

# The value of `name` in a target's ledger (what earlier runs of a resumed
# campaign have spent and found), or $3.
ledger_value() {
  local value
  value=$(sed -n "s/^$2=//p" "$1/ledger" 2>/dev/null)
  echo "${value:-$3}"
}

# run_target TARGET MODE: one target for FUZZ_SECONDS (or what is left of its
# FUZZ_CPU_SECONDS), a line of the table.
run_target() {
  local target=$1 mode=$2 work=$WORK/$1 status before findings started seconds
  local budget=${FUZZ_CPU_SECONDS:-} spent_cpu=0 spent_wall=0 spent_execs=0 first_cov=
  if [[ ${FUZZ_RESUME:-0} == 1 && -d $work/corpus ]]; then
    spent_cpu=$(ledger_value "$work" cpu 0)
    spent_wall=$(ledger_value "$work" wall 0)
    spent_execs=$(ledger_value "$work" execs 0)
    first_cov=$(ledger_value "$work" cov_start "")
    before=$(ledger_value "$work" files_before 0)
    rm -rf "$work/artifacts" && mkdir -p "$work/artifacts"
  else
    rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
    [[ -d $CORPUS/$target ]] && cp "$CORPUS/$target"/* "$work/corpus/" 2>/dev/null
    before=$(count_files "$work/corpus")
  fi
  local wall_limit=$FUZZ_SECONDS cpu_limit=$((FUZZ_SECONDS * 1000))
  if [[ -n $budget ]]; then
    cpu_limit=$((budget - spent_cpu))
    if ((cpu_limit <= 0)); then
      echo "== $target: its ${budget} processor seconds are spent" >&2
      print_row "$target" "$work" "$spent_wall" "$spent_cpu" "$spent_execs" "$first_cov" "$before" 0
      return
    fi
    # the wall time only bounds a fuzzer that never gets the processor
    wall_limit=$((cpu_limit * 100))
    echo "== $target: ${cpu_limit} processor seconds" >&2
  else
    echo "== $target: ${FUZZ_SECONDS}s" >&2
  fi
  started=$SECONDS
  # shellcheck disable=SC2046
  fuzz_with_cpu_budget "$work" "$cpu_limit" "$FUZZ_DIR/fuzz/$target" $(options_of "$target") \
    -detect_leaks=0 -max_total_time="$wall_limit" -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/fuzz.log" 2>&1
  status=$?
  seconds=$((SECONDS - started))
  if [[ $mode == run && $status -eq 0 ]]; then
    replay_with_leak_check "$target" "$work" || status=$?
  fi
  findings=$(keep_findings "$target" "$work")
  if [[ $status -ne 0 ]]; then
    [[ $findings -eq 0 ]] && findings=1
    echo "$target: exited with $status; the end of its log ($work/fuzz.log):" >&2
    tail -n 30 "$work/fuzz.log" >&2
    [[ -s $work/replay.log ]] && tail -n 30 "$work/replay.log" >&2
  fi
  local log=$work/fuzz.log execs cov_start cpu
  cov_start=$(grep -m1 'INITED' "$log" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cpu=$(cat "$work/cpu_used" 2>/dev/null || echo 0)
  spent_wall=$((spent_wall + seconds))
  spent_cpu=$((spent_cpu + cpu))
  spent_execs=$((spent_execs + ${execs:-0}))
  first_cov=${first_cov:-$cov_start}
  printf 'cpu=%s\nwall=%s\nexecs=%s\ncov_start=%s\nfiles_before=%s\n' "$spent_cpu" \
    "$spent_wall" "$spent_execs" "$first_cov" "$before" >"$work/ledger"
  print_row "$target" "$work" "$spent_wall" "$spent_cpu" "$spent_execs" "$first_cov" "$before" \
    "$findings"
}

# print_row TARGET WORK WALL CPU EXECS COV_START FILES_BEFORE FINDINGS: a line
# of the table; coverage at the end is the last the fuzzer reported.
print_row() {
  local target=$1 work=$2 wall=$3 cpu=$4 execs=$5 cov_start=$6 before=$7 findings=$8 cov_end rate
  cov_end=$(grep -E '^#[0-9]+' "$work/fuzz.log" 2>/dev/null | grep 'cov: ' | tail -n1 |
    sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  rate=-
  ((cpu > 0)) && rate=$((execs / cpu))
  printf '%s %s %s %s %s %s %s %s %s\n' "$target" "$wall" "$cpu" "$execs" "$rate" \
    "${cov_start:--}" "${cov_end:--}" "$(($(count_files "$work/corpus") - before))" "$findings" \
    >>"$WORK/table"
}

# run_all MODE
run_all() {
  ensure_clang || exit 1
  build || exit 1
  mkdir -p "$WORK" && : >"$WORK/table"
  local running=0
  for target in $(targets); do
    if ((running >= ${FUZZ_PARALLEL:-1})); then
      wait -n
      running=$((running - 1))
    fi
    run_target "$target" "$1" &
    running=$((running + 1))
  done
  wait
  echo
  { echo "target wall_s cpu_s executions exec/cpu_s cov_start cov_end new_files findings"; cat "$WORK/table"; } |
    awk '{ printf "%-26s %7s %6s %10s %10s %9s %7s %9s %8s\n", $1, $2, $3, $4, $5, $6, $7, $8, $9 }'
  ! awk '$9 != 0 { found = 1 } END { exit !found }' "$WORK/table"
}

keep() {
  for target in $(targets); do
    [[ -d $WORK/$target/corpus ]] || continue
    mkdir -p "$CORPUS/$target"
    # shellcheck disable=SC2046
    "$FUZZ_DIR/fuzz/$target" $(options_of "$target") -merge=1 "$CORPUS/$target" \
      "$WORK/$target/corpus" >"$WORK/$target/merge.log" 2>&1 ||
      { echo "$target: merge failed; see $WORK/$target/merge.log" >&2; exit 1; }
    echo "$target: $(count_files "$CORPUS/$target") files in fuzz/corpus/$target"
  done
}

case ${1:-run} in
  run) run_all run ;;
  smoke) run_all smoke ;;
  keep) keep ;;
  *) echo "usage: $0 run|smoke|keep" >&2; exit 2 ;;
esac
