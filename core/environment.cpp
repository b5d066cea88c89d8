#include "core/environment.h"

#include <string.h>

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// The length of an entry's name: up to its first '=' after the first byte,
// which may itself be '=' (the drives' entries).
size_t nameLength(const char* entry)
{
    const char* equals = entry[0] ? strchr(entry + 1, '=') : nullptr;
    return equals ? (size_t)(equals - entry) : strlen(entry);
}

// Compares an entry's name with name, letter case ignored, as the system
// sorts names: <0, 0 or >0.
int compareName(const char* entry, size_t entryLength, const char* name, size_t length)
{
    for (size_t i = 0; i < entryLength && i < length; ++i) {
        unsigned char a = (unsigned char)upper(entry[i]), b = (unsigned char)upper(name[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    return entryLength == length ? 0 : entryLength < length ? -1 : 1;
}

size_t trimmedLength(const char* value)
{
    size_t n = strlen(value);
    while (n > 0 && value[n - 1] == ';')
        --n;
    return n;
}

struct Writer {
    char* at;
    char* end;
    bool fits = true;
    void put(const char* text, size_t n)
    {
        if (!fits || (size_t)(end - at) < n) {
            fits = false;
            return;
        }
        memcpy(at, text, n);
        at += n;
    }
    void putChar(char c) { put(&c, 1); }
};

// name=value[;old] and its terminator.
void writeVariable(Writer* w, const char* name, size_t length, const char* value, const char* old)
{
    w->put(name, length);
    w->putChar('=');
    w->put(value, trimmedLength(value));
    if (old && old[0]) {
        w->putChar(';');
        w->put(old, strlen(old));
    }
    w->putChar('\0');
}

}  // namespace

size_t prefixedBlockSize(const char* block, const char* name, const char* value)
{
    size_t n = 1;
    for (const char* entry = block ? block : ""; *entry; entry += strlen(entry) + 1)
        n += strlen(entry) + 1;
    return n + strlen(name) + 1 + strlen(value) + 1 + 1;
}

size_t prefixVariable(const char* block, const char* name, const char* value, char* out, size_t outSize)
{
    const size_t length = strlen(name);
    if (length == 0 || strchr(name, '=') || !out)
        return 0;
    if (!block)
        block = "";
    // The variable keeps its place when the block has it: a block need not
    // be sorted (Wine's is not), so its place cannot be told from its name.
    const char* existing = nullptr;
    for (const char* entry = block; *entry && !existing; entry += strlen(entry) + 1)
        if (entry[0] != '=' && compareName(entry, nameLength(entry), name, length) == 0)
            existing = entry;
    Writer w = {out, out + outSize};
    bool written = false;
    for (const char* entry = block; *entry; entry += strlen(entry) + 1) {
        const size_t entryName = nameLength(entry);
        const int order = entry[0] == '=' ? -1 : compareName(entry, entryName, name, length);
        if (order == 0) {
            // The old value follows the name and its '='; an entry without
            // '=' has none.
            if (entry == existing)
                writeVariable(&w, name, length, value, entry[entryName] == '=' ? entry + entryName + 1 : "");
            continue;
        }
        if (order > 0 && !existing && !written) {
            writeVariable(&w, name, length, value, "");
            written = true;
        }
        w.put(entry, strlen(entry) + 1);
    }
    if (!existing && !written)
        writeVariable(&w, name, length, value, "");
    w.putChar('\0');
    return w.fits ? (size_t)(w.at - out) : 0;
}
