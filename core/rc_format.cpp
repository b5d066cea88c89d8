#include "core/rc_format.h"

#include <stdint.h>

size_t formatDefinitionLine(char* out, const unsigned char* record)
{
    size_t n = 0;
    for (size_t i = 0; i < DEFINITION_NAME_FIELD - 1 && record[i]; ++i)
        out[n++] = (char)record[i];
    const char* equ = " equ ";
    while (*equ)
        out[n++] = *equ++;
    uint32_t raw = (uint32_t)record[65] | (uint32_t)record[66] << 8 | (uint32_t)record[67] << 16 |
                   (uint32_t)record[68] << 24;
    // Magnitude in unsigned arithmetic, so INT32_MIN needs no special case.
    uint32_t magnitude = raw;
    if (raw & 0x80000000u) {
        out[n++] = '-';
        magnitude = 0u - raw;
    }
    char digits[10];
    size_t d = 0;
    do {
        digits[d++] = (char)('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude);
    while (d)
        out[n++] = digits[--d];
    out[n++] = '\r';
    out[n++] = '\n';
    out[n] = '\0';
    return n;
}
