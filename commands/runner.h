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
    // True when the user stopped the run with Esc; the pane's last line says so.
    bool stopped;
    // The child's exit code; 0 when it is still running because something
    // else ended the run (see readUntilDone), STOPPED_EXIT_CODE when stopped.
    DWORD exitCode;
};

// What the processes of a stopped run end with: the code of a console
// program ended by Ctrl+C.
enum : DWORD { STOPPED_EXIT_CODE = 0xC000013A };

// Appends the echoed command line, then the child's output, to the output
// control; returns once the child and what holds its output are done, or
// once the user pressed Esc, which ends the child and every process it
// started. The output shows while it comes, and the host's windows keep
// painting; every other message waits in the queue, in order, until the
// run is over, so nothing of the host or the add-in runs inside a run.
// Every byte the child writes also goes, as written, to the project's run
// output file in the temporary folder ("tordel\<project>-<hash>.txt", named
// by runOutputFileName), replacing the last run's. The pane keeps a run's
// whole output up to 128 KB and 2000 lines; of a longer one its first 32 KB
// (400 lines at most) and its last 96 KB (1600 lines at most), with a note
// between them of how much is left out and where all of it is, counting up
// while the run goes on.
//
// With a variable, the child alone gets name=value;<the value it would
// inherit> (value alone when there is none); the host's environment stays
// as it is.
struct VariableInFront {
    const char* name;
    const char* value;
};
RunResult runCaptured(const char* commandLine, RunOutput conversion, const char* projectFile,
                      const VariableInFront* variable = nullptr);
// True while runCaptured runs. Then only a message that another thread
// sends to the host's windows can reach the add-in (message checks deliver
// those at once).
bool runInProgress();
// A line of the add-in's own, set off from the output by line breaks, in
// one append (each append repaints a shown control).
void appendNoteLine(const char* text);
