// Loading into the host and leaving it: the popup and its items, "Assemble
// current", the shortcuts in the host's accelerator table, project tracking,
// language changes and the dispatch of host commands.
#include "tests/test_support.h"

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
    // The ids the host handed out, in menu order, then "Assemble current"'s.
    ASSERT_EQ(host->commandIdsGiven.size(), 4u);
    EXPECT_EQ(
        (std::vector<UINT>{redirectId(), execBatId(), asmAsBatId()}),
        (std::vector<UINT>{host->commandIdsGiven[0], host->commandIdsGiven[1], host->commandIdsGiven[2]}));
    host->openProject(makeProject("FASM"));
    EXPECT_EQ(assembleCurrentId(), host->commandIdsGiven[3]);
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
        ASSERT_EQ(loaded.size(), before.size() + 3);
        std::vector<ACCEL> expected = before;
        for (auto [key, id] :
             {std::pair<WORD, UINT>{'G', execBatId()}, {'A', asmAsBatId()}, {'R', redirectId()}}) {
            ACCEL a = {};
            a.fVirt = SHIFT_CTRL;
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
    EXPECT_EQ(host->accelerators().size(), before.size() + 3);
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
        {"One", 30101, "c\t1"},
        {"One", 40000, "c\t1"},  // the same name again changes nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        host->changeLanguage(c.language, c.command);
        EXPECT_EQ(testing_support::menuText(popup(), redirectId()), c.redirectCaption);
    }
    EXPECT_EQ(testing_support::menuText(popup(), execBatId()), "d\t2");
    EXPECT_EQ(testing_support::menuText(popup(), asmAsBatId()), "e\t3");
    HMENU owner;
    int at;
    ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
    EXPECT_STREQ((const char*)menuItemAt(owner, at - 1).dwItemData, "b");
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
    // The popup and "Assemble current" go into the menu that holds 10510.
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
    EXPECT_EQ(GetMenuItemCount(make), itemsBefore + 2);
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
