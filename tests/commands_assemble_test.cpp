// The assembler commands on a FASM project, driven through the host: saving
// and preparing, the composed command line, what the pane shows after the
// assembler ran, the resource steps of a build, and the guard on the run
// commands after a failed build.
#include "tests/test_support.h"

#include "setup/setup_ids.h"

#include <commctrl.h>

#include <functional>

using hostsim::Answer;
using hostsim::DialogSeen;
using hostsim::EditorEvent;
using testing_support::AddInTest;
using testing_support::fileExists;
using testing_support::findMenuItem;
using testing_support::menuItemAt;
using testing_support::toolPath;

namespace {

const char NOT_SAVED[] = "Not all files saved. Continue?";
const char WARNING[] = "Warning!";
const char LAST_BUILD_FAILED[] = "Last compilation error detected.\rContinue anyway?";
const char NO_ASSEMBLER_PATH[] = "No path to FASM specified!\rDo you wish specify?";
const char ASM_ONLY[] = "This feature is for project's ASM-files only!";
const char NOT_ALLOWED[] = "Compilation not allowed!";
const char NO_PROCESS[] = "Creation process error";
const char MARKER[] = "; stand-in: error";

const char CLEAN_SOURCE[] = "format PE GUI 4.0\r\n"
                            "entry start\r\n"
                            "start:\r\n"
                            "        ret\r\n";
// Line 4 carries the stand-in's error marker.
const char FAULTY_SOURCE[] = "format PE GUI 4.0\r\n"
                             "entry start\r\n"
                             "start:\r\n"
                             "        mvo ebx, 1   ; stand-in: error illegal instruction\r\n"
                             "        ret\r\n";

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// How the runner starts the pane for a command it runs.
std::string echoOf(const std::string& command) { return "\r\n" + command + "\r\n\r\n"; }

int lineOfPosition(const std::string& text, size_t position)
{
    int line = 0;
    for (size_t i = 0; i < position && i + 1 < text.size(); ++i)
        if (text[i] == '\r' && text[i + 1] == '\n')
            ++line;
    return line;
}

// The texts with repeats in a row reduced to one.
std::vector<std::string> collapsed(const std::vector<std::string>& texts)
{
    std::vector<std::string> out;
    for (const std::string& t : texts)
        if (out.empty() || out.back() != t)
            out.push_back(t);
    return out;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

bool hasEvent(const std::vector<EditorEvent>& events, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (const EditorEvent& e : events)
        if (e.message == message && e.wParam == wParam && e.lParam == lParam)
            return true;
    return false;
}

int countEvents(const std::vector<EditorEvent>& events, UINT message)
{
    int n = 0;
    for (const EditorEvent& e : events)
        n += e.message == message;
    return n;
}

// Records every text written to part 4 of the host's status bar.
struct StatusLog {
    HWND bar = nullptr;
    WNDPROC original = nullptr;
    std::vector<std::string> texts;
};
const char STATUS_LOG_PROP[] = "assemble-test.status";

LRESULT CALLBACK statusSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    StatusLog* log = (StatusLog*)GetPropA(window, STATUS_LOG_PROP);
    if (message == SB_SETTEXTA && (wParam & 0xFF) == 4)
        log->texts.push_back(lParam ? (const char*)lParam : "");
    return CallWindowProcA(log->original, window, message, wParam, lParam);
}

// Sees the frame's WM_COMMAND messages before the host and the add-in do.
struct CommandSpy {
    HWND frame = nullptr;
    WNDPROC original = nullptr;
    std::function<void(UINT)> onCommand;
};
const char COMMAND_SPY_PROP[] = "assemble-test.commands";

LRESULT CALLBACK frameSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CommandSpy* spy = (CommandSpy*)GetPropA(window, COMMAND_SPY_PROP);
    if (message == WM_COMMAND && spy->onCommand)
        spy->onCommand(LOWORD(wParam));
    return CallWindowProcA(spy->original, window, message, wParam, lParam);
}

class AssembleTest : public AddInTest {
protected:
    std::string projectFile, folder, fasm;
    StatusLog status;
    CommandSpy commands;

    void SetUp() override
    {
        AddInTest::SetUp();
        ASSERT_FALSE(testing_support::env("TORDEL_TOOLS").empty())
            << "TORDEL_TOOLS must name the folder holding the stand-in fasm.exe";
        fasm = toolPath("fasm.exe");
        ASSERT_TRUE(fileExists(fasm)) << fasm;
    }
    void TearDown() override
    {
        stopSpying();
        AddInTest::TearDown();
    }

    void spy()
    {
        status.bar = host->statusBar();
        SetPropA(status.bar, STATUS_LOG_PROP, (HANDLE)&status);
        status.original = (WNDPROC)SetWindowLongPtrA(status.bar, GWLP_WNDPROC, (LONG_PTR)statusSpy);
        commands.frame = host->frame();
        SetPropA(commands.frame, COMMAND_SPY_PROP, (HANDLE)&commands);
        commands.original = (WNDPROC)SetWindowLongPtrA(commands.frame, GWLP_WNDPROC, (LONG_PTR)frameSpy);
    }
    void stopSpying()
    {
        if (status.original && IsWindow(status.bar)) {
            SetWindowLongPtrA(status.bar, GWLP_WNDPROC, (LONG_PTR)status.original);
            RemovePropA(status.bar, STATUS_LOG_PROP);
        }
        if (commands.original && IsWindow(commands.frame)) {
            SetWindowLongPtrA(commands.frame, GWLP_WNDPROC, (LONG_PTR)commands.original);
            RemovePropA(commands.frame, COMMAND_SPY_PROP);
        }
        status = StatusLog{};
        commands.original = nullptr;
        commands.onCommand = nullptr;
    }

    // Loads the add-in and opens a FASM project with its fields 4 and 6.
    void openFasmProject(const char* arguments = "", const char* output = "",
                         const std::string& name = "proj")
    {
        load();
        projectFile = makeProject("FASM", name);
        folder = folderOf(projectFile);
        host->openProject(projectFile, arguments, output);
        ASSERT_EQ(host->statusText(4), "FASM");
        spy();
    }

    std::string writeSource(const std::string& name, const std::string& text)
    {
        std::string path = folder + "\\" + name;
        EXPECT_TRUE(hostsim::writeFile(path, text)) << path;
        return path;
    }

    // Commands that reached the host from a given index on.
    std::vector<UINT> hostCommandsSince(size_t from)
    {
        return std::vector<UINT>(host->hostCommands.begin() + (ptrdiff_t)from, host->hostCommands.end());
    }

