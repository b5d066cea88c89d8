// Assembling and building FASM projects: the host's assemble, build and run
// commands, and "Assemble current".
#include <windows.h>
#include <richedit.h>

#include "build/command_line.h"
#include "host/addin.h"

namespace {

// One composed assembler command line, as long as process creation accepts.
char commandBuffer[COMMAND_LINE_MAX + 1];

const char TEXT_ERROR_MARKER[] = "error:";
const char TEXT_USAGE_MARKER[] = "usage:";


LRESULT CALLBACK countAndClearChild(HWND child, LPARAM)
{
    const ChildRecord* record = childRecordOf(child);
    if (!record)
        return 1;
    if (record->fileType == FILE_TYPE_RESOURCE_SCRIPT)
        ++g.resourceScriptCount;
    if (SendMessageA(record->editor, EM_GETMODIFY, 0, 0) != 0)
        ++g.modifiedCount;
    SendMessageA(record->editor, HEM_CLEARMARKS, 0, HEM_MARK_ERROR);
    return 1;
}

LRESULT CALLBACK stopAtType(HWND child, LPARAM fileType)
{
    const ChildRecord* record = childRecordOf(child);
    if (!record || record->fileType != (HostSlot)fileType)
        return 1;
    g.mainSource = record->fullPath;
    return 0;
}

const char* projectField(int index)
{
    const char* text = g.project.field[index];
    return text ? text : "";
}

void showPane(int how) { ShowWindow(g.outputPane, how); }

// Position of text in the whole output, or -1.
LONG findInOutput(const char* text)
{
    FINDTEXTEXA find;
    find.chrg.cpMin = 0;
    find.chrg.cpMax = (LONG)SendMessageA(g.outputControl, WM_GETTEXTLENGTH, 0, 0);
    find.lpstrText = text;
    return (LONG)SendMessageA(g.outputControl, EM_FINDTEXTEX, 0, (LPARAM)&find);
}

// Asks for the assembler's path until one is stored; false when the user declines.
bool haveAssemblerPath(char* path)
{
    readAssemblerPath(path);
    while (!path[0]) {
        char text[WORK_BUFFER_SIZE];
        if (showMessage(messageText(TEXT_NO_ASSEMBLER_PATH, text), nullptr, MB_YESNO) != IDYES)
            return false;
        openSetupDialog(g.mainWindow);
        readAssemblerPath(path);
    }
    return true;
}

// A command line that process creation cannot take is not run; the user is
// told why, and it counts as a failed start.
void refuseCommandLine(size_t length)
{
    char text[WORK_BUFFER_SIZE];
    char line[WORK_BUFFER_SIZE * 2];
    wsprintfA(line, "\r\n%s: command line of %u characters, the limit is %u.\r\n",
              lookup(TEXT_NO_PROCESS, text), (unsigned)length, (unsigned)COMMAND_LINE_MAX);
    appendOutput(line);
    ++g.errorCount;
    showPane(SW_RESTORE);
}

void assembleSource(const char* source, const char* output)
{
    char assembler[WORK_BUFFER_SIZE];
    if (!haveAssemblerPath(assembler)) {
        finishCommand();
        return;
    }
    const char* extra = projectField(PROJECT_FIELD_ASSEMBLER_ARGUMENTS);
    if (!composeAssemblerCommand(commandBuffer, sizeof commandBuffer, assembler, source, output, extra)) {
        refuseCommandLine(assemblerCommandLength(assembler, source, output, extra));
        finishCommand();
        return;
    }
    char text[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_COMPILING, text));
    // The assembler reports paths and source lines in the ANSI code page as it
    // received them; converting them as OEM text would garble them.
    DWORD exitCode = runCaptured(commandBuffer, OUTPUT_AS_IS);

    if (g.errorCount != 0) {
        showPane(SW_RESTORE);
        finishCommand();
        return;
    }
    LONG at = findInOutput(TEXT_ERROR_MARKER);
    if (at < 0)
        at = findInOutput(TEXT_USAGE_MARKER);
    if (at < 0 && exitCode != 0) {
        // An assembler that died without a word (a crash, a missing DLL) has
        // only its exit code to say so; a good build must not be claimed.
        char line[WORK_BUFFER_SIZE];
        wsprintfA(line, "\r\nThe assembler ended with exit code %lu (0x%08lX) and reported no error.\r\n",
                  exitCode, exitCode);
        appendOutput(line);
        at = (LONG)SendMessageA(g.outputControl, WM_GETTEXTLENGTH, 0, 0) - 2;
    }
    if (at < 0) {
        showPane(SW_HIDE);
        finishCommand();
        return;
    }
    g.highlightedOutputLine = (int)SendMessageA(g.outputControl, EM_EXLINEFROMCHAR, 0, at);
    SendMessageA(g.outputControl, HEM_SETLINEHIGHLIGHT, (WPARAM)g.highlightedOutputLine, 1);
    ++g.errorCount;
    showPane(SW_RESTORE);
    finishCommand();
}

