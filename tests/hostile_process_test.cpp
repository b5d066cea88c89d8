// Hostile children: programs that cannot start, end at once, flood the
// output, keep the pipe open or wait for input that never comes. Every run
// is watched: a run that would block the host for good is ended from outside
// (the processes this test started are killed by id) and reported.
#include "tests/test_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <iostream>
#include <set>

using hostsim::Answer;
using testing_support::AddInTest;
using testing_support::findMenuItem;
using testing_support::menuItemAt;
using testing_support::toolPath;

namespace {

bool isOurKind(const char* exe)
{
    return lstrcmpiA(exe, "childproc.exe") == 0 || lstrcmpiA(exe, "cmd.exe") == 0 ||
           lstrcmpiA(exe, "start.exe") == 0 || lstrcmpiA(exe, "winedbg.exe") == 0;
}

// Ids of the childproc/cmd processes alive now. This test has a Wine prefix
// of its own (tests/CMakeLists.txt), whose process list other tests running
// beside it do not share, so one that appears during a run was started by that run
// (possibly through a parent that has already ended).
std::set<DWORD> ourKindAlive()
{
    std::set<DWORD> found;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
        if (isOurKind(e.szExeFile) && e.th32ProcessID != GetCurrentProcessId())
            found.insert(e.th32ProcessID);
    CloseHandle(snap);
    return found;
}

std::vector<DWORD> startedSince(const std::set<DWORD>& before)
{
    std::vector<DWORD> ids;
    for (DWORD id : ourKindAlive())
        if (!before.count(id))
            ids.push_back(id);
    return ids;
}

void killById(const std::vector<DWORD>& ids)
{
    for (DWORD id : ids)
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(h, 77);
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
}

// Ends the children a blocked run waits for once the deadline has passed.
class Watchdog {
public:
    explicit Watchdog(DWORD ms) : ms_(ms), before_(ourKindAlive())
    {
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    ~Watchdog()
    {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    bool fired() const { return fired_ != 0; }

private:
    static DWORD WINAPI run(void* self)
    {
        Watchdog* w = (Watchdog*)self;
        if (WaitForSingleObject(w->stop_, w->ms_) == WAIT_TIMEOUT) {
            w->fired_ = 1;
            killById(startedSince(w->before_));
        }
        return 0;
    }
    DWORD ms_;
    std::set<DWORD> before_;
    HANDLE stop_, thread_;
    volatile LONG fired_ = 0;
};

class HostileProcessTest : public AddInTest {
protected:
    std::string projectFile, folder;

    void SetUp() override
    {
        AddInTest::SetUp();
        projectFile = makeProject("FASM");
        folder = projectFile.substr(0, projectFile.rfind('\\'));
    }
    std::set<DWORD> aliveBefore = ourKindAlive();
    void TearDown() override
    {
        // Children a row left running (on purpose) do not outlive it.
        killById(startedSince(aliveBefore));
        AddInTest::TearDown();
    }

    // The assembler is childproc.exe; the quoted main source "hold:0" is a
    // step that does nothing and field 4 carries the script.
    struct Run {
        DWORD ms;
        bool watchdogFired;
    };
    Run assembleScript(const std::string& script, DWORD limitMs, const std::string& assembler = "")
    {
        setAssembler(assembler.empty() ? toolPath("childproc.exe") : assembler);
        load();
        host->openProject(projectFile, script.c_str(), nullptr);
        host->openChild("hold:0", FILE_TYPE_ASSEMBLY, "");
        Watchdog dog(limitMs);
        DWORD start = GetTickCount();
        host->command(HC_ASSEMBLE);
        return {GetTickCount() - start, dog.fired()};
    }

    Run runBatchRedirected(const std::string& text, DWORD limitMs)
    {
        load();
        host->openProject(projectFile);
        std::string bat = folder + "\\ask.bat";
        EXPECT_TRUE(hostsim::writeFile(bat, text));
        host->openChild(bat, FILE_TYPE_BATCH, text);
        host->command(GetMenuItemID(popup(), 0));  // Redirect OUT on
        Watchdog dog(limitMs);
        DWORD start = GetTickCount();
        host->command(GetMenuItemID(popup(), 2));  // Execute first BAT
        return {GetTickCount() - start, dog.fired()};
    }

    // Whether the last build counts as failed: the run guard asks only then.
    bool runGuardAsks()
    {
        size_t before = host->dialogs.size();
        host->answer(Answer::press(IDNO));
        LRESULT r = host->command(HC_RUN);
        bool asked = host->dialogs.size() > before;
        if (!asked)
            EXPECT_EQ(r, 0);  // the unused answer stays queued; drop it with a fresh host
        return asked;
    }
};

TEST_F(HostileProcessTest, ChildThatCannotStartIsReportedAsAFailedBuild)
{
    std::string missing = folder + "\\no such assembler.exe";
    Run r = assembleScript("", 20000, missing);
    EXPECT_FALSE(r.watchdogFired);
    EXPECT_NE(host->outputText().find("Creation process error"), std::string::npos) << host->outputText();
    EXPECT_TRUE(host->outputPaneVisible());
    EXPECT_EQ(host->statusText(4), "FASM");
    EXPECT_TRUE(runGuardAsks());
}

TEST_F(HostileProcessTest, ChildThatExitsAtOnceEndsTheRunAtOnce)
{
    Run r = assembleScript("exit:0", 20000);
    EXPECT_FALSE(r.watchdogFired);
    EXPECT_LT(r.ms, 5000u);
    EXPECT_EQ(host->outputText(), "\r\n" + toolPath("childproc.exe") + " \"hold:0\" exit:0\r\n\r\n");
    EXPECT_FALSE(host->outputPaneVisible());
    EXPECT_FALSE(runGuardAsks());
}

// An assembler that dies without a word (a crash, a missing DLL, a killed
// process) leaves no "error:" in the output; its exit code is all there is.
// The build must not count as good, or the pending run command starts the
// previous, stale program.
TEST_F(HostileProcessTest, SilentNonZeroExitCountsAsFailedBuild)
{
    Run r = assembleScript("exit:0xC0000005", 20000);
    EXPECT_FALSE(r.watchdogFired);
    EXPECT_TRUE(host->outputPaneVisible()) << "a crashed assembler hid the output as if all went well";
    EXPECT_TRUE(runGuardAsks()) << "the run command after a crashed assembler was not guarded";
    EXPECT_NE(host->outputText().find(
                  "The assembler ended with exit code 3221225477 (0xC0000005) and reported no error."),
              std::string::npos)
        << host->outputText();
}

TEST_F(HostileProcessTest, ChildThatWritesThenWaitsHoldsTheHostOnlyAsLongAsItLives)
{
    Run r = assembleScript("out:x\\n hold:5000", 30000);
    EXPECT_FALSE(r.watchdogFired);
    EXPECT_GE(r.ms, 4500u);
    EXPECT_LT(r.ms, 15000u);
    EXPECT_NE(host->outputText().find("\r\n\r\nx\r\n"), std::string::npos) << host->outputText();
}

TEST_F(HostileProcessTest, ChildThatClosesItsOutputAndRunsOnReleasesTheHost)
{
    Run r = assembleScript("out:early\\n close hold:20000", 30000);
    EXPECT_FALSE(r.watchdogFired);
    EXPECT_LT(r.ms, 5000u);
    EXPECT_NE(host->outputText().find("early"), std::string::npos);
    EXPECT_FALSE(host->outputPaneVisible());
}

// A grandchild that inherited the pipe (here a program the batch file started
// in the background) must not hold the host's UI thread for its whole life
// once the batch file has ended.
TEST_F(HostileProcessTest, RunEndsWithTheProcessItStartedWhileAGrandchildHoldsThePipe)
{
    std::string text =
        "@echo off\r\nstart /b \"\" \"" + toolPath("childproc.exe") + "\" hold:30000\r\necho batch done\r\n";
    Run r = runBatchRedirected(text, 10000);
    EXPECT_NE(host->outputText().find("batch done"), std::string::npos) << host->outputText();
    EXPECT_FALSE(r.watchdogFired) << "the host was blocked " << r.ms
                                  << " ms after the batch file had ended; the watchdog ended it";
}

const char FLOOD_VARIABLE[] =
    "TORDEL_HOSTILE_FLOOD";  // "shown" or "hidden", in the process that takes the flood

// Takes the flood; runs only inside the child process started below, so
// that a crash it causes is seen as that process's exit code.
TEST_F(HostileProcessTest, OneGigabyteInner)
{
    std::string how = testing_support::env(FLOOD_VARIABLE);
    if (how.empty())
        GTEST_SKIP() << "runs only inside OneGigabyteOfOutputLeavesTheHostAlive";
    if (how == "shown") {
        ShowWindow(host->frame(), SW_SHOW);
        UpdateWindow(host->frame());
    }
    const unsigned long long total = 1ull << 30;
    Run r = assembleScript("bytes:" + std::to_string(total), 600000);
    ASSERT_FALSE(r.watchdogFired) << r.ms;
    std::cout << how << " pane: 1 GB run in " << r.ms << " ms\n";
    std::string file = testing_support::runOutputFileOf(projectFile);
    std::string header =
        "\r\n" + toolPath("childproc.exe") + " \"hold:0\" bytes:" + std::to_string(total) + "\r\n\r\n";
    std::string expected = header + testing_support::cutPaneText(
                                        total,
                                        [&](unsigned long long from, size_t count) {
                                            return childprocBytesAt(total, from, count);
                                        },
                                        file);
    EXPECT_TRUE(host->outputText() == expected) << host->outputText().size() << " characters";
    EXPECT_FALSE(host->outputPaneVisible());
    EXPECT_EQ(testing_support::fileDiffersFromChildprocBytes(file, total), "");
    DeleteFileA(file.c_str());
}

// In a 32-bit host the output control needs many times the text's size, and
// Wine's rich edit has crashed taking 16 MB: a run of 1 GB must leave the
// host (here the test EXE) alive, its pane shown or hidden.
TEST_F(HostileProcessTest, OneGigabyteOfOutputLeavesTheHostAlive)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    for (const char* how : {"hidden", "shown"}) {
        SCOPED_TRACE(how);
        std::string command =
            std::string("\"") + self + "\" --gtest_filter=HostileProcessTest.OneGigabyteInner";
        SetEnvironmentVariableA(FLOOD_VARIABLE, how);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
        SetEnvironmentVariableA(FLOOD_VARIABLE, nullptr);
        ASSERT_TRUE(started) << GetLastError();
        DWORD start = GetTickCount();
        bool ended = WaitForSingleObject(process.hProcess, 610000) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(process.hProcess, 255);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        std::cout << "1 GB run, pane " << how << ": " << (ended ? "ended" : "killed") << " after "
                  << GetTickCount() - start << " ms, exit code 0x" << std::hex << code << std::dec << "\n";
        EXPECT_TRUE(ended);
        // The inner test's own checks failing end it with 1; a crash with an exception code.
        EXPECT_EQ(code, 0u) << "the host process died, or its checks failed, taking 1 GB of output";
    }
}

TEST_F(HostileProcessTest, OneLineOfAHundredThousandCharactersIsKeptAndIgnoredByDoubleClick)
{
    Run r = assembleScript("line:100000", 60000);
    ASSERT_FALSE(r.watchdogFired);
    std::string out = host->outputText();
    size_t at = out.find("\r\n\r\n") + 4;
    ASSERT_EQ(out.size(), at + 100000 + 2);
    EXPECT_EQ(out.substr(at, 62), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    size_t eventsBefore = host->outputEvents().size();
    int line = (int)SendMessageA(host->outputControl(), EM_LINEFROMCHAR, at, 0);
    EXPECT_EQ(host->doubleClickOutputLine(line), 0);
    // Only the removal of the previous highlight; nothing is highlighted.
    EXPECT_EQ(host->outputEvents().size(), eventsBefore + 1);
    EXPECT_EQ(host->highlightedOutputLine(), -1);
}

// cmd reads "set /p" and "pause" from standard input, which the runner
// leaves null: the batch file must not wait for a key no one can press.
TEST_F(HostileProcessTest, BatchFileAskingForInputDoesNotWaitForever)
{
    std::string text =
        "@echo off\r\nset x=unset\r\nset /p x=Name?\r\necho got [%x%]\r\npause\r\necho after pause\r\n";
    Run r = runBatchRedirected(text, 20000);
    std::string out = host->outputText();
    EXPECT_FALSE(r.watchdogFired) << out;
    EXPECT_NE(out.find("Name?"), std::string::npos) << out;
    EXPECT_NE(out.find("got [unset]"), std::string::npos) << out;
    EXPECT_NE(out.find("after pause"), std::string::npos) << out;
    std::cout << "input-asking batch: " << r.ms << " ms, output:\n" << out << "\n";
}

}  // namespace
