// Writing the project's resource identifiers to rc.inc: through the host's
// export command (11204) and as part of the host's build command.
#include "tests/test_support.h"

#include <functional>

#include <commctrl.h>

using testing_support::AddInTest;
using testing_support::fileExists;

namespace {

const char SUCCESS_TEXT[] = "Resources definitions exported into rc.inc";
const char SUCCESS_CAPTION[] = "Exporting resources definitions";
const char FAILURE_TEXT[] = "Failed exporting rc.inc";

class RcExportTest : public AddInTest {
protected:
    std::string projectFile, folder, script, rcInc;

    // Loads the add-in with KeepRC as given ("" leaves the key out) and
    // opens a project whose resource script lies in its own folder.
    void loadProject(const char* keepRc = "1", const char* compiler = "FASM")
    {
        if (keepRc[0])
            setKeepRc(keepRc);
        projectFile = makeProject(compiler);
        folder = projectFile.substr(0, projectFile.find_last_of('\\'));
        script = folder + "\\app.rc";
        rcInc = folder + "\\rc.inc";
        load();
        host->openProject(projectFile);
        host->setResourceScript(script.c_str());
    }

    LRESULT exportCommand() { return host->command(HC_EXPORT_RESOURCE_DEFINITIONS); }

    bool hostRanExport() const
    {
        for (UINT id : host->hostCommands)
            if (id == HC_EXPORT_RESOURCE_DEFINITIONS)
                return true;
        return false;
    }

    void expectOnlyDialog(const char* text, const char* caption, UINT style)
    {
        ASSERT_EQ(host->dialogs.size(), 1u);
        const hostsim::DialogSeen& d = host->dialogs[0];
        EXPECT_TRUE(d.isMessageBox);
        EXPECT_EQ(d.text, text);
        if (caption)
            EXPECT_EQ(d.caption, caption);
        EXPECT_EQ(d.style, style);
        EXPECT_EQ(d.owner, host->frame());
        EXPECT_EQ(host->unexpectedDialogs, 0);
    }

    // The failure names the file it was about and, where the system failed,
    // the system's reason.
    void expectFailureMessage(const std::string& path, const std::string& reason)
    {
        // No caption of its own: whatever the platform shows by default.
        std::string text = std::string(FAILURE_TEXT) + "\r" + path + (reason.empty() ? "" : "\r" + reason);
        expectOnlyDialog(text.c_str(), nullptr, MB_OK | MB_ICONERROR);
        if (!host->dialogs.empty())
            EXPECT_NE(host->dialogs[0].caption, SUCCESS_CAPTION);
    }
};

TEST_F(RcExportTest, TwoRecordsGiveTwoLinesAndTheSuccessMessage)
{
    loadProject();
    host->setDefinitions({{"IDD_MAIN", 100}, {"IDI_APP", -1}});
    // The file must be closed by the time the message shows: opening it
    // without any sharing would fail otherwise.
    bool closedDuringMessage = false;
    host->answer(hostsim::Answer::run([&](HWND box) {
        HANDLE f = CreateFileA(rcInc.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        closedDuringMessage = f != INVALID_HANDLE_VALUE;
        if (closedDuringMessage)
            CloseHandle(f);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }));
    EXPECT_EQ(exportCommand(), 1);
    EXPECT_EQ(hostsim::readFile(rcInc), "IDD_MAIN equ 100\r\nIDI_APP equ -1\r\n");
    expectOnlyDialog(SUCCESS_TEXT, SUCCESS_CAPTION, MB_OK);
    EXPECT_TRUE(closedDuringMessage);
    EXPECT_FALSE(hostRanExport());
    EXPECT_EQ(host->statusText(4), "FASM");
    EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
    EXPECT_EQ(host->outputText(), "");
}

TEST_F(RcExportTest, IdsAndNamesAreWrittenAsTheyAre)
{
    std::string name64(64, 'N');
    std::string name65 = std::string(64, 'A') + "Z";  // fills the field: no terminator
    std::string name80 = std::string(64, 'B') + std::string(16, 'Y');
    struct Case {
        std::vector<hostsim::Definition> defs;
        std::string expected;
    } cases[] = {
        {{{"ZERO", 0}, {"MAX", 2147483647}, {"MIN", -2147483647 - 1}, {"TEN", 10}},
         "ZERO equ 0\r\nMAX equ 2147483647\r\nMIN equ -2147483648\r\nTEN equ 10\r\n"},
        {{{name64, 7}}, name64 + " equ 7\r\n"},
        {{{name65, 8}}, std::string(64, 'A') + " equ 8\r\n"},
        {{{name80, -9}, {"NEXT", 1}}, std::string(64, 'B') + " equ -9\r\nNEXT equ 1\r\n"},
        {{{"ID_%s%d%%", 5}, {"%i", 6}}, "ID_%s%d%% equ 5\r\n%i equ 6\r\n"},
        {{{"X", 1}}, "X equ 1\r\n"},
    };
    loadProject();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.substr(0, 40));
        host->dialogs.clear();
        host->setDefinitions(c.defs);
        host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(exportCommand(), 1);
        EXPECT_EQ(hostsim::readFile(rcInc), c.expected);
        expectOnlyDialog(SUCCESS_TEXT, SUCCESS_CAPTION, MB_OK);
    }
}

