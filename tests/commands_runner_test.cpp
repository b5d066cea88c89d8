// Running a child process with its output captured into the host's output
// control: the assembler (text taken as it comes) and, with Redirect OUT on,
// the project's first batch file (text converted from the OEM code page).
#include "tests/test_support.h"
#include "tools/fixtures/childproc_content.h"

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
        // Named for the test, so that its run output file is its own.
        projectFile = makeProject(compiler, ::testing::UnitTest::GetInstance()->current_test_info()->name());
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
    const std::string script =
        "out:o1\\n err:e1\\n out:o2\\n sleep:30 err:e2\\n err:e3 out:o3\\n sleep:30 out:tail";
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
        EXPECT_EQ(host->outputText(), header(line) + "Creation process error: File not found.");
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

// What the pane shows of output longer than it keeps.
std::string cutOutput(const std::string& output, const std::string& file)
{
    return testing_support::cutPaneText(
        output.size(),
        [&](unsigned long long from, size_t count) { return output.substr((size_t)from, count); }, file);
}

TEST_F(RunnerTest, ThePaneKeepsHeadAndTailOfLongOutputAndTheFileKeepsAll)
{
    using testing_support::RUN_PANE_LIMIT;
    using testing_support::RUN_PANE_LINES;
    auto lines = [](size_t n, const std::string& line) {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s += line;
        return s;
    };
    struct Case {
        std::string script, output;
        bool cut;
    } cases[] = {
        {"bytes:0", "", false},
        {"bytes:" + std::to_string(RUN_PANE_LIMIT - 1), childprocBytes(RUN_PANE_LIMIT - 1), false},
        {"bytes:" + std::to_string(RUN_PANE_LIMIT), childprocBytes(RUN_PANE_LIMIT), false},
        {"bytes:" + std::to_string(RUN_PANE_LIMIT + 1), childprocBytes(RUN_PANE_LIMIT + 1), true},
        {"bytes:" + std::to_string(16u << 20), childprocBytes(16u << 20), true},
        // Short lines cost the pane more than long ones: lines count too.
        {"repeat:" + std::to_string(RUN_PANE_LINES) + ":.\\n", lines(RUN_PANE_LINES, ".\r\n"), false},
        {"repeat:" + std::to_string(RUN_PANE_LINES + 1) + ":.\\n", lines(RUN_PANE_LINES + 1, ".\r\n"), true},
        {"repeat:100000:\\n", lines(100000, "\r\n"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::string line = assembleScript(c.script);
        std::string file = testing_support::runOutputFileOf(projectFile);
        ASSERT_NE(file, "") << "no run output file for " << projectFile;
        std::string expected = header(line) + (c.cut ? cutOutput(c.output, file) : c.output);
        std::string text = host->outputText();
        ASSERT_EQ(text.size(), expected.size());
        size_t at = firstDifference(text, expected);
        EXPECT_EQ(at, expected.size()) << "first difference at " << at << ": '" << text.substr(at, 60) << "'";
        EXPECT_TRUE(hostsim::readFile(file) == c.output) << file;
    }
}

TEST_F(RunnerTest, TheFileHoldsTheBytesAsWrittenWhateverThePaneShows)
{
    // NUL bytes, bytes of no character, OEM box drawing in a batch file's
    // output: the pane shows text, the file what the child wrote.
    std::string batch = runBatchScript("out:a\\x00b\\xFF\\xB3\\x81\\n");
    EXPECT_EQ(host->outputText(), header(batch) + "ab\xA0\xA6\xFC\r\n");  // 0xFF is a space in 437
    EXPECT_EQ(hostsim::readFile(testing_support::runOutputFileOf(projectFile)),
              std::string("a\0b\xFF\xB3\x81\r\n", 8));

    // A line of 1 MB with no break: its beginning and its end.
    std::string line = assembleScript("line:1048576");
    std::string output = childprocLine(1048576), file = testing_support::runOutputFileOf(projectFile);
    EXPECT_TRUE(host->outputText() == header(line) + cutOutput(output, file)) << host->outputText().size();
    EXPECT_TRUE(hostsim::readFile(file) == output);
}

TEST_F(RunnerTest, AnErrorAtTheEndOfLongOutputIsHighlightedAndLeadsToItsSource)
{
    loadProject();
    std::string source = folder + "\\main.asm";
    ASSERT_TRUE(hostsim::writeFile(source, "\tnop\r\n\tnop\r\n\tmovv eax,1\r\n"));
    host->openChild("hold:0", FILE_TYPE_ASSEMBLY, "");  // the main source, a step that does nothing
    HWND doc = host->openChild(source, FILE_TYPE_ASSEMBLY, "\tnop\r\n\tnop\r\n\tmovv eax,1\r\n");
    // Relative to the project folder: the script has no room for backslashes.
    // The echoed command line must not hold the error text itself.
    std::string line = assembleScript("bytes:1000000 out:main.asm\\x20[3]:\\n\\tmovv\\x20eax,1\\n"
                                      "error\\x3a\\x20illegal\\x20instruction.\\n exit:2");
    std::string text = host->outputText();
    ASSERT_NE(text.find("KB of output not shown here]"), std::string::npos) << text.substr(0, 400);
    int error = host->highlightedOutputLine();
    ASSERT_GE(error, 0);
    EXPECT_EQ(text.rfind("error: illegal instruction."), text.size() - 29);
    EXPECT_TRUE(host->outputPaneVisible());
    host->activate(doc);
    EXPECT_EQ(host->doubleClickOutputLine(error), 1);
    EXPECT_EQ(host->caretLine(doc), 2);
    EXPECT_EQ(host->highlightedOutputLine(), error);
}

// Another host may be writing the same project's file: each keeps its own.
TEST_F(RunnerTest, AFileInUseByAnotherHostIsLeftToIt)
{
    std::string line = assembleScript("out:first");
    std::string file = testing_support::runOutputFileOf(projectFile);
    ASSERT_NE(file, "");
    HANDLE other =
        CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    line = assembleScript("out:second");
    CloseHandle(other);
    EXPECT_EQ(host->outputText(), header(line) + "second");
    EXPECT_EQ(hostsim::readFile(file), "first");
    std::string own = file.substr(0, file.size() - 4) + "-" + std::to_string(GetCurrentProcessId()) + ".txt";
    EXPECT_EQ(hostsim::readFile(own), "second");
    DeleteFileA(own.c_str());
}

// Without a file the run goes on in the pane alone, and the pane says why.
TEST_F(RunnerTest, AnOutputFileThatCannotBeWrittenIsReportedWithItsReason)
{
    loadProject();
    std::string line = assembleScript("out:ok");
    std::string file = testing_support::runOutputFileOf(projectFile);
    ASSERT_TRUE(DeleteFileA(file.c_str()));
    ASSERT_TRUE(CreateDirectoryA(file.c_str(), nullptr));  // a folder where the file goes
    line = assembleScript("out:ok");
    EXPECT_EQ(host->outputText(),
              header(line) + "ok\r\n[The output is not kept in a file: " + file + ": Access denied.]\r\n");
    line = assembleScript("bytes:300000");
    EXPECT_NE(
        host->outputText().find("\r\n[The output is not kept in a file: " + file + ": Access denied.]\r\n"),
        std::string::npos);
    RemoveDirectoryA(file.c_str());

    // A temporary folder that does not exist.
    char saved[MAX_PATH];
    DWORD had = GetEnvironmentVariableA("TMP", saved, sizeof saved);
    std::string missing = folder + "\\no such folder\\";
    SetEnvironmentVariableA("TMP", missing.c_str());
    line = assembleScript("out:ok");
    SetEnvironmentVariableA("TMP", had ? saved : nullptr);
    EXPECT_EQ(host->outputText(), header(line) + "ok\r\n[The output is not kept in a file: " + missing +
                                      "tordel: Path not found.]\r\n");
}

TEST_F(RunnerTest, NulBytesDoNotHideTheRestOfTheOutput)
{
    // A stray NUL must not swallow what follows it in the same read,
    // least of all an error the build is judged by.
    // "\\x3a" writes the colon, so that the echoed command line holds no "error:".
    struct Case {
        const char* what;
        std::string script;
        std::string shown;
        int errorLine;  // the line highlighted: the echo takes lines 0 to 2
    } cases[] = {
        {"error after a NUL in one write", "out:before\\x00src.asm\\x20[3]:\\nerror\\x3a\\x20bad.\\n",
         "beforesrc.asm [3]:\r\nerror: bad.\r\n", 4},
        {"NULs in a row and at the end", "out:\\x00\\x00a\\x00\\x00b\\x00 err:error\\x3a\\x20x\\x00",
         "aberror: x", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = std::make_unique<hostsim::Host>();
        projectFile.clear();
        std::string line = assembleScript(c.script);
        EXPECT_EQ(host->outputText(), header(line) + c.shown);
        EXPECT_EQ(host->highlightedOutputLine(), c.errorLine);
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

// ---- runs the user watches and stops ------------------------------------

// Something done to the host from outside its thread while a run holds it:
// a message posted to one of its windows, or a key typed on the keyboard
// (input, as a user's key press arrives).
struct Touch {
    DWORD afterMs;  // after the run is known to be going, or after the touch before
    HWND window;    // null: a key typed with SendInput
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool send = false;  // SendMessage rather than PostMessage: it waits for the answer
};

const LPARAM ESC_DOWN = 0x00010001;

Touch postEscape(DWORD afterMs, HWND window) { return {afterMs, window, WM_KEYDOWN, VK_ESCAPE, ESC_DOWN}; }
// The key goes down only: its release, after the run, is the host's.
Touch typeEscape(DWORD afterMs) { return {afterMs, nullptr, WM_KEYDOWN, VK_ESCAPE, 0}; }

std::string sizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return "missing";
    return std::to_string(data.nFileSizeLow);
}

// Does the touches from a thread of its own, once the file `ready` has
// content (the run's child, or the grandchild it started, then runs).
class Toucher {
public:
    Toucher(std::string ready, std::vector<Touch> touches)
        : ready_(std::move(ready)), touches_(std::move(touches))
    {
        done_.resize(touches_.size());
        answers_.resize(touches_.size());
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    ~Toucher() { join(); }
    void join()
    {
        if (!thread_)
            return;
        WaitForSingleObject(thread_, 60000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    // GetTickCount when each touch was done; 0 when it was not.
    const std::vector<DWORD>& doneAt() const { return done_; }
    // What each sent message returned.
    const std::vector<LRESULT>& answers() const { return answers_; }

private:
    static DWORD WINAPI run(void* self)
    {
        Toucher* t = (Toucher*)self;
        for (int waited = 0; sizeOf(t->ready_) == "missing" || sizeOf(t->ready_) == "0"; waited += 10) {
            if (waited > 30000)
                return 1;
            Sleep(10);
        }
        for (size_t i = 0; i < t->touches_.size(); ++i) {
            const Touch& touch = t->touches_[i];
            Sleep(touch.afterMs);
            if (touch.window && touch.send) {
                DWORD_PTR answer = 0;
                SendMessageTimeoutA(touch.window, touch.message, touch.wParam, touch.lParam, SMTO_NORMAL,
                                    20000, &answer);
                t->answers_[i] = (LRESULT)answer;
            } else if (touch.window) {
                PostMessageA(touch.window, touch.message, touch.wParam, touch.lParam);
            } else {
                INPUT key = {};
                key.type = INPUT_KEYBOARD;
                key.ki.wVk = (WORD)touch.wParam;
                key.ki.dwFlags = touch.message == WM_KEYUP ? KEYEVENTF_KEYUP : 0;
                SendInput(1, &key, sizeof(INPUT));
            }
            t->done_[i] = GetTickCount();
        }
        return 0;
    }
    std::string ready_;
    std::vector<Touch> touches_;
    std::vector<DWORD> done_;
    std::vector<LRESULT> answers_;
    HANDLE thread_;
};

// What the output control showed each time it painted during a run.
struct PaintSeen {
    DWORD tick;
    int textLength;
    int firstVisibleLine;
    bool endInView;  // the last character lies inside the control's client area
    std::string status;
};

class LiveRunTest : public RunnerTest {
protected:
    std::vector<PaintSeen> paints;

    // A shown frame, so that its windows paint; dialogs are still answered
    // from the queue of answers.
    void showHost()
    {
        ShowWindow(host->frame(), SW_SHOW);
        UpdateWindow(host->frame());
        SetForegroundWindow(host->frame());
        host->onOutputPaint = [this] {
            HWND out = host->outputControl();
            PaintSeen seen;
            seen.tick = GetTickCount();
            seen.textLength = GetWindowTextLengthA(out);
            seen.firstVisibleLine = (int)SendMessageA(out, EM_GETFIRSTVISIBLELINE, 0, 0);
            POINTL at = {0, 0};
            SendMessageA(out, EM_POSFROMCHAR, (WPARAM)&at, seen.textLength > 0 ? seen.textLength - 1 : 0);
            RECT client;
            GetClientRect(out, &client);
            seen.endInView = at.y >= client.top && at.y < client.bottom;
            seen.status = host->statusText(4);
            paints.push_back(seen);
        };
    }

    // The key presses and messages still in the queue, in order, taken out.
    std::vector<MSG> takeQueue()
    {
        std::vector<MSG> left;
        MSG message;
        // Painting is done at once: a window stays invalid until it paints.
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_PAINT || message.message == WM_TIMER)
                DispatchMessageA(&message);
            else
                left.push_back(message);
        }
        return left;
    }

    bool runGuardAsks()
    {
        size_t before = host->dialogs.size();
        host->answer(hostsim::Answer::press(IDNO));
        LRESULT r = host->command(HC_RUN);
        bool asked = host->dialogs.size() > before;
        if (!asked) {
            EXPECT_EQ(r, 0);
            host = std::make_unique<hostsim::Host>();  // drops the unused answer
        }
        return asked;
    }
};

// The seconds the stopped line gives, or -1 when the output does not end in it.
double stoppedAfter(const std::string& text)
{
    const std::string head = "\r\n[Stopped by the user after ", tail = " s]\r\n";
    size_t at = text.rfind(head);
    if (at == std::string::npos || text.size() < tail.size() ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return -1;
    std::string number = text.substr(at + head.size(), text.size() - tail.size() - at - head.size());
    unsigned whole = 0, tenth = 0;
    char end = 0;
    if (sscanf(number.c_str(), "%u.%1u%c", &whole, &tenth, &end) != 2)
        return -1;
    return whole + tenth / 10.0;
}

TEST_F(LiveRunTest, OutputShowsWhileTheChildRunsAndTheWindowsPaint)
{
    loadProject();
    showHost();
    std::string line = assembleScript("tick:200:50:line\\n");
    std::string expected = header(line);
    for (int i = 0; i < 200; ++i)
        expected += "line\r\n";
    // A run that ends by itself ends as it always did.
    EXPECT_EQ(host->outputText(), expected);
    EXPECT_FALSE(host->outputPaneVisible());
    EXPECT_EQ(host->statusText(4), "FASM");

    // Paints while the child ran (ten seconds): the text grew from paint to
    // paint, the newest line in view, the status saying how to stop.
    ASSERT_GE(paints.size(), 20u);
    int growths = 0, lastLength = 0;
    for (const PaintSeen& p : paints) {
        EXPECT_GE(p.textLength, lastLength);
        growths += p.textLength > lastLength;
        lastLength = p.textLength;
    }
    EXPECT_GE(growths, 20) << "the output did not show while the child wrote it";
    const PaintSeen& late = paints[paints.size() * 3 / 4];
    EXPECT_LT(late.textLength, (int)expected.size()) << "no paint in the last quarter of the run";
    EXPECT_GT(late.firstVisibleLine, 0) << "the pane did not follow the output";
    EXPECT_TRUE(late.endInView);
    EXPECT_EQ(late.status, "Running... press Esc to stop.");
    EXPECT_FALSE(runGuardAsks());
}

TEST_F(LiveRunTest, EscStopsTheChildAndEveryProcessItStarted)
{
    struct Case {
        const char* what;
        bool batch;
        bool typed;  // Esc from the keyboard rather than posted to the output control
    } cases[] = {
        {"assembler, Esc posted", false, false},
        {"assembler, Esc typed", false, true},
        {"batch file, Esc posted", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host = std::make_unique<hostsim::Host>();
        projectFile.clear();
        paints.clear();
        loadProject();
        showHost();
        std::string ticks = folder + "\\grandchild ticks.txt";
        // The child writes a line every 50 ms for 10 s; the grandchild it
        // starts holds the pipe and appends to a file every 20 ms for 20 s.
        std::string script = "\"start:append:1000:20:" + ticks + "\" tick:200:50:line\\n";
        Touch esc = c.typed ? typeEscape(500) : postEscape(500, host->outputControl());
        Toucher toucher(ticks, {esc});
        DWORD start = GetTickCount();
        if (c.batch)
            runBatchScript(script);
        else
            assembleScript(script);
        DWORD returned = GetTickCount();
        toucher.join();
        ASSERT_NE(toucher.doneAt()[0], 0u) << "the run never got going";
        DWORD escToReturn = returned - toucher.doneAt()[0];
        printf("%s: Esc to return %lu ms\n", c.what, (unsigned long)escToReturn);
        EXPECT_LT(returned - start, 8000u) << "the run was not stopped";

        std::string text = host->outputText();
        double seconds = stoppedAfter(text);
        EXPECT_GE(seconds, 0.5) << text.substr(text.size() > 200 ? text.size() - 200 : 0);
        EXPECT_LE(seconds, (returned - start) / 1000.0 + 0.1);
        EXPECT_NE(text.find("line\r\n"), std::string::npos);

        // The grandchild is gone too: its file stops growing.
        Sleep(200);
        std::string size = sizeOf(ticks);
        Sleep(600);
        EXPECT_EQ(sizeOf(ticks), size) << "a process the run started still runs";

        // The Esc was the run's: the host never sees it pressed.
        for (const MSG& m : takeQueue())
            EXPECT_FALSE(m.message == WM_KEYDOWN || m.message == WM_CHAR)
                << "key message " << m.message << " wParam " << m.wParam;

        EXPECT_TRUE(host->outputPaneVisible());
        if (c.batch) {
            EXPECT_EQ(host->statusText(4), "");
            EXPECT_FALSE(runGuardAsks());
        } else {
            EXPECT_EQ(host->statusText(4), "FASM");
            int last = (int)SendMessageA(host->outputControl(), EM_GETLINECOUNT, 0, 0) - 2;
            EXPECT_EQ(host->highlightedOutputLine(), last);
            EXPECT_TRUE(runGuardAsks()) << "a stopped build counted as good";
        }
    }
}

// A run of a gigabyte stopped early (while the pane still shows everything)
// and late (long after it was cut): the file holds what came, the pane its
// head, the note and its tail, and the host got the Esc at once.
TEST_F(LiveRunTest, EscStopsAHugeRunAtAnyPoint)
{
    const unsigned long long total = 1ull << 30;
    for (DWORD after : {0u, 2000u}) {
        SCOPED_TRACE(after);
        host = std::make_unique<hostsim::Host>();
        projectFile.clear();
        loadProject();
        showHost();
        // The child marks a file as it starts, then writes its gigabyte.
        std::string started = folder + "\\started.txt";
        std::string script = "\"append:1:0:" + started + "\" bytes:" + std::to_string(total);
        std::unique_ptr<Toucher> toucher;
        if (after)
            toucher = std::make_unique<Toucher>(started,
                                                std::vector<Touch>{postEscape(after, host->outputControl())});
        else  // at once: the Esc waits in the queue before the run starts
            PostMessageA(host->outputControl(), WM_KEYDOWN, VK_ESCAPE, ESC_DOWN);
        DWORD start = GetTickCount();
        std::string line = assembleScript(script);
        DWORD returned = GetTickCount();
        if (toucher)
            toucher->join();
        std::string text = host->outputText(), file = testing_support::runOutputFileOf(projectFile);
        ASSERT_GE(stoppedAfter(text), 0.0) << text.substr(text.size() > 300 ? text.size() - 300 : 0);
        EXPECT_LT(returned - start, after + 5000u);
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) << file;
        unsigned long long got = (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
        EXPECT_LT(got, total);
        EXPECT_TRUE(after == 0 || got > testing_support::RUN_PANE_LIMIT) << got;
        // What the file holds is what came, and the pane shows it as it shows any output.
        EXPECT_EQ(testing_support::fileDiffersFromChildprocBytes(file, got), "");
        std::string stopped = text.substr(text.rfind("\r\n[Stopped by the user after "));
        std::string shown = text.substr(0, text.size() - stopped.size());
        auto bytesAt = [&](unsigned long long from, size_t count) {
            return childprocBytesAt(got, from, count);
        };
        std::string expected = header(line) + (got > testing_support::RUN_PANE_LIMIT
                                                   ? testing_support::cutPaneText(got, bytesAt, file)
                                                   : bytesAt(0, (size_t)got));
        EXPECT_TRUE(shown == expected)
            << got << " bytes came; the pane shows " << shown.size() << " characters";
        DeleteFileA(file.c_str());
    }
}

TEST_F(LiveRunTest, MessagesPostedDuringARunWaitForItInOrder)
{
    loadProject();
    showHost();
    std::string ticks = folder + "\\ticks.txt";
    HWND frame = host->frame(), out = host->outputControl();
    std::vector<Touch> touches = {
        {300, frame, WM_COMMAND, HC_COMPILE_RESOURCES, 0},
        {20, out, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)},
        {0, out, WM_LBUTTONUP, 0, MAKELPARAM(5, 5)},
        {20, out, WM_KEYDOWN, 'A', 0x001E0001},
        {0, frame, WM_COMMAND, HC_ASSEMBLE, 0},
        {20, frame, WM_COMMAND, HC_SAVE_ALL, 0},
        {0, frame, WM_CLOSE, 0, 0},
        typeEscape(100),
    };
    Toucher toucher(ticks, touches);
    assembleScript("\"start:append:1000:20:" + ticks + "\" hold:10000");
    toucher.join();
    for (DWORD at : toucher.doneAt())
        ASSERT_NE(at, 0u);
    EXPECT_GE(stoppedAfter(host->outputText()), 0.4);
    // Nothing of it ran inside the run: the host heard no command, and the
    // frame is still there.
    EXPECT_EQ(host->hostCommands, (std::vector<UINT>{HC_SAVE_ALL}));  // the build's own save
    ASSERT_TRUE(IsWindow(frame));

    // The window manager's own messages may wait there too; only the
    // touches are compared.
    std::vector<MSG> left;
    for (const MSG& m : takeQueue())
        if (m.message == WM_COMMAND || m.message == WM_CLOSE || m.message == WM_KEYDOWN ||
            m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONUP)
            left.push_back(m);
    struct Expected {
        HWND window;
        UINT message;
        WPARAM wParam;
    } expected[] = {
        {frame, WM_COMMAND, HC_COMPILE_RESOURCES},
        {out, WM_LBUTTONDOWN, MK_LBUTTON},
        {out, WM_LBUTTONUP, 0},
        {out, WM_KEYDOWN, 'A'},
        {frame, WM_COMMAND, HC_ASSEMBLE},
        {frame, WM_COMMAND, HC_SAVE_ALL},
        {frame, WM_CLOSE, 0},
    };
    std::string seen;
    for (const MSG& m : left)
        seen += " " + std::to_string(m.message) + "/" + std::to_string(m.wParam);
    ASSERT_EQ(left.size(), sizeof expected / sizeof expected[0]) << seen;
    for (size_t i = 0; i < left.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(left[i].hwnd, expected[i].window);
        EXPECT_EQ(left[i].message, expected[i].message);
        EXPECT_EQ(left[i].wParam, expected[i].wParam);
    }
    // The host then handles them, in order: the second build runs after the
    // first, and the window closes last.
    host->hostCommands.clear();
    host->projectInfo().field[PROJECT_FIELD_ASSEMBLER_ARGUMENTS] = "out:second";
    std::vector<bool> frameAlive;
    std::string secondBuild;
    for (MSG& m : left) {
        DispatchMessageA(&m);
        frameAlive.push_back(IsWindow(frame) != FALSE);
        if (m.message == WM_COMMAND && m.wParam == HC_ASSEMBLE)
            secondBuild = host->outputText();
    }
    EXPECT_EQ(host->hostCommands, (std::vector<UINT>{HC_COMPILE_RESOURCES, HC_SAVE_ALL, HC_SAVE_ALL}));
    EXPECT_EQ(frameAlive, (std::vector<bool>{true, true, true, true, true, true, false}));
    EXPECT_EQ(secondBuild, header(toolPath("childproc.exe") + " \"hold:0\" out:second") + "second");
}

// A message sent from another thread cannot wait: the run's message checks
// deliver it at once. The add-in's own commands then do nothing, so that no
// second run starts inside the first; the host's own go to the host.
TEST_F(LiveRunTest, CommandsSentFromAnotherThreadDuringARunStartNothing)
{
    loadProject();
    std::string ticks = folder + "\\ticks.txt";
    HWND frame = host->frame();
    const UINT hostOwn = 10001;
    std::vector<Touch> touches = {
        {300, frame, WM_COMMAND, HC_ASSEMBLE, 0, true}, {0, frame, WM_COMMAND, HC_BUILD, 0, true},
        {0, frame, WM_COMMAND, HC_RUN, 0, true},        {0, frame, WM_COMMAND, popupItemId(0), 0, true},
        {0, frame, WM_COMMAND, hostOwn, 0, true},       postEscape(100, host->outputControl()),
    };
    Toucher toucher(ticks, touches);
    std::string line = assembleScript("\"start:append:1000:20:" + ticks + "\" hold:10000");
    toucher.join();
    for (DWORD at : toucher.doneAt())
        ASSERT_NE(at, 0u);
    EXPECT_EQ(toucher.answers(), (std::vector<LRESULT>{1, 1, 1, 1, 0, 0}));
    std::string text = host->outputText();
    EXPECT_EQ(text.find(header(line)), 0u);
    EXPECT_EQ(text.find(header(line), 1), std::string::npos) << "a second run started inside the first";
    EXPECT_GE(stoppedAfter(text), 0.3);
    EXPECT_FALSE(GetMenuState(popup(), popupItemId(0), MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(host->hostCommands, (std::vector<UINT>{HC_SAVE_ALL, hostOwn}));
    EXPECT_TRUE(runGuardAsks());
}

TEST_F(LiveRunTest, EscOutsideARunIsLeftToTheHost)
{
    loadProject();
    showHost();
    std::string line = assembleScript("out:done");
    EXPECT_EQ(host->outputText(), header(line) + "done");
    HWND out = host->outputControl();
    SetFocus(out);
    struct Case {
        const char* what;
        bool typed;
    } cases[] = {{"posted", false}, {"typed", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        takeQueue();
        if (c.typed) {
            INPUT keys[2] = {};
            for (INPUT& key : keys) {
                key.type = INPUT_KEYBOARD;
                key.ki.wVk = VK_ESCAPE;
            }
            keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
            ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
        } else {
            PostMessageA(out, WM_KEYDOWN, VK_ESCAPE, ESC_DOWN);
        }
        // A command that runs nothing, then the queue as the host finds it.
        host->command(popupItemId(0));
        std::vector<MSG> left = takeQueue();
        ASSERT_GE(left.size(), 1u);
        EXPECT_EQ(left[0].message, (UINT)WM_KEYDOWN);
        EXPECT_EQ(left[0].wParam, (WPARAM)VK_ESCAPE);
    }
}

}  // namespace
