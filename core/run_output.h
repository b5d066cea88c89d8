// What a captured run keeps of output too long for the pane: its last bytes,
// and the name of the file that gets all of it. Needs no Win32.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The last `capacity` bytes of a stream, in a buffer the caller provides.
struct OutputTail {
    char* buffer;
    size_t capacity;
    size_t next;        // where the next byte goes
    uint64_t received;  // bytes pushed so far
};

void tailInit(OutputTail* tail, char* buffer, size_t capacity);
void tailPush(OutputTail* tail, const char* bytes, size_t count);

// Puts the kept bytes in their order, in place, and returns where the part
// to show starts, with its length in *length. When bytes were lost before
// them, that part starts after the first line break, so that it starts with
// a whole line, unless that break lies in the second half: then the line is
// long, and its end is worth more than its whole lines. Nothing may be
// pushed afterwards.
const char* tailInOrder(OutputTail* tail, size_t* length);

// The file name a project's run output goes to: the project file's name
// without its extension, '-', eight hex digits that tell projects of the
// same name in different folders apart, then suffix (such as ".txt"). Bytes
// that a file name cannot hold become '_'; an empty name reads "output".
// The digits hash the path with ASCII letters in upper case, as the file
// system folds them. False when it does not fit in size bytes.
bool runOutputFileName(const char* projectFile, const char* suffix, char* out, size_t size);
