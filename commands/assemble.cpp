// Assembling and building FASM projects: the host's assemble, build and run
// commands, and "Assemble current".
#include "commands/assemble.h"

#include <richedit.h>

#include "commands/rc_export.h"
#include "commands/runner.h"
#include "core/command_line.h"
#include "core/line_parse.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "navigation/navigation.h"
#include "settings/paths.h"
#include "settings/ui_text.h"
#include "setup/setup_dialog.h"

namespace {

// One composed assembler command line, as long as process creation accepts.
char commandBuffer[COMMAND_LINE_MAX + 1];

const char USAGE_MARKER[] = "usage:";
// The flat assembler finds the headers a source includes by name
// (win32a.inc) in the folders of this variable.
const char HEADERS_VARIABLE[] = "INCLUDE";

// The run guard: whether the last build (or batch run) failed since the
// last preparation, and the host's run command to repeat after a good build.
bool lastBuildFailed;
UINT pendingRunCommand;
// Whether the last build's output holds an error message, which GotoError
// goes to; a failure with only "usage:" does not move.
bool failedWithErrorMessage;

// What the preparation's enumeration counts; its user value points here.
struct ChildCounts {
    int resourceScriptCount;
    int modifiedCount;
};

LRESULT CALLBACK countAndClearChild(HWND child, LPARAM userValue)
{
    ChildCounts* counts = (ChildCounts*)userValue;
    const ChildRecord* record = childRecordOf(child);
    if (!record)
        return 1;
    if (record->fileType == FILE_TYPE_RESOURCE_SCRIPT)
        ++counts->resourceScriptCount;
    if (SendMessageA(record->editor, EM_GETMODIFY, 0, 0) != 0)
        ++counts->modifiedCount;
    SendMessageA(record->editor, HEM_CLEARMARKS, 0, HEM_MARK_ERROR);
    return 1;
}

// The type search: the user value points to this, and the first child of
// the wanted type leaves its path here.
struct TypeSearch {
    HostSlot fileType;
    const char* path;
};

LRESULT CALLBACK stopAtType(HWND child, LPARAM userValue)
{
    TypeSearch* search = (TypeSearch*)userValue;
    const ChildRecord* record = childRecordOf(child);
    if (!record || record->fileType != search->fileType)
        return 1;
    search->path = record->fullPath;
    return 0;
}

const char* projectField(const ProjectInfo& project, int index)
{
    const char* text = project.field[index];
    return text ? text : "";
}

void showPane(int how) { ShowWindow(hostWindows().outputPane, how); }

// Position of text in the whole output, or -1.
LONG positionInOutput(const char* text)
{
    CHARRANGE found;
    return findInOutput(text, 0, outputLength(), &found) ? found.cpMin : -1;
}

// Asks for the assembler's path until one is stored; false when the user declines.
bool haveAssemblerPath(char* path)
{
    readAssemblerPath(path);
    while (!path[0]) {
        char text[WORK_BUFFER_SIZE];
        if (showMessage(messageText(TEXT_NO_ASSEMBLER_PATH, text), nullptr, MB_YESNO) != IDYES)
            return false;
        openSetupDialog(hostWindows().mainWindow, SETUP_SUGGESTING_ASSEMBLER);
        readAssemblerPath(path);
    }
    return true;
}

// A command line that process creation cannot take is not run; the user is
// told why, and it counts as a failed start.
void refuseCommandLine(size_t length)
{
    char reason[WORK_BUFFER_SIZE], line[WORK_BUFFER_SIZE];
    appendNoteLine(formatText(line, sizeof line, TEXT_COMMAND_TOO_LONG, lookup(TEXT_NO_PROCESS, reason),
                              (unsigned)length, (unsigned)COMMAND_LINE_MAX));
}

// Where the first "error:" (else "usage:") is in the output, or -1 for a
// good build. A run the user stopped failed; without an error of its own,
// the line saying it was stopped is the place. An assembler that ended with
// a non-zero code and said nothing gets a line of the add-in's own saying
// so, and that line is the place.
LONG findFailure(const RunResult& run)
{
    LONG at = positionInOutput(ERROR_MARKER);
    if (at < 0)
        at = positionInOutput(USAGE_MARKER);
    if (at >= 0 || (!run.stopped && run.exitCode == 0))
        return at;
    if (!run.stopped) {
        // A crash or a missing DLL has only its exit code to say so; a good
        // build must not be claimed.
        char line[WORK_BUFFER_SIZE];
        appendNoteLine(formatText(line, sizeof line, TEXT_SILENT_FAILURE, run.exitCode, run.exitCode));
    }
    // The add-in's line is the last one, before its line break.
    return outputLength() - 2;
}

// Assembles one source into the output pane and shows the verdict: a failed
// build opens the pane with the failure's line highlighted, a clean one hides
// it. Failed when the build failed or the user stopped it (the pane says
// why); cancelled when the user declined to name an assembler, and nothing
// was built.
BuildOutcome assembleSource(const ProjectInfo& project, const char* source, const char* output)
{
    char assembler[ASSEMBLER_PATH_SIZE];
    if (!haveAssemblerPath(assembler))
        return BUILD_CANCELLED;
    const char* extra = projectField(project, PROJECT_FIELD_ASSEMBLER_ARGUMENTS);
    if (!composeAssemblerCommand(commandBuffer, sizeof commandBuffer, assembler, source, output, extra)) {
        refuseCommandLine(assemblerCommandLength(assembler, source, output, extra));
        showPane(SW_RESTORE);
        return BUILD_FAILED;
    }
    char text[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_COMPILING, text));
    char headers[INCLUDE_FOLDER_SIZE];
    includeFolderFor(assembler, headers);
    const VariableInFront headersFirst = {HEADERS_VARIABLE, headers};
    // The assembler reports paths and source lines in the ANSI code page as it
    // received them; converting them as OEM text would garble them.
    RunResult run =
        runCaptured(commandBuffer, OUTPUT_AS_IS, projectField(project, PROJECT_FIELD_PROJECT_FILE),
                    headers[0] ? &headersFirst : nullptr);
    if (!run.started) {
        showPane(SW_RESTORE);
        return BUILD_FAILED;
    }
    failedWithErrorMessage = positionInOutput(ERROR_MARKER) >= 0;
    LONG at = findFailure(run);
    if (at < 0) {
        showPane(SW_HIDE);
        return BUILD_SUCCEEDED;
    }
    highlightOutputLine((int)SendMessageA(hostWindows().outputControl, EM_EXLINEFROMCHAR, 0, at));
    showPane(SW_RESTORE);
    return BUILD_FAILED;
}

