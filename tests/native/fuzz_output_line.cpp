// An output line as the double-click handler sees it: any bytes, any length,
// not NUL-terminated. libFuzzer's buffer is exactly the input's size, so any
// read past length is an ASan report. The verdict, name and index are checked
// against a reading of the line done the slow way, and a chain of places
// against the form it must have been read from.

#include "core/line_parse.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The line index a bracketed number at `open` gives, read the slow way; -2
// with *close unset when the digits are not closed by ']'.
int64_t indexAt(const char* line, size_t size, size_t open, size_t* close)
{
    uint64_t number = 0;
    size_t i = open + 1;
    for (; i < size && line[i] >= '0' && line[i] <= '9'; ++i)
        number = (number * 10 + (uint64_t)(line[i] - '0')) % 0x100000000ull;
    if (i >= size || line[i] != ']')
        return -2;
    *close = i;
    const int64_t index = (int64_t)number - 1;
    return index > INT32_MAX ? index - 0x100000000ll : index;
}

// A chain is the first place, then for each further one: a space, a name
// that starts with no space, a space, a bracketed number; then ':' and the
// end of the line. Anything else is the first place alone.
void checkChain(const char* line, size_t size, const ErrorLinePlace& first)
{
    ChainPlace places[PLACE_CHAIN_MAX];
    const size_t count = parsePlaceChain(line, size, places, PLACE_CHAIN_MAX);
    if (count == 0 || count > PLACE_CHAIN_MAX || places[0].nameStart != 0 ||
        places[0].nameLength != first.nameLength || places[0].lineIndex != first.lineIndex)
        abort();
    size_t close = 0;
    indexAt(line, size, (size_t)((const char*)memchr(line, '[', size) - line), &close);
    for (size_t i = 1; i < count; ++i) {
        const ChainPlace& p = places[i];
        const size_t open = p.nameStart + p.nameLength + 1;
        size_t end = 0;
        if (p.nameStart != close + 2 || line[close + 1] != ' ' || p.nameLength == 0 ||
            line[p.nameStart] == ' ' || open >= size || line[open - 1] != ' ' || line[open] != '[' ||
            indexAt(line, size, open, &end) != p.lineIndex)
            abort();
        close = end;
    }
    if (count > 1 && !(close + 2 == size && line[close + 1] == ':'))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* line = reinterpret_cast<const char*>(data);
    ErrorLinePlace place{};
    const bool ok = parseErrorLine(line, size, &place);

    const char* open = static_cast<const char*>(memchr(line, '[', size));
    bool expectOk = false;
    uint64_t number = 0;  // kept below 2^32 the way a uint32 would wrap
    if (open) {
        size_t i = (size_t)(open - line) + 1;
        for (; i < size && line[i] >= '0' && line[i] <= '9'; ++i)
            number = (number * 10 + (uint64_t)(line[i] - '0')) % 0x100000000ull;
        expectOk = i < size && line[i] == ']';
    }
    if (ok != expectOk)
        abort();
    if (!ok)
        return 0;

    // The name ends just before the separator that precedes the first '['.
    const size_t at = (size_t)(open - line);
    if (place.nameLength >= size || place.nameLength != (at == 0 ? 0 : at - 1))
        abort();
    const int64_t index = (int64_t)number - 1;
    const int64_t wrapped = index > INT32_MAX ? index - 0x100000000ll : index;
    if (place.lineIndex != wrapped)
        abort();
    checkChain(line, size, place);
    return 0;
}
