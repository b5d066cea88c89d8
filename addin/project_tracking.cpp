#include "addin/project_tracking.h"

#include "core/path_text.h"
#include "core/text_core.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "settings/paths.h"
#include "settings/ui_text.h"

namespace {

bool isFasmProject;

// The ANSI functions take no path of MAX_PATH characters or more; the
// system's short form of such a path often fits. False when it does not.
bool shortFormOf(const char* path, char* out, DWORD size)
{
    enum { LONGEST = 1024 };
    WCHAR wide[LONGEST + 4] = L"\\\\?\\";
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide + 4, LONGEST))
        return false;
    WCHAR shortWide[MAX_PATH + 4];
    DWORD n = GetShortPathNameW(wide, shortWide, MAX_PATH + 4);
    if (n == 0 || n >= MAX_PATH + 4)
        return false;
    const WCHAR* plain = shortWide;
    if (plain[0] == L'\\' && plain[1] == L'\\' && plain[2] == L'?' && plain[3] == L'\\')
        plain += 4;
    int got = WideCharToMultiByte(CP_ACP, 0, plain, -1, out, (int)size, nullptr, nullptr);
    return got > 0 && got <= MAX_PATH;
}

// Child processes and relative paths in the project work from its folder.
void enterProjectFolder(const char* projectFile)
{
    char folder[1024];
    // A path cut to the buffer would give some other folder.
    if (!projectFile || lstrlenA(projectFile) >= (int)sizeof folder)
        return;
    lstrcpyA(folder, projectFile);
    cutToFolder(folder);
    if (!folder[0] || SetCurrentDirectoryA(folder))
        return;
    char shortFolder[MAX_PATH];
    if (shortFormOf(folder, shortFolder, sizeof shortFolder))
        SetCurrentDirectoryA(shortFolder);
}

}  // namespace

void refreshProjectState(HMENU popup)
{
    const HostWindows& host = hostWindows();
    const UINT popupId = (UINT)(UINT_PTR)popup;
    ProjectInfo project = {};
    if (!SendMessageA(host.mainWindow, HM_GET_PROJECT_INFO, (WPARAM)&project, 0)) {
        EnableMenuItem(host.mainMenu, popupId, MF_BYCOMMAND | MF_GRAYED);
        setStatus("");
    } else {
        EnableMenuItem(host.mainMenu, popupId, MF_BYCOMMAND | MF_ENABLED);
        const char* projectFile = project.field[PROJECT_FIELD_PROJECT_FILE];
        enterProjectFolder(projectFile);
        // A project file the profile functions cannot open by its long name
        // would read as a MASM project.
        char shortFile[MAX_PATH];
        const char* readable = projectFile;
        if (projectFile && lstrlenA(projectFile) >= MAX_PATH &&
            shortFormOf(projectFile, shortFile, sizeof shortFile))
            readable = shortFile;
        char compiler[COMPILER_NAME_SIZE];
        readProjectCompiler(readable, compiler);
        setStatus(compiler);
        if (textsEqual(compiler, FASM_COMPILER)) {
            isFasmProject = true;
            setStatus(FASM_COMPILER);
            return;
        }
    }
    isFasmProject = false;
}

bool fasmProjectOpen() { return isFasmProject; }

void forgetProject() { isFasmProject = false; }
