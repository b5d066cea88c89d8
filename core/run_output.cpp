#include "core/run_output.h"

#include <string.h>

void tailInit(OutputTail* tail, char* buffer, size_t capacity)
{
    tail->buffer = buffer;
    tail->capacity = capacity;
    tail->next = 0;
    tail->received = 0;
}

void tailPush(OutputTail* tail, const char* bytes, size_t count)
{
    tail->received += count;
    if (tail->capacity == 0)
        return;
    if (count >= tail->capacity) {
        memcpy(tail->buffer, bytes + count - tail->capacity, tail->capacity);
        tail->next = 0;
        return;
    }
    size_t first = tail->capacity - tail->next;
    if (first > count)
        first = count;
    memcpy(tail->buffer + tail->next, bytes, first);
    memcpy(tail->buffer, bytes + first, count - first);
    tail->next = (tail->next + count) % tail->capacity;
}

namespace {

void reverse(char* from, char* to)
{
    while (from < to && from < --to) {
        char c = *from;
        *from++ = *to;
        *to = c;
    }
}

}  // namespace

const char* tailToShow(OutputTail* tail, uint64_t headBytes, size_t lineRoom, size_t* length)
{
    char* kept = tail->buffer;
    size_t count = (size_t)tail->received;
    if (tail->received > tail->capacity) {
        // The oldest byte is at next: rotated to the front by three reversals.
        reverse(kept, kept + tail->next);
        reverse(kept + tail->next, kept + tail->capacity);
        reverse(kept, kept + tail->capacity);
        tail->next = 0;
        count = tail->capacity;
    }
    const uint64_t afterHead = tail->received > headBytes ? tail->received - headBytes : 0;
    if (count > afterHead) {
        kept += count - (size_t)afterHead;
        count = (size_t)afterHead;
    } else if (count < afterHead) {
        const char* lineEnd = (const char*)memchr(kept, '\n', count / 2);
        if (lineEnd) {
            count -= (size_t)(lineEnd - kept) + 1;
            kept += (lineEnd - kept) + 1;
        }
    }
    return lastLines(kept, count, lineRoom, length);
}

namespace {

// Whether bytes[i] ends a line: "\n", or "\r" followed by something else.
// A "\r" that ends the bytes does not: output arrives in reads that may
// part a "\r\n", and its "\n" counts.
bool breaksLine(const char* bytes, size_t count, size_t i)
{
    return bytes[i] == '\n' || (bytes[i] == '\r' && i + 1 < count && bytes[i + 1] != '\n');
}

}  // namespace

size_t countLineBreaks(const char* bytes, size_t count)
{
    size_t breaks = 0;
    for (size_t i = 0; i < count; ++i)
        if (breaksLine(bytes, count, i))
            ++breaks;
    return breaks;
}

size_t fittingPrefix(const char* bytes, size_t count, size_t byteRoom, size_t lineRoom)
{
    const size_t limit = count < byteRoom ? count : byteRoom;
    size_t breaks = 0;
    for (size_t i = 0; i < limit; ++i)
        if (breaksLine(bytes, count, i) && ++breaks == lineRoom)
            return i + 1;
    return lineRoom == 0 ? 0 : limit;
}

const char* lastLines(const char* text, size_t length, size_t lineRoom, size_t* kept)
{
    size_t breaks = 0;
    for (size_t i = length; i-- > 0;)
        if (breaksLine(text, length, i) && ++breaks > lineRoom) {
            *kept = length - i - 1;
            return text + i + 1;
        }
    *kept = length;
    return text;
}

namespace {

bool fitsInFileName(unsigned char c) { return c >= 32 && c != 127 && !strchr("\\/:*?\"<>|", c); }

}  // namespace

bool runOutputFileName(const char* projectFile, const char* suffix, char* out, size_t size)
{
    uint32_t hash = 2166136261u;  // FNV-1a
    for (const char* p = projectFile; *p; ++p) {
        unsigned char c = (unsigned char)*p;
        if (c >= 'a' && c <= 'z')
            c = (unsigned char)(c - 'a' + 'A');
        if (c == '/')
            c = '\\';
        hash = (hash ^ c) * 16777619u;
    }
    const char* name = projectFile;
    for (const char* p = projectFile; *p; ++p)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    size_t length = strlen(name);
    const char* dot = strrchr(name, '.');
    if (dot && dot != name)
        length = (size_t)(dot - name);
    if (length == 0) {
        name = "output";
        length = 6;
    }
    // The name is cut so that the digits and the suffix always fit in a path.
    if (length > 64)
        length = 64;
    const size_t need = length + 1 + 8 + strlen(suffix) + 1;
    if (need > size)
        return false;
    for (size_t i = 0; i < length; ++i)
        out[i] = fitsInFileName((unsigned char)name[i]) ? name[i] : '_';
    out[length] = '-';
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i)
        out[length + 1 + i] = digits[(hash >> (28 - 4 * i)) & 15];
    strcpy(out + length + 9, suffix);
    return true;
}