    void expectDialog(size_t index, const char* text, const char* caption, UINT style)
    {
        ASSERT_GT(host->dialogs.size(), index);
        const DialogSeen& d = host->dialogs[index];
        EXPECT_TRUE(d.isMessageBox);
        EXPECT_EQ(d.text, text);
        if (caption)
            EXPECT_EQ(d.caption, caption);
        EXPECT_EQ(d.style, style);
        EXPECT_EQ(d.owner, host->frame());
    }

    // The line of the first occurrence of a text in the pane, or -1.
    int outputLineOf(const char* text)
    {
        std::string out = host->outputText();
        size_t at = out.find(text);
        return at == std::string::npos ? -1 : lineOfPosition(out, at);
    }

    // Runs 10506. After a failed build the add-in must ask about it; the
    // answer No swallows the command. Otherwise the host runs it unasked.
    void expectRunGuard(bool asks)
    {
        size_t dialogsBefore = host->dialogs.size();
        size_t commandsBefore = host->hostCommands.size();
        if (asks)
            host->answer(Answer::press(IDNO));
        LRESULT result = host->command(HC_RUN);
        ASSERT_EQ(host->dialogs.size(), dialogsBefore + (asks ? 1 : 0));
        if (asks) {
            expectDialog(dialogsBefore, LAST_BUILD_FAILED, WARNING, MB_YESNO | MB_ICONWARNING);
            EXPECT_EQ(result, 1);
            EXPECT_TRUE(hostCommandsSince(commandsBefore).empty());
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(hostCommandsSince(commandsBefore), std::vector<UINT>{HC_RUN});
        }
    }
};

TEST_F(AssembleTest, EveryHandlerLeavesOtherProjectsToTheHost)
{
    setAssembler(fasm);
    openFasmProject();
    UINT assembleCurrent = assembleCurrentId();
    ASSERT_NE(assembleCurrent, 0u);
    // A failed FASM build first, so that a forgotten project check would show
    // in the run guard.
    std::string source = writeSource("main.asm", FAULTY_SOURCE);
    HWND child = host->openChild(source, FILE_TYPE_ASSEMBLY, FAULTY_SOURCE);
    host->command(HC_BUILD);
    ASSERT_TRUE(host->outputPaneVisible());
    ASSERT_NE(host->highlightedOutputLine(), -1);

    struct Case {
        const char* compiler;  // nullptr: no project open
    } cases[] = {{"MASM"}, {"fasm"}, {""}, {nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.compiler ? c.compiler : "(no project)");
        if (c.compiler)
            host->openProject(makeProject(c.compiler, "other"));
        else
            host->closeProject();
        std::string statusBefore = host->statusText(4);
        for (UINT id :
             {(UINT)HC_ASSEMBLE, (UINT)HC_BUILD, (UINT)HC_RUN, (UINT)HC_RUN_ALTERNATE, assembleCurrent}) {
            SCOPED_TRACE(id);
            host->setOutputText("left alone");
            ShowWindow(host->outputPane(), SW_HIDE);
            size_t commandsBefore = host->hostCommands.size();
            size_t eventsBefore = host->editorEvents(child).size();
            EXPECT_EQ(host->command(id), 0);
            EXPECT_EQ(hostCommandsSince(commandsBefore), std::vector<UINT>{id});
            EXPECT_EQ(host->outputText(), "left alone");
            EXPECT_FALSE(host->outputPaneVisible());
            EXPECT_EQ(host->editorEvents(child).size(), eventsBefore);
            EXPECT_EQ(host->statusText(4), statusBefore);
        }
    }
    EXPECT_TRUE(host->dialogs.empty());
}

TEST_F(AssembleTest, BuildCompilesTheResourceScriptAndExportsRcIncOnlyWhenKept)
{
    struct Case {
        const char* keepRc;
        bool scriptOpen;
        bool scriptInOtherSet;
        bool expectCompile;
        bool expectRcInc;
    } cases[] = {
        {"1", true, false, true, true},
        {"0", true, false, true, false},
        {"1", true, true, true, true},      // the second set of children counts too
        {"1", false, false, false, false},  // no resource script open
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("KeepRC=") + c.keepRc + (c.scriptOpen ? " script open" : " no script") +
                     (c.scriptInOtherSet ? " in the other set" : ""));
        stopSpying();
        host = std::make_unique<hostsim::Host>();
        setAssembler(fasm);
        setKeepRc(c.keepRc);
        openFasmProject("", "", "res" + std::to_string(n++));
        std::string source = writeSource("main.asm", CLEAN_SOURCE);
        std::string script = writeSource("main.rc", "// resources\r\n");
        std::string rcInc = folder + "\\rc.inc";
        host->setResourceScript(script.c_str());
        host->setDefinitions({{"IDD_MAIN", 100}, {"IDC_NEGATIVE", -5}});
        host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
        if (c.scriptOpen)
            host->openChild(script, FILE_TYPE_RESOURCE_SCRIPT, "// resources\r\n", c.scriptInOtherSet);

        int rcIncAtCompile = -1;  // whether rc.inc existed when the host compiled the script
        commands.onCommand = [&](UINT id) {
            if (id == HC_COMPILE_RESOURCES)
                rcIncAtCompile = fileExists(rcInc);
        };
        EXPECT_EQ(host->command(HC_BUILD), 1);

        std::vector<UINT> expected = {HC_SAVE_ALL};
        if (c.expectCompile)
            expected.push_back(HC_COMPILE_RESOURCES);
        EXPECT_EQ(host->hostCommands, expected);
        EXPECT_EQ(rcIncAtCompile, c.expectCompile ? 0 : -1);
        EXPECT_EQ(fileExists(rcInc), c.expectRcInc);
        if (c.expectRcInc)
            EXPECT_EQ(hostsim::readFile(rcInc), "IDD_MAIN equ 100\r\nIDC_NEGATIVE equ -5\r\n");
        // Then the main source was assembled, successfully.
        EXPECT_EQ(host->outputText().substr(0, echoOf(fasm + " \"" + source + "\" ").size()),
                  echoOf(fasm + " \"" + source + "\" "));
        EXPECT_TRUE(fileExists(folder + "\\main.exe"));
        EXPECT_FALSE(host->outputPaneVisible());
        EXPECT_EQ(host->statusText(4), "FASM");
        EXPECT_TRUE(host->dialogs.empty());
    }
}

