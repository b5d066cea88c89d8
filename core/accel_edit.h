// Editing an array of accelerator entries in the platform's 6-byte layout
// (flags byte, pad byte, 16-bit key, 16-bit command). Needs no Win32.
#pragma once

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)
struct AccelEntry {
    uint8_t flags;
    uint8_t pad;
    uint16_t key;
    uint16_t command;
};
#pragma pack(pop)
static_assert(sizeof(AccelEntry) == 6, "the platform's ACCEL is 6 bytes");

// A shortcut as the low 32 bits of an entry: flags in bits 0-7, key in bits 16-31.
inline uint8_t packedFlags(uint32_t packed) { return (uint8_t)(packed & 0xFF); }
inline uint16_t packedKey(uint32_t packed) { return (uint16_t)(packed >> 16); }

// Writes entry `count` (the slot after the last); returns the new count.
size_t appendAccel(AccelEntry* entries, size_t count, uint32_t packed, uint16_t command);

// Index of the first entry with the packed shortcut and command, or -1. The
// pad byte is not compared: the platform does not promise to zero it.
long findAccel(const AccelEntry* entries, size_t count, uint32_t packed, uint16_t command);

// Removes entry `index`, moving the rest down; returns the new count.
size_t removeAccelAt(AccelEntry* entries, size_t count, size_t index);
