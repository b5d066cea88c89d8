// Running a child process with its output captured into the host's output
// control: the assembler (text taken as it comes) and, with Redirect OUT on,
// the project's first batch file (text converted from the OEM code page).
#include "tests/test_support.h"

using testing_support::AddInTest;
using testing_support::env;
using testing_support::findMenuItem;
using testing_support::menuItemAt;
using testing_support::toolPath;

namespace {

const char NESTED_MARK[] = "TORDEL_NESTED_CODE_PAGE";

class RunnerTest : public AddInTest {
protected:
    std::string projectFile, folder;

    void loadProject(const char* compiler = "FASM", const char* assemblerArguments = "")
    {
        projectFile = makeProject(compiler);
        folder = projectFile.substr(0, projectFile.find_last_of('\\'));
        load();
        host->openProject(projectFile, assemblerArguments, "");
    }

    // The assembler is childproc.exe. The assembler line puts the main
    // source's name first, quoted: a source named "hold:0" is a step that
    // does nothing, and the project's assembler arguments are the script.
    // Returns the command line the runner is expected to echo.
    std::string assembleScript(const std::string& script, const std::string& assembler = "")
    {
        std::string program = assembler.empty() ? toolPath("childproc.exe") : assembler;
        setAssembler(program);
        if (projectFile.empty())
            loadProject("FASM", script.c_str());
        else
            host->openProject(projectFile, script.c_str(), "");
        if (host->children().empty())
            host->openChild("hold:0", FILE_TYPE_ASSEMBLY, "");
        host->command(HC_ASSEMBLE);
        return program + " \"hold:0\" " + script;
    }

    // Writes a batch file that runs childproc with the script, and runs it
    // through "Execute first BAT" with Redirect OUT on. Returns the batch path.
    std::string runBatchScript(const std::string& script, bool createFile = true)
    {
        if (projectFile.empty())
            loadProject();
        std::string batch = folder + "\\run" + std::to_string(host->children().size()) + ".bat";
        if (createFile)
            EXPECT_TRUE(hostsim::writeFile(batch, "@" + toolPath("childproc.exe") + " " + script + "\r\n"));
        HWND child = host->openChild(batch, FILE_TYPE_BATCH, "");
        HMENU p = popup();
        EXPECT_TRUE(p);
        UINT redirect = GetMenuItemID(p, 0), execBat = GetMenuItemID(p, 2);
        if (!(GetMenuState(p, redirect, MF_BYCOMMAND) & MF_CHECKED))
            host->command(redirect);
        EXPECT_TRUE(GetMenuState(p, redirect, MF_BYCOMMAND) & MF_CHECKED);
        host->command(execBat);
        host->closeChild(child);
        return batch;
    }

