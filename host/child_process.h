// Child processes the add-in starts: hidden, their output on a pipe, and
// inside a job, so that stopping one ends everything it started too.
#pragma once

#include <windows.h>

// Starts commandLine hidden in the current directory, with standard output
// and standard error on output and standard input on input (null: none),
// in environment (a block, or null for the host's), with extraFlags beside
// CREATE_SUSPENDED: it runs only once it is in a job that gathers every
// process it starts. The job does not end them when it closes. Where the job
// cannot take the child (a host already in a job that forbids nesting), *job
// is null. process->hThread is closed. False, with the system's error set,
// when it cannot start.
bool startChildInJob(char* commandLine, HANDLE input, HANDLE output, void* environment, DWORD extraFlags,
                     PROCESS_INFORMATION* process, HANDLE* job);
// Ends the child and everything in its job with exitCode; the child alone
// when it has no job.
void endChildAndJob(HANDLE process, HANDLE job, UINT exitCode);
