// Real projects built with the real assemblers users run, through the host's
// commands: the flat assembler 1.73 (its own 30-file source among them) and
// fasm g's fasm2. They are 32-bit Windows programs, so these tests run in the
// i686 suite where this machine executes 32-bit code. FASM_EXE names the
// flat assembler (fasm.exe) and FASM2_CMD fasm2's fasm2.cmd, as Windows
// paths or as Unix paths that Wine maps through Z:; the test command points
// them at ../shared/assemblers when they are at hand there. Everything a test
// builds is a copy in a fresh temporary folder.
#include "tests/test_support.h"

#include "setup/setup_ids.h"

#include <string.h>

#include <sstream>

using hostsim::EditorEvent;
using testing_support::AddInTest;
using testing_support::env;
using testing_support::fileExists;

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Index of the first line holding `part`, searching from `from`; -1 when none.
int lineHolding(const std::vector<std::string>& lines, const std::string& part, int from = 0)
{
    for (size_t i = (size_t)from; i < lines.size(); ++i)
        if (lines[i].find(part) != std::string::npos)
            return (int)i;
    return -1;
}

// Runs a command line in a folder, its output going nowhere, and waits for it;
// the exit code, or -1 when it could not start.
long runDirectly(std::string commandLine, const std::string& folder)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.hStdOutput = startup.hStdError = nul;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  folder.c_str(), &startup, &process);
    CloseHandle(nul);
    if (!started)
        return -1;
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return (long)code;
}

// Offset of the PE header in a program's bytes, or 0 when it has none.
size_t peHeader(const std::string& image)
{
    if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0)
        return 0;
    size_t at =
        (unsigned char)image[0x3C] | (unsigned char)image[0x3D] << 8 | (unsigned char)image[0x3E] << 16;
    return at + 0x60 <= image.size() && image.compare(at, 4, std::string("PE\0\0", 4)) == 0 ? at : 0;
}

unsigned word(const std::string& image, size_t at)
{
    return (unsigned char)image[at] | (unsigned)(unsigned char)image[at + 1] << 8;
}

// The image with its link time and the checksum that covers it zeroed: what
// two builds of the same sources must agree on.
std::string withoutTimeStamp(std::string image)
{
    size_t pe = peHeader(image);
    if (pe) {
        image.replace(pe + 8, 4, 4, '\0');        // TimeDateStamp
        image.replace(pe + 24 + 64, 4, 4, '\0');  // CheckSum of the optional header
    }
    return image;
}

// The second line of the output: the command line the runner echoed.
std::string echoedCommandLine(const std::string& output)
{
    std::vector<std::string> lines = splitLines(output);
    return lines.size() > 1 ? lines[1] : std::string();
}

// A Windows program as users write it, with the headers' macros (invoke,
// stdcall, proc with locals, struct) and a macro of the project's own
// include file; both assemblers build it clean.
const char PLANTED_PROGRAM[] = "format PE GUI 4.0\r\n"
                               "entry start\r\n"
                               "\r\n"
                               "include 'win32a.inc'\r\n"
                               "include 'inc\\macros.inc'\r\n"
                               "\r\n"
                               "struct PAIR\r\n"
                               "  first  dd ?\r\n"
                               "  second dd ?\r\n"
                               "ends\r\n"
                               "\r\n"
                               "section '.text' code readable executable\r\n"
                               "\r\n"
                               "  start:\r\n"
                               "        invoke  MessageBox,HWND_DESKTOP,message,caption,MB_OK\r\n"
                               "        stdcall Sum,2,3\r\n"
                               "        setreg  eax,1\r\n"
                               "        invoke  ExitProcess,0\r\n"
                               "\r\n"
                               "proc Sum a,b\r\n"
                               "  locals\r\n"
                               "    total dd ?\r\n"
                               "  endl\r\n"
                               "        mov     eax,[a]\r\n"
                               "        add     eax,[b]\r\n"
                               "        mov     [total],eax\r\n"
                               "        ret\r\n"
                               "endp\r\n"
                               "\r\n"
                               "section '.data' data readable writeable\r\n"
                               "\r\n"
                               "  caption db 'planted',0\r\n"
                               "  message db 'A program with one mistake planted at a time.',0\r\n"
                               "  pair PAIR\r\n"
                               "\r\n"
                               "section '.idata' import data readable writeable\r\n"
                               "\r\n"
                               "  library kernel32,'KERNEL32.DLL',\\\r\n"
                               "          user32,'USER32.DLL'\r\n"
                               "\r\n"
                               "  import kernel32,\\\r\n"
                               "         ExitProcess,'ExitProcess'\r\n"
                               "\r\n"
                               "  import user32,\\\r\n"
                               "         MessageBox,'MessageBoxA'\r\n";
