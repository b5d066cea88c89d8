#include "addin/commands.h"

#include "addin/accelerators.h"
#include "addin/project_tracking.h"
#include "commands/assemble.h"
#include "commands/batch.h"
#include "commands/rc_export.h"
#include "commands/runner.h"
#include "host/host_windows.h"
#include "navigation/navigation.h"
#include "settings/ui_text.h"

namespace {

// Every handler gets the command's id and returns 0 to leave the command to
// the host, 1 when the add-in handled it.
typedef LRESULT (*CommandHandler)(UINT command);

// Where a command lives: the host's own menu item, which the add-in takes
// over; an item of the add-in's popup; an item of the host's Make menu,
// which only FASM projects show.
enum CommandPlace { HOST_ITEM, POPUP_ITEM, MAKE_MENU_ITEM };

enum : DWORD {
    SHIFT_CTRL = FVIRTKEY | FSHIFT | FCONTROL,
    NO_SHORTCUT = 0,
};
// The host's own items keep the host's captions.
const MenuCaption NO_CAPTION = MENU_CAPTION_COUNT;

// One row per command: the dispatch, the menus, the shortcuts in the host's
// table and the captions all read this table. Rows are in dispatch order;
// within a menu, in menu order.
struct Command {
    UINT hostId;  // the host's own command, or 0 for an id the host gives at load
    CommandPlace place;
    MenuCaption caption;   // the item's caption, for popup and Make menu items
    bool separatorBefore;  // in the popup
    DWORD shortcut;        // as an accelerator's first four bytes: flags, zero, key
    const char* keys;      // the shortcut as the caption shows it after a tab
    bool fasmOnly;         // any other project leaves it to the host
    CommandHandler handler;
};
const Command COMMANDS[] = {
    {HC_ASSEMBLE, HOST_ITEM, NO_CAPTION, false, NO_SHORTCUT, nullptr, true, onHostAssemble},
    {HC_BUILD, HOST_ITEM, NO_CAPTION, false, NO_SHORTCUT, nullptr, true, onHostBuild},
    {HC_RUN, HOST_ITEM, NO_CAPTION, false, NO_SHORTCUT, nullptr, true, guardRunCommand},
    {HC_RUN_ALTERNATE, HOST_ITEM, NO_CAPTION, false, NO_SHORTCUT, nullptr, true, guardRunCommand},
    {HC_EXPORT_RESOURCE_DEFINITIONS, HOST_ITEM, NO_CAPTION, false, NO_SHORTCUT, nullptr, false,
     resourceExportCommand},
    {0, POPUP_ITEM, MENU_REDIRECT, false, SHIFT_CTRL | 'R' << 16, "Shift+Ctrl+R", false, onRedirectOut},
    {0, POPUP_ITEM, MENU_EXEC_BAT, true, SHIFT_CTRL | 'G' << 16, "Shift+Ctrl+G", false, onExecuteFirstBat},
    {0, POPUP_ITEM, MENU_ASM_AS_BAT, false, SHIFT_CTRL | 'A' << 16, "Shift+Ctrl+A", false, onExecuteAsmAsBat},
    {0, MAKE_MENU_ITEM, MENU_ASSEMBLE_CURRENT, false, NO_SHORTCUT, nullptr, true, onAssembleCurrent},
    {0, MAKE_MENU_ITEM, MENU_NEXT_ERROR, false, FVIRTKEY | VK_F4 << 16, "F4", true, onNextError},
    {0, MAKE_MENU_ITEM, MENU_PREVIOUS_ERROR, false, FVIRTKEY | FSHIFT | VK_F4 << 16, "Shift+F4", true,
     onPreviousError},
};
enum : size_t { COMMAND_COUNT = sizeof COMMANDS / sizeof COMMANDS[0] };
// Room for a caption, a tab and the longest shortcut's name.
enum : size_t { ITEM_TEXT_SIZE = MENU_CAPTION_SIZE + 16 };

// The popup, and each row's id and the text its item shows. The host draws
// the owner-drawn Make menu items from their texts, so these live from load
// to unload.
HMENU popup;
UINT commandIds[COMMAND_COUNT];
char itemTexts[COMMAND_COUNT][ITEM_TEXT_SIZE];

UINT popupId() { return (UINT)(UINT_PTR)popup; }

UINT newCommandId() { return (UINT)SendMessageA(hostWindows().mainWindow, HM_NEW_COMMAND_ID, 0, 0); }

// The caption in the current language, then the shortcut from its row.
void composeItemTexts()
{
    for (size_t row = 0; row < COMMAND_COUNT; ++row) {
        const Command& c = COMMANDS[row];
        if (c.place == HOST_ITEM)
            continue;
        lstrcpynA(itemTexts[row], menuCaption(c.caption), ITEM_TEXT_SIZE);
        if (c.keys)
            wsprintfA(itemTexts[row] + lstrlenA(itemTexts[row]), "\t%s", c.keys);
    }
}

// All shortcuts in one edit of the host's table: each edit rebuilds it.
void editShortcuts(AccelEdit edit)
{
    HostShortcut shortcuts[COMMAND_COUNT];
    size_t count = 0;
    for (size_t row = 0; row < COMMAND_COUNT; ++row)
        if (COMMANDS[row].shortcut != NO_SHORTCUT)
            shortcuts[count++] = HostShortcut{COMMANDS[row].shortcut, commandIds[row]};
    editHostTable(edit, shortcuts, count);
}

bool inMenu(UINT id) { return GetMenuState(hostWindows().mainMenu, id, MF_BYCOMMAND) != (UINT)-1; }

// The Make menu's items, directly before the host's item that follows them,
// for FASM projects only. The host may report the same project again; one
// item each is enough.
void showMakeMenuItems(bool shown)
{
    const HostWindows& host = hostWindows();
    for (size_t row = 0; row < COMMAND_COUNT; ++row) {
        if (COMMANDS[row].place != MAKE_MENU_ITEM)
            continue;
        if (!shown)
            DeleteMenu(host.mainMenu, commandIds[row], MF_BYCOMMAND);
        else if (!inMenu(commandIds[row]))
            InsertMenuA(host.mainMenu, HC_MENU_BEFORE_ASSEMBLE_CURRENT, MF_BYCOMMAND | MF_OWNERDRAW,
                        commandIds[row], itemTexts[row]);
    }
    DrawMenuBar(host.mainWindow);
}

}  // namespace

