#include "core/line_parse.h"

namespace {

const size_t ERROR_MARKER_LENGTH = sizeof ERROR_MARKER - 1;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool holdsErrorMarker(const char* text, size_t length)
{
    for (size_t at = 0; at + ERROR_MARKER_LENGTH <= length; ++at) {
        size_t i = 0;
        while (i < ERROR_MARKER_LENGTH && asciiLower(text[at + i]) == ERROR_MARKER[i])
            ++i;
        if (i == ERROR_MARKER_LENGTH)
            return true;
    }
    return false;
}

// Whether line starts with start (lower case), in any letter case.
bool startsWithText(const char* line, size_t length, const char* start)
{
    size_t i = 0;
    for (; start[i]; ++i)
        if (i == length || asciiLower(line[i]) != start[i])
            return false;
    return true;
}

// The start of the assemblers' banners: "flat assembler  version 1.73.34",
// "flat assembler  version g.l8vn".
const char BANNER_START[] = "flat assembler ";
// fasm g's message of an `err` directive, beside its "Error:".
const char CUSTOM_ERROR_START[] = "custom error:";

bool startsWithErrorMessage(const char* line, size_t length)
{
    return startsWithText(line, length, ERROR_MARKER) || startsWithText(line, length, CUSTOM_ERROR_START);
}

bool isBlank(const char* line, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (line[i] != ' ' && line[i] != '\t')
            return false;
    return true;
}

// Reads decimal digits from at; returns where they end. Wraps as the line
// number does.
size_t readNumber(const char* line, size_t length, size_t at, uint32_t* value)
{
    *value = 0;
    for (; at < length && line[at] >= '0' && line[at] <= '9'; ++at)
        *value = *value * 10u + (uint32_t)(line[at] - '0');
    return at;
}

// The place of a chain that starts at `start` (just past the space after the
// previous ']'): a name, a space, '[', digits, ']', then a space or the final
// ':'. Sets *close to its ']'. False when none does.
bool nextChainPlace(const char* line, size_t length, size_t start, ChainPlace* place, size_t* close)
{
    if (line[start] == ' ')
        return false;  // places are apart by single spaces
    // The name holds at least one character, so '[' stands at start + 2 or later.
    for (size_t open = start + 2; open < length; ++open) {
        if (line[open] != '[' || line[open - 1] != ' ')
            continue;
        uint32_t value;
        size_t end = readNumber(line, length, open + 1, &value);
        if (end >= length || line[end] != ']')
            continue;
        const bool last = end + 2 == length && line[end + 1] == ':';
        if (!last && !(end + 1 < length && line[end + 1] == ' '))
            continue;
        place->nameStart = start;
        place->nameLength = open - 1 - start;
        place->lineIndex = (int32_t)(value - 1u);
        *close = end;
        return true;
    }
    return false;
}

}  // namespace

bool parseErrorLine(const char* line, size_t length, ErrorLinePlace* place)
{
    size_t open = 0;
    while (open < length && line[open] != '[')
        ++open;
    if (open == length)
        return false;
    uint32_t value;
    size_t i = readNumber(line, length, open + 1, &value);
    if (i == length || line[i] != ']')
        return false;
    place->nameLength = open == 0 ? 0 : open - 1;
    place->lineIndex = (int32_t)(value - 1u);
    return true;
}

size_t parsePlaceChain(const char* line, size_t length, ChainPlace* places, size_t capacity)
{
    ErrorLinePlace first;
    if (capacity == 0 || !parseErrorLine(line, length, &first))
        return 0;
    places[0].nameStart = 0;
    places[0].nameLength = first.nameLength;
    places[0].lineIndex = first.lineIndex;
    // The first place's ']' is the first one after its '['.
    size_t close = first.nameLength + 1;
    while (line[close] != ']')
        ++close;
    size_t count = 1;
    while (close + 2 < length && line[close + 1] == ' ') {
        ChainPlace next;
        if (count == capacity || !nextChainPlace(line, length, close + 2, &next, &close))
            return 1;
        places[count++] = next;
    }
    return close + 2 == length && line[close + 1] == ':' ? count : 1;
}

