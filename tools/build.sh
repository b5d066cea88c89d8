#!/usr/bin/env bash
# Sets up what is missing, then configures and builds the Windows side
# (tordel.dll, host simulator, fixtures, tests, benchmark) for both targets:
#   out/    i686, the shipped 32-bit DLL
#   out64/  x86_64, the same sources as a test vehicle
# TORDEL_TARGETS="x86_64" (or "i686") builds only that one. Further
# arguments go to cmake --build (e.g. --target tordel).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
for target in ${TORDEL_TARGETS:-i686 x86_64}; do
  case "$target" in
    i686) tree="$here/out" ;;
    x86_64) tree="$here/out64" ;;
    *) echo "build: unknown target '$target' (i686 or x86_64)" >&2; exit 2 ;;
  esac
  cmake -S "$here" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$target.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$tree" -j2 "$@"
done
