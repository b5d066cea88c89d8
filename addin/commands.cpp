#include "addin/commands.h"

#include "addin/accelerators.h"
#include "addin/project_tracking.h"
#include "commands/assemble.h"
#include "commands/batch.h"
#include "commands/rc_export.h"
#include "commands/runner.h"
#include "host/host_windows.h"
#include "settings/ui_text.h"

namespace {

// Every handler gets the command's id and returns 0 to leave the command to
// the host, 1 when the add-in handled it.
typedef LRESULT (*CommandHandler)(UINT command);

HMENU popup;
UINT redirectId, execBatId, asmAsBatId, assembleCurrentId;

// The popup's items, in menu order, each with the caption slot it shows,
// its shortcut and its handler. Their ids come from the host at load.
// The caption's text names the shortcut for the user (after '~', so that a
// translation can name the keys in its language); the key itself is here.
struct PopupCommand {
    UINT* id;
    MenuCaption caption;
    bool separatorBefore;
    DWORD shortcut;  // as an accelerator's first four bytes: flags, zero, key
    CommandHandler handler;
};
enum : DWORD { SHIFT_CTRL = FVIRTKEY | FSHIFT | FCONTROL };
const PopupCommand POPUP_COMMANDS[] = {
    {&redirectId, MENU_REDIRECT, false, SHIFT_CTRL | 'R' << 16, onRedirectOut},
    {&execBatId, MENU_EXEC_BAT, true, SHIFT_CTRL | 'G' << 16, onExecuteFirstBat},
    {&asmAsBatId, MENU_ASM_AS_BAT, false, SHIFT_CTRL | 'A' << 16, onExecuteAsmAsBat},
};
// The host's table has always received the shortcuts in this order.
const int SHORTCUT_ORDER[] = {1, 2, 0};
static_assert(sizeof SHORTCUT_ORDER / sizeof SHORTCUT_ORDER[0] ==
                  sizeof POPUP_COMMANDS / sizeof POPUP_COMMANDS[0],
              "every popup command has its place in the shortcut order");

// Commands of the host's menu the add-in handles: the host's own, which it
// takes over, and "Assemble current", whose id the host gives at load.
// Those for FASM projects only are left to the host for any other project.
const UINT ID_ASSEMBLE = HC_ASSEMBLE, ID_BUILD = HC_BUILD, ID_RUN = HC_RUN,
           ID_RUN_ALTERNATE = HC_RUN_ALTERNATE, ID_EXPORT_DEFINITIONS = HC_EXPORT_RESOURCE_DEFINITIONS;
struct MenuCommand {
    const UINT* id;
    bool fasmOnly;
    CommandHandler handler;
};
const MenuCommand MENU_COMMANDS[] = {
    {&ID_ASSEMBLE, true, onHostAssemble},
    {&ID_BUILD, true, onHostBuild},
    {&ID_RUN, true, guardRunCommand},
    {&ID_RUN_ALTERNATE, true, guardRunCommand},
    {&ID_EXPORT_DEFINITIONS, false, resourceExportCommand},
    {&assembleCurrentId, true, onAssembleCurrent},
};

UINT popupId() { return (UINT)(UINT_PTR)popup; }

UINT newCommandId() { return (UINT)SendMessageA(hostWindows().mainWindow, HM_NEW_COMMAND_ID, 0, 0); }

void editShortcuts(AccelEdit edit)
{
    for (int row : SHORTCUT_ORDER)
        editHostTable(edit, POPUP_COMMANDS[row].shortcut, *POPUP_COMMANDS[row].id);
}

}  // namespace

void addCommandsToHost()
{
    popup = CreatePopupMenu();
    InsertMenuA(hostWindows().mainMenu, HC_MENU_BEFORE_POPUP, MF_BYCOMMAND | MF_POPUP | MF_OWNERDRAW,
                (UINT_PTR)popup, menuCaption(MENU_POPUP));
    for (const PopupCommand& c : POPUP_COMMANDS) {
        *c.id = newCommandId();
        if (c.separatorBefore)
            InsertMenuA(popup, (UINT)-1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        InsertMenuA(popup, (UINT)-1, MF_BYPOSITION | MF_STRING, *c.id, menuCaption(c.caption));
    }
    takeRedirectCommand(redirectId);
    assembleCurrentId = newCommandId();
    editShortcuts(ACCEL_ADD);
}

void removeCommandsFromHost()
{
    const HostWindows& host = hostWindows();
    // Deleting the popup from the menu also destroys it.
    DeleteMenu(host.mainMenu, popupId(), MF_BYCOMMAND);
    DeleteMenu(host.mainMenu, assembleCurrentId, MF_BYCOMMAND);
    DrawMenuBar(host.mainWindow);
    editShortcuts(ACCEL_REMOVE);
    popup = nullptr;
}

void renameCommands()
{
    loadMenuCaptions();
    for (const PopupCommand& c : POPUP_COMMANDS)
        ModifyMenuA(popup, *c.id, MF_BYCOMMAND | MF_STRING, *c.id, menuCaption(c.caption));
    // Taken out first, so the host table never holds two of each.
    editShortcuts(ACCEL_REMOVE);
    editShortcuts(ACCEL_ADD);
    DrawMenuBar(hostWindows().mainWindow);
}

void followProject() { refreshProjectState(assembleCurrentId, popup); }

// During a captured run only a message another thread sends can get here
// (the run lets nothing else through); the add-in's commands then do
// nothing, so that no second run starts inside the first.
LRESULT dispatchCommand(UINT id)
{
    const bool refused = runInProgress();
    for (const MenuCommand& c : MENU_COMMANDS)
        if (*c.id == id)
            return c.fasmOnly && !fasmProjectOpen() ? 0 : refused ? 1 : c.handler(id);
    for (const PopupCommand& c : POPUP_COMMANDS)
        if (*c.id == id)
            return refused ? 1 : c.handler(id);
    return 0;
}