// The project's own macro, in each assembler's syntax.
const char OWN_MACROS_FASM1[] = "macro setreg reg,value\r\n{\r\n        mov     reg,value\r\n}\r\n";
const char OWN_MACROS_FASM2[] = "macro setreg reg,value\r\n        mov     reg,value\r\nend macro\r\n";

// Where a real assembler is, and whether it can run here; skips the test
// with the reason when it cannot.
class RealAssemblerTest : public AddInTest {
protected:
    std::string assembler;

    // variable: the environment variable naming it; what: how to name it to the reader.
    void findAssembler(const char* variable, const char* what)
    {
        assembler = hostsim::windowsPathOf(env(variable));
        if (assembler.empty())
            GTEST_SKIP() << variable << " is not set and ../shared/assemblers has no " << what
                         << ": no real assembler at hand";
        if (env("TORDEL_RUNS_32BIT") == "0")
            GTEST_SKIP() << "this machine cannot execute 32-bit code, and " << what
                         << " is a 32-bit program; the stand-in's tests cover the build";
        if (env("TORDEL_TARGET") != "i686")
            GTEST_SKIP() << "real assemblers run in the i686 suite, the shipped DLL's";
        ASSERT_TRUE(fileExists(assembler)) << variable << " names no file: " << assembler;
    }

    // What the setup dialog shows under the assembler's path when it opens.
    std::string setupDialogAnswer()
    {
        std::string answer = "<no dialog>";
        host->answer(hostsim::Answer::run([&](HWND dialog) {
            char text[256] = "";
            GetDlgItemTextA(dialog, IDC_ASSEMBLER_ANSWER, text, sizeof text);
            answer = text;
            EndDialog(dialog, 0);
        }));
        host->config(&host->handles, 0);
        return answer;
    }

    // Whether the child's editor got the error mark on line since its event `from`.
    bool marked(HWND child, int line, size_t from = 0)
    {
        const std::vector<EditorEvent>& events = host->editorEvents(child);
        for (size_t i = from; i < events.size(); ++i)
            if (events[i].message == HEM_SETLINEMARK && events[i].wParam == (WPARAM)line &&
                events[i].lParam == HEM_MARK_ERROR)
                return true;
        return false;
    }

    // A project file naming FASM in folder.
    std::string writeProject(const std::string& folder, const std::string& name)
    {
        std::string file = folder + "\\" + name + ".prj";
        EXPECT_TRUE(WritePrivateProfileStringA("PROJECT", "Compiler", "FASM", file.c_str())) << file;
        return file;
    }

    // A project folder holding files (relative name, text), opened as the
    // host opens it: the first `opened` files (all when -1) as documents, in
    // the order of files, the first the main source.
    std::vector<HWND> openProject(const std::string& folder,
                                  const std::vector<std::pair<std::string, std::string>>& files,
                                  int opened = -1)
    {
        std::vector<HWND> documents;
        for (const auto& file : files) {
            std::string path = folder + "\\" + file.first;
            size_t slash = file.first.find('\\');
            if (slash != std::string::npos)
                CreateDirectoryA((folder + "\\" + file.first.substr(0, slash)).c_str(), nullptr);
            EXPECT_TRUE(hostsim::writeFile(path, file.second)) << path;
        }
        host->openProject(writeProject(folder, "proj"), "", (folder + "\\proj.exe").c_str());
        for (size_t i = 0; i < files.size() && (opened < 0 || (int)i < opened); ++i)
            documents.push_back(
                host->openChild(folder + "\\" + files[i].first, FILE_TYPE_ASSEMBLY, files[i].second));
        return documents;
    }

