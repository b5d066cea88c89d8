#!/usr/bin/env bash
# Builds the shipped i686 tordel.dll and packs what a user installs into
# dist/tordel-<version>.zip:
#   tordel.dll      the i686 (PE32) add-in from out/
#   ui/tordel.ui    the [DEFAULT] section as the setup dialog's Export UI
#                   writes it (Export UI is pressed in the host simulator),
#                   after the German sample section of examples/ui/tordel.ui
#   README.txt      installation, settings and shortcuts (docs/README.txt,
#                   with @VERSION_NAME@ and @VERSION_NUMBERS@ filled in)
#   CHANGES.txt     CHANGES.md as plain text
# The version comes from host/version.h; CHANGES.md must have a section for
# it. Text files get CR LF line ends. The host simulator runs on the target
# this machine can execute (tools/targets.sh): the i686 tree where 32-bit
# code runs, the x86-64 tree elsewhere; its Export UI comes from the same
# sources as the shipped DLL's.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/targets.sh"
source "$here/tools/release-lib.sh"

read_version "$here" || exit 1
echo "== tordel $version_name ($version_numbers)"

if ! changes_has_version "$here/CHANGES.md" "$version_name"; then
  echo "release: CHANGES.md has no section \"## $version_name\": say what changed before releasing" >&2
  exit 1
fi

pick_run_target
echo "== Building the shipped i686 DLL (release), and the $run_target host simulator for Export UI"
TORDEL_TARGETS=i686 bash "$here/tools/build.sh" --target tordel >/dev/null
if [ "$run_target" != i686 ]; then
  TORDEL_TARGETS=$run_target bash "$here/tools/build.sh" --target tordel hostsim_exe >/dev/null
else
  TORDEL_TARGETS=i686 bash "$here/tools/build.sh" --target hostsim_exe >/dev/null
fi
bash "$here/tools/check-dll.sh" "$here/out/tordel.dll" i686 >/dev/null || {
  bash "$here/tools/check-dll.sh" "$here/out/tordel.dll" i686 >&2
  echo "release: out/tordel.dll is not fit to ship" >&2
  exit 1
}

stage="$here/$run_tree/release"
rm -rf "$stage"
mkdir -p "$stage/pkg/ui"

# The translator's starting point: the sample's German section, then
# whatever Export UI writes.
without_section "$here/examples/ui/tordel.ui" DEFAULT > "$stage/sample.ui"
echo "== Export UI in the host simulator ($run_reason)"
export_ui "$here" "$run_target" "$here/$run_tree" "$stage/ide" "$stage/sample.ui" || {
  echo "release: Export UI failed" >&2
  exit 1
}
cp "$stage/ide/ui/tordel.ui" "$stage/pkg/ui/tordel.ui"

cp "$here/out/tordel.dll" "$stage/pkg/tordel.dll"
sed -e "s/@VERSION_NAME@/$version_name/g" -e "s/@VERSION_NUMBERS@/$version_numbers/g" \
  "$here/docs/README.txt" | to_crlf > "$stage/pkg/README.txt"
changes_as_text < "$here/CHANGES.md" | to_crlf > "$stage/pkg/CHANGES.txt"

# The same sources give the same archive: every entry carries the time of
# the last commit rather than the time of this run.
if stamp=$(git -C "$here" log -1 --format=%ct 2>/dev/null) && [ -n "$stamp" ]; then
  find "$stage/pkg" -exec touch -d "@$stamp" {} +
fi

mkdir -p "$here/dist"
archive="$here/dist/tordel-$version_name.zip"
rm -f "$archive"
# -X: no Unix owners or extra times; -D: no folder entries, the four files only.
( cd "$stage/pkg" && zip -q -X -D "$archive" tordel.dll ui/tordel.ui README.txt CHANGES.txt )
echo "== Wrote dist/tordel-$version_name.zip"
unzip -l "$archive"
