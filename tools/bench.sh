#!/usr/bin/env bash
# Builds the add-in and its benchmark and runs the benchmark under
# Wine, printing one table: each row the add-in's figure, the baseline's
# figure from the same run, their ratio and the target. Arguments go to the
# benchmark (e.g. --quick, --reps 9, --only 1,2). Takes 5 to 10 minutes;
# progress goes to stderr.
# It runs the shipped i686 build where this machine executes 32-bit code and
# the x86-64 test build elsewhere; the first line names the target. The row
# with the real flat assembler runs where FASM_EXE or ../shared/assemblers
# has one and the machine can execute it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
pick_run_target
# The real flat assembler's row builds its own source from ../shared/assemblers.
find_real_assemblers
TORDEL_TARGETS=$run_target bash "$here/tools/build.sh" --target tordel_bench >/dev/null
export TORDEL_TARGET=$run_target
export WINEPREFIX="${WINEPREFIX:-$here/$run_tree/wineprefix}"  # a prefix of its own keeps other runs from stopping it
echo "tordel benchmark - target $run_reason;"
echo "  $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(/usr/lib/wine/wine64 --version 2>/dev/null)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
# The add-in as it was before runs waited on the pipe instead of polling,
# built from git for the rows that itemise a build's own time against it.
baseline_rev=${TORDEL_BENCH_BASELINE:-beb27b6}
baseline_dll="$here/$run_tree/bench/tordel_baseline.dll"
baseline=()
if git -C "$here" cat-file -e "$baseline_rev^{commit}" 2>/dev/null; then
  src=$(mktemp -d)
  git -C "$here" archive "$baseline_rev" | tar -x -C "$src"
  if cmake -S "$src" -B "$src/out" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-$run_target.cmake" \
       -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build "$src/out" --target tordel -j2 >/dev/null; then
    cp "$src/out/tordel.dll" "$baseline_dll"
    baseline=(--baseline-dll "Z:$(echo "$baseline_dll" | sed 's|/|\\|g')")
  fi
  rm -rf "$src"
fi
status=0
table=$(mktemp)
"$here/tools/wine-run.sh" "$here/$run_tree/bench/tordel_bench.exe" "${baseline[@]}" "$@" | tee "$table" || status=$?
# A wineserver stopped under it (another run's "wineserver -k" on the same
# prefix) ends the benchmark without a table and without an error code.
if ! grep -q '^| Measured' "$table"; then
  echo "bench: no table was printed; was the Wine prefix stopped by another run?" >&2
  status=1
fi
rm -f "$table"
echo "load average afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