    // examples/hello with its planted mistake corrected builds a 32-bit GUI
    // program through Build; with the mistake, the highlighted error line
    // and the place line above it lead to it.
    void checkSample()
    {
        std::string folder = hostsim::tempFolder("hello-fasm2");
        ASSERT_EQ(hostsim::copyFolder(env("TORDEL_SOURCE") + "\\examples\\hello", folder), "");
        const std::string source = folder + "\\hello.asm", script = folder + "\\hello.rc";
        const std::string program = folder + "\\hello.exe";
        const std::string withMistake = hostsim::readFile(source);
        std::vector<std::string> lines = splitLines(withMistake);
        const int mistake = lineHolding(lines, "mvo ");
        ASSERT_GE(mistake, 0) << "the sample lost its planted mistake";
        std::string corrected = withMistake;
        corrected.replace(corrected.find("mvo "), 4, "mov ");
        ASSERT_TRUE(hostsim::writeFile(source, corrected));

        host->openProject(folder + "\\hello.prj", "", program.c_str());
        HWND editor = host->openChild(source, FILE_TYPE_ASSEMBLY, corrected);
        HWND scriptDoc = host->openChild(script, FILE_TYPE_RESOURCE_SCRIPT, hostsim::readFile(script));
        host->activate(scriptDoc);

        EXPECT_EQ(host->command(HC_BUILD), 1);
        std::string out = host->outputText();
        EXPECT_EQ(out.find("rror:"), std::string::npos) << out;
        EXPECT_FALSE(host->outputPaneVisible()) << out;
        EXPECT_EQ(host->statusText(4), "FASM");
        // A 32-bit GUI program: i386, PE32, the Windows GUI subsystem.
        std::string image = hostsim::readFile(program);
        size_t pe = peHeader(image);
        ASSERT_NE(pe, 0u) << program << " is no program (" << image.size() << " bytes)\n" << out;
        EXPECT_EQ(word(image, pe + 4), 0x14Cu);
        EXPECT_EQ(word(image, pe + 24), 0x10Bu);
        EXPECT_EQ(word(image, pe + 24 + 68), (unsigned)IMAGE_SUBSYSTEM_WINDOWS_GUI);

        ASSERT_TRUE(hostsim::writeFile(source, withMistake));
        EXPECT_EQ(host->command(HC_BUILD), 1);
        std::vector<std::string> output = splitLines(host->outputText());
        int error = host->highlightedOutputLine();
        ASSERT_GE(error, 0) << host->outputText();
        EXPECT_NE(output[(size_t)error].find("rror: "), std::string::npos) << output[(size_t)error];
        EXPECT_TRUE(host->outputPaneVisible());
        int place = lineHolding(output, source + " [" + std::to_string(mistake + 1) + "]:");
        ASSERT_GE(place, 0) << host->outputText();
        expectLeadsTo(error, editor, mistake, {scriptDoc});
        expectLeadsTo(place, editor, mistake, {scriptDoc});
    }

    // A few programs of the flat assembler's Windows package, copied as they
    // are, build clean through Build: 32-bit programs, the pane hidden.
    void checkExamples()
    {
        if (env("FASM_EXE").empty())
            GTEST_SKIP() << "the examples are the flat assembler's, and FASM_EXE names none";
        const std::string examples = sharedFasm() + "\\EXAMPLES";
        if (!fileExists(examples + "\\HELLO\\HELLO.ASM"))
            GTEST_SKIP() << "the flat assembler's examples are not in " << examples;
        for (const char* example :
             {"HELLO\\HELLO.ASM", "TEMPLATE\\TEMPLATE.ASM", "DIALOG\\DIALOG.ASM", "MINIPAD\\MINIPAD.ASM"}) {
            SCOPED_TRACE(example);
            const std::string name = example, folderName = name.substr(0, name.find('\\'));
            const std::string folder = hostsim::tempFolder("example");
            ASSERT_EQ(hostsim::copyFolder(examples + "\\" + folderName, folder), "");
            const std::string source = folder + name.substr(name.find('\\'));
            const std::string program = folder + "\\" + folderName + ".EXE";
            host->openProject(writeProject(folder, folderName), "", program.c_str());
            HWND editor = host->openChild(source, FILE_TYPE_ASSEMBLY, hostsim::readFile(source));
            EXPECT_EQ(host->command(HC_BUILD), 1);
            const std::string out = host->outputText();
            EXPECT_EQ(out.find("rror:"), std::string::npos) << out;
            EXPECT_FALSE(host->outputPaneVisible()) << out;
            const std::string image = hostsim::readFile(program);
            const size_t pe = peHeader(image);
            ASSERT_NE(pe, 0u) << program << " is no program\n" << out;
            EXPECT_EQ(word(image, pe + 4), 0x14Cu);
            host->closeChild(editor);
        }
    }

    // The flat assembler's package beside FASM_EXE (the headers in INCLUDE,
    // the examples in EXAMPLES), as a Windows path.
    std::string sharedFasm()
    {
        std::string fasm = hostsim::windowsPathOf(env("FASM_EXE"));
        return fasm.substr(0, fasm.find_last_of("\\/"));
    }

