// The add-in's exports: loading into the host and leaving it, the menu items
// and shortcuts grafted onto the host, project tracking, and the dispatch of
// every host command that passes the frame.
#include <windows.h>
#include <shlwapi.h>

#include "commands/assemble.h"
#include "commands/batch.h"
#include "commands/runner.h"
#include "core/accel_edit.h"
#include "core/text_core.h"
#include "host/addin_state.h"
#include "host/host_ui.h"
#include "output/rc_export.h"
#include "settings/paths.h"
#include "settings/ui_text.h"
#include "setup/setup_dialog.h"

AddInState g;

namespace {

const char STATUS_BAR_CLASS[] = "msctls_statusbar32";
const char FASM_COMPILER[] = "FASM";

// The add-in's own commands: the popup's items, in menu order, each with the
// caption slot it shows, its shortcut and its handler. Their ids come from
// the host at load. Menus, shortcuts, dispatch and the language refresh all
// read this table.
// The caption's text names the shortcut for the user (after '~', so that a
// translation can name the keys in its language); the key itself is here.
struct PopupCommand {
    UINT* id;
    int caption;  // MENU_* slot
    bool separatorBefore;
    DWORD shortcut;  // as an accelerator's first four bytes: flags, zero, key
    LRESULT (*handler)();
};
enum : DWORD { SHIFT_CTRL = FVIRTKEY | FSHIFT | FCONTROL };
const PopupCommand POPUP_COMMANDS[] = {
    {&g.redirectId, MENU_REDIRECT, false, SHIFT_CTRL | 'R' << 16, onRedirectOut},
    {&g.execBatId, MENU_EXEC_BAT, true, SHIFT_CTRL | 'G' << 16, onExecuteFirstBat},
    {&g.asmAsBatId, MENU_ASM_AS_BAT, false, SHIFT_CTRL | 'A' << 16, onExecuteAsmAsBat},
};
// The host's table has always received the shortcuts in this order.
const int SHORTCUT_ORDER[] = {1, 2, 0};
static_assert(sizeof SHORTCUT_ORDER / sizeof SHORTCUT_ORDER[0] ==
                  sizeof POPUP_COMMANDS / sizeof POPUP_COMMANDS[0],
              "every popup command has its place in the shortcut order");

// Host commands the add-in takes over; the handler gets the command. Those
// for FASM projects only are left to the host for any other project.
struct HostCommand {
    UINT id;
    bool fasmOnly;
    LRESULT (*handler)(UINT command);
};
LRESULT assembleMainSource(UINT) { return onHostAssemble(); }
LRESULT buildProject(UINT) { return onHostBuild(); }
LRESULT exportDefinitions(UINT) { return resourceExportCommand(); }
const HostCommand HOST_COMMANDS[] = {
    {HC_ASSEMBLE, true, assembleMainSource},
    {HC_BUILD, true, buildProject},
    {HC_RUN, true, guardRunCommand},
    {HC_RUN_ALTERNATE, true, guardRunCommand},
    {HC_EXPORT_RESOURCE_DEFINITIONS, false, exportDefinitions},
};

// Tables below this size are rebuilt here instead of on the heap.
enum : size_t { ACCEL_SCRATCH_BYTES = 1024 };
AccelEntry accelScratch[ACCEL_SCRATCH_BYTES / sizeof(AccelEntry) + 1];

UINT popupId() { return (UINT)(UINT_PTR)g.popup; }

// Copies the host's current table into a buffer with room for `extra` more
// entries; returns the buffer (scratch or heap) and the count, or null.
AccelEntry* copyHostTable(HACCEL table, int extra, int* count, bool* onHeap)
{
    int n = CopyAcceleratorTableA(table, nullptr, 0);
    if (n < 0)
        return nullptr;
    size_t bytes = (size_t)(n + extra) * sizeof(AccelEntry);
    *onHeap = bytes >= ACCEL_SCRATCH_BYTES;
    AccelEntry* entries =
        *onHeap ? (AccelEntry*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes) : accelScratch;
    if (!entries)
        return nullptr;
    // The platform leaves the pad byte of each entry as it finds it.
    if (!*onHeap)
        ZeroMemory(accelScratch, sizeof accelScratch);
    *count = n > 0 ? CopyAcceleratorTableA(table, (ACCEL*)entries, n) : 0;
    return entries;
}

void replaceHostTable(HACCEL old, AccelEntry* entries, int count)
{
    HACCEL table = count > 0 ? CreateAcceleratorTableA((ACCEL*)entries, count) : nullptr;
    if (count > 0 && !table)
        return;
    *g.acceleratorVar = table;
    DestroyAcceleratorTable(old);
}

enum AccelEdit { ACCEL_ADD, ACCEL_REMOVE };

// Adds the shortcut at the end of the host's table, or removes its first
// entry. A host without a table, or a removal that finds nothing, leaves the
// table as it is.
void editHostTable(AccelEdit edit, DWORD packed, UINT command)
{
    HACCEL old = g.acceleratorVar ? *g.acceleratorVar : nullptr;
    if (!old)
        return;
    int n = 0;
    bool onHeap = false;
    AccelEntry* entries = copyHostTable(old, edit == ACCEL_ADD ? 1 : 0, &n, &onHeap);
    if (!entries)
        return;
    if (edit == ACCEL_ADD) {
        replaceHostTable(old, entries, (int)appendAccel(entries, (size_t)n, packed, (uint16_t)command));
    } else {
        long at = findAccel(entries, (size_t)n, packed, (uint16_t)command);
        if (at >= 0)
            replaceHostTable(old, entries, (int)removeAccelAt(entries, (size_t)n, (size_t)at));
    }
    if (onHeap)
        HeapFree(GetProcessHeap(), 0, entries);
}

void editShortcuts(AccelEdit edit)
{
    for (int row : SHORTCUT_ORDER)
        editHostTable(edit, POPUP_COMMANDS[row].shortcut, *POPUP_COMMANDS[row].id);
}

UINT newCommandId() { return (UINT)SendMessageA(g.mainWindow, HM_NEW_COMMAND_ID, 0, 0); }

void buildPopup()
{
    g.popup = CreatePopupMenu();
    InsertMenuA(g.mainMenu, HC_MENU_BEFORE_POPUP, MF_BYCOMMAND | MF_POPUP | MF_OWNERDRAW, (UINT_PTR)g.popup,
                g.menuCaptions[MENU_POPUP]);
    for (const PopupCommand& c : POPUP_COMMANDS) {
        *c.id = newCommandId();
        if (c.separatorBefore)
            InsertMenuA(g.popup, (UINT)-1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        InsertMenuA(g.popup, (UINT)-1, MF_BYPOSITION | MF_STRING, *c.id, g.menuCaptions[c.caption]);
    }
}

void renamePopupItems()
{
    for (const PopupCommand& c : POPUP_COMMANDS)
        ModifyMenuA(g.popup, *c.id, MF_BYCOMMAND | MF_STRING, *c.id, g.menuCaptions[c.caption]);
}

// Runs the handler of a command that reached the frame; 0 leaves it to the host.
// During a captured run only a message another thread sends can get here
// (the run lets nothing else through); the add-in's commands then do
// nothing, so that no second run starts inside the first.
LRESULT dispatch(UINT id)
{
    const bool refused = runInProgress();
    for (const HostCommand& c : HOST_COMMANDS)
        if (c.id == id)
            return c.fasmOnly && !g.isFasmProject ? 0 : refused ? 1 : c.handler(id);
    if (id == g.assembleCurrentId)
        return !g.isFasmProject ? 0 : refused ? 1 : onAssembleCurrent();
    for (const PopupCommand& c : POPUP_COMMANDS)
        if (*c.id == id)
            return refused ? 1 : c.handler();
    return 0;
}

bool assembleCurrentInMenu()
{
    return GetMenuState(g.mainMenu, g.assembleCurrentId, MF_BYCOMMAND) != (UINT)-1;
}

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
    PathRemoveFileSpecA(folder);
    if (!folder[0] || SetCurrentDirectoryA(folder))
        return;
    char shortFolder[MAX_PATH];
    if (shortFormOf(folder, shortFolder, sizeof shortFolder))
        SetCurrentDirectoryA(shortFolder);
}

// Whether the open project is a FASM project: the popup, "Assemble current"
// and the status bar follow it.
void refreshProjectState()
{
    if (!SendMessageA(g.mainWindow, HM_GET_PROJECT_INFO, (WPARAM)&g.project, 0)) {
        g.project.field[PROJECT_FIELD_PROJECT_FILE] = nullptr;
        EnableMenuItem(g.mainMenu, popupId(), MF_BYCOMMAND | MF_GRAYED);
        setStatus("");
    } else {
        EnableMenuItem(g.mainMenu, popupId(), MF_BYCOMMAND | MF_ENABLED);
        const char* projectFile = g.project.field[PROJECT_FIELD_PROJECT_FILE];
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
            g.isFasmProject = 1;
            // The host may report the same project again; one item is enough.
            if (!assembleCurrentInMenu())
                InsertMenuA(g.mainMenu, HC_MENU_BEFORE_ASSEMBLE_CURRENT, MF_BYCOMMAND | MF_OWNERDRAW,
                            g.assembleCurrentId, g.menuCaptions[MENU_ASSEMBLE_CURRENT]);
            setStatus(FASM_COMPILER);
            DrawMenuBar(g.mainWindow);
            return;
        }
    }
    g.isFasmProject = 0;
    DeleteMenu(g.mainMenu, g.assembleCurrentId, MF_BYCOMMAND);
    DrawMenuBar(g.mainWindow);
}

}  // namespace

