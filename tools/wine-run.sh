#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in the prefix of its build tree.
#   TORDEL_TARGET=i686 (default)  out/wineprefix,   the 32-bit loader
#   TORDEL_TARGET=x86_64          out64/wineprefix, the 64-bit loader, called
#                                 directly: Debian's wine script picks the
#                                 32-bit one whenever wine32 is installed
# The first call creates the prefix and selects the null graphics driver;
# concurrent first calls wait for each other. The program sees
# TORDEL_RUNS_32BIT=1 or 0: whether this machine can execute 32-bit code.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
target="${TORDEL_TARGET:-i686}"
case "$target" in
  x86_64)
    export WINEPREFIX="${WINEPREFIX:-$here/out64/wineprefix}"
    export WINELOADER=/usr/lib/wine/wine64
    loader=(/usr/lib/wine/wine64) ;;
  i686)
    export WINEPREFIX="${WINEPREFIX:-$here/out/wineprefix}"
    loader=(wine) ;;
  *) echo "wine-run: unknown TORDEL_TARGET '$target' (i686 or x86_64)" >&2; exit 2 ;;
esac
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL="${LC_ALL:-C.UTF-8}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if machine_runs_32bit; then export TORDEL_RUNS_32BIT=1; else export TORDEL_RUNS_32BIT=0; fi
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.tordel-ready" ]; then
    "${loader[@]}" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "${loader[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "${TORDEL_WINE_GRAPHICS:-null}" /f \
      </dev/null >/dev/null 2>&1 9>&-
    wineserver -w
    touch "$WINEPREFIX/.tordel-ready"
  fi
  # A server that outlives each program spares the next one Wine's cold
  # start. It exits by itself a while after its last program. Wine's own
  # services start with the first program of a new server and keep its
  # standard handles: started here, they hold no pipe of a caller's (CTest
  # waits for every holder of a test's output pipe).
  # Neither may inherit the lock (fd 9) or a caller's output.
  if wineserver -p"${TORDEL_WINE_LINGER:-30}" </dev/null >/dev/null 2>&1 9>&-; then
    "${loader[@]}" cmd.exe /c "exit 0" </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
exec "${loader[@]}" "$@"