    // A Windows program as users write them, one mistake planted at a time:
    // each case's error must lead to the user's own line with only the
    // user's sources open, however deep in the headers' macros the assembler
    // found it. fasm1: which assembler, for what each one names.
    void checkPlantedMistakes(bool fasm1)
    {
        struct Place {
            int file;          // 0 main.asm, 1 inc\\macros.inc
            const char* text;  // what the line holds
        };
        struct Case {
            const char* label;
            int file;  // where the mistake goes
            const char* from;
            const char* to;
            bool includeOpen;
            Place fasm1, fasm2;
        } cases[] = {
            {"invoke: an undefined constant",
             0,
             "caption,MB_OK",
             "caption,MB_OKK",
             false,
             {0, "MB_OKK"},
             {0, "MB_OKK"}},
            {"stdcall: an undefined argument",
             0,
             "Sum,2,3",
             "Sum,2,three",
             false,
             {0, "three"},
             {0, "three"}},
            {"proc: a bad local", 0, "total dd ?", "total dd ?,", true, {0, "total dd"}, {0, "total dd"}},
            // fasm 1 names the line that ends the definition, fasm g the field.
            {"struct: a bad field", 0, "second dd ?", "second dd ?,?,", true, {0, "ends"}, {0, "second dd"}},
            {"a macro of the project's include, misused",
             0,
             "setreg  eax,1",
             "setreg  eax,one",
             false,
             {0, "setreg  eax,one"},
             {0, "setreg  eax,one"}},
            // fasm g names no file for a macro's own lines, only the line using it.
            {"a mistake inside the open include's macro",
             1,
             "mov     reg,value",
             "mov     reg,value,value",
             true,
             {1, "reg,value,value"},
             {0, "setreg  eax,1"}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label);
            std::string texts[2] = {PLANTED_PROGRAM, fasm1 ? OWN_MACROS_FASM1 : OWN_MACROS_FASM2};
            const size_t at = texts[c.file].find(c.from);
            ASSERT_NE(at, std::string::npos) << c.from;
            texts[c.file].replace(at, strlen(c.from), c.to);
            const std::string folder = hostsim::tempFolder("planted");
            std::vector<HWND> docs = openProject(
                folder, {{"main.asm", texts[0]}, {"inc\\macros.inc", texts[1]}}, c.includeOpen ? 2 : 1);
            host->activate(docs[0]);
            EXPECT_EQ(host->command(HC_BUILD), 1);
            const int error = host->highlightedOutputLine();
            ASSERT_GE(error, 0) << host->outputText();
            const std::vector<std::string> out = splitLines(host->outputText());
            EXPECT_NE(out[(size_t)error].find("rror: "), std::string::npos) << host->outputText();
            const Place& place = fasm1 ? c.fasm1 : c.fasm2;
            const int line = lineHolding(splitLines(texts[place.file]), place.text);
            ASSERT_GE(line, 0) << place.text;
            std::vector<HWND> others(docs);
            others.erase(others.begin() + place.file);
            expectLeadsTo(error, docs[(size_t)place.file], line, others);
            for (HWND doc : docs)
                host->closeChild(doc);
        }
    }

    // A double-click on line leads to line index `mistake` of target: marked,
    // the caret there, its window in front; no other document touched.
    void expectLeadsTo(int line, HWND target, int mistake, const std::vector<HWND>& others)
    {
        std::vector<std::string> lines = splitLines(host->outputText());
        ASSERT_GE(line, 0) << host->outputText();
        SCOPED_TRACE("double-click on \"" + lines[(size_t)line] + "\"");
        host->activate(others.empty() ? target : others[0]);
        std::vector<size_t> before;
        for (HWND other : others)
            before.push_back(host->editorEvents(other).size());
        size_t targetBefore = host->editorEvents(target).size();
        EXPECT_EQ(host->doubleClickOutputLine(line), 1);
        EXPECT_TRUE(marked(target, mistake, targetBefore)) << "line index " << mistake << "\n"
                                                           << host->outputText();
        EXPECT_EQ(host->caretLine(target), mistake);
        EXPECT_EQ(host->activeChild(), target);
        EXPECT_EQ(host->highlightedOutputLine(), line);
        for (size_t i = 0; i < others.size(); ++i)
            EXPECT_EQ(host->editorEvents(others[i]).size(), before[i]) << "another editor was touched";
    }
};

// ---- the flat assembler 1.73 ----

class RealFasmTest : public RealAssemblerTest {
protected:
    std::string includeBefore;
    bool hadInclude = false;

    // Nothing is set by hand: the host has no INCLUDE of its own.
    void SetUp() override
    {
        AddInTest::SetUp();
        findAssembler("FASM_EXE", "the flat assembler (fasm/FASM.EXE)");
        hadInclude = GetEnvironmentVariableA("INCLUDE", nullptr, 0) > 0;
        includeBefore = env("INCLUDE");
        SetEnvironmentVariableA("INCLUDE", nullptr);
    }

    void TearDown() override
    {
        SetEnvironmentVariableA("INCLUDE", hadInclude ? includeBefore.c_str() : nullptr);
        RealAssemblerTest::TearDown();
    }

