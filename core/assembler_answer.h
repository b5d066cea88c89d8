// What the setup dialog makes of an assembler's path, and of what the
// program printed when run without arguments. Needs no Win32.
#pragma once

#include <stddef.h>

// The program of an assembler path as the user stores it: the text inside
// the quotes when it starts with one (after blanks), else the whole text
// without blanks at its ends. Returns its length; 0 when it is empty or does not fit in
// outSize bytes (out is then "").
size_t programOfCommand(const char* command, char* out, size_t outSize);

// The first line holding more than blanks of the count bytes a program
// printed, without its line break, each control character shown as a blank,
// cut to fit in outSize bytes. Its length (0 when there is none);
// *complete tells whether its line break has come.
size_t firstPrintedLine(const char* bytes, size_t count, char* out, size_t outSize, bool* complete);

// True when a line is the flat assembler's banner, of any version: it starts
// with "flat assembler" (letter case ignored).
bool isFlatAssemblerBanner(const char* line);

// True when a file name is fasm g's own program, which fasm2.cmd runs with
// the x86 headers: "fasmg.exe", or "fasmg" (the system adds ".exe"), letter
// case ignored.
bool isFasmgProgram(const char* fileName);
