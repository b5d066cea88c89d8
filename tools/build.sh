#!/usr/bin/env bash
# Sets up what is missing, then configures and builds the Windows side
# (tordel.dll, host simulator, fixtures, tests) in out/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
cmake -S "$here" -B "$here/out" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/out" -j2 "$@"
