// What a captured run keeps of output too long for the pane: its last bytes,
// and the name of the file that gets all of it. Needs no Win32.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The pane shows a run's whole output up to PANE_LIMIT bytes and PANE_LINES
// lines. Past either it keeps the first PANE_HEAD bytes (at most HEAD_LINES
// lines) and, once the run is over, the last PANE_TAIL (at most TAIL_LINES
// lines), where a build's errors are. Emptying the pane for the next command
// costs, under Wine, about the square of its lines: about 0.15 s at these
// limits, 0.7 s for 8192 empty lines, 5 s for 512 KB of 80-character lines;
// and a 32-bit host runs out of memory long before its pane takes what a
// run can write. The documents give these figures; a test holds them to it.
enum : uint32_t {
    PANE_LIMIT = 128u << 10,
    PANE_HEAD = 32u << 10,
    PANE_TAIL = PANE_LIMIT - PANE_HEAD,
    PANE_LINES = 2000,
    HEAD_LINES = 400,
    TAIL_LINES = PANE_LINES - HEAD_LINES,
};

// The last `capacity` bytes of a stream, in a buffer the caller provides.
struct OutputTail {
    char* buffer;
    size_t capacity;
    size_t next;        // where the next byte goes
    uint64_t received;  // bytes pushed so far
};

void tailInit(OutputTail* tail, char* buffer, size_t capacity);
void tailPush(OutputTail* tail, const char* bytes, size_t count);

// What the pane shows of the kept bytes below a head of headBytes: the bytes
// after the head (the tail may reach into it when the output is short), at
// most lineRoom line breaks of them. When bytes were lost between the head
// and the kept ones, it starts after the first line break, so that it
// starts with a whole line, unless that break lies in the second half: then
// the line is long, and its end is worth more than its whole lines. Puts the
// kept bytes in order in place; nothing may be pushed afterwards. Returns
// where the part starts, its length in *length.
const char* tailToShow(OutputTail* tail, uint64_t headBytes, size_t lineRoom, size_t* length);

// Line breaks in count bytes, as a rich edit control breaks lines: "\n",
// and "\r" followed by anything but "\n". A "\r" that ends the bytes does
// not count, so that reads that part a "\r\n" count it once.
size_t countLineBreaks(const char* bytes, size_t count);

// How many of the count bytes fit in byteRoom bytes holding at most
// lineRoom line breaks: up to just after the last break that fits.
size_t fittingPrefix(const char* bytes, size_t count, size_t byteRoom, size_t lineRoom);

// The end of text holding at most lineRoom line breaks, starting just after
// a break (or at the start); its length in *kept.
const char* lastLines(const char* text, size_t length, size_t lineRoom, size_t* kept);

// The file name a project's run output goes to: the project file's name
// without its extension, '-', eight hex digits that tell projects of the
// same name in different folders apart, then suffix (such as ".txt"). Bytes
// that a file name cannot hold become '_'; an empty name reads "output".
// The digits hash the path with ASCII letters in upper case, as the file
// system folds them. False when it does not fit in size bytes.
bool runOutputFileName(const char* projectFile, const char* suffix, char* out, size_t size);
