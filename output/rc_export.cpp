// Writes the project's resource identifiers as FASM constants, one
// "NAME equ ID" line each, to rc.inc beside the resource script.
#include "output/rc_export.h"

#include <shlwapi.h>

#include "core/rc_format.h"
#include "host/addin_state.h"
#include "host/host_ui.h"
#include "settings/ui_text.h"

namespace {

const char RC_INC_NAME[] = "rc.inc";

// rc.inc beside the resource script, and the file the lines go to first.
// False when either path would not fit the platform's path limit.
bool makeOutputPaths(const char* resourceScript, char* finalPath, char* tempPath)
{
    if (lstrlenA(resourceScript) >= MAX_PATH)
        return false;
    lstrcpyA(finalPath, resourceScript);
    PathRemoveFileSpecA(finalPath);
    if (!PathAppendA(finalPath, RC_INC_NAME))
        return false;
    // "rc.in~": as long as the final name, so that it fits wherever rc.inc does.
    lstrcpyA(tempPath, finalPath);
    tempPath[lstrlenA(tempPath) - 1] = '~';
    return true;
}

// A read-only rc.inc is the user's way of keeping it. Replacing a file by
// moving another over it ignores that attribute where the process may write
// everything (Wine running as root), so it is checked here.
bool isReadOnlyFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes one line per record until the list ends; false when a write failed.
// Counts the lines written.
bool writeLines(HANDLE file, const ResourceDefinition* list, size_t* lines)
{
    for (const unsigned char* record = (const unsigned char*)list; !isListEnd(record);
         record += DEFINITION_RECORD_SIZE) {
        char line[DEFINITION_LINE_MAX];
        DWORD length = (DWORD)formatDefinitionLine(line, record);
        DWORD written = 0;
        if (!WriteFile(file, line, length, &written, nullptr) || written != length)
            return false;
        ++*lines;
    }
    return true;
}

// Replaces rc.inc beside the resource script with the host's list. True
// when at least one line was written and the file replaced.
bool writeRcInclude(const char* resourceScript)
{
    // A null list start is no list at all (the host has not read the script):
    // the rc.inc that the sources include is left as it is.
    const ResourceDefinition* list = g.definitionsVar ? *g.definitionsVar : nullptr;
    if (!list)
        return false;
    char finalPath[MAX_PATH], tempPath[MAX_PATH];
    if (!makeOutputPaths(resourceScript, finalPath, tempPath) || isReadOnlyFile(finalPath))
        return false;
    // The lines go to a file of their own first, so that a write failing
    // part-way leaves the previous rc.inc as it was.
    HANDLE file = CreateFileA(tempPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    size_t lines = 0;
    bool complete = writeLines(file, list, &lines);
    CloseHandle(file);
    // An empty list still replaces rc.inc with an empty file; it counts as
    // nothing exported.
    if (!complete || !MoveFileExA(tempPath, finalPath, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(tempPath);
        return false;
    }
    return lines > 0;
}

}  // namespace

bool exportResourceDefinitions()
{
    if (!g.project.field[PROJECT_FIELD_PROJECT_FILE])
        return false;
    const char* resourceScript = g.resourceScriptPathVar ? *g.resourceScriptPathVar : nullptr;
    if (!resourceScript)
        return false;
    if (!writeRcInclude(resourceScript)) {
        char text[WORK_BUFFER_SIZE];
        showMessage(messageText(TEXT_EXPORT_FAILED, text), nullptr, MB_ICONERROR);
        return false;
    }
    return true;
}

LRESULT resourceExportCommand()
{
    if (g.keepRcInclude != 1)
        return 0;
    if (exportResourceDefinitions()) {
        char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
        showMessage(messageText(TEXT_EXPORT_DONE, text), lookup(TEXT_EXPORT_CAPTION, caption), MB_OK);
    }
    return finishCommand();
}
