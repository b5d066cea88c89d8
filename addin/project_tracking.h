// Which project is open: whether it names FASM, which the popup, "Assemble
// current", the status bar and the dispatch follow, and its folder, where
// child processes and relative paths start.
#pragma once

#include <windows.h>

// Reads the open project again: the popup is greyed while none is open, the
// status bar names the project's assembler.
void refreshProjectState(HMENU popup);
// Whether the open project names FASM, as last read.
bool fasmProjectOpen();
// No project read yet: at load.
void forgetProject();
