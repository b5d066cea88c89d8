// The release's version, in one place: the DLL's version resource, the
// release archive's name (tools/release.sh) and the check that CHANGES.md
// has a section for it all read these lines. Keep them as plain
// "#define NAME value" lines (any spaces between): the scripts read them
// with sed.
// The name is what users see ("V. 0.8c" in the setup dialog): major.minor
// and the patch level as a letter (a = 1, b = 2, c = 3).
#pragma once

#define TORDEL_VERSION_MAJOR 0
#define TORDEL_VERSION_MINOR 8
#define TORDEL_VERSION_PATCH 3
#define TORDEL_VERSION_BUILD 0
#define TORDEL_VERSION_NAME  "0.8c"
