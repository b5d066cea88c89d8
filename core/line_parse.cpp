#include "core/line_parse.h"

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
