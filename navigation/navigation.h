// Double-clicking an assembler message in the output pane leads to the line
// it names in that source's open editor; and the one highlighted output
// line, which the build's verdict and the double-clicks move.
#pragma once

#include <windows.h>

// A left-button double-click on the output control's current line: on a
// line naming a source place, or on an error message below such a line, it
// marks that place in the open editor and returns 1; anything else returns
// 0. The clicked line is the one highlighted afterwards.
LRESULT onOutputDoubleClick();
// The highlight goes to this line (the build's verdict).
void highlightOutputLine(int line);
// Back to line 0 with nothing highlighted, and the walk through the errors
// back to its start: at load, and when a build's preparation empties the pane.
void forgetHighlightedLine();
// "Next error" and "Previous error": the highlight moves to the next
// (previous) error message of the pane, round from the last to the first
// (the first to the last), and on to where a double-click on it leads. The
// status bar says which it is ("Error 2 of 5"), or "No errors", when the
// pane has none and nothing else changes. The first step after a build goes
// to the first (the last). Return 1.
LRESULT onNextError(UINT command);
LRESULT onPreviousError(UINT command);
// What "Next error" does for the pane's first error message, if it has one.
void goToFirstError();
