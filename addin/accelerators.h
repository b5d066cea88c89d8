// The host's accelerator table, edited in place through the variable the
// host reads it from.
#pragma once

#include <windows.h>

enum AccelEdit { ACCEL_ADD, ACCEL_REMOVE };

// A shortcut (an accelerator's first four bytes: flags, zero, key) for a command.
struct HostShortcut {
    DWORD shortcut;
    UINT command;
};

// Adds the shortcuts, in order, at the end of the host's table, or removes
// the first entry of each; the table is rebuilt once. A host without a
// table, or a removal that finds none of them, leaves the table as it is.
void editHostTable(AccelEdit edit, const HostShortcut* shortcuts, size_t count);