void addCommandsToHost()
{
    composeItemTexts();
    popup = CreatePopupMenu();
    InsertMenuA(hostWindows().mainMenu, HC_MENU_BEFORE_POPUP, MF_BYCOMMAND | MF_POPUP | MF_OWNERDRAW,
                (UINT_PTR)popup, menuCaption(MENU_POPUP));
    for (size_t row = 0; row < COMMAND_COUNT; ++row) {
        const Command& c = COMMANDS[row];
        commandIds[row] = c.hostId ? c.hostId : newCommandId();
        if (c.place != POPUP_ITEM)
            continue;
        if (c.separatorBefore)
            InsertMenuA(popup, (UINT)-1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        InsertMenuA(popup, (UINT)-1, MF_BYPOSITION | MF_STRING, commandIds[row], itemTexts[row]);
        if (c.handler == onRedirectOut)
            takeRedirectCommand(commandIds[row]);
    }
    editShortcuts(ACCEL_ADD);
}

void removeCommandsFromHost()
{
    const HostWindows& host = hostWindows();
    // Deleting the popup from the menu also destroys it.
    DeleteMenu(host.mainMenu, popupId(), MF_BYCOMMAND);
    showMakeMenuItems(false);
    editShortcuts(ACCEL_REMOVE);
    popup = nullptr;
}

void renameCommands()
{
    loadMenuCaptions();
    composeItemTexts();
    for (size_t row = 0; row < COMMAND_COUNT; ++row)
        if (COMMANDS[row].place == POPUP_ITEM)
            ModifyMenuA(popup, commandIds[row], MF_BYCOMMAND | MF_STRING, commandIds[row], itemTexts[row]);
    DrawMenuBar(hostWindows().mainWindow);
}

void followProject()
{
    refreshProjectState(popup);
    showMakeMenuItems(fasmProjectOpen());
}

// During a captured run only a message another thread sends can get here
// (the run lets nothing else through); the add-in's commands then do
// nothing, so that no second run starts inside the first.
LRESULT dispatchCommand(UINT id)
{
    for (size_t row = 0; row < COMMAND_COUNT; ++row) {
        const Command& c = COMMANDS[row];
        if (commandIds[row] != id || id == 0)
            continue;
        if (c.fasmOnly && !fasmProjectOpen())
            return 0;
        return runInProgress() ? 1 : c.handler(id);
    }
    return 0;
}
