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

const char* tailInOrder(OutputTail* tail, size_t* length)
{
    if (tail->received <= tail->capacity) {
        *length = (size_t)tail->received;
        return tail->buffer;
    }
    // The oldest byte is at next: rotated to the front by three reversals.
    char* buffer = tail->buffer;
    reverse(buffer, buffer + tail->next);
    reverse(buffer + tail->next, buffer + tail->capacity);
    reverse(buffer, buffer + tail->capacity);
    tail->next = 0;
    const char* lineEnd = (const char*)memchr(buffer, '\n', tail->capacity / 2);
    const size_t skip = lineEnd ? (size_t)(lineEnd - buffer) + 1 : 0;
    *length = tail->capacity - skip;
    return buffer + skip;
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
