#!/usr/bin/env bash
# Longer fuzzing of the Win32-free core than CTest's few seconds.
#
#   tools/fuzz-long.sh [seconds-per-target] [target...]
#
# Builds the native part in out/native, then runs each fuzz target (all of
# them unless named, e.g. output_line) for the given time (default 300), two
# at a time. What the fuzzers learn accumulates in out/fuzz-long/corpus/<name>
# across runs; the seeds in tests/fuzz are read but never written. Logs and
# crash files of this run go to out/fuzz-long/<date-time>/<name>/.
#
# A crash file is a finding: make it a regression test in
# tests/native/core_test.cpp and copy it into tests/fuzz/<name>/.
#
# Exit status: 0 when no target found anything, 1 otherwise.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
shift || true
case $seconds in
  '' | *[!0-9]*) echo "fuzz-long: seconds must be a number, not '$seconds'" >&2; exit 2 ;;
esac
jobs=${FUZZ_JOBS:-2}
build=$root/out/native
scratch=$root/out/fuzz-long
run_dir=$scratch/$(date +%Y%m%d-%H%M%S)

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null ||
  { echo "fuzz-long: configuring failed" >&2; exit 2; }

if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for f in "$root"/tests/native/fuzz_*.cpp; do
    n=$(basename "$f" .cpp)
    names+=("${n#fuzz_}")
  done
fi
targets=()
for n in "${names[@]}"; do targets+=("fuzz_$n"); done
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null ||
  { echo "fuzz-long: building failed; run: cmake --build $build --target ${targets[*]}" >&2; exit 2; }

# Same as the options the CTest runs use, where a target has any.
extra_options() {
  case $1 in
    rc_record) echo "-max_len=73" ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local name=$1 dir=$run_dir/$1 corpus=$scratch/corpus/$1
  mkdir -p "$dir" "$corpus"
  # shellcheck disable=SC2046
  "$build/tests/native/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 $(extra_options "$name") -artifact_prefix="$dir/" \
    "$corpus" "$root/tests/fuzz/$name" >"$dir/log.txt" 2>&1
  echo $? >"$dir/status"
}

echo "fuzz-long: ${#names[@]} target(s), ${seconds}s each, $jobs at a time; logs in $run_dir"
running=0
for n in "${names[@]}"; do
  run_one "$n" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

found=0
printf '%-14s %14s %8s %8s  %s\n' target executions exec/s corpus result
for n in "${names[@]}"; do
  dir=$run_dir/$n
  log=$dir/log.txt
  status=$(cat "$dir/status" 2>/dev/null || echo "?")
  runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  units=$(find "$scratch/corpus/$n" -type f | wc -l)
  artifacts=$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' -o -name 'slow-unit-*' \) | sort)
  if [ -n "$artifacts" ] || [ "$status" != 0 ]; then
    found=1
    result="FOUND (exit $status):"
    [ -n "$artifacts" ] && result="$result $(echo "$artifacts" | tr '\n' ' ')"
    [ -z "$artifacts" ] && result="$result no artifact, see $log"
  else
    result="nothing found"
  fi
  printf '%-14s %14s %8s %8s  %s\n' "$n" "${runs:-?}" "${rate:-?}" "$units" "$result"
done
exit $found
