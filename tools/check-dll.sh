#!/usr/bin/env bash
# Checks a built tordel.dll without running it: its PE kind, its six
# undecorated exports, that it imports only Windows system DLLs (the
# runtime is linked in), and its size.
#   tools/check-dll.sh out/tordel.dll i686      the shipped DLL: PE32
#   tools/check-dll.sh out64/tordel.dll x86_64  the test vehicle: PE32+
# Prints one line per check and a closing "N passed, N failed" line;
# exits 1 when a check failed.
set -uo pipefail
dll=$1 target=$2
case "$target" in
  i686) objdump=i686-w64-mingw32-objdump magic='010b	(PE32)' ;;
  x86_64) objdump=x86_64-w64-mingw32-objdump magic='020b	(PE32+)' ;;
  *) echo "check-dll: unknown target '$target'" >&2; exit 2 ;;
esac
# Size ceiling: the add-in is a few tens of KB; a runtime DLL or the C++
# library linked in by mistake takes it past this.
max_bytes=65536
system_dlls='^(KERNEL32|USER32|GDI32|SHLWAPI|SHELL32|COMDLG32|COMCTL32|ADVAPI32|VERSION|msvcrt)\.dll$'
exports_wanted='FrameWindowProc GetKXAddInData KXAddInConfig KXAddInLoad KXAddInUnload OutWindowProc'

passed=0 failed=0
check() {  # check RESULT "what" "detail": RESULT is the condition's exit status
  if [ "$1" -eq 0 ]; then passed=$((passed + 1)); echo "  ok    $2"
  else failed=$((failed + 1)); echo "  FAIL  $2: $3"; fi
}

echo "check-dll: $dll ($target)"
if [ ! -f "$dll" ]; then
  echo "  FAIL  $dll does not exist"; echo "check-dll: 0 passed, 1 failed"; exit 1
fi
dump=$("$objdump" -p "$dll" 2>&1)

grep -qF "Magic			$magic" <<<"$dump"; check $? "PE kind $magic" "$(grep Magic <<<"$dump")"

exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {print $NF} t && !/^\t\[/ {t=0}' <<<"$dump" | sort | tr '\n' ' ' | sed 's/ $//')
[ "$exports" = "$exports_wanted" ]; check $? "exports exactly: $exports_wanted" "found: ${exports:-none}"

imports=$(sed -n 's/^\tDLL Name: //p' <<<"$dump")
bad=$(grep -viE "$system_dlls" <<<"$imports" | grep -v '^$' | tr '\n' ' ')
[ -n "$imports" ] && [ -z "$bad" ]; check $? "imports only system DLLs: $(tr '\n' ' ' <<<"$imports")" "not a system DLL: ${bad:-(no imports found)}"

size=$(stat -c %s "$dll")
[ "$size" -le "$max_bytes" ]; check $? "size $size bytes (at most $max_bytes)" "too large"

echo "check-dll: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
