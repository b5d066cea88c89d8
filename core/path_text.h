// Looking at file paths as text, before the file system is asked: which part
// names the file, whether a name may be a short (8.3) alias, and whether a
// path names a plain file rather than a device. Needs no Win32.
#pragma once

#include <stddef.h>

// The file name a NUL-terminated path ends with: the text after its last '\'
// or '/' (the whole path when it has neither). Points into path.
const char* finalPathComponent(const char* path);

// Cuts a NUL-terminated path to its folder, in place: the text before its
// last '\' or '/'. A separator that a root needs stays ("C:\a" gives "C:\",
// "\a" gives "\"); a bare name gives "".
void cutToFolder(char* path);

// Puts name in the place of the file name a NUL-terminated path ends with
// (cutToFolder, then a '\' unless the folder is empty or ends with a
// separator, then name). False, with path cut to its folder, when the
// result would not fit in size bytes.
bool replaceFileName(char* path, size_t size, const char* name);

// Removes the extension of the file name a NUL-terminated path ends with,
// in place: from its last '.' on. A name without one is left as it is.
void removeExtension(char* path);

// True when a file name may be the short alias of a longer one: the aliases
// the system makes up for long names hold a '~'; any other short name is the
// long name itself in some letter case.
bool mayBeShortAlias(const char* name);

// True when a NUL-terminated full path names a file on a drive or a network
// share ("X:\..." or "\\server\share\...", either separator), false for the
// device namespaces ("\\.\", "\\?\"), where opening a name may reach a
// device or a pipe, and for anything else.
bool isPlainFilePath(const char* path);
