#!/usr/bin/env bash
# Checks the release archive as a user gets it (tools/release.sh writes it):
# unpacks it, checks its listing, the DLL inside (tools/check-dll.sh: PE32,
# the six undecorated exports, system imports, size; and its version), the
# CR LF text files, and that ui/tordel.ui has every key that Export UI writes,
# with Export UI's values in [DEFAULT] and a translation of each in the
# sample section. The key list comes from pressing Export UI again in the
# host simulator, not from a list kept here.
#   tools/check-release.sh [dist/tordel-<version>.zip]
# Prints one line per check and a closing "N passed, N failed" line;
# exits 1 when a check failed.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
source "$here/tools/release-lib.sh"

passed=0 failed=0
check() {  # check RESULT "what" "detail": RESULT is the condition's exit status
  if [ "$1" -eq 0 ]; then passed=$((passed + 1)); echo "  ok    $2"
  else failed=$((failed + 1)); echo "  FAIL  $2: $3"; fi
}
finish() {
  rm -rf "$work"
  echo "check-release: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
work=$(mktemp -d)

read_version "$here" 2>"$work/version.log"; version_ok=$?
archive=${1:-$here/dist/tordel-$version_name.zip}
echo "check-release: $archive"
check $version_ok "host/version.h names a version ($version_name)" "$(cat "$work/version.log")"
if [ ! -f "$archive" ]; then
  check 1 "the archive exists" "$archive is missing (bash tools/release.sh writes it)"
  finish
fi
[ "$(basename "$archive")" = "tordel-$version_name.zip" ]
check $? "named after the version: tordel-$version_name.zip" "$(basename "$archive")"

unzip -tq "$archive" >"$work/test.log" 2>&1
check $? "unzip -t finds no damage" "$(cat "$work/test.log")"
listing=$(unzip -Z1 "$archive" | sort | tr '\n' ' ' | sed 's/ $//')
wanted="CHANGES.txt README.txt tordel.dll ui/tordel.ui"
[ "$listing" = "$wanted" ]; check $? "holds exactly: $wanted" "found: $listing"
mkdir -p "$work/unpacked"
unzip -q "$archive" -d "$work/unpacked"; check $? "unpacks" "unzip failed"
pkg=$work/unpacked

# The DLL: the shipped kind, with its version.
if [ -f "$pkg/tordel.dll" ]; then
  bash "$here/tools/check-dll.sh" "$pkg/tordel.dll" i686 >"$work/dll.log"
  sed -nE 's/^  (ok    |FAIL  )/  \1tordel.dll: /p' "$work/dll.log"
  line=$(tail -1 "$work/dll.log")
  passed=$((passed + $(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
  # The version strings are UTF-16 in the resource.
  i686-w64-mingw32-strings -e l "$pkg/tordel.dll" | grep -qxF "$version_name"
  check $? "tordel.dll carries the version name $version_name" "no such string in its resources"
else
  check 1 "tordel.dll in the archive" "missing"
fi

# Text files: CR LF throughout, not empty.
for f in README.txt CHANGES.txt ui/tordel.ui; do
  if [ -s "$pkg/$f" ]; then
    bare=$(grep -c $'[^\r]$\|^$' "$pkg/$f")
    [ "$bare" -eq 0 ] && [ "$(tail -c1 "$pkg/$f" | od -An -c | tr -d ' ')" = '\n' ]
    check $? "$f ends every line with CR LF" "$bare lines end in a bare LF or the last line has no end"
  else
    check 1 "$f is there and not empty" "missing or empty"
  fi
done
grep -qF "@VERSION_" "$pkg/README.txt" 2>/dev/null; [ $? -eq 1 ]
check $? "README.txt has the version filled in" "a @VERSION_...@ mark is left"
[ -s "$pkg/CHANGES.txt" ] && changes_as_text < "$here/CHANGES.md" | to_crlf | cmp -s - "$pkg/CHANGES.txt"
check $? "CHANGES.txt is made from today's CHANGES.md" "it differs (run bash tools/release.sh again)"
grep -qE "^$version_name([[:space:]]|\$)" <(tr -d '\r' < "$pkg/CHANGES.txt" 2>/dev/null)
check $? "CHANGES.txt has a section for $version_name" "no heading $version_name"

# The keys: Export UI pressed again in a fresh installation.
pick_run_target
if [ ! -f "$here/$run_tree/tools/hostsim.exe" ] || [ ! -f "$here/$run_tree/tordel.dll" ]; then
  check 1 "the $run_target host simulator and add-in are built" "run bash tools/release.sh"
  finish
fi
export_ui "$here" "$run_target" "$here/$run_tree" "$work/ide" 2>"$work/export.log"
check $? "Export UI in the host simulator ($run_target) writes the UI file" "$(cat "$work/export.log")"
section_lines "$work/ide/ui/tordel.ui" DEFAULT > "$work/exported"
cut -d= -f1 "$work/exported" > "$work/keys"
keys=$(wc -l < "$work/keys")
[ "$keys" -gt 0 ]; check $? "Export UI wrote $keys keys" "none"

if [ -f "$pkg/ui/tordel.ui" ]; then
  section_lines "$pkg/ui/tordel.ui" DEFAULT > "$work/shipped"
  cmp -s "$work/exported" "$work/shipped"
  check $? "ui/tordel.ui [DEFAULT] is what Export UI writes, key for key, value for value" \
    "$(diff "$work/exported" "$work/shipped" | head -5 | tr '\n' ' ')"
  # The sample translation: the one section besides [DEFAULT].
  sample=$(tr -d '\r' < "$pkg/ui/tordel.ui" | sed -nE 's/^[[:space:]]*\[([^]]*)\].*/\1/p' | grep -vix DEFAULT | head -1)
  [ "$sample" = Deutsch ]; check $? "ui/tordel.ui has the German sample section" "found: ${sample:-none}"
  section_lines "$pkg/ui/tordel.ui" "$sample" | awk -F= '$2 != "" { print $1 }' | sort > "$work/translated"
  missing=$(sort "$work/keys" | comm -23 - "$work/translated" | tr '\n' ' ')
  [ -z "$missing" ]; check $? "[$sample] translates every key Export UI writes" "missing or empty: $missing"
else
  check 1 "ui/tordel.ui in the archive" "missing"
fi

# The read-me names the three shortcuts the menu shows (from Export UI's "mn").
shortcuts=$(grep '^mn=' "$work/exported" | cut -d= -f2- | tr '^' '\n' | sed -n 's/.*~//p')
for s in $shortcuts; do
  tr -d '\r' < "$pkg/README.txt" | grep -qF "$s"; check $? "README.txt names the shortcut $s" "not found"
done
[ -n "$shortcuts" ]; check $? "the menu captions carry shortcuts" "none found in mn"

finish
