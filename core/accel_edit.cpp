#include "core/accel_edit.h"

#include <string.h>

size_t appendAccel(AccelEntry* entries, size_t count, uint32_t packed, uint16_t command)
{
    AccelEntry& e = entries[count];
    e.flags = packedFlags(packed);
    e.pad = 0;
    e.key = packedKey(packed);
    e.command = command;
    return count + 1;
}

long findAccel(const AccelEntry* entries, size_t count, uint32_t packed, uint16_t command)
{
    for (size_t i = 0; i < count; ++i) {
        const AccelEntry& e = entries[i];
        if (e.flags == packedFlags(packed) && e.key == packedKey(packed) && e.command == command)
            return (long)i;
    }
    return -1;
}

size_t removeAccelAt(AccelEntry* entries, size_t count, size_t index)
{
    if (index >= count)
        return count;
    memmove(entries + index, entries + index + 1, (count - index - 1) * sizeof(AccelEntry));
    return count - 1;
}
