// The host's windows and records as the host hands them over at load. Set
// there, read by everyone; nothing else changes them.
#pragma once

#include <windows.h>

#include "host/host_interface.h"

struct HostWindows {
    HWND mainWindow, mdiClient, outputPane, outputControl, statusBar;
    HMENU mainMenu;
    HACCEL* acceleratorVar;
    const char** resourceScriptPathVar;
    const ResourceDefinition** definitionsVar;
};

// Takes the host's records at load; a null handles record leaves nothing.
void takeHostWindows(const HostHandles* handles, const HostResourceLinks* links);
// The owner of the setup dialog when the host's add-in manager opens it,
// which it may do before any load.
void takeHostMainWindow(HWND mainWindow);
const HostWindows& hostWindows();
