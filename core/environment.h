// The environment a child process starts with: the parent's, with one
// variable given folders of the caller's ahead of what it holds. Needs no
// Win32.
//
// A block is a run of "name=value" entries, each NUL-terminated, ended by
// one more NUL (an empty block is a single NUL). Entries whose name starts
// with '=' (the drives' current folders) belong to the system and are kept.
#pragma once

#include <stddef.h>

// Bytes that prefixVariable writes for these arguments, at most.
size_t prefixedBlockSize(const char* block, const char* name, const char* value);

// Writes the block with the variable `name` (letter case ignored) set to
// value;<its value> - or to value alone when the block has no such
// variable or it is empty - in the place of the first entry of that name;
// later entries of that name are dropped. A new variable goes before the
// first entry whose name sorts after it, as the system keeps them. Trailing
// ';' of value are left out, so no empty entry comes between the two.
// Returns the bytes written, the final NUL included; 0 when they do not fit
// in outSize bytes, or name is empty or holds '='.
size_t prefixVariable(const char* block, const char* name, const char* value, char* out, size_t outSize);
