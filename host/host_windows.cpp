#include "host/host_windows.h"

namespace {

const char STATUS_BAR_CLASS[] = "msctls_statusbar32";

HostWindows windows;

}  // namespace

void takeHostWindows(const HostHandles* handles, const HostResourceLinks* links)
{
    windows = HostWindows{};
    if (!handles)
        return;
    windows.mainWindow = handles->mainWindow;
    windows.mdiClient = handles->mdiClient;
    windows.outputPane = handles->outputPane;
    windows.outputControl = handles->outputControl;
    windows.acceleratorVar = handles->acceleratorVar;
    windows.mainMenu = handles->mainMenu;
    if (links) {
        windows.resourceScriptPathVar = links->resourceScriptPathVar;
        windows.definitionsVar = links->definitionsVar;
    }
    windows.statusBar = FindWindowExA(windows.mainWindow, nullptr, STATUS_BAR_CLASS, nullptr);
}

void takeHostMainWindow(HWND mainWindow) { windows.mainWindow = mainWindow; }

const HostWindows& hostWindows() { return windows; }
