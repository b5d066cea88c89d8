#!/usr/bin/env bash
# The main job: sets up and builds what is missing, lays out a host
# installation in out/demo/ (out64/demo/ on x86-64), loads tordel.dll into the host simulator, opens
# the sample FASM project, builds it, double-clicks the error line, and runs
# the project's batch file with Redirect OUT on. It prints what a user sees.
# The assembler is a real one where this machine can run it (both are 32-bit
# programs): FASM_EXE=/path/to/FASM.EXE when set (the flat assembler 1.73;
# the sample includes win32a.inc, which the add-in finds in the INCLUDE
# folder beside FASM.EXE, with nothing set by hand), else fasm2 from
# ../shared/assemblers (or FASM2_CMD). Where no real assembler can run,
# the stand-in plays it, and the demo says so.
# The shipped i686 build runs where this machine executes 32-bit code; the
# x86-64 test build elsewhere. The first lines say which.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
pick_run_target
TORDEL_TARGETS=$run_target bash "$here/tools/build.sh" >/dev/null
export TORDEL_TARGET=$run_target
tree="$here/$run_tree"
echo "== Target: $run_reason"
echo "   The IDE is a 32-bit program: out/tordel.dll is what users install."

winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

demo="$tree/demo"
rm -rf "$demo"
mkdir -p "$demo/IDE/AddIns" "$demo/IDE/ui" "$demo/hello"
# The host's own location decides where the add-in finds the host INI and UI file.
cp "$tree/tools/hostsim.exe" "$demo/IDE/ide.exe"
cp "$tree/tordel.dll" "$demo/IDE/AddIns/tordel.dll"
cp "$here/examples/hello/"* "$demo/hello/"
cp "$here/examples/ui/tordel.ui" "$demo/IDE/ui/tordel.ui" 2>/dev/null || true
printf '[GENERAL]\r\nUI=English\r\n' > "$demo/IDE/ide.ini"

user_fasm=${FASM_EXE:-}
find_real_assemblers
if ! machine_runs_32bit; then
  assembler=$(winpath "$tree/tools/fasm.exe")
  echo "== Assembler: the stand-in ($run_tree/tools/fasm.exe), which reports errors like the flat"
  echo "   assembler: this machine cannot execute 32-bit code, and the real assemblers are 32-bit programs."
elif [ -n "$user_fasm" ]; then
  assembler=$(winpath "$user_fasm")
  echo "== Assembler: the flat assembler at $user_fasm (FASM_EXE)"
  headers=$(find "$(dirname "$user_fasm")" -maxdepth 1 -iname include -type d | head -1)
  echo "   Headers: ${headers:-none beside it}; the add-in gives the assembler the INCLUDE folder beside it"
elif [ -n "${FASM2_CMD:-}" ]; then
  assembler=$(winpath "$FASM2_CMD")
  echo "== Assembler: fasm2 at $FASM2_CMD (fasm g with its Windows headers)"
else
  assembler=$(winpath "$tree/tools/fasm.exe")
  echo "== Assembler: the stand-in ($run_tree/tools/fasm.exe), which reports errors like the flat"
  echo "   assembler: $assemblers_note."
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
  --dblclick-error --print editors --print status \
  --accel "Next error" --print status \
  --cmd "Redirect OUT" --print status \
  --cmd "Execute first BAT" --print output

echo
echo "== rc.inc written beside the resource script ($demo/hello/rc.inc):"
if [ -f "$demo/hello/rc.inc" ]; then tr -d '\r' < "$demo/hello/rc.inc" | sed 's/^/   /'; else echo "   (none)"; fi
WINEPREFIX="$tree/wineprefix" wineserver -k 2>/dev/null || true
