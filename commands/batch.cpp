// The popup's batch commands: Redirect OUT, Execute first BAT and Execute
// ASM as BAT.
#include "commands/batch.h"

#include <richedit.h>

#include "commands/assemble.h"
#include "commands/runner.h"
#include "core/path_text.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "settings/ui_text.h"

namespace {

const char BATCH_EXTENSION[] = ".bat";

// The Redirect OUT item's command; its check mark is the setting, read when
// needed. The host's menu finds the item inside the add-in's popup.
UINT redirectId;

bool redirectOutputOn()
{
    UINT state = GetMenuState(hostWindows().mainMenu, redirectId, MF_BYCOMMAND);
    return redirectId != 0 && state != (UINT)-1 && (state & MF_CHECKED);
}

// Makes the batch path: the source path with its last extension replaced
// by ".bat". False when the result would not fit the platform's path limit.
bool makeBatchPath(const char* source, char* batchPath)
{
    if (lstrlenA(source) >= MAX_PATH)
        return false;
    lstrcpyA(batchPath, source);
    removeExtension(batchPath);
    // Appended rather than added with PathAddExtensionA, which adds nothing
    // when a name such as "two.dots" still ends in what looks like an
    // extension, and would leave a copy that is no batch file.
    if (lstrlenA(batchPath) + lstrlenA(BATCH_EXTENSION) >= MAX_PATH)
        return false;
    lstrcatA(batchPath, BATCH_EXTENSION);
    return true;
}

// In the output, every occurrence of the batch file's name (any letter case)
// becomes the source's file name, so that messages name the file the user edits.
void renameInOutput(const char* batchName, const char* sourceName)
{
    const LONG searchLength = lstrlenA(batchName);
    const LONG insertLength = lstrlenA(sourceName);
    LONG from = 0, to = outputLength();
    CHARRANGE found;
    while (findInOutput(batchName, from, to, &found)) {
        SendMessageA(hostWindows().outputControl, EM_EXSETSEL, 0, (LPARAM)&found);
        SendMessageA(hostWindows().outputControl, EM_REPLACESEL, 0, (LPARAM)sourceName);
        // Resume behind the inserted name: a source name that begins with the
        // batch name would otherwise be found again without end. The range
        // end moves with the text so every original occurrence is still seen.
        from = found.cpMin + insertLength;
        to += insertLength - searchLength;
    }
    SendMessageA(hostWindows().outputControl, EM_SETSEL, (WPARAM)-1, (LPARAM)-1);
    SendMessageA(hostWindows().outputControl, EM_SCROLLCARET, 0, 0);
}

// Runs one file, captured into the pane or through the shell; the
// project's run output file keeps what a captured run writes.
void runFile(const char* path, const ProjectInfo& project)
{
    char text[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_EXECUTING, text));
    if (redirectOutputOn()) {
        ShowWindow(hostWindows().outputPane, SW_RESTORE);
        // A start failure is in the pane already; the run guard hears of it.
        if (!runCaptured(path, OUTPUT_FROM_OEM, project.field[PROJECT_FIELD_PROJECT_FILE]).started)
            recordBuild(BUILD_FAILED);
    } else {
        typedef HINSTANCE(WINAPI * ShellExecuteProc)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
        if (auto shellExecute = (ShellExecuteProc)systemFunction("shell32.dll", "ShellExecuteA"))
            shellExecute(nullptr, "open", path, nullptr, nullptr, SW_SHOWDEFAULT);
    }
    setStatus("");
}

}  // namespace

void takeRedirectCommand(UINT id) { redirectId = id; }

void switchRedirectOff() { CheckMenuItem(hostWindows().mainMenu, redirectId, MF_BYCOMMAND | MF_UNCHECKED); }

LRESULT onRedirectOut(UINT)
{
    UINT next = redirectOutputOn() ? MF_UNCHECKED : MF_CHECKED;
    CheckMenuItem(hostWindows().mainMenu, redirectId, MF_BYCOMMAND | next);
    char text[WORK_BUFFER_SIZE];
    setStatus(lookup(redirectOutputOn() ? TEXT_REDIRECT_ON : TEXT_REDIRECT_OFF, text));
    return 1;
}

LRESULT onExecuteFirstBat(UINT)
{
    BuildPreparation preparation = prepareBuild();
    if (!preparation.ready)
        return 1;
    if (const char* batch = findFirstChildOfType(FILE_TYPE_BATCH))
        runFile(batch, preparation.project);
    return 1;
}

LRESULT onExecuteAsmAsBat(UINT)
{
    BuildPreparation preparation = prepareBuild();
    if (!preparation.ready)
        return 1;
    const char* source = findFirstChildOfType(FILE_TYPE_ASSEMBLY);
    if (!source)
        return 1;
    char text[WORK_BUFFER_SIZE];
    if (showMessage(lookup(TEXT_RENAME_PROMPT, text), source, MB_YESNO | MB_ICONWARNING) != IDYES)
        return 1;

    char batchPath[MAX_PATH];
    if (!makeBatchPath(source, batchPath)) {
        showSystemError(ERROR_FILENAME_EXCED_RANGE, source);
        setStatus("");
        return 1;
    }
    // A batch file that could not be written must not run: whatever stale
    // file the path holds is not what the user asked for.
    if (!CopyFileA(source, batchPath, FALSE)) {
        showSystemError(GetLastError(), batchPath);
        setStatus("");
        return 1;
    }
    runFile(batchPath, preparation.project);
    renameInOutput(finalPathComponent(batchPath), finalPathComponent(source));
    return 1;
}
