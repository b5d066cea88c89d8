#include "core/line_parse.h"

namespace {

const char ERROR_MARKER[] = "error:";
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

bool isBlank(const char* line, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (line[i] != ' ' && line[i] != '\t')
            return false;
    return true;
}

}  // namespace

bool parseErrorLine(const char* line, size_t length, ErrorLinePlace* place)
{
    size_t open = 0;
    while (open < length && line[open] != '[')
        ++open;
    if (open == length)
        return false;
    uint32_t value = 0;
    size_t i = open + 1;
    for (; i < length && line[i] >= '0' && line[i] <= '9'; ++i)
        value = value * 10u + (uint32_t)(line[i] - '0');
    if (i == length || line[i] != ']')
        return false;
    place->nameLength = open == 0 ? 0 : open - 1;
    place->lineIndex = (int32_t)(value - 1u);
    return true;
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

int32_t placeHeadingAbove(int32_t errorLine, OutputLineReader read, void* context, char* buffer, size_t size,
                          size_t* length)
{
    for (int32_t step = 1; step <= ERROR_BLOCK_REACH && step <= errorLine; ++step) {
        const int32_t line = errorLine - step;
        size_t got = 0;
        if (!read(context, line, buffer, size, &got))
            continue;
        if (isBlank(buffer, got))
            return -1;
        if (isPlaceHeading(buffer, got)) {
            *length = got;
            return line;
        }
    }
    return -1;
}
