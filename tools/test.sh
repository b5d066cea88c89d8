#!/usr/bin/env bash
# Sets up, builds and runs every test: the add-in and its tools under Wine,
# then the Win32-free core natively with sanitizers and short fuzzing runs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/build.sh"
status=0
# A wineserver kept running spares every test program Wine's cold start.
"$here/tools/wine-run.sh" cmd.exe /c "exit 0" >/dev/null 2>&1 || true
WINEPREFIX="$here/out/wineprefix" wineserver -p 2>/dev/null || true
( cd "$here/out" && ctest --output-on-failure -j2 --timeout 300 ) || status=1

cmake -S "$here" -B "$here/out/native" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$here/out/native" -j2
( cd "$here/out/native" && ctest --output-on-failure -j2 --timeout 300 ) || status=1

WINEPREFIX="$here/out/wineprefix" wineserver -k 2>/dev/null || true
exit $status
