// Reading a place in a source file from an assembler output line of the form
// `path<separator>[line]...`. Needs no Win32.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct ErrorLinePlace {
    size_t nameLength;  // the file name is the first nameLength characters
    int32_t lineIndex;  // zero-based: the number in brackets minus one
};

// Parses length characters of line. The file name is what precedes the first
// '[' without its last character (the separator); the digits after '[' must
// be followed by ']'. Digits accumulate in unsigned 32-bit arithmetic, so a
// huge number wraps instead of overflowing; no digits read as 0 (index -1).
// Returns false for a line without '[' or whose digits are not closed by ']'.
bool parseErrorLine(const char* line, size_t length, ErrorLinePlace* place);