TEST_F(RcExportTest, ExportingAgainReplacesTheFile)
{
    loadProject();
    hostsim::writeFile(rcInc, std::string(5000, 'x'));
    host->setDefinitions({{"A", 1}, {"B", 2}, {"C", 3}});
    host->answer(hostsim::Answer::press(IDOK));
    exportCommand();
    EXPECT_EQ(hostsim::readFile(rcInc), "A equ 1\r\nB equ 2\r\nC equ 3\r\n");
    host->setDefinitions({{"ONLY", 42}});
    host->answer(hostsim::Answer::press(IDOK));
    exportCommand();
    EXPECT_EQ(hostsim::readFile(rcInc), "ONLY equ 42\r\n");
    EXPECT_EQ(host->dialogs.size(), 2u);
    EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
}

TEST_F(RcExportTest, OnlyKeepRcOneTakesTheCommandOver)
{
    struct Case {
        const char* keepRc;  // "" : key missing
        bool takenOver;
    } cases[] = {
        {"0", false}, {"2", false}, {"3", false}, {"-1", false}, {"1", true}, {"", true}, {" 1 ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("KeepRC '") + c.keepRc + "'");
        host = std::make_unique<hostsim::Host>();
        DeleteFileA(inst.addInsIni.c_str());
        loadProject(c.keepRc);
        host->setDefinitions({{"IDD_MAIN", 100}});
        if (c.takenOver)
            host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(exportCommand(), c.takenOver ? 1 : 0);
        EXPECT_EQ(hostRanExport(), !c.takenOver);
        EXPECT_EQ(fileExists(rcInc), c.takenOver);
        EXPECT_EQ(host->dialogs.size(), c.takenOver ? 1u : 0u);
        EXPECT_EQ(host->unexpectedDialogs, 0);
    }
}

TEST_F(RcExportTest, ProjectsOfOtherCompilersAreExportedToo)
{
    for (const char* compiler : {"MASM", ""}) {
        SCOPED_TRACE(compiler);
        host = std::make_unique<hostsim::Host>();
        loadProject("1", compiler);
        host->setDefinitions({{"IDC_OK", 1001}});
        host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(exportCommand(), 1);
        EXPECT_EQ(hostsim::readFile(rcInc), "IDC_OK equ 1001\r\n");
        EXPECT_FALSE(hostRanExport());
        expectOnlyDialog(SUCCESS_TEXT, SUCCESS_CAPTION, MB_OK);
    }
}

TEST_F(RcExportTest, NoProjectOrNoResourceScriptDoesNothingButIsHandled)
{
    for (bool projectOpen : {false, true}) {
        SCOPED_TRACE(projectOpen ? "no resource script" : "no project");
        host = std::make_unique<hostsim::Host>();
        loadProject();
        host->setDefinitions({{"IDD_MAIN", 100}});
        if (projectOpen)
            host->setResourceScript(nullptr);
        else
            host->closeProject();
        SendMessageA(host->statusBar(), SB_SETTEXTA, 4, (LPARAM) "something else");
        EXPECT_EQ(exportCommand(), 1);
        EXPECT_FALSE(fileExists(rcInc));
        EXPECT_TRUE(host->dialogs.empty());
        EXPECT_FALSE(hostRanExport());
        EXPECT_EQ(host->statusText(4), "FASM");
    }
}

TEST_F(RcExportTest, EmptyListTruncatesTheFileAndReportsFailure)
{
    loadProject();
    ASSERT_TRUE(hostsim::writeFile(rcInc, "OLD equ 1\r\n"));
    host->setDefinitions({});
    host->answer(hostsim::Answer::press(IDOK));
    EXPECT_EQ(exportCommand(), 1);
    EXPECT_TRUE(fileExists(rcInc));
    EXPECT_EQ(hostsim::readFile(rcInc), "");
    expectFailureMessage(rcInc, "");  // nothing to export is no error of the system's
    EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
}

TEST_F(RcExportTest, ScriptWithoutFolderWritesBesideTheCurrentDirectory)
{
    loadProject();
    // The add-in works from the project's folder once a project is open.
    host->setResourceScript("app.rc");
    host->setDefinitions({{"REL", 3}});
    host->answer(hostsim::Answer::press(IDOK));
    EXPECT_EQ(exportCommand(), 1);
    EXPECT_EQ(hostsim::readFile(folder + "\\rc.inc"), "REL equ 3\r\n");
    expectOnlyDialog(SUCCESS_TEXT, SUCCESS_CAPTION, MB_OK);
}

TEST_F(RcExportTest, UnwritableDestinationsReportFailureAndLeaveNoTrace)
{
    loadProject();
    host->setDefinitions({{"IDD_MAIN", 100}});
    std::string longScript = folder + "\\" + std::string(300, 'd') + "\\app.rc";
    std::string missingScript = folder + "\\missing\\app.rc";
    struct Case {
        const char* what;
        std::string script;
        std::string checkAbsent;  // must not exist afterwards
        std::string path;         // the file the message names
        const char* reason;
    } cases[] = {
        {"missing folder", missingScript, folder + "\\missing", folder + "\\missing\\rc.inc",
         "Path not found."},
        {"path over the platform limit", longScript, "", longScript, "File name is too long."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host->dialogs.clear();
        host->setResourceScript(c.script.c_str());
        host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(exportCommand(), 1);
        expectFailureMessage(c.path, c.reason);
        if (!c.checkAbsent.empty())
            EXPECT_FALSE(fileExists(c.checkAbsent));
        EXPECT_FALSE(hostRanExport());
    }
}

TEST_F(RcExportTest, RcIncThatIsADirectoryIsLeftAloneWithoutTempFile)
{
    loadProject();
    host->setDefinitions({{"IDD_MAIN", 100}});
    ASSERT_TRUE(CreateDirectoryA(rcInc.c_str(), nullptr));
    host->answer(hostsim::Answer::press(IDOK));
    EXPECT_EQ(exportCommand(), 1);
    expectFailureMessage(rcInc, "Access denied.");
    DWORD attributes = GetFileAttributesA(rcInc.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
}

TEST_F(RcExportTest, TempFileThatCannotBeCreatedLeavesTheOldFile)
{
    loadProject();
    const std::string old = "OLD equ 1\r\nKEPT equ 2\r\n";
    const std::string temp = rcInc.substr(0, rcInc.size() - 1) + "~";
    ASSERT_TRUE(hostsim::writeFile(rcInc, old));
    host->setDefinitions({{"NEW", 3}});
    HANDLE held = INVALID_HANDLE_VALUE;
    struct Case {
        const char* what;
        std::function<void()> arrange, release;
        const char* reason;
    } cases[] = {
        {"a folder where it goes", [&] { ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr)); },
         [&] { RemoveDirectoryA(temp.c_str()); }, "Access denied."},
        {"held open by another program",
         [&] {
             held = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
             ASSERT_NE(held, INVALID_HANDLE_VALUE);
         },
         [&] {
             CloseHandle(held);
             DeleteFileA(temp.c_str());
         },
         "Sharing violation."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host->dialogs.clear();
        c.arrange();
        host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(exportCommand(), 1);
        c.release();
        expectFailureMessage(temp, c.reason);
        EXPECT_EQ(hostsim::readFile(rcInc), old);
    }
}

TEST_F(RcExportTest, ReplacementThatFailsKeepsTheOldFileByteForByte)
{
    loadProject();
    std::string old;
    for (int i = 0; i < 300; ++i)
        old += "OLD_" + std::to_string(i) + " equ " + std::to_string(i * 7) + "\r\n";
    ASSERT_TRUE(hostsim::writeFile(rcInc, old));
    std::vector<hostsim::Definition> defs;
    for (int i = 0; i < 50; ++i)
        defs.push_back({"NEW_" + std::to_string(i), i});
    host->setDefinitions(defs);

    struct Case {
        const char* what;
        DWORD share;
        const char* reason;
    } cases[] = {
        // Moving a file over one that is open is refused, however it is shared.
        {"held without sharing", 0, "Access denied."},
        {"held for reading by others", FILE_SHARE_READ, "Access denied."},
        {"held with every sharing", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, "Access denied."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host->dialogs.clear();
        // Someone (an editor, a running assembler) has rc.inc open: the
        // finished lines cannot be moved over it.
        HANDLE held = CreateFileA(rcInc.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(exportCommand(), 1);
        CloseHandle(held);
        expectFailureMessage(rcInc, c.reason);
        EXPECT_EQ(hostsim::readFile(rcInc), old);
        EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
    }

    // Released, the same export goes through.
    host->dialogs.clear();
    host->answer(hostsim::Answer::press(IDOK));
    EXPECT_EQ(exportCommand(), 1);
    expectOnlyDialog(SUCCESS_TEXT, SUCCESS_CAPTION, MB_OK);
    EXPECT_EQ(hostsim::readFile(rcInc).substr(0, 18), "NEW_0 equ 0\r\nNEW_1");
}

TEST_F(RcExportTest, ReadOnlyRcIncIsNotReplaced)
{
    loadProject();
    const std::string old = "LOCKED equ 1\r\n";
    ASSERT_TRUE(hostsim::writeFile(rcInc, old));
    ASSERT_TRUE(SetFileAttributesA(rcInc.c_str(), FILE_ATTRIBUTE_READONLY));
    host->setDefinitions({{"NEW", 3}});
    host->answer(hostsim::Answer::press(IDOK));
    EXPECT_EQ(exportCommand(), 1);
    expectFailureMessage(rcInc, "Access denied.");
    EXPECT_EQ(hostsim::readFile(rcInc), old);
    EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
    SetFileAttributesA(rcInc.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(RcExportTest, BuildExportsSilentlyAndReportsOnlyFailure)
{
    struct Case {
        const char* what;
        const char* keepRc;
        bool breakDestination;
        bool written;
        bool failureMessage;
    } cases[] = {
        {"success", "1", false, true, false},
        {"failure", "1", true, false, true},
        {"KeepRC off", "0", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = std::make_unique<hostsim::Host>();
        DeleteFileA(inst.addInsIni.c_str());
        loadProject(c.keepRc);
        host->setDefinitions({{"IDD_MAIN", 100}, {"IDI_APP", -1}});
        // A resource script among the open files makes the build compile
        // resources; with no assembly source nothing is assembled.
        host->openChild(script, FILE_TYPE_RESOURCE_SCRIPT, "// resources\r\n");
        if (c.breakDestination)
            ASSERT_TRUE(CreateDirectoryA(rcInc.c_str(), nullptr));
        if (c.failureMessage)
            host->answer(hostsim::Answer::press(IDOK));
        EXPECT_EQ(host->command(HC_BUILD), 1);
        std::string content = hostsim::readFile(rcInc);
        EXPECT_EQ(content, c.written ? "IDD_MAIN equ 100\r\nIDI_APP equ -1\r\n" : "");
        if (c.failureMessage)
            expectFailureMessage(rcInc, "Access denied.");
        else
            EXPECT_TRUE(host->dialogs.empty());
        bool compiled = false;
        for (UINT id : host->hostCommands)
            compiled = compiled || id == HC_COMPILE_RESOURCES;
        EXPECT_TRUE(compiled);
    }
}

}  // namespace