    // The flat assembler finds win32a.inc and the rest in the package's
    // INCLUDE folder beside FASM.EXE, which the add-in gives it.
    void useHeaders()
    {
        const std::string headers = sharedFasm() + "\\INCLUDE";
        if (!fileExists(headers + "\\WIN32A.INC"))
            GTEST_SKIP() << "the flat assembler's Windows headers are not in " << headers;
        setAssembler(assembler);
        load();
    }
};

TEST_F(RealFasmTest, TheSampleBuildsCleanAndItsMistakeIsNavigated)
{
    useHeaders();
    if (!IsSkipped() && !HasFatalFailure())
        checkSample();
}

TEST_F(RealFasmTest, ExamplesOfTheWindowsPackageBuildClean)
{
    useHeaders();
    if (!IsSkipped() && !HasFatalFailure())
        checkExamples();
}

TEST_F(RealFasmTest, MistakesThroughMacrosLeadToTheUsersLine)
{
    useHeaders();
    if (!IsSkipped() && !HasFatalFailure())
        checkPlantedMistakes(true);
}

// The headers' folder: the INCLUDE folder beside FASM.EXE unless the setting
// names another, and the host's own INCLUDE searched after it.
TEST_F(RealFasmTest, TheHeadersComeFromTheSettingOrBesideItAndTheHostsIncludeAfter)
{
    useHeaders();
    if (IsSkipped() || HasFatalFailure())
        return;
    const std::string mine = hostsim::tempFolder("mine"), theirs = hostsim::tempFolder("theirs");
    ASSERT_TRUE(hostsim::writeFile(mine + "\\mine.inc", "MINE = 1\r\n"));
    ASSERT_TRUE(hostsim::writeFile(mine + "\\both.inc", "BOTH = 1\r\n"));
    ASSERT_TRUE(hostsim::writeFile(theirs + "\\theirs.inc", "THEIRS = 1\r\n"));
    ASSERT_TRUE(hostsim::writeFile(theirs + "\\both.inc", "\tmov eax,ebx,ecx\r\n"));
    struct Case {
        const char* label;
        const char* includes;  // the source's include lines
        const std::string setting, inherited;
        bool builds;
    } cases[] = {
        {"beside FASM.EXE", "include 'win32a.inc'\r\n", "", "", true},
        {"the setting", "include 'mine.inc'\r\n", mine, "", true},
        {"the setting instead of the folder beside it", "include 'win32a.inc'\r\n", mine, "", false},
        {"the host's after the folder beside it", "include 'win32a.inc'\r\ninclude 'theirs.inc'\r\n", "",
         theirs, true},
        {"the setting before the host's", "include 'both.inc'\r\n", mine, theirs, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        testing_support::writeIni(inst.addInsIni, "FASM", "INCLUDE", c.setting.c_str());
        SetEnvironmentVariableA("INCLUDE", c.inherited.empty() ? nullptr : c.inherited.c_str());
        const std::string folder = hostsim::tempFolder("headers");
        std::vector<HWND> docs =
            openProject(folder, {{"main.asm", std::string("format binary\r\n") + c.includes + "\tnop\r\n"}});
        EXPECT_EQ(host->command(HC_BUILD), 1);
        const std::string out = host->outputText();
        if (c.builds) {
            EXPECT_EQ(out.find("rror:"), std::string::npos) << out;
            EXPECT_TRUE(fileExists(folder + "\\proj.exe")) << out;
        } else {
            EXPECT_NE(out.find("error: file not found."), std::string::npos) << out;
        }
        EXPECT_EQ(env("INCLUDE"), c.inherited);
        host->closeChild(docs[0]);
    }
}

// The setup dialog shows what the assembler answers.
TEST_F(RealFasmTest, TheSetupDialogShowsItsVersion)
{
    setAssembler(assembler);
    load();
    EXPECT_EQ(setupDialogAnswer(), "flat assembler  version 1.73.34");
}

// The flat assembler's own source beside its FASM.EXE: SOURCE\WIN32\FASM.ASM
// includes ..\errors.inc and 28 other files, written in lower case while the
// files on disk are upper case.
class RealFasmSourceTest : public RealFasmTest {
protected:
    std::string folder, mainSource, errorsInc, systemInc, output;
    HWND mainDoc = nullptr, errorsDoc = nullptr, systemDoc = nullptr;

    void SetUp() override
    {
        RealFasmTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string source = assembler.substr(0, assembler.find_last_of("\\/")) + "\\SOURCE";
        ASSERT_TRUE(fileExists(source + "\\WIN32\\FASM.ASM"))
            << "no flat assembler source beside " << assembler;
        folder = hostsim::tempFolder("fasm-source");
        ASSERT_EQ(hostsim::copyFolder(source, folder + "\\SOURCE"), "");
        mainSource = folder + "\\SOURCE\\WIN32\\FASM.ASM";
        errorsInc = folder + "\\SOURCE\\ERRORS.INC";
        systemInc = folder + "\\SOURCE\\WIN32\\SYSTEM.INC";
        output = folder + "\\fasm.exe";
        setAssembler(assembler);
        load();
    }

    // Opens the project as the host does, the main source first.
    void openProject()
    {
        host->openProject(writeProject(folder, "fasm"), "", output.c_str());
        mainDoc = host->openChild(mainSource, FILE_TYPE_ASSEMBLY, hostsim::readFile(mainSource));
        errorsDoc = host->openChild(errorsInc, FILE_TYPE_ASSEMBLY, hostsim::readFile(errorsInc));
        systemDoc = host->openChild(systemInc, FILE_TYPE_ASSEMBLY, hostsim::readFile(systemInc));
        host->activate(systemDoc);
        ShowWindow(host->outputPane(), SW_RESTORE);
    }
};

TEST_F(RealFasmSourceTest, BuildsThroughBuildAsItDoesDirectly)
{
    openProject();
    EXPECT_EQ(host->command(HC_BUILD), 1);
    std::string out = host->outputText();
    EXPECT_EQ(out.find("error:"), std::string::npos) << out;
    EXPECT_NE(out.find("5 passes"), std::string::npos) << out;
    EXPECT_FALSE(host->outputPaneVisible()) << out;
    EXPECT_EQ(host->statusText(4), "FASM");
    EXPECT_EQ(host->highlightedOutputLine(), -1);

    // The run guard lets the host run the program without asking.
    size_t dialogs = host->dialogs.size(), commands = host->hostCommands.size();
    EXPECT_EQ(host->command(HC_RUN), 0);
    EXPECT_EQ(host->dialogs.size(), dialogs);
    ASSERT_EQ(host->hostCommands.size(), commands + 1);
    EXPECT_EQ(host->hostCommands.back(), (UINT)HC_RUN);

    // The same command run directly gives the same program, but for its link time.
    std::string built = hostsim::readFile(output);
    ASSERT_NE(peHeader(built), 0u) << output << " is no program (" << built.size() << " bytes)";
    std::string commandLine = echoedCommandLine(out);
    ASSERT_NE(commandLine.find(mainSource), std::string::npos) << out;
    ASSERT_TRUE(DeleteFileA(output.c_str()));
    EXPECT_EQ(runDirectly(commandLine, folder), 0) << commandLine;
    std::string direct = hostsim::readFile(output);
    EXPECT_EQ(direct.size(), built.size());
    EXPECT_TRUE(withoutTimeStamp(direct) == withoutTimeStamp(built)) << "the two builds differ";
}

TEST_F(RealFasmSourceTest, AnErrorInAnIncludedFileLeadsToItsEditor)
{
    // Line 8 of ERRORS.INC, "\tjmp\tfatal_error", gets an operand too many.
    std::vector<std::string> lines = splitLines(hostsim::readFile(errorsInc));
    ASSERT_GT(lines.size(), 8u);
    ASSERT_EQ(lines[7], "\tjmp\tfatal_error");
    lines[7] += ",ebx";
    std::string planted;
    for (const std::string& line : lines)
        planted += line + "\n";
    ASSERT_TRUE(hostsim::writeFile(errorsInc, planted));
    openProject();

    EXPECT_EQ(host->command(HC_BUILD), 1);
    std::vector<std::string> out = splitLines(host->outputText());
    int error = host->highlightedOutputLine();
    ASSERT_GE(error, 0) << host->outputText();
    EXPECT_TRUE(startsWith(out[(size_t)error], "error: extra characters on line.")) << out[(size_t)error];
    EXPECT_TRUE(host->outputPaneVisible());
    EXPECT_EQ(host->statusText(4), "FASM");
    int place = lineHolding(out, "\\errors.inc [8]:");
    ASSERT_GE(place, 0) << host->outputText();
    ASSERT_LT(place, error);

    expectLeadsTo(error, errorsDoc, 7, {mainDoc, systemDoc});
    expectLeadsTo(place, errorsDoc, 7, {mainDoc, systemDoc});
}

// The include as a source may write it: '/' and another letter case than
// the file on disk. The assembler names the included file that way, and both
// the place line and the error message below it must reach its editor.
TEST_F(RealFasmTest, AMistakeInAnIncludedFileLeadsToThatFilesEditor)
{
    std::string project = makeProject("FASM", "include");
    std::string folder = project.substr(0, project.rfind('\\'));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\inc").c_str(), nullptr));
    const std::string mainText = "format binary\r\n\r\ninclude 'inc/Macros.inc'\r\n\r\n\tnop\r\n\tmymac\r\n";
    const std::string macrosText = "macro mymac\r\n{\r\n\tmov eax,1\r\n\tmovv ebx,2\r\n}\r\n";
    const std::string mainPath = folder + "\\main.asm", macrosPath = folder + "\\inc\\macros.inc";
    ASSERT_TRUE(hostsim::writeFile(mainPath, mainText));
    ASSERT_TRUE(hostsim::writeFile(macrosPath, macrosText));
    const int mistake = 3;  // "movv ebx,2"
    ASSERT_EQ(splitLines(macrosText)[mistake], "\tmovv ebx,2");

    setAssembler(assembler);
    load();
    host->openProject(project);
    HWND mainDoc = host->openChild(mainPath, FILE_TYPE_ASSEMBLY, mainText);
    HWND macrosDoc = host->openChild(macrosPath, FILE_TYPE_ASSEMBLY, macrosText);
    host->activate(mainDoc);

    EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
    std::string out = host->outputText();
    std::vector<std::string> lines = splitLines(out);
    int error = host->highlightedOutputLine();
    ASSERT_GE(error, 0) << out;
    ASSERT_NE(lines[(size_t)error].find("error:"), std::string::npos) << out;
    int place = -1;
    for (int i = error - 1; i >= 0 && place < 0; --i)
        if (lines[(size_t)i].find("acros.inc [") != std::string::npos)
            place = i;
    ASSERT_GE(place, 0) << "no line naming the included file above the error in:\n" << out;
    EXPECT_NE(lines[(size_t)place].rfind(macrosPath + " [", 0), 0u)
        << "the assembler printed the editor's own path, so this does not show another name of it:\n"
        << out;

    for (int line : {error, place}) {
        SCOPED_TRACE(lines[(size_t)line]);
        host->activate(mainDoc);
        size_t mainBefore = host->editorEvents(mainDoc).size();
        EXPECT_EQ(host->doubleClickOutputLine(line), 1);
        EXPECT_TRUE(marked(macrosDoc, mistake)) << out;
        EXPECT_EQ(host->caretLine(macrosDoc), mistake);
        EXPECT_EQ(host->activeChild(), macrosDoc);
        EXPECT_EQ(host->editorEvents(mainDoc).size(), mainBefore);
        EXPECT_EQ(host->highlightedOutputLine(), line);
    }
}

// ---- fasm2: fasm g with the x86 headers ----

class RealFasm2Test : public RealAssemblerTest {
protected:
    void SetUp() override
    {
        AddInTest::SetUp();
        findAssembler("FASM2_CMD", "fasm2 (fasm2/fasm2.cmd)");
        if (IsSkipped() || HasFatalFailure())
            return;
        // fasm g takes no -m: the project's options stay empty.
        setAssembler(assembler);
        load();
    }

    // main.asm with two mistakes, lines 5 and 6, and an include with one,
    // line 2: fasm g reports three errors, the include's first.
    std::vector<HWND> openThreeErrors(const std::string& folder)
    {
        return openProject(folder, {{"main.asm", "format binary\r\n\r\ninclude 'inc/x.inc'\r\n\tnop\r\n"
                                                 "\tmov eax,ebx,ecx\r\n\tfoo eax\r\n"},
                                    {"inc\\x.inc", "\tnop\r\n\tmov eax,ebx,ecx\r\n"}});
    }
};

TEST_F(RealFasm2Test, TheSampleBuildsCleanAndItsMistakeIsNavigated) { checkSample(); }

// The setup dialog shows fasm g's version for fasm2.cmd.
TEST_F(RealFasm2Test, TheSetupDialogShowsItsVersion)
{
    EXPECT_EQ(setupDialogAnswer(), "flat assembler  version g.l8vn");
}

// For fasmg.exe beside fasm2.cmd, the setup dialog says to choose fasm2.cmd.
TEST_F(RealFasm2Test, TheSetupDialogSendsFasmgToFasm2)
{
    const std::string fasmg = assembler.substr(0, assembler.find_last_of("\\/")) + "\\fasmg.exe";
    if (!fileExists(fasmg))
        GTEST_SKIP() << "no fasmg.exe beside " << assembler;
    setAssembler(fasmg);
    EXPECT_EQ(setupDialogAnswer(), testing_support::uiText("a4"));
}

TEST_F(RealFasm2Test, ExamplesOfTheWindowsPackageBuildClean) { checkExamples(); }

TEST_F(RealFasm2Test, MistakesThroughMacrosLeadToTheUsersLine) { checkPlantedMistakes(false); }

TEST_F(RealFasm2Test, AnErrorInAFileIncludedInsideAMacroLeadsToThatFile)
{
    std::string folder = hostsim::tempFolder("fasm2-macro");
    // The macro includes the file under another letter case than it has on disk.
    std::vector<HWND> docs = openProject(folder, {{"main.asm", "format binary\r\n\r\nmacro withinc\r\n"
                                                               "\tinclude 'inc/X.inc'\r\nend macro\r\n"
                                                               "\tnop\r\n\twithinc\r\n"},
                                                  {"inc\\x.inc", "\tnop\r\n\tmov eax,ebx,ecx\r\n"}});
    EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
    std::vector<std::string> output = splitLines(host->outputText());
    int error = host->highlightedOutputLine();
    ASSERT_GE(error, 0) << host->outputText();
    EXPECT_TRUE(startsWith(output[(size_t)error], "Error: extra characters on line.")) << host->outputText();
    // The heading names the whole chain: main.asm, the macro, the included file.
    int place =
        lineHolding(output, folder + "\\main.asm [7] macro withinc [1] " + folder + "\\inc/X.inc [2]:");
    ASSERT_GE(place, 0) << host->outputText();
    ASSERT_LT(place, error);
    expectLeadsTo(error, docs[1], 1, {docs[0]});
    expectLeadsTo(place, docs[1], 1, {docs[0]});
}

TEST_F(RealFasm2Test, EachOfThreeErrorsLeadsToItsOwnBlock)
{
    std::string folder = hostsim::tempFolder("fasm2-three");
    std::vector<HWND> docs = openThreeErrors(folder);
    EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
    std::vector<std::string> output = splitLines(host->outputText());
    std::vector<int> errors;
    for (int at = lineHolding(output, "Error: "); at >= 0; at = lineHolding(output, "Error: ", at + 1))
        errors.push_back(at);
    ASSERT_EQ(errors.size(), 3u) << host->outputText();
    EXPECT_EQ(host->highlightedOutputLine(), errors[0]);
    // In the order of the source: the include's line 2, then main.asm's lines 5 and 6.
    struct Expected {
        HWND document;
        int lineIndex;
        HWND other;
    } expected[] = {{docs[1], 1, docs[0]}, {docs[0], 4, docs[1]}, {docs[0], 5, docs[1]}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("error " + std::to_string(i + 1));
        expectLeadsTo(errors[i], expected[i].document, expected[i].lineIndex, {expected[i].other});
    }
}

// The walk through fasm g's errors with "Next error" and "Previous error",
// and a failed Build with GotoError on.
TEST_F(RealFasm2Test, NextAndPreviousErrorWalkTheThreeErrorsRound)
{
    std::string folder = hostsim::tempFolder("fasm2-walk");
    std::vector<HWND> docs = openThreeErrors(folder);
    WritePrivateProfileStringA("FASM", "GotoError", "1", inst.addInsIni.c_str());
    host->activate(docs[0]);
    EXPECT_EQ(host->command(HC_BUILD), 1);
    // The build went on to the first error: the include's line 2.
    EXPECT_EQ(host->statusText(4), "Error 1 of 3") << host->outputText();
    EXPECT_EQ(host->activeChild(), docs[1]);
    EXPECT_EQ(host->caretLine(docs[1]), 1);
    EXPECT_TRUE(host->outputPaneVisible());

    const UINT next = makeMenuItemId(NEXT_ERROR_ITEM), previous = makeMenuItemId(PREVIOUS_ERROR_ITEM);
    struct Step {
        UINT command;
        int document, lineIndex, ordinal;
    } steps[] = {{next, 0, 4, 2},     {next, 0, 5, 3},     {next, 1, 1, 1},
                 {previous, 0, 5, 3}, {previous, 0, 4, 2}, {previous, 1, 1, 1}};
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE("step " + std::to_string(i + 1));
        host->activate(docs[1 - s.document]);
        size_t before = host->editorEvents(docs[(size_t)s.document]).size();
        EXPECT_EQ(host->command(s.command, true), 1);
        EXPECT_EQ(host->statusText(4), "Error " + std::to_string(s.ordinal) + " of 3");
        EXPECT_TRUE(marked(docs[(size_t)s.document], s.lineIndex, before));
        EXPECT_EQ(host->caretLine(docs[(size_t)s.document]), s.lineIndex);
        EXPECT_EQ(host->activeChild(), docs[(size_t)s.document]);
        std::vector<std::string> output = splitLines(host->outputText());
        int highlighted = host->highlightedOutputLine();
        ASSERT_GE(highlighted, 0);
        EXPECT_TRUE(startsWith(output[(size_t)highlighted], "Error: ")) << output[(size_t)highlighted];
    }
}

}  // namespace
