// Any 73-byte definition record (a shorter input is padded with zeros) into a
// heap buffer of exactly DEFINITION_LINE_MAX bytes. The line must read back
// as the record's name, " equ ", the id in decimal and CR LF.

#include "core/rc_format.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<unsigned char[]> record(new unsigned char[DEFINITION_RECORD_SIZE]());
    memcpy(record.get(), data, size < DEFINITION_RECORD_SIZE ? size : DEFINITION_RECORD_SIZE);
    std::unique_ptr<char[]> out(new char[DEFINITION_LINE_MAX]);
    memset(out.get(), 0x7f, DEFINITION_LINE_MAX);

    const size_t n = formatDefinitionLine(out.get(), record.get());
    const char* line = out.get();
    if (n >= DEFINITION_LINE_MAX || strlen(line) != n || n < 2 || memcmp(line + n - 2, "\r\n", 2))
        abort();

    const size_t nameLength = strnlen(reinterpret_cast<const char*>(record.get()), 64);
    if (memcmp(line, record.get(), nameLength) != 0 || memcmp(line + nameLength, " equ ", 5) != 0)
        abort();

    const char* p = line + nameLength + 5;
    const char* digitsEnd = line + n - 2;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    if (p == digitsEnd || (*p == '0' && digitsEnd - p > 1))
        abort();  // no digits, or a leading zero
    int64_t value = 0;
    for (; p < digitsEnd; ++p) {
        if (*p < '0' || *p > '9' || value > 10000000000LL)
            abort();
        value = value * 10 + (*p - '0');
    }
    if (negative) {
        if (value == 0)
            abort();  // "-0"
        value = -value;
    }
    const uint32_t raw = (uint32_t)record[65] | (uint32_t)record[66] << 8 | (uint32_t)record[67] << 16 |
                         (uint32_t)record[68] << 24;
    int32_t id;
    memcpy(&id, &raw, sizeof id);
    if (value != id)
        abort();
    return 0;
}
