// Loading into the host and leaving it: the popup and its items, "Assemble
// current", the shortcuts in the host's accelerator table, project tracking,
// language changes and the dispatch of host commands.
#include "tests/test_support.h"

#include <tuple>

using testing_support::AddInTest;
using testing_support::findMenuItem;
using testing_support::menuItemAt;

namespace {

const BYTE SHIFT_CTRL = FVIRTKEY | FSHIFT | FCONTROL;

bool sameEntry(const ACCEL& a, const ACCEL& b)
{
    return a.fVirt == b.fVirt && a.key == b.key && a.cmd == b.cmd;
}

std::vector<ACCEL> hostEntries(int count)
{
    std::vector<ACCEL> entries;
    for (int i = 0; i < count; ++i) {
        ACCEL a = {};
        a.fVirt = FVIRTKEY | (i % 2 ? FCONTROL : FALT);
        a.key = (WORD)(VK_F1 + i % 12);
        a.cmd = (WORD)(10000 + i);
        entries.push_back(a);
    }
    return entries;
}

void expectSameTable(const std::vector<ACCEL>& actual, const std::vector<ACCEL>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(sameEntry(actual[i], expected[i]))
            << (int)actual[i].fVirt << "/" << actual[i].key << "/" << actual[i].cmd;
    }
}

class LifecycleTest : public AddInTest {
protected:
    UINT redirectId() { return popupItemId(0); }
    UINT execBatId() { return popupItemId(2); }
    UINT asmAsBatId() { return popupItemId(3); }

    int countItems(HMENU menu, UINT id)
    {
        int n = 0;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            MENUITEMINFOA item = menuItemAt(menu, i);
            if (item.wID == id)
                ++n;
            if (item.hSubMenu)
                n += countItems(item.hSubMenu, id);
        }
        return n;
    }
};

TEST_F(LifecycleTest, PopupGoesBeforeItem10510WithItsThreeItemsAndSeparator)
{
    load();
    HMENU owner;
    int at;
    ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
    ASSERT_GT(at, 0);
    MENUITEMINFOA item = menuItemAt(owner, at - 1);
    ASSERT_TRUE(item.hSubMenu);
    EXPECT_TRUE(item.fType & MFT_OWNERDRAW);
    EXPECT_EQ(item.wID, (UINT)(UINT_PTR)item.hSubMenu);
    EXPECT_STREQ((const char*)item.dwItemData, "BATCH compilation");

    HMENU p = item.hSubMenu;
    ASSERT_EQ(GetMenuItemCount(p), 4);
    EXPECT_TRUE(menuItemAt(p, 1).fType & MFT_SEPARATOR);
    EXPECT_EQ(testing_support::menuText(p, redirectId()), "Redirect OUT\tShift+Ctrl+R");
    EXPECT_EQ(testing_support::menuText(p, execBatId()), "Execute first BAT\tShift+Ctrl+G");
    EXPECT_EQ(testing_support::menuText(p, asmAsBatId()), "Execute ASM as BAT\tShift+Ctrl+A");
    EXPECT_FALSE(GetMenuState(p, redirectId(), MF_BYCOMMAND) & MF_CHECKED);
    // The ids the host handed out, in menu order, then those of the Make
    // menu's items, which follow "Assemble current" in the menu of a FASM
    // project, their shortcuts shown as the popup's are.
    ASSERT_EQ(host->commandIdsGiven.size(), 6u);
    EXPECT_EQ(
        (std::vector<UINT>{redirectId(), execBatId(), asmAsBatId()}),
        (std::vector<UINT>{host->commandIdsGiven[0], host->commandIdsGiven[1], host->commandIdsGiven[2]}));
    host->openProject(makeProject("FASM"));
    struct MakeItem {
        MakeMenuItem item;
        const char* text;
    } items[] = {{ASSEMBLE_CURRENT_ITEM, "Assemble current"},
                 {NEXT_ERROR_ITEM, "Next error\tF4"},
                 {PREVIOUS_ERROR_ITEM, "Previous error\tShift+F4"}};
    for (const MakeItem& m : items) {
        SCOPED_TRACE(m.text);
        UINT id = makeMenuItemId(m.item);
        EXPECT_EQ(id, host->commandIdsGiven[3 + m.item]);
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA | MIIM_FTYPE;
        ASSERT_TRUE(GetMenuItemInfoA(host->mainMenu(), id, FALSE, &info));
        EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
        EXPECT_STREQ((const char*)info.dwItemData, m.text);
    }
}

TEST_F(LifecycleTest, ProjectStateDecidesAssembleCurrentStatusAndGreying)
{
    struct Case {
        const char* compiler;  // nullptr: no project open
        const char* status;
        bool assembleCurrent;
        bool greyed;
    } cases[] = {
        {nullptr, "", false, true},     {"FASM", "FASM", true, false},
        {"", "MASM", false, false},      // no Compiler key
        {"fasm", "fasm", false, false},  // the name is compared case-sensitively
        {"TASM", "TASM", false, false}, {"FASM", "FASM", true, false},
    };
    load();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compiler ? c.compiler : "(no project)");
        if (c.compiler)
            host->openProject(makeProject(c.compiler));
        else
            host->closeProject();
        EXPECT_EQ(host->statusText(4), c.status);
        EXPECT_EQ(assembleCurrentId() != 0, c.assembleCurrent);
        UINT state = GetMenuState(host->mainMenu(), (UINT)(UINT_PTR)popup(), MF_BYCOMMAND);
        EXPECT_EQ((state & MF_GRAYED) != 0, c.greyed);
    }
}