// Assembles the project's main source (the first assembly child) with the
// project's output argument. Without a main source nothing is built, and
// that is no failure.
BuildOutcome assembleMainSource(const ProjectInfo& project)
{
    const char* mainSource = findFirstChildOfType(FILE_TYPE_ASSEMBLY);
    BuildOutcome outcome =
        mainSource ? assembleSource(project, mainSource, projectField(project, PROJECT_FIELD_OUTPUT_FILE))
                   : BUILD_SUCCEEDED;
    recordBuild(outcome);
    return outcome;
}

// Every build command ends here: the status bar says "FASM", and with
// GotoError on, a build that failed with an error message goes on to its
// first error, as "Next error" would.
LRESULT finishBuild()
{
    finishCommand();
    if (failedWithErrorMessage && gotoErrorOn())
        goToFirstError();
    return 1;
}

}  // namespace

BuildPreparation prepareBuild()
{
    BuildPreparation result = {};
    HWND mainWindow = hostWindows().mainWindow;
    if (!SendMessageA(mainWindow, HM_GET_PROJECT_INFO, (WPARAM)&result.project, 0)) {
        setStatus("");
        return result;
    }
    char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_SAVING, text));
    SendMessageA(mainWindow, WM_COMMAND, HC_SAVE_ALL, 0);

    ChildCounts counts = {0, 0};
    forgetHighlightedLine();
    SendMessageA(mainWindow, HM_ENUM_CHILDREN, (WPARAM)countAndClearChild, (LPARAM)&counts);
    SendMessageA(mainWindow, HM_ENUM_OTHER_CHILDREN, (WPARAM)countAndClearChild, (LPARAM)&counts);

    if (counts.modifiedCount > 0 &&
        showMessage(messageText(TEXT_NOT_SAVED, text), lookup(TEXT_WARNING, caption),
                    MB_YESNO | MB_ICONWARNING) != IDYES) {
        setStatus("");
        return result;
    }
    HWND output = hostWindows().outputControl;
    SendMessageA(output, WM_SETTEXT, 0, (LPARAM) "");
    UpdateWindow(output);
    lastBuildFailed = false;
    failedWithErrorMessage = false;
    result.ready = true;
    result.resourceScriptCount = counts.resourceScriptCount;
    return result;
}