TEST_F(AssembleTest, UnsavedEditorsAreReportedBeforeAnythingRuns)
{
    struct Case {
        bool saveLeavesModified;
        bool modifiedInOtherSet;
        int answer;  // 0: no question expected
        bool runs;
    } cases[] = {
        {true, false, IDYES, true},
        {true, false, IDNO, false},
        {true, true, IDNO, false},  // an unsaved file of the second set counts too
        {false, false, 0, true},    // saving cleared the flags: no question
    };
    setAssembler(fasm);
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    HWND mainChild = host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    HWND other = host->openChild(folder + "\\notes.inc", FILE_TYPE_ASSEMBLY, "; notes\r\n", true);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.saveLeavesModified ? "save leaves flags" : "save clears flags") +
                     (c.modifiedInOtherSet ? ", other set modified" : "") + ", answer " +
                     std::to_string(c.answer));
        DeleteFileA((folder + "\\main.exe").c_str());
        host->saveAllLeavesModified = c.saveLeavesModified;
        host->setModified(c.modifiedInOtherSet ? other : mainChild, true);
        host->setOutputText("previous output");
        status.texts.clear();
        size_t dialogsBefore = host->dialogs.size();
        size_t commandsBefore = host->hostCommands.size();
        size_t marksBefore = countEvents(host->editorEvents(mainChild), HEM_CLEARMARKS);
        if (c.answer)
            host->answer(Answer::press(c.answer));

        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);

        ASSERT_EQ(host->dialogs.size(), dialogsBefore + (c.answer ? 1 : 0));
        if (c.answer) {
            expectDialog(dialogsBefore, NOT_SAVED, WARNING, MB_YESNO | MB_ICONWARNING);
            EXPECT_EQ(host->dialogs.back().answer, c.answer);
        }
        EXPECT_EQ(hostCommandsSince(commandsBefore), std::vector<UINT>{HC_SAVE_ALL});
        // The marks are cleared while counting, before the question.
        EXPECT_EQ(countEvents(host->editorEvents(mainChild), HEM_CLEARMARKS), (int)marksBefore + 1);
        if (c.runs) {
            EXPECT_EQ(status.texts, (std::vector<std::string>{"Saving...", "Compilation...",
                                                              "Running... press Esc to stop.", "FASM"}));
            EXPECT_TRUE(contains(host->outputText(), echoOf(fasm + " \"" + source + "\" ")));
            EXPECT_TRUE(fileExists(folder + "\\main.exe"));
        } else {
            EXPECT_EQ(status.texts, (std::vector<std::string>{"Saving...", "", "FASM"}));
            EXPECT_EQ(host->outputText(), "previous output");
            EXPECT_FALSE(fileExists(folder + "\\main.exe"));
        }
        host->setModified(mainChild, false);
        host->setModified(other, false);
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(AssembleTest, AMissingAssemblerPathIsAskedForUntilGivenOrDeclined)
{
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    auto fillSetup = [&](const std::string& path) {
        return Answer::run([path](HWND dialog) {
            SetDlgItemTextA(dialog, 1002, path.c_str());
            SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        });
    };
    auto cancelSetup =
        Answer::run([](HWND dialog) { SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); });

    struct Case {
        const char* stored;  // nullptr: no key
        std::vector<Answer> answers;
        std::vector<bool> messageBoxes;  // one per dialog: a message box, or the setup dialog
        bool runs;
    };
    std::vector<Case> cases;
    cases.push_back({nullptr, {Answer::press(IDNO)}, {true}, false});
    cases.push_back({"   ", {Answer::press(IDNO)}, {true}, false});  // blanks read as empty
    cases.push_back(
        {nullptr, {Answer::press(IDYES), cancelSetup, Answer::press(IDNO)}, {true, false, true}, false});
    cases.push_back({"", {Answer::press(IDYES), fillSetup(fasm)}, {true, false}, true});
    for (size_t i = 0; i < cases.size(); ++i) {
        Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        WritePrivateProfileStringA("FASM", "PATH", c.stored, inst.addInsIni.c_str());
        DeleteFileA((folder + "\\main.exe").c_str());
        status.texts.clear();
        size_t dialogsBefore = host->dialogs.size();
        for (Answer& a : c.answers)
            host->answer(a);

        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);

        ASSERT_EQ(host->dialogs.size(), dialogsBefore + c.messageBoxes.size());
        for (size_t d = 0; d < c.messageBoxes.size(); ++d) {
            const DialogSeen& seen = host->dialogs[dialogsBefore + d];
            EXPECT_EQ(seen.isMessageBox, c.messageBoxes[d]) << d;
            EXPECT_EQ(seen.owner, host->frame()) << d;
            if (seen.isMessageBox) {
                EXPECT_EQ(seen.text, NO_ASSEMBLER_PATH);
                EXPECT_EQ(seen.style, (UINT)MB_YESNO);
            } else {
                EXPECT_EQ(seen.caption, "TORDEL setup");
            }
        }
        EXPECT_EQ(host->pendingAnswers(), 0u);
        if (c.runs) {
            EXPECT_EQ(testing_support::readIni(inst.addInsIni, "FASM", "PATH"), fasm);
            EXPECT_TRUE(contains(host->outputText(), echoOf(fasm + " \"" + source + "\" ")));
            EXPECT_TRUE(fileExists(folder + "\\main.exe"));
            EXPECT_EQ(status.texts, (std::vector<std::string>{"Saving...", "Compilation...",
                                                              "Running... press Esc to stop.", "FASM"}));
        } else {
            EXPECT_EQ(host->outputText(), "");
            EXPECT_FALSE(fileExists(folder + "\\main.exe"));
            EXPECT_EQ(status.texts, (std::vector<std::string>{"Saving...", "FASM"}));
        }
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

// A Build whose assembler prompt the user declines builds nothing: the Run
// remembered from before must not start the previous program as if this
// build had made it.
TEST_F(AssembleTest, ABuildCancelledAtTheAssemblerPromptRunsNothing)
{
    setAssembler(fasm);
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    EXPECT_EQ(host->command(HC_BUILD), 1);
    EXPECT_EQ(host->command(HC_RUN), 0);  // remembered
    size_t before = host->hostCommands.size();
    EXPECT_EQ(host->command(HC_BUILD), 1);
    EXPECT_EQ(hostCommandsSince(before), (std::vector<UINT>{HC_SAVE_ALL, HC_RUN}));

    WritePrivateProfileStringA("FASM", "PATH", nullptr, inst.addInsIni.c_str());
    host->answer(Answer::press(IDNO));
    before = host->hostCommands.size();
    EXPECT_EQ(host->command(HC_BUILD), 1);
    EXPECT_EQ(hostCommandsSince(before), std::vector<UINT>{HC_SAVE_ALL});
    EXPECT_EQ(host->dialogs.back().text, NO_ASSEMBLER_PATH);
    EXPECT_EQ(host->outputText(), "");
    EXPECT_EQ(host->statusText(4), "FASM");
    EXPECT_EQ(host->unexpectedDialogs, 0);

    // Named again, the next good build runs it as before.
    setAssembler(fasm);
    before = host->hostCommands.size();
    EXPECT_EQ(host->command(HC_BUILD), 1);
    EXPECT_EQ(hostCommandsSince(before), (std::vector<UINT>{HC_SAVE_ALL, HC_RUN}));
}