TEST_F(LifecycleTest, AssembleCurrentIsInsertedOnceWhatEverTheHostReports)
{
    load();
    std::string project = makeProject("FASM");
    host->openProject(project);
    UINT id = assembleCurrentId();
    ASSERT_NE(id, 0u);
    host->frameMessage(HN_PROJECT_CHANGED, 0, 0);
    host->openProject(project);
    EXPECT_EQ(countItems(host->mainMenu(), id), 1);
    host->openProject(makeProject("MASM", "other"));
    EXPECT_EQ(countItems(host->mainMenu(), id), 0);
    host->openProject(project);
    EXPECT_EQ(countItems(host->mainMenu(), id), 1);
}

TEST_F(LifecycleTest, ProjectFolderBecomesTheCurrentDirectory)
{
    load();
    std::string project = makeProject("MASM");
    host->openProject(project);
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    std::string folder = project.substr(0, project.rfind('\\'));
    EXPECT_EQ(lstrcmpiA(current, folder.c_str()), 0) << current << " vs " << folder;
}

TEST_F(LifecycleTest, ShortcutsAreAddedOnLoadAndTheHostTableRestoredOnUnload)
{
    // Sizes either side of the 1024-byte scratch area (170 entries are 1020 bytes).
    for (int size : {1, 3, 168, 169, 170, 500}) {
        SCOPED_TRACE(size);
        host = std::make_unique<hostsim::Host>();
        std::vector<ACCEL> before = hostEntries(size);
        host->setAccelerators(before);
        load();
        std::vector<ACCEL> loaded = host->accelerators();
        ASSERT_EQ(loaded.size(), before.size() + 5);
        std::vector<ACCEL> expected = before;
        // The commands' own order; the Make menu's ids are the last two the host gave.
        const std::vector<UINT>& given = host->commandIdsGiven;
        for (auto [flags, key, id] : {std::tuple<BYTE, WORD, UINT>{SHIFT_CTRL, 'R', redirectId()},
                                      {SHIFT_CTRL, 'G', execBatId()},
                                      {SHIFT_CTRL, 'A', asmAsBatId()},
                                      {FVIRTKEY, VK_F4, given[4]},
                                      {FVIRTKEY | FSHIFT, VK_F4, given[5]}}) {
            ACCEL a = {};
            a.fVirt = flags;
            a.key = key;
            a.cmd = (WORD)id;
            expected.push_back(a);
        }
        expectSameTable(loaded, expected);
        host->unloadAddIn();
        expectSameTable(host->accelerators(), before);
    }
}

TEST_F(LifecycleTest, LanguageChangesLeaveNoDuplicateShortcuts)
{
    std::vector<ACCEL> before = hostEntries(5);
    host->setAccelerators(before);
    translate("One", "mn", "a^b^c^d^e");
    translate("Two", "mn", "1^2^3^4^5");
    load();
    for (const char* language : {"One", "Two", "One", "One", "Two"})
        host->changeLanguage(language);
    EXPECT_EQ(host->accelerators().size(), before.size() + 5);
    host->unloadAddIn();
    expectSameTable(host->accelerators(), before);
}

TEST_F(LifecycleTest, LanguageNotificationRenamesItemsOnlyInsideItsRangeAndOnChange)
{
    translate("One", "mn", "a^b^c~1^d~2^e~3");
    load();
    struct Case {
        const char* language;
        WPARAM command;
        const char* redirectCaption;
    } cases[] = {
        {"One", 30100, "Redirect OUT\tShift+Ctrl+R"},  // below the range
        {"One", 40001, "Redirect OUT\tShift+Ctrl+R"},  // above it
        {"One", 30101, "c\tShift+Ctrl+R"},
        {"One", 40000, "c\tShift+Ctrl+R"},  // the same name again changes nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        host->changeLanguage(c.language, c.command);
        EXPECT_EQ(testing_support::menuText(popup(), redirectId()), c.redirectCaption);
    }
    HMENU owner;
    int at;
    ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
    EXPECT_STREQ((const char*)menuItemAt(owner, at - 1).dwItemData, "b");
}