void recordBuild(BuildOutcome outcome)
{
    if (outcome == BUILD_FAILED)
        lastBuildFailed = true;
}

void resetBuildCommands()
{
    lastBuildFailed = false;
    pendingRunCommand = 0;
}

void forgetPendingRun() { pendingRunCommand = 0; }

const char* findFirstChildOfType(DWORD fileType)
{
    TypeSearch search = {fileType, nullptr};
    SendMessageA(hostWindows().mainWindow, HM_ENUM_CHILDREN, (WPARAM)stopAtType, (LPARAM)&search);
    return search.path;
}

LRESULT onHostAssemble(UINT)
{
    BuildPreparation preparation = prepareBuild();
    if (preparation.ready)
        assembleMainSource(preparation.project);
    return finishBuild();
}

LRESULT onAssembleCurrent(UINT)
{
    BuildPreparation preparation = prepareBuild();
    if (!preparation.ready)
        return finishCommand();
    HWND active = (HWND)SendMessageA(hostWindows().mdiClient, WM_MDIGETACTIVE, 0, 0);
    const ChildRecord* record = active ? childRecordOf(active) : nullptr;
    if (record && record->fileType == FILE_TYPE_ASSEMBLY) {
        recordBuild(assembleSource(preparation.project, record->fullPath, ""));
        return finishBuild();
    }
    char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
    showMessage(messageText(TEXT_ASM_ONLY, text), lookup(TEXT_NOT_ALLOWED, caption), MB_ICONERROR);
    return finishCommand();
}

LRESULT onHostBuild(UINT)
{
    BuildPreparation preparation = prepareBuild();
    if (!preparation.ready)
        return finishCommand();
    if (preparation.resourceScriptCount > 0) {
        SendMessageA(hostWindows().mainWindow, WM_COMMAND, HC_COMPILE_RESOURCES, 0);
        if (keepRcOn())
            exportResourceDefinitions(preparation.project);
    }
    // A build the user cancelled built nothing: the previous program must
    // not start as if it were this build's.
    BuildOutcome outcome = assembleMainSource(preparation.project);
    if (outcome == BUILD_SUCCEEDED && !lastBuildFailed && pendingRunCommand != 0)
        SendMessageA(hostWindows().mainWindow, WM_COMMAND, pendingRunCommand, 0);
    return finishBuild();
}

LRESULT guardRunCommand(UINT command)
{
    if (lastBuildFailed) {
        char text[WORK_BUFFER_SIZE], caption[WORK_BUFFER_SIZE];
        if (showMessage(messageText(TEXT_LAST_BUILD_FAILED, text), lookup(TEXT_WARNING, caption),
                        MB_YESNO | MB_ICONWARNING) != IDYES)
            return finishCommand();
    }
    pendingRunCommand = command;
    return 0;
}
