// The add-in's commands, one table each: the popup's items with their
// shortcuts, and the commands it handles in the host's menu (the host's own
// it takes over, and "Assemble current"). The menus, the shortcuts, the
// dispatch and the language refresh all read them.
#pragma once

#include <windows.h>

// At load: the popup and its items, "Assemble current", their ids from the
// host, the shortcuts in the host's table.
void addCommandsToHost();
// At unload: everything addCommandsToHost added.
void removeCommandsFromHost();
// After the interface language changed: captions and shortcuts anew.
void renameCommands();
// Reads the open project again (a project change, or the load).
void followProject();
// Runs the handler of a command that reached the frame; 0 leaves it to the host.
LRESULT dispatchCommand(UINT id);
