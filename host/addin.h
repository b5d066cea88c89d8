// The add-in's shared state and the functions its parts offer each other.
// Everything runs on the host's UI thread; nothing here is locked.
#pragma once

#include <windows.h>

#include "host/host_interface.h"

enum : size_t {
    WORK_BUFFER_SIZE = 256,
    LANGUAGE_NAME_SIZE = 60,
    BUTTON_CAPTION_SIZE = 16,
    BUTTON_CAPTION_COUNT = 4,
    MENU_CAPTION_SIZE = 64,
    MENU_CAPTION_COUNT = 5,
    COMPILER_NAME_SIZE = 127,
};

// Captions by position in their texts.
enum { BUTTON_OK, BUTTON_CANCEL, BUTTON_YES, BUTTON_NO };
enum { MENU_ASSEMBLE_CURRENT, MENU_POPUP, MENU_REDIRECT, MENU_EXEC_BAT, MENU_ASM_AS_BAT };

// The translatable texts, in the order Export UI writes them.
enum TextId {
    TEXT_NAME, TEXT_DESCRIPTION, TEXT_BUTTONS, TEXT_MENUS,
    TEXT_NO_MEMORY, TEXT_NO_PIPE, TEXT_NO_PROCESS,
    TEXT_SAVING, TEXT_COMPILING, TEXT_RC_COMPILING, TEXT_REDIRECT_ON, TEXT_REDIRECT_OFF, TEXT_EXECUTING,
    TEXT_WARNING, TEXT_RENAME_PROMPT, TEXT_NOT_SAVED, TEXT_LAST_BUILD_FAILED,
    TEXT_EXPORT_FAILED, TEXT_EXPORT_DONE, TEXT_EXPORT_CAPTION,
    TEXT_NO_ASSEMBLER_PATH, TEXT_NOT_ALLOWED, TEXT_ASM_ONLY,
    TEXT_SETUP_TITLE, TEXT_SETUP_PATH_LABEL, TEXT_SETUP_KEEP_RC,
    TEXT_COUNT
};

// State from load to unload; cleared on every load.
struct AddInState {
    HWND mainWindow, mdiClient, outputPane, outputControl, statusBar;
    HACCEL* acceleratorVar;
    HMENU mainMenu;
    const char** resourceScriptPathVar;
    const ResourceDefinition** definitionsVar;

    HMENU popup;
    UINT redirectId, execBatId, asmAsBatId, assembleCurrentId;
    bool assembleCurrentInMenu;

    int isFasmProject;
    UINT pendingRunCommand;
    int keepRcInclude;
    int errorCount;
    int highlightedOutputLine;
    ProjectInfo project;

    // One build preparation's counts, and the path found by the last type search.
    int resourceScriptCount, modifiedCount;
    const char* mainSource;

    char languageName[LANGUAGE_NAME_SIZE];
    char buttonCaptions[BUTTON_CAPTION_COUNT][BUTTON_CAPTION_SIZE];
    // The host draws the owner-drawn items from these, so they live as long as the items.
    char menuCaptions[MENU_CAPTION_COUNT][MENU_CAPTION_SIZE];

    // Short-lived texts: the clicked output line and the file name passed to
    // an enumeration callback, texts shown to the user.
    char lineBuffer[WORK_BUFFER_SIZE];
};
extern AddInState g;

// settings/paths.cpp: from process attach to detach.
bool onProcessAttach(HINSTANCE instance);
void onProcessDetach();
HINSTANCE moduleInstance();
const char* hostIniPath();
const char* uiFilePath();
const char* addInsIniPath();
int readKeepRc();
void readAssemblerPath(char* out);  // WORK_BUFFER_SIZE bytes
void readProjectCompiler(const char* projectFile, char* out);  // COMPILER_NAME_SIZE bytes

// settings/ui_text.cpp
const char* defaultText(TextId id);
const char* textKey(TextId id);
void refreshLanguage();
const char* lookup(TextId id, char* out);       // WORK_BUFFER_SIZE bytes
const char* messageText(TextId id, char* out);  // '^' shown as a line break
void loadMenuCaptions();                        // '~' shown as a tab

// host/lifecycle.cpp
void setStatus(const char* text);  // host status bar, part 4
LRESULT finishCommand();           // status "FASM"; 1
void refreshProjectState();
bool redirectOutputOn();
int showMessage(const char* text, const char* caption, UINT style);  // owner: host main window
// A function of a system DLL that only a few commands need, loaded at first
// use so that loading the add-in does not load the DLL; null when missing.
FARPROC systemFunction(const char* module, const char* name);

// build/runner.cpp
enum RunOutput { OUTPUT_FROM_OEM, OUTPUT_AS_IS };
// Returns the child's exit code; 0 when it could not be started (errorCount
// then tells) or when it is still running because something else ended the run.
DWORD runCaptured(const char* commandLine, RunOutput conversion = OUTPUT_FROM_OEM);
void appendOutput(const char* text);

// build/assemble.cpp
int prepareBuild();
const char* findFirstChildOfType(DWORD fileType);
LRESULT onHostAssemble();
LRESULT onHostBuild();
LRESULT onHostRun10506();
LRESULT onHostRun10507();
LRESULT onAssembleCurrent();

// build/batch.cpp
LRESULT onRedirectOut();
LRESULT onExecuteFirstBat();
LRESULT onExecuteAsmAsBat();
void runFile(const char* path);

// output/navigation.cpp
LRESULT CALLBACK jumpToErrorLine(HWND child, LPARAM lineIndex);

// output/rc_export.cpp
DWORD exportResourceDefinitions();
LRESULT resourceExportCommand();

// setup/setup_dialog.cpp
void openSetupDialog(HWND owner);
