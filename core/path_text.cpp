#include "core/path_text.h"

#include <string.h>

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

const char* finalPathComponent(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (isSeparator(*p))
            name = p + 1;
    return name;
}

void cutToFolder(char* path)
{
    char* last = nullptr;
    for (char* p = path; *p; ++p)
        if (isSeparator(*p))
            last = p;
    if (!last) {
        path[0] = '\0';
        return;
    }
    const bool driveRoot = last == path + 2 && path[1] == ':';
    const bool topRoot = last == path;
    last[driveRoot || topRoot ? 1 : 0] = '\0';
}

bool replaceFileName(char* path, size_t size, const char* name)
{
    cutToFolder(path);
    size_t length = strlen(path);
    const bool separator = length > 0 && !isSeparator(path[length - 1]);
    const size_t nameLength = strlen(name);
    if (length + (separator ? 1 : 0) + nameLength >= size)
        return false;
    if (separator)
        path[length++] = '\\';
    memcpy(path + length, name, nameLength + 1);
    return true;
}

void removeExtension(char* path)
{
    char* name = const_cast<char*>(finalPathComponent(path));
    char* dot = nullptr;
    for (char* p = name; *p; ++p)
        if (*p == '.')
            dot = p;
    if (dot)
        *dot = '\0';
}

bool mayBeShortAlias(const char* name)
{
    for (; *name; ++name)
        if (*name == '~')
            return true;
    return false;
}

bool isPlainFilePath(const char* path)
{
    if (isAsciiLetter(path[0]) && path[1] == ':' && isSeparator(path[2]))
        return true;
    if (!isSeparator(path[0]) || !isSeparator(path[1]))
        return false;
    // "\\server\share": a server name that is not a namespace prefix, then a separator.
    const char* server = path + 2;
    if ((server[0] == '.' || server[0] == '?') && (isSeparator(server[1]) || server[1] == '\0'))
        return false;
    const char* p = server;
    while (*p && !isSeparator(*p))
        ++p;
    return p > server && isSeparator(*p) && p[1] && !isSeparator(p[1]);
}
