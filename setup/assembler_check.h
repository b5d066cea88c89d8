// What the setup dialog learns about an assembler path: the program's own
// answer, or why there is none; and an assembler found on the PATH.
#pragma once

#include <windows.h>

// How long a program may take to answer, in all.
enum : DWORD { ANSWER_WAIT_MS = 2000 };

// Runs the program of an assembler path (as the user stores it) once,
// hidden, without arguments and with no input, and writes to answer
// (LONG_TEXT_SIZE bytes) the first line it prints when that is the flat
// assembler's banner, else why not, in the add-in's words: the file is
// missing, a folder or no program, fasm g's program is chosen where its
// fasm2.cmd stands beside it, or the program answers otherwise or not at
// all. The program and everything it started are ended once it has
// answered, ANSWER_WAIT_MS at most after its start. "" for a path that is
// empty or blank.
// Windows keep painting meanwhile; nothing else of the caller's runs.
void askAssembler(const char* assembler, char* answer);

// The full path of a fasm.exe in a folder of the PATH, else of a
// fasm2.cmd (ASSEMBLER_PATH_SIZE bytes); false when there is neither, or
// its path is too long to store.
bool findAssemblerOnPath(char* out);