OutputLineKind classifyOutputLine(const char* line, size_t length, ErrorLinePlace* place)
{
    ErrorLinePlace parsed;
    // The separator counts too: "error:[3]" is a message with its colon taken for the separator.
    if (parseErrorLine(line, length, &parsed) && !holdsErrorMarker(line, parsed.nameLength + 1)) {
        *place = parsed;
        return OUTPUT_LINE_PLACE;
    }
    return holdsErrorMarker(line, length) ? OUTPUT_LINE_ERROR_MESSAGE : OUTPUT_LINE_OTHER;
}

bool isPlaceHeading(const char* line, size_t length)
{
    ErrorLinePlace parsed;
    return length >= 2 && line[length - 2] == ']' && line[length - 1] == ':' &&
           classifyOutputLine(line, length, &parsed) == OUTPUT_LINE_PLACE;
}

PlaceVisit visitLinePlaces(char* line, size_t length, PlaceVisitor visit, void* context)
{
    ChainPlace places[PLACE_CHAIN_MAX];
    const size_t count = parsePlaceChain(line, length, places, PLACE_CHAIN_MAX);
    if (count == 0)
        return PLACES_NONE;
    // Each name ends at the space or separator before its '[', so cutting
    // there leaves every other name whole.
    for (size_t i = 0; i < count; ++i)
        line[places[i].nameStart + places[i].nameLength] = '\0';
    for (size_t i = count; i-- > 0;)
        if (visit(context, line + places[i].nameStart, places[i].lineIndex))
            return PLACE_TAKEN;
    return PLACES_NONE_TAKEN;
}

PlaceVisit visitErrorPlaces(int32_t errorLine, OutputLineReader read, void* readContext, char* buffer,
                            size_t size, PlaceVisitor visit, void* visitContext)
{
    PlaceVisit result = PLACES_NONE;
    bool belowIsHeading = false;  // the line just below the one being looked at
    bool mayBePreviousError = false;
    for (int32_t step = 1; step <= ERROR_BLOCK_REACH && step <= errorLine; ++step) {
        size_t got = 0;
        if (!read(readContext, errorLine - step, buffer, size, &got)) {
            if (mayBePreviousError)
                return result;
            belowIsHeading = false;
            continue;
        }
        const bool heading = isPlaceHeading(buffer, got);
        if (mayBePreviousError && !heading)
            return result;
        mayBePreviousError = false;
        if (isBlank(buffer, got) || startsWithText(buffer, got, BANNER_START))
            return result;
        if (heading) {
            if (visitLinePlaces(buffer, got, visit, visitContext) == PLACE_TAKEN)
                return PLACE_TAKEN;
            result = PLACES_NONE_TAKEN;
        } else if (belowIsHeading && startsWithErrorMessage(buffer, got)) {
            mayBePreviousError = true;
        }
        belowIsHeading = heading;
    }
    return result;
}

ErrorStep stepToError(const char* text, size_t length, size_t from, ErrorDirection direction)
{
    size_t count = 0, first = 0, last = 0;
    ErrorStep after = {0, 0, 0}, before = {0, 0, 0};  // the nearest either side of `from`
    bool belowHeading = false;
    for (size_t start = 0; start < length;) {
        size_t end = start;
        while (end < length && text[end] != '\n')
            ++end;
        size_t lineLength = end - start;
        if (lineLength > 0 && text[start + lineLength - 1] == '\r')
            --lineLength;
        const char* line = text + start;
        if (!belowHeading && startsWithErrorMessage(line, lineLength)) {
            ++count;
            if (count == 1)
                first = start;
            last = start;
            if (from != NO_POSITION && start < from)
                before = ErrorStep{start, count, 0};
            if (from != NO_POSITION && start > from && after.ordinal == 0)
                after = ErrorStep{start, count, 0};
        }
        belowHeading = isPlaceHeading(line, lineLength);
        start = end + 1;
    }
    ErrorStep step = {0, 0, count};
    if (count == 0)
        return step;
    if (direction == ERROR_NEXT && after.ordinal)
        step = after;
    else if (direction == ERROR_PREVIOUS)
        step = before.ordinal ? before : ErrorStep{last, count, 0};
    else
        step = ErrorStep{first, 1, 0};
    step.count = count;
    return step;
}
