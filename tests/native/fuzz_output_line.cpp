// An output line as the double-click handler sees it: any bytes, any length,
// not NUL-terminated. libFuzzer's buffer is exactly the input's size, so any
// read past length is an ASan report. The verdict, name and index are checked
// against a reading of the line done the slow way.

#include "core/line_parse.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

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
    return 0;
}
