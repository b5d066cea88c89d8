// What the add-in shows through the host: the status bar, message boxes over
// the host's main window, and system DLLs loaded when first needed.
#pragma once

#include <windows.h>
#include <richedit.h>

#include "settings/ui_text.h"

// What the status bar shows for a FASM project, and the project file's name
// for the assembler that makes one.
inline constexpr char FASM_COMPILER[] = "FASM";

// The host's status bar: the part with index 4.
void setStatus(const char* text);
// What that part shows (WORK_BUFFER_SIZE bytes); "" when it holds more.
const char* statusText(char* out);
// Every handled command ends here: the status bar shows "FASM". Returns 1,
// the handlers' "handled".
LRESULT finishCommand();
// A message box; owner is the host's main window unless one is given.
int showMessage(const char* text, const char* caption, UINT style, HWND owner = nullptr);
// The system's words for an error (WORK_BUFFER_SIZE bytes), without a line
// break at the end; "Error N" when the system has none.
const char* systemErrorText(DWORD error, char* out);
// The same, with the "%1" that some of them hold (the program that could not
// start) filled with name.
const char* systemErrorTextAbout(DWORD error, const char* name, char* out);
// Tells the user, in the system's words, why an operation failed.
void showSystemError(DWORD error, const char* caption, HWND owner = nullptr);
// What failed for which file, and why in the system's words: the message
// text what, the path, the reason; no reason for NO_SYSTEM_ERROR (a failure
// that is no error of the system's).
enum : DWORD { NO_SYSTEM_ERROR = 0 };
void showFileError(TextId what, const char* path, DWORD error);
// The output control's text length, as the control counts (CR LF as two).
LONG outputLength();
// Searches the output control for text from `from` up to `to`, ignoring
// letter case; true with the match's range in found.
bool findInOutput(const char* text, LONG from, LONG to, CHARRANGE* found);
// A function of a system DLL that only a few commands need, loaded at first
// use so that loading the add-in does not load the DLL; null when missing.
FARPROC systemFunction(const char* module, const char* name);