// Captions in every kind of translation: each item's own key, else its field
// of the packed "mn" (older translations), else English; the shortcut always
// from the add-in, whatever a field names after its '~'.
TEST_F(LifecycleTest, EveryCaptionShowsInEveryTranslationWithItsShortcut)
{
    struct Case {
        const char* language;
        std::vector<std::pair<const char*, const char*>> texts;
        std::vector<std::string> popupItems;  // Redirect OUT, Execute first BAT, Execute ASM as BAT
        std::vector<std::string> makeItems;   // Assemble current, Next error, Previous error
    } cases[] = {
        {"Older",
         {{"mn", "A^B^R~Umschalt+Strg+R^G~Umschalt+Strg+G^X~Umschalt+Strg+A"}},
         {"R\tShift+Ctrl+R", "G\tShift+Ctrl+G", "X\tShift+Ctrl+A"},
         {"A", "Next error\tF4", "Previous error\tShift+F4"}},
        {"Newer",
         {{"mn", "A^B^R^G^X"}, {"m1", "N"}, {"m2", "P"}},
         {"R\tShift+Ctrl+R", "G\tShift+Ctrl+G", "X\tShift+Ctrl+A"},
         {"A", "N\tF4", "P\tShift+F4"}},
        {"Short",
         {{"mn", "A^B"}, {"m2", ""}},
         {"Redirect OUT\tShift+Ctrl+R", "Execute first BAT\tShift+Ctrl+G",
          "Execute ASM as BAT\tShift+Ctrl+A"},
         {"A", "Next error\tF4", "Previous error\tShift+F4"}},
    };
    for (const Case& c : cases)
        for (const auto& text : c.texts)
            translate(c.language, text.first, text.second);
    load();
    host->openProject(makeProject("FASM"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        host->changeLanguage(c.language);
        EXPECT_EQ((std::vector<std::string>{testing_support::menuText(popup(), redirectId()),
                                            testing_support::menuText(popup(), execBatId()),
                                            testing_support::menuText(popup(), asmAsBatId())}),
                  c.popupItems);
        std::vector<std::string> make;
        for (MakeMenuItem item : {ASSEMBLE_CURRENT_ITEM, NEXT_ERROR_ITEM, PREVIOUS_ERROR_ITEM}) {
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_DATA;
            GetMenuItemInfoA(host->mainMenu(), makeMenuItemId(item), FALSE, &info);
            make.push_back(info.dwItemData ? (const char*)info.dwItemData : "(none)");
        }
        EXPECT_EQ(make, c.makeItems);
    }
}

TEST_F(LifecycleTest, NullHostTableStaysNull)
{
    host->setAccelerators({});
    load();
    EXPECT_TRUE(host->accelerators().empty());
    host->changeLanguage("Other");
    host->unloadAddIn();
    EXPECT_TRUE(host->accelerators().empty());
}

TEST_F(LifecycleTest, UnloadRemovesEverythingItAdded)
{
    // The popup and the Make menu items go into the menu that holds 10510.
    HMENU make;
    int at;
    ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &make, &at));
    int itemsBefore = GetMenuItemCount(make);
    std::vector<ACCEL> tableBefore = host->accelerators();
    load();
    host->openProject(makeProject("FASM"));
    UINT current = assembleCurrentId();
    HMENU p = popup();
    ASSERT_TRUE(current && p);
    EXPECT_EQ(GetMenuItemCount(make), itemsBefore + 1 + MAKE_MENU_ITEMS);
    host->unloadAddIn();
    EXPECT_EQ(host->statusText(4), "");
    EXPECT_EQ(countItems(host->mainMenu(), current), 0);
    EXPECT_EQ(popup(), nullptr);
    EXPECT_EQ(GetMenuItemCount(make), itemsBefore);
    expectSameTable(host->accelerators(), tableBefore);
}

TEST_F(LifecycleTest, CommandsDispatchAlikeFromMenuAndAccelerator)
{
    load();
    host->openProject(makeProject("MASM"));
    ASSERT_EQ(host->command(redirectId(), true), 1);
    EXPECT_TRUE(GetMenuState(popup(), redirectId(), MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(host->statusText(4), "Redirection now is ON.");
    ASSERT_EQ(host->command(redirectId(), false), 1);
    EXPECT_FALSE(GetMenuState(popup(), redirectId(), MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(host->statusText(4), "Redirection now is OFF.");
    // Nothing the add-in handled reached the host.
    EXPECT_TRUE(host->hostCommands.empty());
}

TEST_F(LifecycleTest, HostCommandsOfOtherProjectsReachTheHost)
{
    setKeepRc("0");
    load();
    host->openProject(makeProject("MASM"));
    std::vector<UINT> commands = {
        HC_ASSEMBLE, HC_BUILD, HC_RUN, HC_RUN_ALTERNATE, HC_EXPORT_RESOURCE_DEFINITIONS, 12345};
    for (UINT id : commands) {
        SCOPED_TRACE(id);
        EXPECT_EQ(host->command(id), 0);
    }
    EXPECT_EQ(host->hostCommands, commands);
    EXPECT_TRUE(host->dialogs.empty());
}

TEST_F(LifecycleTest, ProjectChangeClearsTheRedirectCheck)
{
    load();
    host->openProject(makeProject("FASM"));
    host->command(redirectId());
    ASSERT_TRUE(GetMenuState(popup(), redirectId(), MF_BYCOMMAND) & MF_CHECKED);
    host->openProject(makeProject("FASM", "second"));
    EXPECT_FALSE(GetMenuState(popup(), redirectId(), MF_BYCOMMAND) & MF_CHECKED);
}

}  // namespace
