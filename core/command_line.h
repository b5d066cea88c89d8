// Composing the assembler's command line. Needs no Win32.
#pragma once

#include <stddef.h>

// The longest command line that process creation accepts, in characters:
// its limit of 32767 counts the terminator.
enum : size_t { COMMAND_LINE_MAX = 32766 };

// Writes: assembler, ` "source" `, then ` "output" ` when output is non-empty,
// then extra unchanged. The assembler path is not quoted (the user stores it
// as the shell needs it). Null texts count as empty. Returns the length, or 0
// when the line and its terminator do not fit in outSize bytes (out is then "").
size_t composeAssemblerCommand(char* out, size_t outSize, const char* assembler, const char* source,
                               const char* output, const char* extra);

// Length the composed line would have (without terminator).
size_t assemblerCommandLength(const char* assembler, const char* source, const char* output,
                              const char* extra);
