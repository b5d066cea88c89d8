// Runs one command line as a hidden child process and streams what it writes
// to standard output and standard error into the host's output control.
#pragma once

#include <windows.h>

enum RunOutput {
    OUTPUT_FROM_OEM,  // console text in the OEM code page, shown as ANSI (batch files)
    OUTPUT_AS_IS,     // ANSI already (the assembler echoes paths and source as given)
};

struct RunResult {
    // False when the child could not be started; the pane then says why.
    bool started;
    // The child's exit code; 0 when it is still running because something
    // else ended the run (see readUntilDone).
    DWORD exitCode;
};

// Appends the echoed command line, then the child's output, to the output
// control; returns once the child and what holds its output are done.
RunResult runCaptured(const char* commandLine, RunOutput conversion);
void appendOutput(const char* text);
