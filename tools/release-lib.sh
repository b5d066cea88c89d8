# Sourced by tools/release.sh and tools/check-release.sh: the version, the
# text conversions and Export UI in the host simulator.

# Sets version_major, version_minor, version_patch, version_build,
# version_name ("0.8c") and version_numbers ("0.8.3.0") from host/version.h.
# Fails, saying why, when a line is missing or the name does not spell the
# numbers (major.minor, then the patch level as a letter: a = 1, c = 3).
read_version() {
  local header="$1/host/version.h" letters=abcdefghijklmnopqrstuvwxyz expected
  define_of() { sed -nE "s/^#define[[:space:]]+$1[[:space:]]+\"?([^\"[:space:]]*)\"?[[:space:]]*\$/\1/p" "$header"; }
  version_major=$(define_of TORDEL_VERSION_MAJOR)
  version_minor=$(define_of TORDEL_VERSION_MINOR)
  version_patch=$(define_of TORDEL_VERSION_PATCH)
  version_build=$(define_of TORDEL_VERSION_BUILD)
  version_name=$(define_of TORDEL_VERSION_NAME)
  local n
  for n in "$version_major" "$version_minor" "$version_patch" "$version_build"; do
    if ! [[ "$n" =~ ^[0-9]+$ ]] || [ "$n" -gt 65535 ]; then
      echo "release: $header: each TORDEL_VERSION_MAJOR/MINOR/PATCH/BUILD must be a number 0-65535" >&2
      return 1
    fi
  done
  expected="$version_major.$version_minor"
  if [ "$version_patch" -gt 26 ]; then
    echo "release: $header: a patch level above 26 has no letter" >&2; return 1
  elif [ "$version_patch" -gt 0 ]; then
    expected+=${letters:version_patch-1:1}
  fi
  version_numbers="$version_major.$version_minor.$version_patch.$version_build"
  if [ "$version_name" != "$expected" ]; then
    echo "release: $header: TORDEL_VERSION_NAME \"$version_name\" does not spell $version_numbers (\"$expected\")" >&2
    return 1
  fi
}

# True when CHANGES.md has a heading "## <name>" (anything may follow a blank).
changes_has_version() {
  local name_re=${2//./\\.}
  grep -qE "^## $name_re([[:space:]]|\$)" "$1"
}

# The INI text of $1 without section [$2] (matched ignoring case, as the
# profile functions do). Line ends are kept as they are.
without_section() {
  awk -v s="$2" '
    { line = $0; sub(/\r$/, "", line) }
    line ~ /^[ \t]*\[/ {
      name = line; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
      skip = (tolower(name) == tolower(s))
    }
    !skip { print }' "$1"
}

# The "key=value" lines of section [$2] of the INI file $1, without CR, in
# file order.
section_lines() {
  awk -v s="$2" '
    { line = $0; sub(/\r$/, "", line) }
    line ~ /^[ \t]*\[/ {
      name = line; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
      inside = (tolower(name) == tolower(s)); next
    }
    inside && line ~ /=/ && line !~ /^[ \t]*;/ { print line }' "$1"
}

# Standard input with every line ending in CR LF (LF or CR LF before).
to_crlf() { sed 's/\r$//; s/$/\r/'; }

# CHANGES.md as plain text for CHANGES.txt: headings underlined (=, -, ~),
# emphasis and code marks dropped, HTML comments (the notes for whoever adds
# entries) left out.
changes_as_text() {
  awk '
    { sub(/\r$/, "") }
    comment { if ($0 ~ /-->/) { comment = 0; gap = 1 } next }
    /^[ \t]*<!--/ { if ($0 !~ /-->/) comment = 1; else gap = 1; next }
    # The blank line after a comment would leave two in a row.
    gap && /^[ \t]*$/ { gap = 0; next }
    { gap = 0 }
    {
      gsub(/\*\*/, ""); gsub(/`/, "")
      if (match($0, /^#+ /)) {
        level = RLENGTH - 1; text = substr($0, RLENGTH + 1)
        print text
        underline = level == 1 ? "=" : level == 2 ? "-" : "~"
        if (underline != "") { u = ""; for (i = 0; i < length(text); ++i) u = u underline; print u }
        next
      }
      print
    }'
}

# Windows form (Z:\...) of a path on this machine, as Wine sees it.
wine_path() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

# export_ui ROOT TARGET TREE DIR [START_UI]: lays out a host installation in
# DIR (the tree's host simulator as DIR/ide.exe, its tordel.dll in
# DIR/AddIns), with START_UI as DIR/ui/tordel.ui when given, and presses
# Export UI in the setup dialog. Fails, showing the simulator's output, unless
# the add-in reports writing DIR/ui/tordel.ui.
export_ui() {
  local root=$1 target=$2 tree=$3 dir=$4 start=${5:-} out expected
  rm -rf "$dir"
  mkdir -p "$dir/AddIns" "$dir/ui"
  cp "$tree/tools/hostsim.exe" "$dir/ide.exe"
  cp "$tree/tordel.dll" "$dir/AddIns/tordel.dll"
  if [ -n "$start" ]; then cp "$start" "$dir/ui/tordel.ui"; fi
  out=$(TORDEL_TARGET=$target "$root/tools/wine-run.sh" "$(wine_path "$dir/ide.exe")" \
          --dll "$(wine_path "$dir/AddIns/tordel.dll")" --export-ui 2>&1 | tr -d '\r')
  expected="Export UI wrote $(wine_path "$dir/ui/tordel.ui")"
  if ! grep -qixF "$expected" <<<"$out"; then
    printf '%s\n' "$out" >&2
    return 1
  fi
}
