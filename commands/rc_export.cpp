// Writes the project's resource identifiers as FASM constants, one
// "NAME equ ID" line each, to rc.inc beside the resource script.
#include "commands/rc_export.h"

#include "core/path_text.h"
#include "core/rc_format.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "settings/paths.h"
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
    if (!replaceFileName(finalPath, MAX_PATH, RC_INC_NAME))
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

// What became of an export: the file it was about, and the system's error
// (NO_SYSTEM_ERROR with a file when the failure is no system error).
struct ExportResult {
    bool exported;
    DWORD error;
    char path[LONG_TEXT_SIZE];
};

ExportResult exportFailure(const char* path, DWORD error)
{
    ExportResult result = {false, error, ""};
    lstrcpynA(result.path, path, LONG_TEXT_SIZE);
    return result;
}

// Replaces rc.inc beside the resource script with the host's list.
// Exported when at least one line was written and the file replaced.
ExportResult writeRcInclude(const char* resourceScript)
{
    char finalPath[MAX_PATH], tempPath[MAX_PATH];
    if (!makeOutputPaths(resourceScript, finalPath, tempPath))
        return exportFailure(resourceScript, ERROR_FILENAME_EXCED_RANGE);
    // A null list start is no list at all (the host has not read the script):
    // the rc.inc that the sources include is left as it is.
    const ResourceDefinition* const* listVar = hostWindows().definitionsVar;
    const ResourceDefinition* list = listVar ? *listVar : nullptr;
    if (!list)
        return exportFailure(finalPath, NO_SYSTEM_ERROR);
    if (isReadOnlyFile(finalPath))
        return exportFailure(finalPath, ERROR_ACCESS_DENIED);
    // The lines go to a file of their own first, so that a write failing
    // part-way leaves the previous rc.inc as it was.
    // The user knows rc.inc, not the file it is written through: that one is
    // named only when it is what stands in the way.
    HANDLE file = CreateFileA(tempPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        bool inTheWay = GetFileAttributesA(tempPath) != INVALID_FILE_ATTRIBUTES;
        return exportFailure(inTheWay ? tempPath : finalPath, error);
    }
    size_t lines = 0;
    bool complete = writeLines(file, list, &lines);
    DWORD error = complete ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    if (!complete) {
        DeleteFileA(tempPath);
        return exportFailure(finalPath, error ? error : ERROR_WRITE_FAULT);
    }
    if (!MoveFileExA(tempPath, finalPath, MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        DeleteFileA(tempPath);
        return exportFailure(finalPath, error);
    }
    // An empty list still replaces rc.inc with an empty file; it counts as
    // nothing exported.
    return lines > 0 ? ExportResult{true, ERROR_SUCCESS, ""} : exportFailure(finalPath, NO_SYSTEM_ERROR);
}

}  // namespace

bool exportResourceDefinitions(const ProjectInfo& project)
{
    if (!project.field[PROJECT_FIELD_PROJECT_FILE])
        return false;
    const char* const* scriptVar = hostWindows().resourceScriptPathVar;
    const char* resourceScript = scriptVar ? *scriptVar : nullptr;
    if (!resourceScript)
        return false;
    ExportResult result = writeRcInclude(resourceScript);
    if (!result.exported)
        showFileError(TEXT_EXPORT_FAILED, result.path, result.error);
    return result.exported;
}

LRESULT resourceExportCommand(UINT)
{
    if (!keepRcOn())
        return 0;
    ProjectInfo project = {};
    SendMessageA(hostWindows().mainWindow, HM_GET_PROJECT_INFO, (WPARAM)&project, 0);
    if (exportResourceDefinitions(project)) {
        char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
        showMessage(messageText(TEXT_EXPORT_DONE, text), lookup(TEXT_EXPORT_CAPTION, caption), MB_OK);
    }
    return finishCommand();
}