// Assembles the project's main source (the first assembly child) with the
// project's output argument.
void assembleMainSource()
{
    if (!findFirstChildOfType(FILE_TYPE_ASSEMBLY)) {
        finishCommand();
        return;
    }
    assembleSource(g.mainSource, projectField(PROJECT_FIELD_OUTPUT_FILE));
}

LRESULT guardRunCommand(UINT command)
{
    if (!g.isFasmProject)
        return 0;
    if (g.errorCount != 0) {
        char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
        if (showMessage(messageText(TEXT_LAST_BUILD_FAILED, text), lookup(TEXT_WARNING, caption),
                        MB_YESNO | MB_ICONWARNING) != IDYES)
            return finishCommand();
    }
    g.pendingRunCommand = command;
    return 0;
}

}  // namespace

int prepareBuild()
{
    if (!SendMessageA(g.mainWindow, HM_GET_PROJECT_INFO, (WPARAM)&g.project, 0)) {
        setStatus("");
        return 0;
    }
    char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_SAVING, text));
    SendMessageA(g.mainWindow, WM_COMMAND, HC_SAVE_ALL, 0);

    g.resourceScriptCount = 0;
    g.modifiedCount = 0;
    g.highlightedOutputLine = 0;
    SendMessageA(g.mainWindow, HM_ENUM_CHILDREN, (WPARAM)countAndClearChild, 0);
    SendMessageA(g.mainWindow, HM_ENUM_OTHER_CHILDREN, (WPARAM)countAndClearChild, 0);

    if (g.modifiedCount > 0 &&
        showMessage(messageText(TEXT_NOT_SAVED, text), lookup(TEXT_WARNING, caption),
                    MB_YESNO | MB_ICONWARNING) != IDYES) {
        setStatus("");
        return 0;
    }
    SendMessageA(g.outputControl, WM_SETTEXT, 0, (LPARAM)"");
    UpdateWindow(g.outputControl);
    g.errorCount = 0;
    return 1;
}

const char* findFirstChildOfType(DWORD fileType)
{
    g.mainSource = nullptr;
    SendMessageA(g.mainWindow, HM_ENUM_CHILDREN, (WPARAM)stopAtType, (LPARAM)fileType);
    return g.mainSource;
}

LRESULT onHostAssemble()
{
    if (!g.isFasmProject)
        return 0;
    if (!prepareBuild())
        return finishCommand();
    assembleMainSource();
    return 1;
}

LRESULT onAssembleCurrent()
{
    if (!g.isFasmProject)
        return 0;
    if (!prepareBuild())
        return finishCommand();
    HWND active = (HWND)SendMessageA(g.mdiClient, WM_MDIGETACTIVE, 0, 0);
    const ChildRecord* record = active ? childRecordOf(active) : nullptr;
    if (record && record->fileType == FILE_TYPE_ASSEMBLY) {
        assembleSource(record->fullPath, "");
        return 1;
    }
    char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
    showMessage(messageText(TEXT_ASM_ONLY, text), lookup(TEXT_NOT_ALLOWED, caption), MB_ICONERROR);
    return finishCommand();
}

LRESULT onHostBuild()
{
    if (!g.isFasmProject)
        return 0;
    if (!prepareBuild())
        return finishCommand();
    if (g.resourceScriptCount > 0) {
        SendMessageA(g.mainWindow, WM_COMMAND, HC_COMPILE_RESOURCES, 0);
        if (g.keepRcInclude == 1)
            exportResourceDefinitions();
    }
    assembleMainSource();
    if (g.errorCount == 0 && g.pendingRunCommand != 0)
        SendMessageA(g.mainWindow, WM_COMMAND, g.pendingRunCommand, 0);
    return finishCommand();
}

LRESULT onHostRun10506() { return guardRunCommand(HC_RUN); }
LRESULT onHostRun10507() { return guardRunCommand(HC_RUN_ALTERNATE); }