// The library's entry point: derives the file paths on attach and frees
// them on detach. Refuses the attach when the paths cannot be had.
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
    g = AddInState{};
    if (!handles)
        return 0;
    g.mainWindow = handles->mainWindow;
    g.mdiClient = handles->mdiClient;
    g.outputPane = handles->outputPane;
    g.outputControl = handles->outputControl;
    g.acceleratorVar = handles->acceleratorVar;
    g.mainMenu = handles->mainMenu;
    if (links) {
        g.resourceScriptPathVar = links->resourceScriptPathVar;
        g.definitionsVar = links->definitionsVar;
    }
    g.statusBar = FindWindowExA(g.mainWindow, nullptr, STATUS_BAR_CLASS, nullptr);

    refreshLanguage();
    loadMenuCaptions();

    buildPopup();
    g.assembleCurrentId = newCommandId();
    editShortcuts(ACCEL_ADD);
    g.keepRcInclude = readKeepRc();
    refreshProjectState();
    return 0;
}

// Called by the host before it frees the library: removes everything the
// load added to the host's menu and accelerator table.
extern "C" void WINAPI KXAddInUnload()
{
    setStatus("");
    // Deleting the popup from the menu also destroys it.
    DeleteMenu(g.mainMenu, popupId(), MF_BYCOMMAND);
    DeleteMenu(g.mainMenu, g.assembleCurrentId, MF_BYCOMMAND);
    DrawMenuBar(g.mainWindow);
    editShortcuts(ACCEL_REMOVE);
    g.popup = nullptr;
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
        g.mainWindow = handles->mainWindow;
    openSetupDialog(g.mainWindow);
    return 0;
}

