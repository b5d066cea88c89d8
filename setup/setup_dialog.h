// The setup dialog: the assembler's path, the automatic rc.inc export, and
// the texts written out for translators.
#pragma once

#include <windows.h>

// Runs the modal dialog owned by owner; returns when the user closed it.
void openSetupDialog(HWND owner);
