// The project's resource identifiers as FASM constants in rc.inc.
#pragma once

#include <windows.h>

// Writes rc.inc beside the project's resource script. True when at least one
// line was written; a failure other than "no project" or "no resource
// script" has been shown to the user.
bool exportResourceDefinitions();
// The host's resource-definitions export command while KeepRC is on: the
// export and its success message. 0 leaves the command to the host.
LRESULT resourceExportCommand();