TEST_F(AssembleTest, TheCommandLineIsComposedFromTheProjectFields)
{
    struct Case {
        const char* arguments;  // field 4; nullptr: the host leaves it null
        const char* output;     // field 6
        const char* producedName;
        const char* afterSource;  // the command line after the quoted source
    } cases[] = {
        {"", "", "main.exe", " "},
        {nullptr, nullptr, "main.exe", " "},
        {"", "built.exe", "built.exe", "  \"built.exe\" "},
        {nullptr, "built.exe", "built.exe", "  \"built.exe\" "},
        {"-m 65536", nullptr, "main.exe", " -m 65536"},
        {"-d X=1 -p 100", "built.exe", "built.exe", "  \"built.exe\" -d X=1 -p 100"},
        {"-m65536 ", "", "main.exe", " -m65536 "},
    };
    setAssembler(fasm);
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("field 4 ") +
                     (c.arguments ? "\"" + std::string(c.arguments) + "\"" : "null") + ", field 6 " +
                     (c.output ? "\"" + std::string(c.output) + "\"" : "null"));
        host->openProject(projectFile, c.arguments, c.output);
        DeleteFileA((folder + "\\main.exe").c_str());
        DeleteFileA((folder + "\\built.exe").c_str());
        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
        std::string out = host->outputText();
        std::string echo = echoOf(fasm + " \"" + source + "\"" + c.afterSource);
        EXPECT_EQ(out.substr(0, echo.size()), echo);
        EXPECT_TRUE(contains(out, "flat assembler"));
        EXPECT_TRUE(fileExists(folder + "\\" + c.producedName));
        EXPECT_FALSE(host->outputPaneVisible());
    }
}

