// The sample project built with a real flat assembler, when one is at hand:
// set FASM_EXE to its fasm.exe (a Windows path, or a Unix path that Wine
// maps through Z:). The sample's one mistake must come back as an error line
// that leads to the right line of the right editor.
#include "tests/test_support.h"

#include <sstream>

using hostsim::EditorEvent;
using testing_support::AddInTest;
using testing_support::env;
using testing_support::fileExists;

namespace {

// A Unix path as Wine shows it to Windows programs.
std::string windowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

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

class RealFasmTest : public AddInTest {
protected:
    std::string fasm;

    void SetUp() override
    {
        AddInTest::SetUp();
        fasm = windowsPath(env("FASM_EXE"));
        if (fasm.empty())
            GTEST_SKIP() << "FASM_EXE is not set: set it to a flat assembler for Windows (fasm.exe) to build "
                            "with it";
        // The flat assembler for Windows is a 32-bit program.
        if (env("TORDEL_RUNS_32BIT") == "0")
            GTEST_SKIP() << "FASM_EXE is set, but this machine cannot execute 32-bit code, and " << fasm
                         << " is a 32-bit program: not run; the stand-in's tests cover the build";
        ASSERT_TRUE(fileExists(fasm)) << "FASM_EXE names no file: " << fasm;
    }

    bool marked(HWND child, int line)
    {
        for (const EditorEvent& e : host->editorEvents(child))
            if (e.message == HEM_SETLINEMARK && e.wParam == (WPARAM)line && e.lParam == HEM_MARK_ERROR)
                return true;
        return false;
    }
};

TEST_F(RealFasmTest, TheSampleProjectsMistakeLeadsToItsSourceLine)
{
    // The sample includes win32a.inc, which the assembler finds through INCLUDE.
    std::string fasmFolder = fasm.substr(0, fasm.find_last_of("\\/"));
    if (env("INCLUDE").empty() && fileExists(fasmFolder + "\\INCLUDE\\win32a.inc"))
        SetEnvironmentVariableA("INCLUDE", (fasmFolder + "\\INCLUDE").c_str());
    if (env("INCLUDE").empty())
        GTEST_SKIP() << "no INCLUDE folder with win32a.inc beside " << fasm << " and INCLUDE is not set";

    // A copy of the sample, so that the assembler's output stays out of the source tree.
    std::string sample = env("TORDEL_SOURCE") + "\\examples\\hello";
    std::string folder = hostsim::tempFolder("hello");
    ASSERT_FALSE(folder.empty());
    for (const char* name : {"hello.prj", "hello.asm", "hello.rc", "run.bat"})
        ASSERT_TRUE(CopyFileA((sample + "\\" + name).c_str(), (folder + "\\" + name).c_str(), FALSE))
            << sample << "\\" << name << ": error " << GetLastError();
    std::string source = folder + "\\hello.asm";
    std::vector<std::string> lines = splitLines(hostsim::readFile(source));
    int mistake = -1;  // zero-based line of the marked mistake
    for (size_t i = 0; i < lines.size() && mistake < 0; ++i)
        if (lines[i].find("; stand-in: error") != std::string::npos &&
            lines[i].find("mvo") != std::string::npos)
            mistake = (int)i;
    ASSERT_GE(mistake, 0) << "the sample lost its marked mistake";

    setAssembler(fasm);
    load();
    host->openProject(folder + "\\hello.prj");
    ASSERT_EQ(host->statusText(4), "FASM");
    HWND script = host->openChild(folder + "\\hello.rc", FILE_TYPE_RESOURCE_SCRIPT,
                                  hostsim::readFile(folder + "\\hello.rc"));
    HWND editor = host->openChild(source, FILE_TYPE_ASSEMBLY, hostsim::readFile(source));
    host->activate(script);
    ShowWindow(host->outputPane(), SW_HIDE);

    EXPECT_EQ(host->command(HC_ASSEMBLE), 1);

    std::string out = host->outputText();
    std::vector<std::string> outputLines = splitLines(out);
    int place = -1, error = -1;
    std::string placeText = source + " [" + std::to_string(mistake + 1) + "]";
    for (size_t i = 0; i < outputLines.size(); ++i) {
        if (place < 0 && outputLines[i].compare(0, placeText.size(), placeText) == 0)
            place = (int)i;
        if (error < 0 && outputLines[i].find("error:") != std::string::npos)
            error = (int)i;
    }
    ASSERT_GE(place, 0) << "no line naming " << placeText << " in:\n" << out;
    ASSERT_GT(error, place) << out;
    EXPECT_EQ(host->highlightedOutputLine(), error);
    EXPECT_TRUE(host->outputPaneVisible());
    EXPECT_EQ(host->statusText(4), "FASM");

    EXPECT_EQ(host->doubleClickOutputLine(place), 1);
    EXPECT_TRUE(marked(editor, mistake)) << "line index " << mistake;
    for (const EditorEvent& e : host->editorEvents(script))
        EXPECT_NE(e.message, (UINT)HEM_SETLINEMARK);
    EXPECT_EQ(host->activeChild(), editor);
    EXPECT_EQ(host->caretLine(editor), mistake);
    EXPECT_EQ(host->highlightedOutputLine(), place);
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

    setAssembler(fasm);
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

}  // namespace
