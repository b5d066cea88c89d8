// The library's entry point and the six functions the host calls. Every
// piece of state is cleared or read anew at load by the module that owns it.
#include <windows.h>

#include "addin/commands.h"
#include "addin/project_tracking.h"
#include "commands/assemble.h"
#include "commands/batch.h"
#include "host/host_interface.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "navigation/navigation.h"
#include "settings/paths.h"
#include "settings/ui_text.h"
#include "setup/setup_dialog.h"

// Derives the file paths on attach and frees them on detach. Refuses the
// attach when the paths cannot be had.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        return onProcessAttach(instance) ? TRUE : FALSE;
    }
    if (reason == DLL_PROCESS_DETACH)
        onProcessDetach();
    return TRUE;
}

// Called by the host once after loading the library. handles and links are
// the host's records; both stay valid until KXAddInUnload. Adds the popup,
// its items and shortcuts, and checks the open project. Returns 0; a null
// handles record leaves the host untouched.
extern "C" LRESULT WINAPI KXAddInLoad(HostHandles* handles, HostResourceLinks* links)
{
    takeHostWindows(handles, links);
    resetBuildCommands();
    forgetHighlightedLine();
    forgetProject();
    if (!handles)
        return 0;
    refreshLanguage();
    loadMenuCaptions();
    addCommandsToHost();
    loadKeepRc();
    followProject();
    return 0;
}

// Called by the host before it frees the library: removes everything the
// load added to the host's menu and accelerator table.
extern "C" void WINAPI KXAddInUnload()
{
    setStatus("");
    removeCommandsFromHost();
}

// Fills name and description (256 bytes each) with the add-in's texts in
// the host's current language; returns the description's length, 0 for
// null buffers.
extern "C" LRESULT WINAPI GetKXAddInData(char* name, char* description)
{
    if (!name || !description)
        return 0;
    refreshLanguage();
    lookup(TEXT_NAME, name);
    lookup(TEXT_DESCRIPTION, description);
    return lstrlenA(description);
}

// Opens the setup dialog, owned by the host main window from handles.
// Returns 0 whatever the user did.
extern "C" LRESULT WINAPI KXAddInConfig(HostHandles* handles, LPARAM)
{
    if (handles)
        takeHostMainWindow(handles->mainWindow);
    openSetupDialog(hostWindows().mainWindow);
    return 0;
}

// Sees every message of the host frame before the host does. Returns
// non-zero when the add-in handled a command, so the host skips its own.
extern "C" LRESULT WINAPI FrameWindowProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case HN_PROJECT_CHANGED:
        followProject();
        forgetPendingRun();
        switchRedirectOff();
        return 0;

    case WM_COMMAND: {
        // A menu pick and an accelerator give the same id.
        UINT id = (UINT)(wParam & ~(WPARAM)0x10000);
        return id == 0 ? 0 : dispatchCommand(id);
    }

    case HN_LANGUAGE_COMMAND:
        if (wParam >= HN_LANGUAGE_FIRST && wParam <= HN_LANGUAGE_LAST && refreshLanguage())
            renameCommands();
        return 0;

    default:
        return 0;
    }
}

// Sees every message of the host's output control first. Acts only on a
// left-button double-click: on a line naming a source place, or on an error
// message below such a line, it marks that place in the open editor and
// returns 1; anything else returns 0. The clicked line is the one
// highlighted afterwards.
extern "C" LRESULT WINAPI OutWindowProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_LBUTTONDBLCLK ? onOutputDoubleClick() : 0;
}