TEST_F(AssembleTest, AnAssemblerErrorIsHighlightedAndRunCommandsAreHeldBack)
{
    setAssembler(fasm);
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    HWND child = host->openChild(source, FILE_TYPE_ASSEMBLY, FAULTY_SOURCE);
    auto build = [&](UINT command, bool faulty) {
        writeSource("main.asm", faulty ? FAULTY_SOURCE : CLEAN_SOURCE);
        ShowWindow(host->outputPane(), faulty ? SW_HIDE : SW_RESTORE);
        size_t before = host->hostCommands.size();
        EXPECT_EQ(host->command(command), 1);
        EXPECT_EQ(host->statusText(4), "FASM");
        return hostCommandsSince(before);
    };
    using Ids = std::vector<UINT>;

    // Success: the pane goes; nothing pending yet.
    EXPECT_EQ(build(HC_BUILD, false), Ids{HC_SAVE_ALL});
    EXPECT_FALSE(host->outputPaneVisible());
    expectRunGuard(false);  // the host runs 10506, which is now pending

    // A pending run command follows every successful build, not an assemble.
    EXPECT_EQ(build(HC_BUILD, false), (Ids{HC_SAVE_ALL, HC_RUN}));
    EXPECT_EQ(build(HC_ASSEMBLE, false), Ids{HC_SAVE_ALL});
    size_t before = host->hostCommands.size();
    EXPECT_EQ(host->command(HC_RUN_ALTERNATE), 0);  // now 10507 is pending
    EXPECT_EQ(hostCommandsSince(before), Ids{HC_RUN_ALTERNATE});
    EXPECT_EQ(build(HC_BUILD, false), (Ids{HC_SAVE_ALL, HC_RUN_ALTERNATE}));

    // Failure: the error line is highlighted, the pane shown, nothing re-issued.
    size_t eventsBefore = host->outputEvents().size();
    EXPECT_EQ(build(HC_BUILD, true), Ids{HC_SAVE_ALL});
    std::string out = host->outputText();
    EXPECT_TRUE(contains(out, source + " [4]:\r\n        mvo ebx, 1   " + MARKER +
                                  " illegal instruction\r\n"
                                  "error: illegal instruction.\r\n"))
        << out;
    int errorLine = outputLineOf("error:");
    ASSERT_GT(errorLine, 0);
    std::vector<EditorEvent> events(host->outputEvents().begin() + (ptrdiff_t)eventsBefore,
                                    host->outputEvents().end());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(hasEvent(events, HEM_SETLINEHIGHLIGHT, (WPARAM)errorLine, 1));
    EXPECT_TRUE(host->outputPaneVisible());

    // The guard asks; No swallows the command and leaves 10507 pending.
    expectRunGuard(true);
    expectRunGuard(true);  // and asks again: the failure stands
    EXPECT_EQ(build(HC_BUILD, false), (Ids{HC_SAVE_ALL, HC_RUN_ALTERNATE}));

    // Yes lets the host run it and makes it the pending one.
    build(HC_BUILD, true);
    host->answer(Answer::press(IDYES));
    before = host->hostCommands.size();
    size_t dialogsBefore = host->dialogs.size();
    EXPECT_EQ(host->command(HC_RUN), 0);
    expectDialog(dialogsBefore, LAST_BUILD_FAILED, WARNING, MB_YESNO | MB_ICONWARNING);
    EXPECT_EQ(hostCommandsSince(before), Ids{HC_RUN});
    EXPECT_EQ(build(HC_BUILD, false), (Ids{HC_SAVE_ALL, HC_RUN}));
    expectRunGuard(false);

    // The error line of a failed build leads to the source line: the first
    // double-click removes the build's highlight before it marks the editor.
    build(HC_ASSEMBLE, true);
    errorLine = outputLineOf("error:");
    int placeLine = outputLineOf((source + " [4]").c_str());
    ASSERT_GE(placeLine, 0);
    eventsBefore = host->outputEvents().size();
    size_t marksBefore = host->editorEvents(child).size();
    EXPECT_EQ(host->doubleClickOutputLine(placeLine), 1);
    events.assign(host->outputEvents().begin() + (ptrdiff_t)eventsBefore, host->outputEvents().end());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(hasEvent({events[0]}, HEM_SETLINEHIGHLIGHT, (WPARAM)errorLine, 0));
    EXPECT_TRUE(hasEvent({events[1]}, HEM_SETLINEHIGHLIGHT, (WPARAM)placeLine, 1));
    std::vector<EditorEvent> marks(host->editorEvents(child).begin() + (ptrdiff_t)marksBefore,
                                   host->editorEvents(child).end());
    EXPECT_TRUE(hasEvent(marks, HEM_SETLINEMARK, 3, HEM_MARK_ERROR));
    EXPECT_EQ(host->caretLine(child), 3);
    EXPECT_EQ(host->activeChild(), child);

    // A new preparation forgets the remembered line: the next double-click
    // removes the highlight of line 0.
    build(HC_ASSEMBLE, false);
    host->setOutputText(source + " [2]");
    eventsBefore = host->outputEvents().size();
    EXPECT_EQ(host->doubleClickOutputLine(0), 1);
    ASSERT_GT(host->outputEvents().size(), eventsBefore);
    EXPECT_TRUE(hasEvent({host->outputEvents()[eventsBefore]}, HEM_SETLINEHIGHLIGHT, 0, 0));
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(AssembleTest, UsageTextCountsAsAFailureAndErrorTakesPrecedence)
{
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    // An assembler wrapper that prints what the case needs.
    std::string wrapper = folder + "\\wrap.bat";
    struct Case {
        const char* name;
        std::string assembler;
        const char* arguments;
        const char* highlighted;  // the text whose line must be highlighted
    } cases[] = {
        {"stand-in missing an option value", fasm, "-m", "usage:"},
        {"usage before error", wrapper, "", "error:"},
    };
    ASSERT_TRUE(
        hostsim::writeFile(wrapper, "@echo usage: wrap source\r\n@echo some text\r\n@echo error: later\r\n"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setAssembler(c.assembler);
        host->openProject(projectFile, c.arguments, "");
        ShowWindow(host->outputPane(), SW_HIDE);
        size_t eventsBefore = host->outputEvents().size();
        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
        EXPECT_TRUE(contains(host->outputText(), "usage:")) << host->outputText();
        int line = outputLineOf(c.highlighted);
        ASSERT_GT(line, 0) << host->outputText();
        ASSERT_EQ(host->outputEvents().size(), eventsBefore + 1);
        EXPECT_TRUE(hasEvent({host->outputEvents().back()}, HEM_SETLINEHIGHLIGHT, (WPARAM)line, 1));
        EXPECT_TRUE(host->outputPaneVisible());
        EXPECT_EQ(host->statusText(4), "FASM");
        expectRunGuard(true);
    }
}

TEST_F(AssembleTest, AnAssemblerThatCannotStartIsReportedInThePane)
{
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    struct Case {
        const char* name;
        std::string assembler;
    } cases[] = {
        {"missing program", folder + "\\missing\\fasm.exe"},
        {"a folder", folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setAssembler(c.assembler);
        ShowWindow(host->outputPane(), SW_HIDE);
        size_t eventsBefore = host->outputEvents().size();
        size_t commandsBefore = host->hostCommands.size();
        EXPECT_EQ(host->command(HC_BUILD), 1);
        std::string out = host->outputText();
        EXPECT_EQ(out, echoOf(c.assembler + " \"" + source + "\" ") + NO_PROCESS + ": File not found.");
        EXPECT_TRUE(host->outputPaneVisible());
        EXPECT_EQ(host->outputEvents().size(), eventsBefore);  // nothing to highlight
        EXPECT_EQ(host->statusText(4), "FASM");
        EXPECT_EQ(hostCommandsSince(commandsBefore), std::vector<UINT>{HC_SAVE_ALL});
        expectRunGuard(true);
    }
}

TEST_F(AssembleTest, CommandLinesBeyondTheProcessLimitAreRefused)
{
    setAssembler(fasm);
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    // Field 4 is one ignored option "-xxx..." that brings the line to the length.
    size_t fixed = (fasm + " \"" + source + "\" ").size();
    enum Outcome { RUNS, REFUSED };
    struct Case {
        size_t length;
        Outcome outcome;
    } cases[] = {
        {32766, RUNS},
        // Process creation takes 32767 characters with the terminator.
        {32767, REFUSED},
        {32768, REFUSED},
        {32769, REFUSED},
        {100000, REFUSED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("command line of " + std::to_string(c.length) + " characters");
        std::string extra = "-" + std::string(c.length - fixed - 1, 'x');
        host->openProject(projectFile, extra.c_str(), "");
        std::string command = fasm + " \"" + source + "\" " + extra;
        ASSERT_EQ(command.size(), c.length);
        DeleteFileA((folder + "\\main.exe").c_str());
        ShowWindow(host->outputPane(), c.outcome == RUNS ? SW_RESTORE : SW_HIDE);

        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);

        std::string out = host->outputText();
        EXPECT_EQ(host->statusText(4), "FASM");
        switch (c.outcome) {
        case RUNS:
            EXPECT_EQ(out.substr(0, echoOf(command).size()), echoOf(command));
            EXPECT_TRUE(contains(out, "flat assembler"));
            EXPECT_TRUE(fileExists(folder + "\\main.exe"));
            EXPECT_FALSE(host->outputPaneVisible());
            expectRunGuard(false);
            break;
        case REFUSED:
            EXPECT_EQ(out, std::string("\r\n") + NO_PROCESS + ": command line of " +
                               std::to_string(c.length) + " characters, the limit is 32766.\r\n");
            EXPECT_FALSE(fileExists(folder + "\\main.exe"));
            EXPECT_TRUE(host->outputPaneVisible());
            expectRunGuard(true);
            break;
        }
    }
}

// Makes base and nested folders under it until the folder path has exactly
// length characters.
std::string folderOfLength(const std::string& base, size_t length)
{
    std::string path = base;
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return std::string();
    while (path.size() < length) {
        size_t remaining = length - path.size();  // at least 2: a backslash and a name
        size_t part = remaining - 1 <= 100 ? remaining - 1 : (remaining - 3 < 100 ? remaining - 3 : 100);
        path += "\\" + std::string(part, 'n');
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
    return path;
}

TEST_F(AssembleTest, LongPathsReachTheAssemblerWhole)
{
    openFasmProject();
    // The longest assembler path the settings hold: 255 characters.
    std::string exeFolder = folderOfLength(folder + "\\tools", 240);
    ASSERT_EQ(exeFolder.size(), 240u);
    std::string longFasm = exeFolder + "\\" + std::string(255 - 241 - 4, 'f') + ".exe";
    ASSERT_EQ(longFasm.size(), 255u);
    ASSERT_TRUE(CopyFileA(fasm.c_str(), longFasm.c_str(), FALSE)) << GetLastError();
    setAssembler(longFasm);
    ASSERT_EQ(testing_support::readIni(inst.addInsIni, "FASM", "PATH"), longFasm);

    std::string sourceFolder = folderOfLength(folder + "\\src", 240);
    ASSERT_EQ(sourceFolder.size(), 240u);
    std::string source259 = sourceFolder + "\\" + std::string(259 - 241 - 4, 's') + ".asm";
    ASSERT_EQ(source259.size(), 259u);
    ASSERT_TRUE(hostsim::writeFile(source259, CLEAN_SOURCE));
    std::string path300 = sourceFolder + "\\" + std::string(300 - 241 - 4, 't') + ".asm";
    ASSERT_EQ(path300.size(), 300u);
    std::string output300 = path300.substr(0, 296) + ".exe";

    // The command line carries every path whole. The assembler, an ANSI
    // program, opens no path of MAX_PATH characters or more, and says so.
    struct Case {
        std::string source;
        std::string output;
        const char* error;  // the assembler's complaint; nullptr: a clean build
    } cases[] = {
        {source259, "", nullptr},
        {source259, output300, "error: write failed."},
        {path300, "", "error: source file not found."},
        {path300, output300, "error: source file not found."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("source of " + std::to_string(c.source.size()) + ", output of " +
                     std::to_string(c.output.size()) + " characters");
        host->openProject(projectFile, "", c.output.c_str());
        for (HWND child : host->children())
            host->closeChild(child);
        host->openChild(c.source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
        size_t eventsBefore = host->outputEvents().size();

        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);

        std::string out = host->outputText();
        std::string echo =
            echoOf(longFasm + " \"" + c.source + "\" " + (c.output.empty() ? "" : " \"" + c.output + "\" "));
        EXPECT_EQ(out.substr(0, echo.size()), echo);
        EXPECT_TRUE(contains(out, "flat assembler")) << out.substr(echo.size());
        bool failed = c.error != nullptr;
        EXPECT_EQ(contains(out, "error:"), failed) << out.substr(echo.size());
        if (failed)
            EXPECT_TRUE(contains(out, c.error)) << out.substr(echo.size());
        EXPECT_EQ(host->outputPaneVisible(), failed) << out.substr(echo.size());
        std::vector<EditorEvent> events(host->outputEvents().begin() + (ptrdiff_t)eventsBefore,
                                        host->outputEvents().end());
        if (failed) {
            ASSERT_EQ(events.size(), 1u);
            EXPECT_TRUE(hasEvent(events, HEM_SETLINEHIGHLIGHT, (WPARAM)outputLineOf("error:"), 1));
        } else {
            EXPECT_TRUE(events.empty());
        }
        EXPECT_EQ(host->statusText(4), "FASM");
    }
    // The 259-character source with no output argument assembles.
    EXPECT_TRUE(fileExists(source259.substr(0, 255) + ".exe"));
}

TEST_F(AssembleTest, AssembleCurrentTakesOnlyAnAssemblySourceAndNoOutputArgument)
{
    setAssembler(fasm);
    openFasmProject("-d CURRENT=1", "project.exe");
    UINT assembleCurrent = assembleCurrentId();
    ASSERT_NE(assembleCurrent, 0u);
    std::string mainSource = writeSource("main.asm", CLEAN_SOURCE);
    std::string second = writeSource("second.asm", CLEAN_SOURCE);
    HWND mainChild = host->openChild(mainSource, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    HWND secondChild = host->openChild(second, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    HWND script = host->openChild(folder + "\\main.rc", FILE_TYPE_RESOURCE_SCRIPT, "");
    HWND batch = host->openChild(folder + "\\run.bat", FILE_TYPE_BATCH, "@echo off\r\n");
    HWND include = host->openChild(folder + "\\other.inc", 2, "");

    struct Case {
        const char* name;
        HWND active;  // nullptr: every child closed
        std::string runs;
    } cases[] = {
        {"second assembly source", secondChild, second},
        {"main assembly source", mainChild, mainSource},
        {"resource script", script, ""},
        {"batch file", batch, ""},
        {"other file type", include, ""},
        {"no child", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.active) {
            host->activate(c.active);
            ASSERT_EQ(host->activeChild(), c.active);
        } else {
            for (HWND child : host->children())
                host->closeChild(child);
            ASSERT_EQ(host->activeChild(), nullptr);
        }
        host->setOutputText("previous output");
        size_t dialogsBefore = host->dialogs.size();
        DeleteFileA((folder + "\\project.exe").c_str());
        if (c.runs.empty())
            host->answer(Answer::press(IDOK));

        EXPECT_EQ(host->command(assembleCurrent), 1);

        EXPECT_EQ(host->statusText(4), "FASM");
        EXPECT_FALSE(fileExists(folder + "\\project.exe"));
        if (!c.runs.empty()) {
            EXPECT_EQ(host->dialogs.size(), dialogsBefore);
            std::string echo = echoOf(fasm + " \"" + c.runs + "\" -d CURRENT=1");
            EXPECT_EQ(host->outputText().substr(0, echo.size()), echo);
            EXPECT_TRUE(fileExists(c.runs.substr(0, c.runs.size() - 4) + ".exe"));
        } else {
            ASSERT_EQ(host->dialogs.size(), dialogsBefore + 1);
            expectDialog(dialogsBefore, ASM_ONLY, NOT_ALLOWED, MB_OK | MB_ICONERROR);
            EXPECT_EQ(host->outputText(), "");
        }
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(AssembleTest, PreparationClearsErrorMarksInEveryEditorOfBothSets)
{
    setAssembler(fasm);
    openFasmProject();
    UINT assembleCurrent = assembleCurrentId();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    std::vector<HWND> children = {
        host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE),
        host->openChild(folder + "\\main.rc", FILE_TYPE_RESOURCE_SCRIPT, ""),
        host->openChild(folder + "\\lib.inc", 2, ""),
        host->openChild(folder + "\\other.asm", FILE_TYPE_ASSEMBLY, "", true),
        host->openChild(folder + "\\other.rc", FILE_TYPE_RESOURCE_SCRIPT, "", true),
    };
    for (UINT command : {(UINT)HC_ASSEMBLE, (UINT)HC_BUILD, assembleCurrent}) {
        SCOPED_TRACE(command);
        host->activate(children[0]);
        std::vector<size_t> before;
        for (HWND child : children)
            before.push_back(host->editorEvents(child).size());
        EXPECT_EQ(host->command(command), 1);
        for (size_t i = 0; i < children.size(); ++i) {
            SCOPED_TRACE(i);
            std::vector<EditorEvent> got(host->editorEvents(children[i]).begin() + (ptrdiff_t)before[i],
                                         host->editorEvents(children[i]).end());
            ASSERT_EQ(got.size(), 1u);
            EXPECT_TRUE(hasEvent(got, HEM_CLEARMARKS, 0, HEM_MARK_ERROR));
        }
    }
}

TEST_F(AssembleTest, WithoutAnAssemblySourceNothingIsAssembled)
{
    setAssembler(fasm);
    openFasmProject();
    host->openChild(folder + "\\main.rc", FILE_TYPE_RESOURCE_SCRIPT, "");
    host->openChild(folder + "\\x.asm", FILE_TYPE_ASSEMBLY, "", true);  // not in the project's set
    for (UINT command : {(UINT)HC_ASSEMBLE, (UINT)HC_BUILD}) {
        SCOPED_TRACE(command);
        host->setOutputText("previous output");
        status.texts.clear();
        EXPECT_EQ(host->command(command), 1);
        EXPECT_EQ(host->outputText(), "");
        EXPECT_EQ(collapsed(status.texts), (std::vector<std::string>{"Saving...", "FASM"}));
    }
    EXPECT_TRUE(host->dialogs.empty());
}

TEST_F(AssembleTest, NonAsciiPathsPassThroughThePaneUnchanged)
{
    setAssembler(fasm);
    load();
    // A project folder named with letters outside ASCII (ANSI bytes 0xDC, 0xFC).
    std::string base = hostsim::tempFolder("ansi");
    ASSERT_FALSE(base.empty());
    folder = base + "\\\xDC"
                    "bung J\xFCrgen";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << GetLastError();
    projectFile = folder + "\\proj.prj";
    testing_support::writeIni(projectFile, "PROJECT", "Compiler", "FASM");
    host->openProject(projectFile);
    ASSERT_EQ(host->statusText(4), "FASM");
    const std::string faulty = "start:\r\n"
                               "        ret\r\n"
                               "        db 1\r\n"
                               "        mov al, '\xDC'   ; stand-in: error \xFC"
                               "ber\r\n";
    std::string source = writeSource("m\xFC"
                                     "ll.asm",
                                     faulty);
    HWND child = host->openChild(source, FILE_TYPE_ASSEMBLY, faulty);
    host->openChild(folder + "\\other.asm", FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);

    EXPECT_EQ(host->command(HC_BUILD), 1);

    std::string out = host->outputText();
    std::string place = source + " [4]:";
    EXPECT_TRUE(contains(out, echoOf(fasm + " \"" + source + "\" "))) << out;
    EXPECT_TRUE(contains(out, "\r\n" + place +
                                  "\r\n        mov al, '\xDC'   ; stand-in: error \xFC"
                                  "ber\r\n"
                                  "error: \xFC"
                                  "ber.\r\n"))
        << out;
    std::string asOem = place;
    OemToCharA(&asOem[0], &asOem[0]);
    ASSERT_NE(asOem, place);  // the test's bytes do change under that conversion
    EXPECT_FALSE(contains(out, asOem));
    EXPECT_TRUE(host->outputPaneVisible());

    int placeLine = outputLineOf(place.c_str());
    ASSERT_GT(placeLine, 0);
    EXPECT_EQ(host->doubleClickOutputLine(placeLine), 1);
    EXPECT_TRUE(hasEvent(host->editorEvents(child), HEM_SETLINEMARK, 3, HEM_MARK_ERROR));
    EXPECT_EQ(host->caretLine(child), 3);
    EXPECT_EQ(host->activeChild(), child);
}

// Sets a variable of this process, the host's, and puts it back when the
// scope ends, however the test leaves it.
struct HostVariable {
    std::string name, before;
    bool had;
    HostVariable(const char* variable, const char* value) : name(variable)
    {
        had = GetEnvironmentVariableA(variable, nullptr, 0) > 0;
        before = testing_support::env(variable);
        SetEnvironmentVariableA(variable, value);
    }
    ~HostVariable() { SetEnvironmentVariableA(name.c_str(), had ? before.c_str() : nullptr); }
    std::string now() const { return testing_support::env(name.c_str()); }
};

// The three assembler commands give the assembler the folder of its headers
// in INCLUDE, before what the host has there; a batch file run in the pane
// and the host itself keep what they had.
TEST_F(AssembleTest, AssemblerRunsGetTheHeadersFolderFirstAndNothingElseDoes)
{
    openFasmProject();
    UINT assembleCurrent = assembleCurrentId(), redirectOut = popupItemId(0), firstBatch = popupItemId(2);
    ASSERT_NE(assembleCurrent, 0u);
    const char REPORT[] = "@echo INCLUDE=[%INCLUDE%]\r\n";
    std::string source = writeSource("main.asm", CLEAN_SOURCE), batch = writeSource("run.bat", REPORT);
    HWND child = host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    host->openChild(batch, FILE_TYPE_BATCH, REPORT);
    host->command(redirectOut);

    struct Case {
        const char* label;
        const char* headers;    // the folder beside the assembler; "" for none
        bool headersAreAFile;   // a file of that name instead
        const char* setting;    // FASM/INCLUDE
        const char* inherited;  // the host's INCLUDE
        const char* expected;   // what the assembler gets; $ stands for the assembler's folder
    } cases[] = {
        {"the INCLUDE folder beside it, in its own letter case", "include", false, "", "C:\\theirs",
         "$\\include;C:\\theirs"},
        {"the setting instead of that folder", "INCLUDE", false, "C:\\mine", "C:\\theirs",
         "C:\\mine;C:\\theirs"},
        {"the host's alone, when there is neither", "", false, "", "C:\\theirs", "C:\\theirs"},
        {"a file of that name is no folder", "INCLUDE", true, "", "C:\\theirs", "C:\\theirs"},
        {"nothing inherited", "Include", false, "", nullptr, "$\\Include"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string tools = hostsim::tempFolder("reporter"), headers = tools + "\\" + c.headers;
        ASSERT_TRUE(hostsim::writeFile(tools + "\\fasm.cmd", REPORT));
        if (c.headers[0] && c.headersAreAFile)
            ASSERT_TRUE(hostsim::writeFile(headers, "a file, not a folder"));
        else if (c.headers[0])
            ASSERT_TRUE(CreateDirectoryA(headers.c_str(), nullptr));
        setAssembler(tools + "\\fasm.cmd");
        testing_support::writeIni(inst.addInsIni, "FASM", "INCLUDE", c.setting);
        HostVariable include("INCLUDE", c.inherited);
        std::string expected = c.expected;
        if (expected[0] == '$')
            expected = tools + expected.substr(1);

        for (UINT command : {(UINT)HC_BUILD, (UINT)HC_ASSEMBLE, assembleCurrent}) {
            SCOPED_TRACE(command);
            host->activate(child);
            EXPECT_EQ(host->command(command), 1);
            EXPECT_TRUE(contains(host->outputText(), "\r\nINCLUDE=[" + expected + "]\r\n"))
                << host->outputText();
            EXPECT_EQ(include.now(), c.inherited ? c.inherited : "");
        }
        if (c.inherited) {
            EXPECT_EQ(host->command(firstBatch), 1);
            EXPECT_TRUE(contains(host->outputText(), std::string("\r\nINCLUDE=[") + c.inherited + "]\r\n"))
                << host->outputText();
        }
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

// With no assembler named, the setup dialog that the first build opens
// holds a fasm.exe found on the PATH, else a fasm2.cmd; OK takes it.
TEST_F(AssembleTest, TheFirstBuildSuggestsAnAssemblerFoundOnThePath)
{
    openFasmProject();
    std::string source = writeSource("main.asm", CLEAN_SOURCE);
    host->openChild(source, FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    const std::string wrapper = "@echo off\r\n\"" + fasm + "\" %*\r\n";
    struct Case {
        const char* label;
        bool scriptEarly, programLate;  // fasm2.cmd in the PATH's first folder; fasm.exe in its second
        const char* expected;           // "early" or "late" or ""
    } cases[] = {
        {"fasm2.cmd", true, false, "early"},
        {"fasm.exe before fasm2.cmd, wherever it is", true, true, "late"},
        {"neither", false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string early = hostsim::tempFolder("path-early"), late = hostsim::tempFolder("path-late");
        if (c.scriptEarly)
            ASSERT_TRUE(hostsim::writeFile(early + "\\fasm2.cmd", wrapper));
        if (c.programLate)
            ASSERT_TRUE(CopyFileA(fasm.c_str(), (late + "\\fasm.exe").c_str(), FALSE));
        std::string expected = std::string(c.expected) == "early"  ? early + "\\fasm2.cmd"
                               : std::string(c.expected) == "late" ? late + "\\fasm.exe"
                                                                   : "";
        HostVariable path("PATH", (early + ";" + late + ";" + testing_support::env("PATH")).c_str());
        WritePrivateProfileStringA("FASM", "PATH", nullptr, inst.addInsIni.c_str());
        std::string shown, answer;
        host->answer(Answer::press(IDYES));
        host->answer(Answer::run([&](HWND dialog) {
            char text[MAX_PATH] = "";
            GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, text, sizeof text);
            shown = text;
            GetDlgItemTextA(dialog, IDC_ASSEMBLER_ANSWER, text, sizeof text);
            answer = text;
            SendMessageA(GetDlgItem(dialog, shown.empty() ? IDCANCEL : IDOK), BM_CLICK, 0, 0);
        }));
        if (expected.empty())
            host->answer(Answer::press(IDNO));

        EXPECT_EQ(host->command(HC_BUILD), 1);

        EXPECT_STRCASEEQ(shown.c_str(), expected.c_str());
        EXPECT_EQ(host->pendingAnswers(), 0u);
        if (!expected.empty()) {
            EXPECT_EQ(answer, "flat assembler  version 1.73.32  (stand-in)");
            EXPECT_STRCASEEQ(testing_support::readIni(inst.addInsIni, "FASM", "PATH").c_str(),
                             expected.c_str());
            EXPECT_TRUE(contains(host->outputText(), "2 passes")) << host->outputText();
        } else {
            EXPECT_EQ(host->outputText(), "");
        }

        // The dialog the host opens shows the setting as stored.
        if (!expected.empty()) {
            WritePrivateProfileStringA("FASM", "PATH", nullptr, inst.addInsIni.c_str());
            host->answer(Answer::run([&](HWND dialog) {
                char text[MAX_PATH] = "?";
                GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, text, sizeof text);
                shown = text;
                SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            }));
            EXPECT_EQ(host->config(&host->handles, 0), 0);
            EXPECT_EQ(shown, "");
        }
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

}  // namespace

// GotoError: a build that failed with an error message goes on to its first
// error, as "Next error" would; anything else leaves the editors alone.
TEST_F(AssembleTest, GotoErrorTakesAFailedBuildToItsFirstError)
{
    setAssembler(fasm);
    openFasmProject();
    std::string faulty = writeSource("main.asm", FAULTY_SOURCE);
    HWND main = host->openChild(faulty, FILE_TYPE_ASSEMBLY, FAULTY_SOURCE);
    HWND other = host->openChild(folder + "\\other.asm", FILE_TYPE_ASSEMBLY, CLEAN_SOURCE);
    const int mistake = 3;  // the marked line of FAULTY_SOURCE
    struct Case {
        const char* stored;  // FASM/GotoError; "" none
        const char* arguments;
        const char* source;
        bool goes;
    } cases[] =
        {
            {"1", "", FAULTY_SOURCE, true},    {"", "", FAULTY_SOURCE, false},
            {"0", "", FAULTY_SOURCE, false},   {"2", "", FAULTY_SOURCE, false},
            {"1", "-m", FAULTY_SOURCE, false},  // the stand-in's usage, no error message
            {"1", "", CLEAN_SOURCE, false},
        };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("GotoError '") + c.stored + "', options '" + c.arguments + "'" +
                     (c.source == CLEAN_SOURCE ? ", clean" : ""));
        WritePrivateProfileStringA("FASM", "GotoError", c.stored[0] ? c.stored : nullptr,
                                   inst.addInsIni.c_str());
        writeSource("main.asm", c.source);
        host->openProject(projectFile, c.arguments, "");
        host->activate(other);
        size_t before = host->editorEvents(main).size();
        EXPECT_EQ(host->command(HC_BUILD), 1);
        const bool failed = c.source != CLEAN_SOURCE;
        EXPECT_EQ(host->outputPaneVisible(), failed);
        if (c.goes) {
            int error = outputLineOf("error: illegal instruction.");
            ASSERT_GT(error, 0) << host->outputText();
            EXPECT_EQ(host->statusText(4), "Error 1 of 1");
            EXPECT_EQ(host->highlightedOutputLine(), error);
            EXPECT_EQ(host->activeChild(), main);
            EXPECT_EQ(host->caretLine(main), mistake);
            std::vector<EditorEvent> got(host->editorEvents(main).begin() + (ptrdiff_t)before,
                                         host->editorEvents(main).end());
            EXPECT_TRUE(hasEvent(got, HEM_SETLINEMARK, (WPARAM)mistake, HEM_MARK_ERROR));
        } else {
            EXPECT_EQ(host->statusText(4), "FASM");
            EXPECT_EQ(host->activeChild(), other);
            std::vector<EditorEvent> got(host->editorEvents(main).begin() + (ptrdiff_t)before,
                                         host->editorEvents(main).end());
            EXPECT_EQ(countEvents(got, HEM_SETLINEMARK), 0);
        }
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}
