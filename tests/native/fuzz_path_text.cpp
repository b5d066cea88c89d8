// A path as the same-file search sees it before asking the file system: any
// bytes up to the first NUL. Answers are checked against plain readings of
// the rules.

#include "core/path_text.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

namespace {

bool separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> path(new char[size + 1]);
    memcpy(path.get(), data, size);
    path[size] = '\0';
    const char* p = path.get();
    const size_t length = strlen(p);

    const char* name = finalPathComponent(p);
    if (name < p || name > p + length)
        abort();
    if (name > p && !separator(name[-1]))
        abort();
    for (const char* c = name; *c; ++c)
        if (separator(*c))
            abort();

    if (mayBeShortAlias(p) != (strchr(p, '~') != nullptr))
        abort();

    // The folder is the path up to its last separator, the separator kept
    // only where a root needs it; the name without its extension loses its
    // last '.' and what follows, nothing else.
    std::unique_ptr<char[]> folder(new char[length + 1]);
    memcpy(folder.get(), p, length + 1);
    cutToFolder(folder.get());
    const size_t kept = strlen(folder.get());
    const size_t nameAt = (size_t)(name - p);
    if (memcmp(folder.get(), p, kept) != 0)
        abort();
    const bool root = nameAt == 1 || (nameAt == 3 && p[1] == ':');
    if (kept != (nameAt == 0 ? 0 : root ? nameAt : nameAt - 1))
        abort();
    std::unique_ptr<char[]> stem(new char[length + 1]);
    memcpy(stem.get(), p, length + 1);
    removeExtension(stem.get());
    const char* dot = strrchr(name, '.');
    if (strlen(stem.get()) != (dot ? (size_t)(dot - p) : length) || memcmp(stem.get(), p, strlen(stem.get())) != 0)
        abort();

    if (isPlainFilePath(p)) {
        const bool drive =
            length >= 3 && ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') && p[1] == ':' && separator(p[2]);
        const bool share = length >= 5 && separator(p[0]) && separator(p[1]) && !separator(p[2]);
        if (!drive && !share)
            abort();
        // Never the device namespaces.
        if (share && (p[2] == '.' || p[2] == '?') && (separator(p[3]) || p[3] == '\0'))
            abort();
    }
    return 0;
}
