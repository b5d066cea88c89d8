// Reading a place in a source file from assembler output: the line of the
// form `path<separator>[line]...`, the chain of places some assemblers write
// on one such line (`main.asm [3] sub\x.inc [2]:`), and the error message
// below such lines, whose place is the nearest heading above it. Needs no
// Win32.
#pragma once

#include <stddef.h>
#include <stdint.h>

// What an assembler's error message holds, in any letter case.
inline constexpr char ERROR_MARKER[] = "error:";

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

// One place of a place line: the name is nameLength characters from
// nameStart, the line index as in ErrorLinePlace.
struct ChainPlace {
    size_t nameStart;
    size_t nameLength;
    int32_t lineIndex;
};

// More places than any heading an output line buffer holds.
enum : size_t { PLACE_CHAIN_MAX = 64 };

// Reads the places of a place line, outermost first. The first is the one
// parseErrorLine finds. Further ones count only when the whole line is a
// chain: after each ']' a single space, a name (it may hold spaces), a single
// space and a bracketed number, the last one followed by ':' and the end of
// the line. fasm 1 writes `file [5] mymac [2]:` for a macro, fasm g the whole
// chain of included files and macro frames. A line that does not go on so,
// or holds more than capacity places, yields its first place alone. Returns
// how many places were stored, 0 when the line names no place.
size_t parsePlaceChain(const char* line, size_t length, ChainPlace* places, size_t capacity);

// What a double-click on an output line leads to.
enum OutputLineKind {
    OUTPUT_LINE_OTHER,          // nowhere
    OUTPUT_LINE_PLACE,          // the place the line itself names
    OUTPUT_LINE_ERROR_MESSAGE,  // the place heading its error block
};

// Sorts length characters of line. A line that parses (parseErrorLine) names
// a place, unless the text before its first '[' holds "error:": no file name
// has a ':' past its drive, so that is a message with brackets in it. Any other line holding
// "error:" is an error message. "error:" is found in any letter case, as the
// build's search for the failure finds it. *place is filled for a place.
OutputLineKind classifyOutputLine(const char* line, size_t length, ErrorLinePlace* place);

// True for a line that heads one level of an assembler error block: a place
// (classifyOutputLine) that ends with "]:". An echoed source line such as `mov eax,[12]` does not.
bool isPlaceHeading(const char* line, size_t length);

// Hands over one place: its name, NUL-terminated, and its line index as in
// ErrorLinePlace. Returns true when it takes the place, which ends the visit.
typedef bool (*PlaceVisitor)(void* context, const char* name, int32_t lineIndex);

// How a visit of places ended.
enum PlaceVisit {
    PLACES_NONE,        // there was no place to visit
    PLACES_NONE_TAKEN,  // every place was visited, none taken
    PLACE_TAKEN,        // the visitor took one
};

// Visits the places of a place line (parsePlaceChain), innermost first. The
// line is cut after each name so that the visitor gets it NUL-terminated.
PlaceVisit visitLinePlaces(char* line, size_t length, PlaceVisitor visit, void* context);

// How far above an error message the first line of its error may be.
enum : int32_t { ERROR_BLOCK_REACH = 64 };

// Copies output line `index` (0 <= index) into buffer, NUL-terminated, and
// sets *length to its length; false when the line does not fit in size - 1
// characters, which then counts as a line that is neither blank nor a heading.
typedef bool (*OutputLineReader)(void* context, int32_t index, char* buffer, size_t size, size_t* length);

// Visits the places of the whole error whose message is line errorLine,
// innermost first: each place heading above it (isPlaceHeading), the nearest
// first, each one's own places innermost first (visitLinePlaces). fasm 1
// writes one heading per level of macros, the outermost naming the source
// line; fasm g one heading with the chain of files, and headings of macro
// frames below it. The error starts below a blank line (empty, or only
// spaces and tabs), below the assembler's banner (a line starting with
// "flat assembler "), or below the previous error's message: a line starting
// with "error:" or "custom error:" (any letter case) directly above a
// heading, unless a heading stands directly above it too (then it is a
// source line echoed below that heading). Looks at most ERROR_BLOCK_REACH
// lines up and never above the first line. Lines are read into buffer; one
// that does not fit is passed over.
PlaceVisit visitErrorPlaces(int32_t errorLine, OutputLineReader read, void* readContext, char* buffer,
                            size_t size, PlaceVisitor visit, void* visitContext);

// A walk through the error messages of an output: lines that start with
// "error:" or "custom error:" (any letter case), but for one directly below
// a place heading, which is a source line echoed there.
enum ErrorDirection {
    ERROR_FIRST,     // the first error message
    ERROR_NEXT,      // the first after where the walk stands, else the first
    ERROR_PREVIOUS,  // the last before where the walk stands, else the last
};
enum : size_t { NO_POSITION = (size_t)-1 };
struct ErrorStep {
    size_t position;  // where the error message's line starts
    size_t ordinal;   // 1 for the output's first error message
    size_t count;     // how many the output holds; 0 when none, and nothing else is set
};

// One step through length characters of output text, whose lines end with
// LF (a CR before it ends the line too). from: where the line the walk
// stands on starts; NO_POSITION before the first step, when ERROR_NEXT goes
// to the first and ERROR_PREVIOUS to the last.
ErrorStep stepToError(const char* text, size_t length, size_t from, ErrorDirection direction);
