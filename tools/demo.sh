#!/usr/bin/env bash
# The main job: sets up and builds what is missing, lays out a host
# installation in out/demo/, loads tordel.dll into the host simulator, opens
# the sample FASM project, builds it, double-clicks the error line, and runs
# the project's batch file with Redirect OUT on. It prints what a user sees.
# FASM_EXE=/path/to/fasm.exe uses a real flat assembler for Windows instead
# of the stand-in.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/build.sh" >/dev/null

winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

demo="$here/out/demo"
rm -rf "$demo"
mkdir -p "$demo/IDE/AddIns" "$demo/IDE/ui" "$demo/hello"
# The host's own location decides where the add-in finds the host INI and UI file.
cp "$here/out/tools/hostsim.exe" "$demo/IDE/ide.exe"
cp "$here/out/tordel.dll" "$demo/IDE/AddIns/tordel.dll"
cp "$here/examples/hello/"* "$demo/hello/"
cp "$here/examples/ui/tordel.ui" "$demo/IDE/ui/tordel.ui" 2>/dev/null || true
printf '[GENERAL]\r\nUI=English\r\n' > "$demo/IDE/ide.ini"

if [ -n "${FASM_EXE:-}" ]; then
  assembler=$(winpath "$FASM_EXE")
  echo "== Assembler: the flat assembler at $FASM_EXE"
else
  assembler=$(winpath "$here/out/tools/fasm.exe")
  echo "== Assembler: the stand-in (out/tools/fasm.exe), which reports errors like the flat"
  echo "   assembler; set FASM_EXE=/path/to/fasm.exe to use a real one."
fi
printf '[FASM]\r\nPATH=%s\r\nKeepRC=1\r\n' "$assembler" > "$demo/IDE/AddIns/ZIVevUde.Ini"

defs=()
while read -r _ name id; do defs+=(--def "$name=$id"); done \
  < <(tr -d '\r' < "$demo/hello/hello.rc" | grep -E '^#define[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]+-?[0-9]+')

p=$(winpath "$demo/hello")
"$here/tools/wine-run.sh" "$(winpath "$demo/IDE/ide.exe")" \
  --dll "$(winpath "$demo/IDE/AddIns/tordel.dll")" \
  --print paths \
  --project "$p\\hello.prj" \
  --open "asm:$p\\hello.asm" --open "rc:$p\\hello.rc" --open "bat:$p\\run.bat" \
  --resource-script "$p\\hello.rc" "${defs[@]}" \
  --print menu \
  --cmd build \
  --print commands --print status --print output \
  --dblclick-text 'hello.asm [' --print editors --print status \
  --cmd "Redirect OUT" --print status \
  --cmd "Execute first BAT" --print output

echo
echo "== rc.inc written beside the resource script ($demo/hello/rc.inc):"
if [ -f "$demo/hello/rc.inc" ]; then tr -d '\r' < "$demo/hello/rc.inc" | sed 's/^/   /'; else echo "   (none)"; fi
WINEPREFIX="$here/out/wineprefix" wineserver -k 2>/dev/null || true
