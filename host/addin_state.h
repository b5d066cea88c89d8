// The add-in's state from KXAddInLoad to KXAddInUnload: what the host handed
// over, what the load added to the host, and what one command leaves for the
// next. Cleared on every load. Everything runs on the host's UI thread;
// nothing here is locked.
#pragma once

#include <windows.h>

#include "host/host_interface.h"

enum : size_t {
    LANGUAGE_NAME_SIZE = 60,
    BUTTON_CAPTION_SIZE = 16,
    BUTTON_CAPTION_COUNT = 4,
    MENU_CAPTION_SIZE = 64,
    MENU_CAPTION_COUNT = 5,
};

// Captions by position in their texts.
enum { BUTTON_OK, BUTTON_CANCEL, BUTTON_YES, BUTTON_NO };
enum { MENU_ASSEMBLE_CURRENT, MENU_POPUP, MENU_REDIRECT, MENU_EXEC_BAT, MENU_ASM_AS_BAT };

struct AddInState {
    HWND mainWindow, mdiClient, outputPane, outputControl, statusBar;
    HACCEL* acceleratorVar;
    HMENU mainMenu;
    const char** resourceScriptPathVar;
    const ResourceDefinition** definitionsVar;

    HMENU popup;
    UINT redirectId, execBatId, asmAsBatId, assembleCurrentId;

    int isFasmProject;
    UINT pendingRunCommand;
    int keepRcInclude;
    // Failed builds since the last preparation; the run guard asks while non-zero.
    int errorCount;
    int highlightedOutputLine;
    ProjectInfo project;

    char languageName[LANGUAGE_NAME_SIZE];
    char buttonCaptions[BUTTON_CAPTION_COUNT][BUTTON_CAPTION_SIZE];
    // The host draws the owner-drawn items from these, so they live as long as the items.
    char menuCaptions[MENU_CAPTION_COUNT][MENU_CAPTION_SIZE];
};
extern AddInState g;
