#!/usr/bin/env bash
# Sets up, builds both targets and runs every test:
#   - the shipped i686 DLL is checked without running it (tools/check-dll.sh);
#   - the release archive is built and checked (tools/release.sh,
#     tools/check-release.sh);
#   - the x86-64 suite runs under 64-bit Wine, on every machine;
#   - the i686 suite runs under 32-bit Wine where this machine can execute
#     32-bit code, and is skipped (saying so) where it cannot;
#   - the Win32-free core runs natively with sanitizers and short fuzzing.
# The i686 suite builds real projects with the real assemblers (the flat
# assembler 1.73 and fasm2) from ../shared/assemblers beside the source tree;
# FASM_EXE and FASM2_CMD name others. The closing lines say which of those
# tests ran, or why they did not.
# Fails when any suite that ran failed.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
find_real_assemblers
bash "$here/tools/build.sh" || exit 1

status=0 passed=0 failed=0 skipped_tests=0 ran=() skipped=()
# Adds up CTest's closing line ("N% tests passed, F tests failed out of T").
count_ctest() {
  local line t f s
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  f=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  # Skipped tests count as neither passed nor failed.
  s=$(grep -cE '^[[:space:]]+[0-9]+ - .*\(Skipped\)$' "$1")
  passed=$((passed + t - f - s)); failed=$((failed + f)); skipped_tests=$((skipped_tests + s))
}

log=$(mktemp -d)
echo "== The shipped DLL and the test vehicle, checked without running them"
bash "$here/tools/check-dll.sh" "$here/out/tordel.dll" i686 | tee "$log/dll32" || status=1
bash "$here/tools/check-dll.sh" "$here/out64/tordel.dll" x86_64 | tee "$log/dll64" || status=1
for f in dll32 dll64; do
  line=$(tail -1 "$log/$f")
  passed=$((passed + $(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
done

echo "== The release archive, built and checked as a user gets it"
if bash "$here/tools/release.sh" >"$log/release-build" 2>&1; then
  bash "$here/tools/check-release.sh" | tee "$log/release" || status=1
  line=$(tail -1 "$log/release")
  passed=$((passed + $(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
else
  cat "$log/release-build"
  echo "check-release: bash tools/release.sh failed, no archive to check"
  status=1 failed=$((failed + 1))
fi

# Stops the Wine servers of a tree's prefixes (tools/wine-run.sh starts them).
stop_wine() {
  local prefix
  for prefix in "$1"/wineprefix*; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  done
  return 0
}

run_wine_suite() {
  local target=$1 tree=$2
  echo "== $target suite ($tree)"
  stop_wine "$tree"
  ( cd "$tree" && ctest --output-on-failure -j2 --timeout 300 ) 2>&1 | tee "$log/$target"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  count_ctest "$log/$target"
  stop_wine "$tree"
}

run_wine_suite x86_64 "$here/out64"
ran+=("x86_64")
if machine_runs_32bit; then
  run_wine_suite i686 "$here/out"
  ran+=("i686")
else
  skipped+=("i686 (this machine cannot execute 32-bit code: /usr/lib/wine/wine does not start)")
fi

echo "== Native core: sanitizers and short fuzzing"
cmake -S "$here" -B "$here/out/native" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null && cmake --build "$here/out/native" -j2 >/dev/null || status=1
( cd "$here/out/native" && ctest --output-on-failure -j2 --timeout 300 ) 2>&1 | tee "$log/native"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count_ctest "$log/native"
ran+=("native")
# The real-assembler tests of the i686 suite, each with its outcome.
real_tests() {
  sed -nE 's/.*Test +#[0-9]+: (Real[A-Za-z0-9_]*Test\.[A-Za-z0-9_]+) \.* *(\*\*\*)?([A-Za-z]+).*/\3 \1/p' "$1" |
    sed -E 's/^(Passed|Skipped) /\L\1\E /; s/^(Failed|Timeout|Exception|Not) /failed /'
}
real_lines=()
if ! machine_runs_32bit; then
  real_lines+=("real assemblers: skipped, this machine cannot execute 32-bit code and both assemblers are 32-bit programs")
else
  mapfile -t real_lines < <(real_tests "$log/i686" | sed 's/^/  /')
  real_lines=("real assemblers: ran in the i686 suite, ${#real_lines[@]} tests; $assemblers_note" "${real_lines[@]}")
  if [ -z "${FASM_EXE:-}${FASM2_CMD:-}" ]; then real_lines[0]="real assemblers: skipped, $assemblers_note"; fi
fi
rm -rf "$log"

echo
printf '%s\n' "${real_lines[@]}"
echo "suites: ran ${ran[*]}; skipped: ${skipped[*]:-none}"
echo "tests: $passed passed, $failed failed, $skipped_tests skipped"
[ "$failed" -eq 0 ] || status=1
exit $status