    static std::string header(const std::string& commandLine) { return "\r\n" + commandLine + "\r\n\r\n"; }
};

// What childproc's bytes:N writes, per its documented content.
std::string childprocBytes(size_t total)
{
    static const char alnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string s;
    s.reserve(total + 80);
    for (size_t k = 0; s.size() < total; ++k) {
        char line[81];
        snprintf(line, sizeof line, "%08u ", (unsigned)(k % 100000000u));
        for (int c = 9; c < 78; ++c)
            line[c] = alnum[(k + c) % 62];
        line[78] = '\r';
        line[79] = '\n';
        s.append(line, 80);
    }
    s.resize(total);
    return s;
}

size_t firstDifference(const std::string& a, const std::string& b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return i;
    return n;
}

TEST_F(RunnerTest, SilentChildStillGivesTheEchoedCommandLine)
{
    loadProject();
    std::string line = assembleScript("");
    EXPECT_EQ(host->outputText(), header(line));

    // A batch file that writes nothing: the line echoed is the batch path.
    std::string batch = folder + "\\quiet.bat";
    ASSERT_TRUE(hostsim::writeFile(batch, "@rem nothing to say\r\n"));
    host->openChild(batch, FILE_TYPE_BATCH, "");
    HMENU p = popup();
    host->command(GetMenuItemID(p, 0));
    host->command(GetMenuItemID(p, 2));
    EXPECT_EQ(host->outputText(), header(batch));
}

TEST_F(RunnerTest, StandardOutputAndErrorArriveInWritingOrder)
{
    const std::string script = "out:o1\\n err:e1\\n out:o2\\n sleep:30 err:e2\\n err:e3 out:o3\\n sleep:30 out:tail";
    const std::string expected = "o1\r\ne1\r\no2\r\ne2\r\ne3o3\r\ntail";
    {
        SCOPED_TRACE("assembler");
        std::string line = assembleScript(script);
        EXPECT_EQ(host->outputText(), header(line) + expected);
    }
    {
        SCOPED_TRACE("batch file");
        std::string batch = runBatchScript(script);
        EXPECT_EQ(host->outputText(), header(batch) + expected);
    }
}

TEST_F(RunnerTest, BatchOutputIsConvertedFromTheOemCodePage)
{
    // Rows per OEM code page: what the child writes, what the pane must show.
    struct Case {
        UINT oemCodePage;
        const char* written;  // childproc escapes
        const char* shown;
    } cases[] = {
        {437, "\\xB3\\xC4\\x82\\x81\\xDC", "\xA6\x2D\xE9\xFC\x5F"},
        {866, "\\x80\\x8F\\xA0\\xE0\\xF0", "\xC0\xCF\xE0\xF0\xA8"},
    };
    const Case* row = nullptr;
    for (const Case& c : cases)
        if (c.oemCodePage == GetOEMCP())
            row = &c;
    ASSERT_TRUE(row) << "no expectations for OEM code page " << GetOEMCP();
    SCOPED_TRACE(row->oemCodePage);
    // Says which table the run used, for the outer run to check.
    printf("OEM code page %u\n", row->oemCodePage);

    std::string batch = runBatchScript(std::string("out:box=") + row->written + "\\n err:" + row->written);
    EXPECT_EQ(host->outputText(), header(batch) + "box=" + row->shown + "\r\n" + row->shown);

    if (!env(NESTED_MARK).empty())
        return;
    // Once more in a process whose OEM code page is 866: the conversion must
    // follow the code page, not one table. Wine takes the code pages from the
    // Unix locale when a process starts, and a Unix program started from
    // Wine gives back neither its output nor its exit code, so a Unix shell
    // runs this test again and leaves its result in files beside this EXE.
    // The loader is the one this EXE runs under: Debian's wine script
    // picks the 32-bit one whenever it is installed.
#ifdef _WIN64
    const char* loader = "WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64";
#else
    const char* loader = "wine";
#endif
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    std::string exe = self;
    ASSERT_TRUE(exe.size() > 2 && (exe[0] == 'Z' || exe[0] == 'z') && exe[1] == ':')
        << "the nested run needs the EXE on drive Z:, not " << exe;
    std::string log = exe + ".nested-log", done = exe + ".nested-done";
    DeleteFileA(log.c_str());
    DeleteFileA(done.c_str());
    auto unixForm = [](std::string path) {
        path = path.substr(2);
        for (char& ch : path)
            if (ch == '\\')
                ch = '/';
        return "'" + path + "'";
    };
    std::string vars;
    for (const char* name : {"TORDEL_DLL", "TORDEL_TOOLS", "TORDEL_SOURCE"})
        vars += std::string(name) + "='" + env(name) + "' ";
    std::string commandLine = "Z:\\bin\\sh -c \"" + vars + NESTED_MARK +
                              "=1 LC_ALL=ru_RU.UTF-8 WINEDEBUG=-all " + loader + " '" + exe +
                              "' --gtest_filter=RunnerTest.BatchOutputIsConvertedFromTheOemCodePage > " +
                              unixForm(log) + " 2>&1; echo $? > " + unixForm(done) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::string code;
    for (DWORD waited = 0; waited < 90000 && code.find('\n') == std::string::npos; waited += 100) {
        Sleep(100);
        code = hostsim::readFile(done);
    }
    std::string report = hostsim::readFile(log);
    EXPECT_EQ(code, "0\n") << report;
    EXPECT_NE(report.find("OEM code page 866"), std::string::npos) << report;
    EXPECT_NE(report.find("[  PASSED  ] 1 test"), std::string::npos) << report;
    DeleteFileA(log.c_str());
    DeleteFileA(done.c_str());
}

TEST_F(RunnerTest, AssemblerOutputIsTakenAsItComes)
{
    std::string line = assembleScript("out:\\xB3\\xC4\\x82\\xE9\\n err:\\xDC");
    EXPECT_EQ(host->outputText(), header(line) + "\xB3\xC4\x82\xE9\r\n\xDC");
}

TEST_F(RunnerTest, CommandThatCannotStartIsReportedAndCountsAsFailedBuild)
{
    loadProject();
    struct Case {
        const char* what;
        bool batch;
    } cases[] = {{"assembler", false}, {"batch file", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string line;
        if (c.batch) {
            line = runBatchScript("", false);
        } else {
            line = assembleScript("", folder + "\\missing\\fasm.exe");
        }
        EXPECT_EQ(host->outputText(), header(line) + "Creation process error");
        // The failed start counts as a failed build: the run guard asks.
        host->answer(hostsim::Answer::press(IDNO));
        size_t before = host->dialogs.size();
        EXPECT_EQ(host->command(HC_RUN), 1);
        ASSERT_EQ(host->dialogs.size(), before + 1);
        EXPECT_EQ(host->dialogs.back().text, "Last compilation error detected.\rContinue anyway?");
        EXPECT_EQ(host->dialogs.back().style, (UINT)(MB_YESNO | MB_ICONWARNING));
        EXPECT_EQ(host->unexpectedDialogs, 0);
    }

    // A run that starts and ends well resets the count.
    std::string line = assembleScript("out:fine exit:0");
    EXPECT_EQ(host->outputText(), header(line) + "fine");
    size_t before = host->dialogs.size();
    host->hostCommands.clear();
    EXPECT_EQ(host->command(HC_RUN), 0);
    EXPECT_EQ(host->dialogs.size(), before);
    EXPECT_EQ(host->hostCommands, std::vector<UINT>{HC_RUN});
}

// The most the pane is given: 16 MB, every byte in order.
TEST_F(RunnerTest, SixteenMegabytesArriveWholeAndInOrder)
{
    const size_t total = 16u << 20;
    DWORD start = GetTickCount();
    std::string line = assembleScript("bytes:" + std::to_string(total));
    DWORD elapsed = GetTickCount() - start;
    std::string text = host->outputText();
    std::string expected = header(line) + childprocBytes(total);
    ASSERT_EQ(text.size(), expected.size());
    size_t at = firstDifference(text, expected);
    EXPECT_EQ(at, expected.size()) << "first difference at " << at << ": '" << text.substr(at, 40) << "'";
    RecordProperty("milliseconds", (int)elapsed);
}

TEST_F(RunnerTest, NulBytesDoNotHideTheRestOfTheOutput)
{
    // A stray NUL must not swallow what follows it in the same read,
    // least of all an error the build is judged by.
    struct Case {
        const char* what;
        std::string script;
        std::string shown;
    } cases[] = {
        {"error after a NUL in one write", "out:before\\x00src.asm\\x20[3]:\\nerror:\\x20bad.\\n",
         "beforesrc.asm [3]:\r\nerror: bad.\r\n"},
        {"NULs in a row and at the end", "out:\\x00\\x00a\\x00\\x00b\\x00 err:error:\\x20x\\x00",
         "aberror: x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = std::make_unique<hostsim::Host>();
        projectFile.clear();
        std::string line = assembleScript(c.script);
        EXPECT_EQ(host->outputText(), header(line) + c.shown);
        EXPECT_GE(host->highlightedOutputLine(), 0);
        EXPECT_TRUE(host->outputPaneVisible());
    }
}

TEST_F(RunnerTest, RunEndsWhenTheChildClosesItsOutputNotWhenItExits)
{
    DWORD start = GetTickCount();
    std::string line = assembleScript("out:done close hold:6000");
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(host->outputText(), header(line) + "done");
    EXPECT_LT(elapsed, 4000u);
}

}  // namespace
