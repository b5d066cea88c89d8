// The setup dialog: the assembler's path and what the assembler answers,
// the folder of its headers, the automatic rc.inc export, and the texts
// written out for translators.
#pragma once

#include <windows.h>

// How the dialog fills the assembler's path: as stored, or, when none is
// stored, with a fasm.exe or fasm2.cmd found on the PATH (for the user to
// confirm with OK).
enum SetupStart { SETUP_AS_STORED, SETUP_SUGGESTING_ASSEMBLER };
// Runs the modal dialog owned by owner; returns when the user closed it.
// Under the path it shows what the assembler answers when the dialog opens
// and whenever the path changes (the field left with another text, or a
// file chosen with "..."): at most ANSWER_WAIT_MS each time.
void openSetupDialog(HWND owner, SetupStart start = SETUP_AS_STORED);
