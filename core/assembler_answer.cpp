#include "core/assembler_answer.h"

#include <string.h>

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool startsWithIgnoringCase(const char* text, const char* start)
{
    for (; *start; ++text, ++start)
        if (lower(*text) != *start)
            return false;
    return true;
}

bool equalIgnoringCase(const char* a, const char* b) { return startsWithIgnoringCase(a, b) && !a[strlen(b)]; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

size_t programOfCommand(const char* command, char* out, size_t outSize)
{
    if (outSize == 0)
        return 0;
    out[0] = '\0';
    const char* start = command;
    while (isBlank(*start))
        ++start;
    const char* end;
    if (*start == '"') {
        ++start;
        end = strchr(start, '"');
        if (!end)
            end = start + strlen(start);
    } else {
        end = start + strlen(start);
        while (end > start && isBlank(end[-1]))
            --end;
    }
    size_t length = (size_t)(end - start);
    if (length == 0 || length >= outSize)
        return 0;
    memcpy(out, start, length);
    out[length] = '\0';
    return length;
}

size_t firstPrintedLine(const char* bytes, size_t count, char* out, size_t outSize, bool* complete)
{
    *complete = false;
    if (outSize == 0)
        return 0;
    out[0] = '\0';
    size_t at = 0;
    for (;;) {
        size_t end = at;
        while (end < count && !isLineBreak(bytes[end]))
            ++end;
        bool hasText = false;
        for (size_t i = at; i < end && !hasText; ++i)
            hasText = !isBlank(bytes[i]) && bytes[i] != '\0';
        if (hasText) {
            size_t length = end - at < outSize - 1 ? end - at : outSize - 1;
            for (size_t i = 0; i < length; ++i) {
                unsigned char c = (unsigned char)bytes[at + i];
                out[i] = c < 0x20 || c == 0x7F ? ' ' : (char)c;
            }
            out[length] = '\0';
            *complete = length > 0 && end < count;
            return length;
        }
        if (end >= count)
            return 0;
        at = end + 1;
    }
}

bool isFlatAssemblerBanner(const char* line) { return startsWithIgnoringCase(line, "flat assembler"); }

bool isFasmgProgram(const char* fileName)
{
    return equalIgnoringCase(fileName, "fasmg.exe") || equalIgnoringCase(fileName, "fasmg");
}
