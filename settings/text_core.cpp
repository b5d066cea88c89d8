#include "settings/text_core.h"

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
