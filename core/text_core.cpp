#include "core/text_core.h"

#include <string.h>

int splitIntoSlots(const char* text, char* slots, size_t stride, int count)
{
    if (count <= 0 || stride == 0)
        return count;
    int field = 0;
    size_t used = 0;
    char* slot = slots;
    for (const char* p = text;; ++p) {
        if (*p == '^' || *p == '\0') {
            slot[used] = '\0';
            ++field;
            if (*p == '\0' || field == count)
                break;
            slot = slots + field * stride;
            used = 0;
        } else if (used + 1 < stride) {
            slot[used++] = *p;
        }
    }
    // A text with fewer separators than fields leaves the rest empty rather
    // than showing whatever an earlier language put there.
    for (; field < count; ++field)
        slots[field * stride] = '\0';
    return count;
}

void cutAt(char* text, char c)
{
    for (; *text; ++text)
        if (*text == c) {
            *text = '\0';
            return;
        }
}

void replaceChar(char* text, char from, char to)
{
    for (; *text; ++text)
        if (*text == from)
            *text = to;
}

bool textsEqual(const char* a, const char* b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

namespace {

// The kind of argument the conversion at *p (just after a '%') reads: 'n' a
// number, 's' a text, '%' none (a literal percent sign), 0 unknown. Moves *p
// behind the conversion.
char conversionKind(const char** p)
{
    const char* s = *p;
    if (*s == '%') {
        *p = s + 1;
        return '%';
    }
    while (*s == '-' || *s == '#' || *s == '0')
        ++s;
    while (*s >= '0' && *s <= '9')
        ++s;
    if (*s == '.') {
        ++s;
        while (*s >= '0' && *s <= '9')
            ++s;
    }
    if (*s == 'l' || *s == 'h')
        ++s;
    char kind = 0;
    switch (*s) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 'c':
    case 'C':
        kind = 'n';
        break;
    case 's':
    case 'S':
        kind = 's';
        break;
    default:
        return 0;
    }
    *p = s + 1;
    return kind;
}

// The next conversion's kind from *p on, 0 at the end of the text, '?' for
// one the platform does not know.
char nextConversion(const char** p)
{
    for (const char* s = *p; *s; ++s) {
        if (*s != '%')
            continue;
        const char* after = s + 1;
        char kind = conversionKind(&after);
        if (kind == 0) {
            *p = s + 1;
            return '?';
        }
        *p = after;
        if (kind != '%')
            return kind;
        s = after - 1;
    }
    *p = "";
    return 0;
}

}  // namespace

bool conversionsMatch(const char* format, const char* reference)
{
    const char* f = format;
    const char* r = reference;
    for (;;) {
        char a = nextConversion(&f);
        char b = nextConversion(&r);
        if (a == '?' || a != b)
            return false;
        if (a == 0)
            return true;
    }
}

char* replaceText(const char* text, const char* from, const char* to, char* out, size_t outSize)
{
    const size_t fromLength = strlen(from), toLength = strlen(to);
    size_t used = 0;
    auto put = [&](const char* bytes, size_t n) {
        size_t room = outSize - 1 - used;
        size_t take = n < room ? n : room;
        memcpy(out + used, bytes, take);
        used += take;
    };
    while (*text) {
        if (fromLength > 0 && strncmp(text, from, fromLength) == 0) {
            put(to, toLength);
            text += fromLength;
        } else {
            put(text, 1);
            ++text;
        }
    }
    out[used] = '\0';
    return out;
}
