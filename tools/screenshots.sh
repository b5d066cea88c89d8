#!/usr/bin/env bash
# The host simulator as a window, with tordel.dll loaded and the sample FASM
# project (examples/hello) open in an installation laid out like the demo's.
#
#   bash tools/screenshots.sh                 writes docs/screenshots/*.png, headless
#                                             (its own X server, nothing on your screen)
#   bash tools/screenshots.sh --interactive   opens the host on your desktop ($DISPLAY)
#                                             and waits until you close it
#
# Both use the Wine prefix <tree>/wineprefix-x11, whose graphics driver is
# x11; the tests' prefix (<tree>/wineprefix, null driver) is left alone. The
# tree is out/ (the shipped i686 build) where this machine executes 32-bit
# code, out64/ (the x86-64 test build) elsewhere.
# FASM_EXE=/path/to/fasm.exe uses a real flat assembler instead of the stand-in.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
pick_run_target
export TORDEL_TARGET=$run_target
tree="$here/$run_tree"
export WINEPREFIX="$tree/wineprefix-x11"
export TORDEL_WINE_GRAPHICS=x11
export WINEDEBUG="${WINEDEBUG:--all}"
shots="$here/docs/screenshots"

winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

install_tools() {
  local missing=()
  command -v xvfb-run >/dev/null || missing+=(xvfb)
  command -v xwininfo >/dev/null || missing+=(x11-utils)
  command -v import >/dev/null || missing+=(imagemagick)
  # Wine's own fonts: without them caption buttons (Marlett) show letters.
  # (wine makes the fonts folder empty; the package fills it)
  dpkg-query -W -f='${Status}' fonts-wine 2>/dev/null | grep -q "install ok installed" || missing+=(fonts-wine)
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=; [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "== Installing ${missing[*]}"
  $sudo apt-get install -y "${missing[@]}" >/dev/null 2>&1 ||
    { $sudo apt-get update >/dev/null && $sudo apt-get install -y "${missing[@]}" >/dev/null; }
}

# Lays out <tree>/<name>/: the host's folder with the add-in under AddIns and
# its settings beside it, and a copy of the sample project. Sets $args to
# the host's command line that loads the add-in and opens the project.
lay_out() {
  local base="$tree/$1"
  rm -rf "$base"
  mkdir -p "$base/IDE/AddIns" "$base/IDE/ui" "$base/hello"
  # The host's own location decides where the add-in finds the host INI and UI file.
  cp "$tree/tools/hostsim.exe" "$base/IDE/ide.exe"
  cp "$tree/tordel.dll" "$base/IDE/AddIns/tordel.dll"
  cp "$here/examples/hello/"* "$base/hello/"
  cp "$here/examples/ui/tordel.ui" "$base/IDE/ui/tordel.ui" 2>/dev/null || true
  printf '[GENERAL]\r\nUI=English\r\n' > "$base/IDE/ide.ini"
  local assembler
  local fasm=${FASM_EXE:-}
  machine_runs_32bit || fasm=""  # a 32-bit program: the stand-in where it cannot run
  assembler=$(winpath "${fasm:-$tree/tools/fasm.exe}")
  printf '[FASM]\r\nPATH=%s\r\nKeepRC=1\r\n' "$assembler" > "$base/IDE/AddIns/ZIVevUde.Ini"
  local p name id
  p=$(winpath "$base/hello")
  ide="$base/IDE/ide.exe"
  args=(--visible --dll "$(winpath "$base/IDE/AddIns/tordel.dll")" --project "$p\\hello.prj"
        --open "asm:$p\\hello.asm" --open "rc:$p\\hello.rc" --open "bat:$p\\run.bat"
        --resource-script "$p\\hello.rc")
  while read -r _ name id; do args+=(--def "$name=$id"); done \
    < <(tr -d '\r' < "$base/hello/hello.rc" | grep -E '^#define[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]+-?[0-9]+')
  errorLine="$p\\hello.asm ["
}

# The first run in a new prefix creates it (some seconds). This Wine does
# not find its own fonts (fonts-wine) by itself: without Marlett the caption
# buttons show letters, and the dialogs' MS Sans Serif falls back to another
# face. The prefix's Fonts folder is searched.
prepare_prefix() {
  "$here/tools/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" f
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*; do
    [ -e "$fonts/$(basename "$f")" ] || cp "$f" "$fonts/"
  done
}

build() {
  TORDEL_TARGETS=$run_target bash "$here/tools/build.sh" --target tordel hostsim_exe fasm_standin >/dev/null
}

# One picture: starts the host with the given extra options, waits until it
# says that the scene is on the screen, captures the whole screen.
shot() {
  local png="$1"; shift
  local log="$tree/screens/$png.log"
  "$here/tools/wine-run.sh" "$(winpath "$ide")" "${args[@]}" --window 0,0,1024,768 --steady-caret "$@" \
    --exit-after 60000 >"$log" 2>&1 &
  local pid=$! waited=0
  until grep -q '^hostsim: shown' "$log" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null || [ $waited -ge 600 ]; then
      echo "!! $png: the host did not come up; its output:" >&2
      cat "$log" >&2
      kill "$pid" 2>/dev/null || true
      return 1
    fi
    sleep 0.1; waited=$((waited + 1))
  done
  # No window manager: the frame's X window starts below where its title
  # bar would be. The picture is that window's part of the screen, with the
  # menus and dialogs that lie on top of it.
  local geometry
  geometry=$(xwininfo -root -tree | sed -n 's/.*"Host simulator[^"]*": ([^)]*) *\([0-9]*x[0-9]*\)[-+0-9]* *\([-+][0-9]*[-+][0-9]*\)$/\1\2/p' | head -n1)
  import -window root ${geometry:+-crop "$geometry" +repage} "$shots/$png"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "   $png"
}

inside_xvfb() {
  lay_out screens
  mkdir -p "$shots"
  prepare_prefix
  echo "== Pictures in docs/screenshots/ (target $run_reason):"
  local tile=(--activate 0 --arrange tile)
  shot menu-batch-popup.png "${tile[@]}" --show-menu 'Make>BATCH compilation'
  shot build-error.png "${tile[@]}" --cmd build
  shot menu-make-errors.png "${tile[@]}" --cmd build --show-menu 'Make'
  shot error-jump.png --activate 0 --arrange maximize --cmd build --dblclick-text "$errorLine"
  shot setup-dialog.png "${tile[@]}" --show-config
  wineserver -k 2>/dev/null || true
}

case "${1:-}" in
  --inside-xvfb)
    inside_xvfb ;;
  --interactive)
    if [ -z "${DISPLAY:-}" ]; then echo "--interactive needs a desktop (DISPLAY is not set)" >&2; exit 1; fi
    build
    lay_out ide
    prepare_prefix
    echo "== Host simulator with tordel.dll ($run_reason): $tree/ide/IDE/ide.exe (close its window to end)"
    "$here/tools/wine-run.sh" "$(winpath "$ide")" "${args[@]}" --activate 0 --arrange tile ;;
  "")
    install_tools
    build
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside-xvfb ;;
  *)
    echo "usage: bash tools/screenshots.sh [--interactive]" >&2; exit 2 ;;
esac
