#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, headless.
# The first call creates the prefix and selects the null graphics driver;
# concurrent first calls wait for each other.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/out/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL="${LC_ALL:-C.UTF-8}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.tordel-ready" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "${TORDEL_WINE_GRAPHICS:-null}" /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.tordel-ready"
  fi
) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
exec wine "$@"
