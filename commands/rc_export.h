// The project's resource identifiers as FASM constants in rc.inc.
#pragma once

#include <windows.h>

#include "host/host_interface.h"

// Writes rc.inc beside the project's resource script. True when at least one
// line was written; a failure other than "no project" or "no resource
// script" has been shown to the user: which file, and the system's reason.
bool exportResourceDefinitions(const ProjectInfo& project);
// The host's resource-definitions export command while KeepRC is on: the
// export and its success message. 0 leaves the command to the host.
LRESULT resourceExportCommand(UINT command);