// Sees every message of the host frame before the host does. Returns
// non-zero when the add-in handled a command, so the host skips its own.
extern "C" LRESULT WINAPI FrameWindowProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case HN_PROJECT_CHANGED:
        refreshProjectState();
        g.pendingRunCommand = 0;
        CheckMenuItem(g.popup, g.redirectId, MF_BYCOMMAND | MF_UNCHECKED);
        return 0;

    case WM_COMMAND: {
        // A menu pick and an accelerator give the same id.
        UINT id = (UINT)(wParam & ~(WPARAM)0x10000);
        if (id == 0)
            return 0;
        return dispatch(id);
    }

    case HN_LANGUAGE_COMMAND: {
        if (wParam < HN_LANGUAGE_FIRST || wParam > HN_LANGUAGE_LAST)
            return 0;
        char previous[LANGUAGE_NAME_SIZE];
        lstrcpyA(previous, g.languageName);
        refreshLanguage();
        if (textsEqual(previous, g.languageName))
            return 0;
        loadMenuCaptions();
        renamePopupItems();
        // Taken out first, so the host table never holds two of each.
        editShortcuts(ACCEL_REMOVE);
        editShortcuts(ACCEL_ADD);
        DrawMenuBar(g.mainWindow);
        return 0;
    }

    default:
        return 0;
    }
}
