// The host's accelerator table, edited in place through the variable the
// host reads it from.
#pragma once

#include <windows.h>

enum AccelEdit { ACCEL_ADD, ACCEL_REMOVE };

// Adds the shortcut (an accelerator's first four bytes: flags, zero, key)
// for command at the end of the host's table, or removes its first entry. A
// host without a table, or a removal that finds nothing, leaves the table
// as it is.
void editHostTable(AccelEdit edit, DWORD shortcut, UINT command);
