// Double-clicking an assembler message in the output pane: which line is
// read, which open document it names, what that document's editor and the
// output control receive, and which lines are refused.
#include "tests/test_support.h"

#include "core/line_parse.h"

#include <stdint.h>

using hostsim::EditorEvent;
using testing_support::AddInTest;
using testing_support::toolPath;

namespace {

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

// Character position where a line starts in text made by joinLines.
LONG lineStart(const std::vector<std::string>& lines, int32_t line)
{
    LONG at = 0;
    for (int32_t i = 0; i < line; ++i)
        at += (LONG)lines[i].size() + 2;
    return at;
}

std::vector<std::string> numberedLines(int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back("source line " + std::to_string(i + 1) + std::string(i % 7, '.'));
    return lines;
}

bool sameEvent(const EditorEvent& e, UINT message, WPARAM wParam, LPARAM lParam)
{
    return e.message == message && e.wParam == wParam && e.lParam == lParam;
}

std::string describe(const std::vector<EditorEvent>& events)
{
    std::string s;
    for (const EditorEvent& e : events)
        s += "{" + std::to_string(e.message) + "," + std::to_string((long long)(int32_t)e.wParam) + "," +
             std::to_string((long long)e.lParam) + "} ";
    return s.empty() ? "(none)" : s;
}

class NavigationTest : public AddInTest {
protected:
    std::vector<std::string> documentText = numberedLines(30);

    void SetUp() override
    {
        AddInTest::SetUp();
        load();
        ASSERT_TRUE(host->outWindowProc);
    }

    HWND openDocument(const std::string& path, bool otherSet = false)
    {
        HWND child = host->openChild(path, FILE_TYPE_ASSEMBLY, joinLines(documentText), otherSet);
        EXPECT_TRUE(child) << path;
        return child;
    }

    // Events an editor or the output control received since a mark.
    static std::vector<EditorEvent> since(const std::vector<EditorEvent>& all, size_t mark)
    {
        return std::vector<EditorEvent>(all.begin() + (ptrdiff_t)mark, all.end());
    }

    // The one mark, caret and activation a matched document must get.
    void expectJumpedTo(HWND child, size_t eventsBefore, int32_t lineIndex)
    {
        std::vector<EditorEvent> got = since(host->editorEvents(child), eventsBefore);
        ASSERT_EQ(got.size(), 1u) << describe(got);
        EXPECT_TRUE(sameEvent(got[0], HEM_SETLINEMARK, (WPARAM)lineIndex, HEM_MARK_ERROR)) << describe(got);
        EXPECT_EQ(host->activeChild(), child);
        if (lineIndex >= 0 && lineIndex < (int32_t)documentText.size()) {
            CHARRANGE caret = host->editorSelection(child);
            LONG start = lineStart(documentText, lineIndex);
            EXPECT_EQ(caret.cpMin, start);
            EXPECT_EQ(caret.cpMax, start);
            EXPECT_EQ(host->caretLine(child), lineIndex);
        }
    }

    void expectUntouched(HWND child, size_t eventsBefore)
    {
        std::vector<EditorEvent> got = since(host->editorEvents(child), eventsBefore);
        EXPECT_TRUE(got.empty()) << describe(got);
    }

    // Of the documents, only target (none when null) was marked and got the
    // caret; without a target the bystander stays active.
    void expectOnlyJumped(const HWND* docs, const size_t* eventsBefore, int count, HWND target,
                          int32_t lineIndex, HWND bystander)
    {
        for (int d = 0; d < count; ++d) {
            if (docs[d] == target)
                expectJumpedTo(target, eventsBefore[d], lineIndex);
            else
                expectUntouched(docs[d], eventsBefore[d]);
        }
        if (!target)
            EXPECT_EQ(host->activeChild(), bystander);
    }

    // What the output control received for one double-click: the previous
    // line's highlight removed, then, when accepted, the clicked line highlighted.
    void expectOutputEvents(size_t before, int previousLine, int clickedLine, bool accepted)
    {
        std::vector<EditorEvent> got = since(host->outputEvents(), before);
        ASSERT_EQ(got.size(), accepted ? 2u : 1u) << describe(got);
        EXPECT_TRUE(sameEvent(got[0], HEM_SETLINEHIGHLIGHT, (WPARAM)previousLine, 0)) << describe(got);
        if (accepted)
            EXPECT_TRUE(sameEvent(got[1], HEM_SETLINEHIGHLIGHT, (WPARAM)clickedLine, 1)) << describe(got);
        EXPECT_EQ(host->highlightedOutputLine(), accepted ? clickedLine : -1);
    }
};

TEST_F(NavigationTest, LineFormsDecideTheDocumentAndTheLineIndex)
{
    const std::string asmPath = "C:\\src\\app.asm";
    HWND app = openDocument(asmPath);
    HWND appAs = openDocument("C:\\src\\app.as");  // what "app.asm[12]" names
    HWND root = openDocument("C:\\");              // what "C:\a[1]\..." names
    HWND bystander = openDocument("C:\\src\\other.asm");

    enum Target { NONE, APP, APP_AS, ROOT };
    struct Case {
        std::string line;
        LRESULT result;
        Target target;
        int32_t lineIndex;
    } cases[] = {
        {asmPath + " [12]: error text", 1, APP, 11},
        {"c:\\SRC\\App.asm [12]: error text", 1, NONE, 0},  // letter case differs, and no such file exists
        {asmPath + ":[12]", 1, APP, 11},
        {asmPath + "\t[12]", 1, APP, 11},
        {asmPath + "[12]", 1, APP_AS, 11},  // the last path character is taken for the separator
        {asmPath + " [1]", 1, APP, 0},
        {asmPath + " [30]", 1, APP, 29},
        {asmPath + " [0]", 1, APP, -1},
        {asmPath + " []", 1, APP, -1},
        {asmPath + " [007]", 1, APP, 6},
        {asmPath + " [99999]", 1, APP, 99998},           // beyond the end: passed on as it is
        {asmPath + " [2147483648]", 1, APP, INT32_MAX},  // 2^31
        {asmPath + " [4294967296]", 1, APP, -1},         // 2^32 wraps to 0
        {asmPath + " [4294967297]", 1, APP, 0},          // 2^32 + 1 wraps to 1
        {asmPath + " [99999999999]", 1, APP, (int32_t)(uint32_t)(99999999999ULL % 4294967296ULL) - 1},
        {asmPath + " [12] [13]", 1, APP, 11},  // the first bracket counts
        {"C:\\a[1]\\x.asm [5]", 1, ROOT, 0},   // so a path with '[' is never found
        {"[12]", 1, NONE, 0},                  // empty file name
        {"x[12]", 1, NONE, 0},
        {asmPath + " [12a]", 0, NONE, 0},
        {asmPath + " [12", 0, NONE, 0},
        {asmPath + " [ 12]", 0, NONE, 0},
        {asmPath + " [-1]", 0, NONE, 0},
        {asmPath + " [", 0, NONE, 0},
        {asmPath + " 12", 0, NONE, 0},
        {"", 0, NONE, 0},
        {"error: illegal instruction.", 0, NONE, 0},
    };
    std::vector<std::string> output;
    for (const Case& c : cases)
        output.push_back(c.line);
    host->setOutputText(joinLines(output));

    int previous = 0;  // nothing clicked since the load
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("line " + std::to_string(i) + ": \"" + c.line + "\"");
        host->activate(bystander);
        HWND target = c.target == APP ? app : c.target == APP_AS ? appAs : c.target == ROOT ? root : nullptr;
        size_t before[4] = {host->editorEvents(app).size(), host->editorEvents(appAs).size(),
                            host->editorEvents(root).size(), host->editorEvents(bystander).size()};
        size_t outputBefore = host->outputEvents().size();

        EXPECT_EQ(host->doubleClickOutputLine((int)i), c.result);

        expectOutputEvents(outputBefore, previous, (int)i, c.result == 1);
        HWND docs[4] = {app, appAs, root, bystander};
        expectOnlyJumped(docs, before, 4, target, c.lineIndex, bystander);
        previous = (int)i;
    }
}

TEST_F(NavigationTest, LinesOfUpTo255CharactersAreReadAndLongerOnesIgnored)
{
    // A path whose line "path [7]: " plus padding reaches the lengths around the buffer.
    const std::string path = "C:\\" + std::string(200, 'd') + "\\app.asm";
    HWND doc = openDocument(path);
    const std::string head = path + " [7]: ";
    ASSERT_LT(head.size(), 254u);
    struct Case {
        size_t length;
        LRESULT result;
    } cases[] = {{254, 1}, {255, 1}, {256, 0}, {257, 0}, {1000, 0}};
    std::vector<std::string> output;
    for (const Case& c : cases)
        output.push_back(head + std::string(c.length - head.size(), 'x'));
    host->setOutputText(joinLines(output));

    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE("line of " + std::to_string(cases[i].length) + " characters");
        ASSERT_EQ(output[i].size(), cases[i].length);
        size_t before = host->editorEvents(doc).size();
        EXPECT_EQ(host->doubleClickOutputLine((int)i), cases[i].result);
        if (cases[i].result)
            expectJumpedTo(doc, before, 6);
        else
            expectUntouched(doc, before);
    }
}

TEST_F(NavigationTest, LongPathsAreComparedWholeAndNeverCut)
{
    // 300 characters: longer than any line the pane reads.
    const std::string longPath = "C:\\" + std::string(280, 'p') + "\\long.asm" + std::string(8, 'q');
    ASSERT_EQ(longPath.size(), 300u);
    // A path that fits a readable line and is a prefix of the long one.
    const std::string prefix = longPath.substr(0, 250);
    HWND longDoc = openDocument(longPath);
    HWND prefixDoc = openDocument(prefix);
    host->setOutputText(joinLines({longPath + " [3]: error", prefix + " [3]", prefix + "x [3]"}));

    size_t longBefore = host->editorEvents(longDoc).size(),
           prefixBefore = host->editorEvents(prefixDoc).size();
    EXPECT_EQ(host->doubleClickOutputLine(0), 0);  // 309 characters
    expectUntouched(longDoc, longBefore);
    expectUntouched(prefixDoc, prefixBefore);

    EXPECT_EQ(host->doubleClickOutputLine(1), 1);
    expectJumpedTo(prefixDoc, prefixBefore, 2);
    expectUntouched(longDoc, longBefore);

    prefixBefore = host->editorEvents(prefixDoc).size();
    host->activate(longDoc);
    EXPECT_EQ(host->doubleClickOutputLine(2), 1);  // names no open document
    expectUntouched(longDoc, longBefore);
    expectUntouched(prefixDoc, prefixBefore);
    EXPECT_EQ(host->activeChild(), longDoc);
}

TEST_F(NavigationTest, OnlyTheFirstEnumeratedDocumentWithThePathIsMarked)
{
    const std::string path = "C:\\work\\twice.asm";
    HWND first = openDocument(path);
    HWND second = openDocument(path);
    HWND inOtherSet = openDocument(path, true);  // the jump looks in the project's set only
    host->setOutputText(path + " [4]: error");
    host->activate(second);

    size_t secondBefore = host->editorEvents(second).size(),
           otherBefore = host->editorEvents(inOtherSet).size();
    EXPECT_EQ(host->doubleClickOutputLine(0), 1);
    expectJumpedTo(first, 0, 3);
    expectUntouched(second, secondBefore);
    expectUntouched(inOtherSet, otherBefore);

    // With the first one closed the next one in order is found.
    host->closeChild(first);
    EXPECT_EQ(host->doubleClickOutputLine(0), 1);
    expectJumpedTo(second, secondBefore, 3);
    expectUntouched(inOtherSet, otherBefore);
}

TEST_F(NavigationTest, EachDoubleClickFirstRemovesThePreviousHighlight)
{
    const std::string path = "C:\\src\\hl.asm";
    HWND doc = openDocument(path);
    host->setOutputText(
        joinLines({"banner", path + " [2]:", "  mov ax,", "error: bad.", path + " [5]:", path + " [5"}));
    struct Step {
        int line;
        LRESULT result;
    } steps[] = {
        {1, 1}, {4, 1}, {4, 1},  // the same line again: removed, then highlighted anew
        {5, 0}, {0, 0},          // ignored lines are still remembered
        {1, 1},
    };
    int previous = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE("click on line " + std::to_string(s.line));
        size_t before = host->outputEvents().size();
        EXPECT_EQ(host->doubleClickOutputLine(s.line), s.result);
        expectOutputEvents(before, previous, s.line, s.result == 1);
        previous = s.line;
    }
    (void)doc;
}

TEST_F(NavigationTest, TheClickedLineIsTheOneHoldingTheSelectionStart)
{
    const std::string path = "C:\\src\\sel.asm";
    HWND doc = openDocument(path);
    std::vector<std::string> output = {path + " [1]", path + " [2]", path + " [3]", path + " [4]"};
    host->setOutputText(joinLines(output));
    // A selection from the middle of line 2 into line 3; the mouse position
    // handed over names line 0 and must not matter.
    LONG from = lineStart(output, 2) + 5, to = lineStart(output, 3) + 3;
    SendMessageA(host->outputControl(), EM_SETSEL, from, to);
    EXPECT_EQ(host->outWindowProc(host->outputControl(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(1, 1)), 1);
    expectJumpedTo(doc, 0, 2);
    EXPECT_EQ(host->highlightedOutputLine(), 2);
}

TEST_F(NavigationTest, TheMatchedDocumentBecomesTheActiveChild)
{
    const std::string path = "C:\\src\\act.asm";
    HWND doc = openDocument(path);
    HWND later = openDocument("C:\\src\\later.asm");  // opened last, so active
    ASSERT_EQ(host->activeChild(), later);
    host->setOutputText(path + " [9]: error");
    EXPECT_EQ(host->doubleClickOutputLine(0), 1);
    expectJumpedTo(doc, 0, 8);
    EXPECT_EQ((HWND)SendMessageA(host->mdiClient(), WM_MDIGETACTIVE, 0, 0), doc);
}

TEST_F(NavigationTest, NonAsciiPathsMatchByteForByte)
{
    // Ü and ü in the ANSI code page of the test locale.
    const std::string path = "C:\\J\xFCrgen\\\xDC"
                             "bung\\main.asm";
    HWND doc = openDocument(path);
    HWND folded = openDocument("C:\\J\xFCrgen\\\xFC"
                               "bung\\main.asm");  // differs in letter case only
    host->setOutputText(joinLines({"flat assembler", path + " [3]:", "error: x."}));
    ASSERT_EQ(host->outputText(), joinLines({"flat assembler", path + " [3]:", "error: x."}));
    EXPECT_EQ(host->doubleClickOutputLine(1), 1);
    expectJumpedTo(doc, 0, 2);
    expectUntouched(folded, 0);
}

TEST_F(NavigationTest, EveryOtherMessageReturnsZeroAndChangesNothing)
{
    const std::string path = "C:\\src\\msg.asm";
    HWND doc = openDocument(path);
    HWND other = openDocument("C:\\src\\other.asm");
    host->setOutputText(joinLines({"banner", path + " [3]: error"}));
    SendMessageA(host->outputControl(), EM_SETSEL, lineStart({"banner"}, 1), lineStart({"banner"}, 1));
    const UINT messages[] = {0,
                             WM_LBUTTONDOWN,
                             WM_LBUTTONUP,
                             WM_LBUTTONDBLCLK - 1,
                             WM_LBUTTONDBLCLK + 1,
                             WM_RBUTTONDBLCLK,
                             WM_MBUTTONDBLCLK,
                             WM_NCLBUTTONDBLCLK,
                             WM_KEYDOWN,
                             WM_CHAR,
                             WM_COMMAND,
                             WM_USER,
                             HEM_SETLINEHIGHLIGHT,
                             HEM_SETLINEMARK,
                             HEM_CLEARMARKS,
                             0x10000 | WM_LBUTTONDBLCLK};
    for (UINT message : messages) {
        SCOPED_TRACE("message " + std::to_string(message));
        size_t outputBefore = host->outputEvents().size();
        EXPECT_EQ(host->outWindowProc(host->outputControl(), message, 0, 0), 0);
        EXPECT_EQ(host->outputEvents().size(), outputBefore);
        expectUntouched(doc, 0);
        EXPECT_EQ(host->activeChild(), other);
    }
    // The remembered line is still the one from the load.
    EXPECT_EQ(host->doubleClickOutputLine(1), 1);
    expectOutputEvents(0, 0, 1, true);
    expectJumpedTo(doc, 0, 2);
}

TEST_F(NavigationTest, AnEmptyOutputIsIgnored)
{
    HWND doc = openDocument("C:\\src\\empty.asm");
    host->setOutputText("");
    EXPECT_EQ(host->doubleClickOutputLine(0), 0);
    expectOutputEvents(0, 0, 0, false);
    expectUntouched(doc, 0);
}

// ---- error messages: the place heading their block ----

TEST_F(NavigationTest, AnErrorMessageLeadsToTheInnermostPlaceAboveIt)
{
    const std::string app = "C:\\src\\app.asm", inc = "C:\\src\\inc.inc";
    HWND appDoc = openDocument(app);
    HWND incDoc = openDocument(inc);
    HWND bystander = openDocument("C:\\src\\other.asm");
    enum Target { NONE, APP, INC };
    struct Case {
        std::string line;
        LRESULT result;
        Target target;
        int32_t lineIndex;
    } cases[] = {
        {app + " [3]:", 1, APP, 2},              // a block at the top of the output
        {"  mov eax,[12]", 1, NONE, 0},          // an echoed line with brackets names "  mov eax"
        {"error: invalid operand.", 1, APP, 2},  // passes over the echoed line
        {"", 0, NONE, 0},
        {"error: a blank line above.", 0, NONE, 0},
        {"flat assembler  version 1.73.30", 0, NONE, 0},
        {"error: only a banner above.", 0, NONE, 0},
        {app + " [5]:", 1, APP, 4},
        {"  mymac", 0, NONE, 0},
        {inc + " [7] mymac [1]:", 1, INC, 6},
        {"  movv ebx,2", 0, NONE, 0},
        {"processed: movv ebx,2", 0, NONE, 0},
        {"error: illegal instruction.", 1, INC, 6},          // the innermost of two places
        {"Error: in capitals.", 1, INC, 6},                  // found as the build's search finds it
        {"error: value [12] out of range.", 1, INC, 6},      // brackets in a message name no file
        {app + " [9]: error: on a place line.", 1, APP, 8},  // a place line names its own place
        {"error: below a place line not ending in ]:", 1, INC, 6},
        {"usage: fasm <source> [output]", 0, NONE, 0},
    };
    std::vector<std::string> output;
    for (const Case& c : cases)
        output.push_back(c.line);
    host->setOutputText(joinLines(output));

    int previous = 0;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("line " + std::to_string(i) + ": \"" + c.line + "\"");
        host->activate(bystander);
        HWND target = c.target == APP ? appDoc : c.target == INC ? incDoc : nullptr;
        HWND docs[3] = {appDoc, incDoc, bystander};
        size_t before[3];
        for (int d = 0; d < 3; ++d)
            before[d] = host->editorEvents(docs[d]).size();
        size_t outputBefore = host->outputEvents().size();

        EXPECT_EQ(host->doubleClickOutputLine((int)i), c.result);

        // The clicked line is the one highlighted, not the place line above it.
        expectOutputEvents(outputBefore, previous, (int)i, c.result == 1);
        expectOnlyJumped(docs, before, 3, target, c.lineIndex, bystander);
        previous = (int)i;
    }
}

TEST_F(NavigationTest, AnErrorMessageLooksAsFarUpAsItsReachAndPastUnreadableLines)
{
    const std::string app = "C:\\src\\reach.asm";
    HWND doc = openDocument(app);
    struct Case {
        const char* label;
        std::vector<std::string> between;  // lines between the heading and the message
        LRESULT result;
        int32_t lineIndex;
    } cases[] = {
        {"the heading at the reach", std::vector<std::string>(ERROR_BLOCK_REACH - 1, "  echoed"), 1, 3},
        {"the heading one beyond", std::vector<std::string>(ERROR_BLOCK_REACH, "  echoed"), 0, 0},
        {"a line too long to read", {std::string(1100, 'x')}, 1, 3},
        // Longer than a line that can be double-clicked, but read from its message.
        {"a long heading", {app + " [8]:" + std::string(300, 'x') + " [8]:"}, 1, 7},
        {"a heading too long to read", {app + " [8]:" + std::string(1100, 'x') + " [8]:"}, 1, 3},
        {"a line of spaces and tabs", {" \t "}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::string> output = {"banner", app + " [4]:"};
        output.insert(output.end(), c.between.begin(), c.between.end());
        output.push_back("error: x.");
        host->setOutputText(joinLines(output));
        size_t before = host->editorEvents(doc).size();
        EXPECT_EQ(host->doubleClickOutputLine((int)output.size() - 1), c.result);
        if (c.result)
            expectJumpedTo(doc, before, c.lineIndex);
        else
            expectUntouched(doc, before);
        EXPECT_EQ(host->highlightedOutputLine(), c.result ? (int)output.size() - 1 : -1);
    }
    // An error message on the first line has nothing above it.
    host->setOutputText(joinLines({"error: source file not found.", app + " [4]:"}));
    size_t before = host->editorEvents(doc).size();
    EXPECT_EQ(host->doubleClickOutputLine(0), 0);
    expectUntouched(doc, before);
}

TEST_F(NavigationTest, TheLineABuildHighlightsLeadsToTheMistake)
{
    // The stand-in reports a marked line the way the flat assembler does:
    // the place, the line itself, then "error:".
    std::string project = makeProject("FASM", "highlighted");
    std::string folder = project.substr(0, project.rfind('\\'));
    std::string source = folder + "\\main.asm";
    const std::string text =
        "\tnop\r\n\tnop\r\n\tnop\r\n\tmovv eax,1 ; stand-in: error illegal instruction\r\n";
    ASSERT_TRUE(hostsim::writeFile(source, text));
    setAssembler(toolPath("fasm.exe"));
    host->openProject(project);
    HWND doc = host->openChild(source, FILE_TYPE_ASSEMBLY, text);  // the first source is the main one
    HWND other = openDocument(folder + "\\other.asm");
    host->activate(other);

    EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
    int highlighted = host->highlightedOutputLine();
    ASSERT_GE(highlighted, 0) << host->outputText();
    size_t otherBefore = host->editorEvents(other).size(), docBefore = host->editorEvents(doc).size();

    EXPECT_EQ(host->doubleClickOutputLine(highlighted), 1);
    std::vector<EditorEvent> got = since(host->editorEvents(doc), docBefore);
    ASSERT_EQ(got.size(), 1u) << describe(got) << "\n" << host->outputText();
    EXPECT_TRUE(sameEvent(got[0], HEM_SETLINEMARK, 3, HEM_MARK_ERROR)) << describe(got);
    EXPECT_EQ(host->caretLine(doc), 3);
    EXPECT_EQ(host->activeChild(), doc);
    expectUntouched(other, otherBefore);
    EXPECT_EQ(host->highlightedOutputLine(), highlighted);
}

// ---- other names of the same file ----

// Real files in a project folder, which opening the project makes current:
// the names an assembler may print for them, and which document each reaches.
class SameFileTest : public NavigationTest {
protected:
    std::string folder;  // the project's
    const std::string longFolder = "Long Folder Of Includes";

    void SetUp() override
    {
        NavigationTest::SetUp();
        std::string project = makeProject("FASM", "samefile");
        folder = project.substr(0, project.rfind('\\'));
        for (const std::string& sub : {std::string("inc"), std::string("other"), longFolder})
            ASSERT_TRUE(CreateDirectoryA(path(sub).c_str(), nullptr)) << sub;
        for (const char* name :
             {"main.asm", "inc\\macros.inc", "inc\\A Long Include Name.inc", "other\\macros.inc"})
            ASSERT_TRUE(hostsim::writeFile(path(name), joinLines(documentText))) << name;
        ASSERT_TRUE(hostsim::writeFile(path(longFolder + "\\deep.inc"), joinLines(documentText)));
        host->openProject(project);
        char current[MAX_PATH];
        GetCurrentDirectoryA(sizeof current, current);
        ASSERT_STREQ(current, folder.c_str()) << "the project's folder is not the current one";
    }

    std::string path(const std::string& relative) const { return folder + "\\" + relative; }

    // The system's short form of a name, which must differ from it.
    std::string shortName(const std::string& name)
    {
        char alias[MAX_PATH];
        DWORD n = GetShortPathNameA(name.c_str(), alias, sizeof alias);
        EXPECT_TRUE(n > 0 && n < sizeof alias) << name << ": error " << GetLastError();
        EXPECT_NE(lstrcmpiA(alias, name.c_str()), 0) << "no short name made for " << name;
        return alias;
    }

    // One double-click per case, each expected to reach its target or nothing.
    struct Case {
        std::string line;
        int target;  // index into the documents, or -1
        int32_t lineIndex;
    };
    void clickEach(const std::vector<Case>& cases, const std::vector<HWND>& documents, HWND bystander)
    {
        std::vector<std::string> output;
        for (const Case& c : cases)
            output.push_back(c.line);
        host->setOutputText(joinLines(output));
        for (size_t i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE("line " + std::to_string(i) + ": \"" + c.line + "\"");
            clickAndExpect((int)i, documents, c.target, c.lineIndex, bystander);
        }
    }

    // A double-click on line, with the bystander active before it, reaches
    // documents[target] (nothing when target is -1) at lineIndex.
    void clickAndExpect(int line, const std::vector<HWND>& documents, int target, int32_t lineIndex,
                        HWND bystander)
    {
        host->activate(bystander);
        std::vector<size_t> before;
        for (HWND d : documents)
            before.push_back(host->editorEvents(d).size());
        EXPECT_EQ(host->doubleClickOutputLine(line), 1);
        EXPECT_EQ(host->highlightedOutputLine(), line);
        for (size_t d = 0; d < documents.size(); ++d) {
            if ((int)d == target)
                expectJumpedTo(documents[d], before[d], lineIndex);
            else
                expectUntouched(documents[d], before[d]);
        }
        if (target < 0)
            EXPECT_EQ(host->activeChild(), bystander);
    }
};

std::string upper(std::string text)
{
    CharUpperBuffA(&text[0], (DWORD)text.size());
    return text;
}

TEST_F(SameFileTest, EveryNameOfAnOpenFileReachesItsDocument)
{
    enum { MAIN, MACROS, DEEP, LONG_NAME };
    std::vector<HWND> documents = {openDocument(path("main.asm")), openDocument(path("inc\\macros.inc")),
                                   openDocument(path(longFolder + "\\deep.inc")),
                                   openDocument(path("inc\\A Long Include Name.inc"))};
    HWND bystander = openDocument(path("bystander.asm"));
    std::string projectName = folder.substr(folder.rfind('\\') + 1);
    std::string shortFolder = shortName(path(longFolder));
    std::string shortFile = shortName(path("inc\\A Long Include Name.inc"));
    ASSERT_NE(shortFile.find('~', shortFile.rfind('\\')), std::string::npos) << shortFile;
    std::vector<Case> cases = {
        {path("inc/macros.inc") + " [3] mymac [2]:", MACROS, 2},  // the include as the source wrote it
        {upper(folder) + "\\INC\\MACROS.INC [3]:", MACROS, 2},
        {path("Inc\\Macros.inc") + " [4]:", MACROS, 3},
        {path("other\\..\\inc\\.\\macros.inc") + " [3]:", MACROS, 2},
        {path("inc\\..\\main.asm") + " [5]:", MAIN, 4},
        {"inc/macros.inc [3]:", MACROS, 2},  // relative to the project's folder
        {"MAIN.asm [7]:", MAIN, 6},
        {".\\inc\\Macros.INC [1]:", MACROS, 0},
        {"..\\" + projectName + "\\main.asm [2]:", MAIN, 1},
        {shortFolder + "\\deep.inc [2]:", DEEP, 1},  // a short folder name
        {shortFile + " [2]:", LONG_NAME, 1},         // a short file name
        {path("inc\\a long include name.inc") + " [9]:", LONG_NAME, 8},
        {path("other\\macros.inc") + " [3]:", -1, 0},  // same name, another folder, not open
        {path("inc\\missing.inc") + " [3]:", -1, 0},
        {"missing.asm [1]:", -1, 0},
        {path("bystander.asm").substr(0, path("bystander.asm").size() - 3) + "ASM [1]:", -1,
         0},                             // open, but no file
        {path("inc") + " [3]:", -1, 0},  // a folder
        {path("inc\\") + " [3]:", -1, 0},
        {path("main.asm\\") + " [3]:", -1, 0},
    };
    clickEach(cases, documents, bystander);
}

// Paths that differ in more than letter case: the files themselves decide.
TEST_F(SameFileTest, DocumentsOpenedByShortNamesAreFoundByLongOnes)
{
    HWND deep = openDocument(shortName(path(longFolder)) + "\\deep.inc");
    HWND longName = openDocument(shortName(path("inc\\A Long Include Name.inc")));
    HWND bystander = openDocument(path("main.asm"));
    clickEach({{path(longFolder + "\\deep.inc") + " [2]:", 0, 1},
               {path(longFolder + "/DEEP.inc") + " [3]:", 0, 2},
               {path("inc\\A Long Include Name.inc") + " [4]:", 1, 3},
               {"inc/a long include name.INC [5]:", 1, 4},
               {path("other\\deep.inc") + " [2]:", -1, 0}},
              {deep, longName}, bystander);
}

TEST_F(SameFileTest, AnExactPathWinsOverAnEarlierOtherNameOfTheFile)
{
    HWND otherCase = openDocument(path("INC\\MACROS.INC"));
    HWND slashes = openDocument(path("inc/macros.inc"));
    HWND exact = openDocument(path("inc\\macros.inc"));  // enumerated last
    HWND bystander = openDocument(path("main.asm"));
    std::vector<Case> cases = {
        {path("inc\\macros.inc") + " [3]:", 2, 2},
        {path("inc/macros.inc") + " [4]:", 1, 3},
        {path("INC\\MACROS.INC") + " [5]:", 0, 4},
        // None equal: the first in enumeration order is the one.
        {path("Inc\\Macros.inc") + " [6]:", 0, 5},
        {"inc\\macros.inc [7]:", 0, 6},
    };
    clickEach(cases, {otherCase, slashes, exact}, bystander);
}

TEST_F(SameFileTest, ASameNamedFileInAnotherFolderIsNeverTaken)
{
    HWND other = openDocument(path("other\\macros.inc"));  // enumerated first
    HWND macros = openDocument(path("inc\\macros.inc"));
    HWND bystander = openDocument(path("main.asm"));
    clickEach({{"inc/Macros.inc [3]:", 1, 2}, {"other/MACROS.inc [4]:", 0, 3}, {"macros.inc [5]:", -1, 0}},
              {other, macros}, bystander);

    host->closeChild(other);
    clickEach({{"other/macros.inc [3]:", -1, 0}, {"inc/macros.inc [3]:", 0, 2}}, {macros}, bystander);
}

TEST_F(SameFileTest, LettersBeyondAsciiDifferingInCaseNameTheSameFile)
{
    // Ü and ü in the ANSI code page of the test locale; the file system
    // folds them as it folds A and a.
    const std::string upperFolder = path("\xDC"
                                         "bung"),
                      lowerFolder = path("\xFC"
                                         "bung");
    ASSERT_TRUE(CreateDirectoryA(upperFolder.c_str(), nullptr));
    ASSERT_TRUE(hostsim::writeFile(upperFolder + "\\main.asm", "nop\r\n"));
    HWND doc = openDocument(upperFolder + "\\main.asm");
    HWND bystander = openDocument(path("main.asm"));
    clickEach({{lowerFolder + "\\MAIN.asm [2]:", 0, 1},
               {"\xFC"
                "bung\\main.asm [3]:",
                0, 2}},
              {doc}, bystander);
}

TEST_F(SameFileTest, AnIncludeWrittenWithSlashAndOtherCaseLeadsToTheIncludedFile)
{
    HWND main = openDocument(path("main.asm"));
    HWND macros = openDocument(path("inc\\macros.inc"));
    HWND other = openDocument(path("other\\macros.inc"));
    HWND bystander = openDocument(path("bystander.asm"));
    std::vector<std::string> output = {
        "flat assembler  version 1.73.30  (1048576 kilobytes memory)",
        path("main.asm") + " [5]:",
        "  mymac",
        path("inc/Macros.inc") + " [3] mymac [2]:",
        "  movv ebx, 2",
        "processed: movv ebx,2",
        "error: illegal instruction.",
    };
    host->setOutputText(joinLines(output));
    struct Click {
        int line;
        LRESULT result;
        HWND target;
        int32_t lineIndex;
    } clicks[] = {
        {6, 1, macros, 2},  {5, 0, nullptr, 0}, {4, 0, nullptr, 0}, {3, 1, macros, 2},
        {2, 0, nullptr, 0}, {1, 1, main, 4},    {0, 0, nullptr, 0},
    };
    for (const Click& c : clicks) {
        SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + output[(size_t)c.line] + "\"");
        host->activate(bystander);
        HWND docs[3] = {main, macros, other};
        size_t before[3];
        for (int d = 0; d < 3; ++d)
            before[d] = host->editorEvents(docs[d]).size();
        EXPECT_EQ(host->doubleClickOutputLine(c.line), c.result);
        EXPECT_EQ(host->highlightedOutputLine(), c.result ? c.line : -1);
        expectOnlyJumped(docs, before, 3, c.target, c.lineIndex, bystander);
    }
}

// A heading that names a chain of places, as fasm g writes it: the file
// being assembled first, then what it includes, with macro frames between.
TEST_F(SameFileTest, AChainOfPlacesLeadsToItsInnermostOpenDocument)
{
    enum { MAIN, MACROS, LONG_NAME };
    std::vector<HWND> documents = {openDocument(path("main.asm")), openDocument(path("inc\\macros.inc")),
                                   openDocument(path("inc\\A Long Include Name.inc"))};
    HWND bystander = openDocument(path("bystander.asm"));
    const std::string main = path("main.asm");
    std::vector<Case> cases = {
        {main + " [3] " + path("inc/Macros.inc") + " [2]:", MACROS, 1},
        {main + " [3] " + path("inc\\macros.inc") + " [2] mov? [0]:", MACROS, 1},
        {main + " [6] macro m [2] " + path("inc\\A Long Include Name.inc") + " [4]:", LONG_NAME, 3},
        {"main.asm [6] inc/macros.inc [5] mymac [2]:", MACROS, 4},
        {main + " [9] " + path("other\\macros.inc") + " [2]:", MAIN, 8},  // the inner file is not open
        {path("missing.asm") + " [9] mymac [2]:", -1, 0},
        {"mymac [1] " + main + " [4]:", MAIN, 3},
        // Not a chain: the first place alone, as for any place line.
        {main + " [5] " + path("inc\\macros.inc") + " [2]", MAIN, 4},
    };
    clickEach(cases, documents, bystander);
}

// fasm g prints up to 100 errors with no blank line between their blocks:
// each error message leads to the place heading its own block.
TEST_F(SameFileTest, EachErrorMessageOfManyLeadsToItsOwnBlock)
{
    HWND main = openDocument(path("main.asm"));
    HWND macros = openDocument(path("inc\\macros.inc"));
    HWND bystander = openDocument(path("bystander.asm"));
    std::vector<std::string> output = {
        "flat assembler  version g.l8vn",
        path("main.asm") + " [3] " + path("inc/macros.inc") + " [2]:",
        "\tmov eax,ebx,ecx",
        "mov? [0]",
        "Processed: mov eax,ebx,ecx",
        "Error: extra characters on line.",
        path("main.asm") + " [6]:",
        "\tfoo eax",
        "? [4]",
        "Processed: foo eax",
        "Error: illegal instruction.",
        path("main.asm") + " [8] macro m [2] " + path("inc/macros.inc") + " [7] mov? [0]:",
        "\tmov [eax],",
        "Processed: mov [eax],",
        "Error: invalid operand.",
    };
    host->setOutputText(joinLines(output));
    struct Click {
        int line;
        HWND target;
        int32_t lineIndex;
    } clicks[] = {{5, macros, 1}, {10, main, 5}, {14, macros, 6}, {11, macros, 6}, {1, macros, 1}};
    for (const Click& c : clicks) {
        SCOPED_TRACE("line " + std::to_string(c.line) + ": \"" + output[(size_t)c.line] + "\"");
        host->activate(bystander);
        HWND docs[2] = {main, macros};
        size_t before[2] = {host->editorEvents(main).size(), host->editorEvents(macros).size()};
        EXPECT_EQ(host->doubleClickOutputLine(c.line), 1);
        EXPECT_EQ(host->highlightedOutputLine(), c.line);
        expectOnlyJumped(docs, before, 2, c.target, c.lineIndex, bystander);
    }
}

}  // namespace

// What the assemblers print when a mistake passes through macros, the
// headers' (not open) or the project's own: the error message leads to the
// innermost place that is open, which is the user's own line.
TEST_F(SameFileTest, AnErrorThroughMacrosLeadsToTheInnermostOpenPlace)
{
    ASSERT_TRUE(CreateDirectoryA(path("fasm").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(path("fasm\\INCLUDE").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(path("fasm\\INCLUDE\\MACRO").c_str(), nullptr));
    ASSERT_TRUE(hostsim::writeFile(path("fasm\\INCLUDE\\MACRO\\PROC32.INC"), joinLines(documentText)));
    const std::string main = path("main.asm"), proc32 = path("fasm\\INCLUDE") + "/macro/proc32.inc";
    enum { MAIN, MACROS, PROC32 };
    std::vector<HWND> documents = {openDocument(main), openDocument(path("inc\\macros.inc"))};
    HWND bystander = openDocument(path("bystander.asm"));

    struct Case {
        const char* label;
        std::vector<std::string> lines;  // the last one is double-clicked
        int target;
        int32_t lineIndex;
    };
    auto clickMessages = [&](const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label);
            host->setOutputText(joinLines(c.lines));
            clickAndExpect((int)c.lines.size() - 1, documents, c.target, c.lineIndex, bystander);
        }
    };
    const std::vector<std::string> fasm1Invoke = {"flat assembler  version 1.73.34  (16384 kilobytes memory)",
                                                  main + " [6]:",
                                                  "\tinvoke\tMessageBox,HWND_DESKTOP,msg,msg,MB_OKK",
                                                  proc32 + " [17] invoke [3]:",
                                                  "     pushd arg",
                                                  "processed: pushd MB_OKK",
                                                  "error: undefined symbol 'MB_OKK'."};
    const std::vector<Case> cases = {
        {"fasm 1: invoke", fasm1Invoke, MAIN, 5},
        {"fasm 1: a macro of the project's include",
         {main + " [8]:", "\tsetreg eax,nosuch", path("inc") + "/Macros.inc [3] setreg [1]:", "  mov r,v",
          "processed: mov eax,nosuch", "error: undefined symbol 'nosuch'."},
         MACROS,
         2},
        {"fasm 1: a macro of an include that is not open",
         {main + " [8]:", "\tsetreg eax,nosuch", path("other") + "/macros.inc [3] setreg [1]:", "  mov r,v",
          "processed: mov eax,nosuch", "error: undefined symbol 'nosuch'."},
         MAIN,
         7},
        {"fasm g: invoke, a macro frame heading",
         {"flat assembler  version g.l8vn", main + " [6]:", "\tinvoke MessageBox,HWND_DESKTOP,msg,msg,MB_OKK",
          "macro invoke? [1] macro stdcall? [56]:", "\tif arg eqtype ''", "Processed: if MB_OKK eqtype ''",
          "Error: symbol 'MB_OKK' is undefined or out of scope."},
         MAIN,
         5},
        {"fasm g: the second block of invoke, its frames on a line without a colon",
         {main + " [6]:", "\tinvoke MessageBox,HWND_DESKTOP,msg,msg,MB_OKK",
          "macro invoke? [1] macro stdcall? [56]:", "\tif arg eqtype ''", "Processed: if MB_OKK eqtype ''",
          "Error: symbol 'MB_OKK' is undefined or out of scope.",
          main + " [7]:", "\tinvoke MessageBox,HWND_DESKTOP,msg,msg,MB_OKK",
          "macro invoke? [1] macro stdcall? [59] push? [29] x86.push_instruction [2] x86.parse_operand@src "
          "[32] (CALM)",
          "Processed: push dword MB_OKK", "Error: symbol 'MB_OKK' is undefined or out of scope."},
         MAIN,
         6},
        {"nothing open: nothing marked",
         {path("missing.asm") + " [3]:", "\tx", proc32 + " [17] invoke [3]:", "     pushd arg", "error: x."},
         -1,
         0},
    };
    clickMessages(cases);

    // With the header open too, the innermost place is the header's line.
    documents.push_back(openDocument(path("fasm\\INCLUDE\\MACRO\\PROC32.INC")));
    clickMessages({{"fasm 1: invoke, the header open", fasm1Invoke, PROC32, 16}});
}

// ---- the walk through the errors: Next error (F4), Previous error (Shift+F4) ----

class ErrorWalkTest : public SameFileTest {
protected:
    void SetUp() override
    {
        SameFileTest::SetUp();
        host->openProject(makeProject("FASM", "walk"));
        // The walk's files are the SameFileTest's, in the first project's folder.
        SetCurrentDirectoryA(folder.c_str());
        ASSERT_NE(makeMenuItemId(NEXT_ERROR_ITEM), 0u);
    }

    // Presses the keys as the host's message loop would: through its
    // accelerator table, which turns them into the command.
    void press(WORD key, bool shift)
    {
        // The rich edit keeps the mouse after a double-click it handled
        // itself until the button comes up, and no shortcut acts meanwhile.
        ReleaseCapture();
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG message = {host->frame(), WM_KEYDOWN, key, 0x00010001, 0, {0, 0}};
        HACCEL table = *host->handles.acceleratorVar;
        EXPECT_TRUE(TranslateAcceleratorA(host->frame(), table, &message)) << "no shortcut for the key";
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    }
};

// fasm g's three errors in two files, without blank lines between their blocks.
TEST_F(ErrorWalkTest, F4AndShiftF4WalkTheErrorsRoundInBothDirections)
{
    HWND main = openDocument(path("main.asm"));
    HWND macros = openDocument(path("inc\\macros.inc"));
    HWND bystander = openDocument(path("bystander.asm"));
    std::vector<std::string> output = {
        "flat assembler  version g.l8vn",
        path("main.asm") + " [3] " + path("inc/macros.inc") + " [2]:",  // 1
        "\tmov eax,ebx,ecx",
        "mov? [0]",
        "Processed: mov eax,ebx,ecx",
        "Error: extra characters on line.",  // 5
        path("main.asm") + " [6]:",
        "\tfoo eax",
        "? [4]",
        "Processed: foo eax",
        "Error: illegal instruction.",  // 10
        path("main.asm") + " [9]:",
        "\tcall [x]",
        "macro call? [61]",
        "Processed: call [x]",
        "Custom error: operand size not specified.",  // 15
    };
    host->setOutputText(joinLines(output));
    struct Step {
        bool back;  // Shift+F4
        int line;   // the error message reached
        HWND target;
        int32_t lineIndex;
        const char* status;
    } steps[] = {
        {false, 5, macros, 1, "Error 1 of 3"}, {false, 10, main, 5, "Error 2 of 3"},
        {false, 15, main, 8, "Error 3 of 3"},  {false, 5, macros, 1, "Error 1 of 3"},
        {true, 15, main, 8, "Error 3 of 3"},   {true, 10, main, 5, "Error 2 of 3"},
        {true, 5, macros, 1, "Error 1 of 3"},
    };
    int previous = host->highlightedOutputLine();
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE("step " + std::to_string(i + 1) + (s.back ? ": Shift+F4" : ": F4"));
        host->activate(bystander);
        HWND docs[3] = {main, macros, bystander};
        size_t before[3];
        for (int d = 0; d < 3; ++d)
            before[d] = host->editorEvents(docs[d]).size();
        size_t outputBefore = host->outputEvents().size();
        press(VK_F4, s.back);
        EXPECT_EQ(host->statusText(4), s.status);
        EXPECT_EQ(host->highlightedOutputLine(), s.line);
        if (previous >= 0)
            expectOutputEvents(outputBefore, previous, s.line, true);
        expectOnlyJumped(docs, before, 3, s.target, s.lineIndex, bystander);
        previous = s.line;
    }
    // A double-click moves the walk, on any line: the next error is the one after it.
    EXPECT_EQ(host->doubleClickOutputLine(7), 0);
    press(VK_F4, false);
    EXPECT_EQ(host->statusText(4), "Error 2 of 3");
    EXPECT_EQ(host->highlightedOutputLine(), 10);
}

TEST_F(ErrorWalkTest, WhatTheWalkSaysWhenThereIsNothingToReach)
{
    HWND main = openDocument(path("main.asm"));
    HWND bystander = openDocument(path("bystander.asm"));
    ASSERT_TRUE(CreateDirectoryA(path("fasm").c_str(), nullptr));
    ASSERT_TRUE(hostsim::writeFile(path("fasm\\proc32.inc"), "; macros\r\n"));
    const std::string header = path("fasm") + "/proc32.inc";
    struct Case {
        const char* label;
        std::vector<std::string> output;
        const char* key;  // "F4", or "double-click" on the last line
        std::string status;
        int highlighted;  // -1: unchanged
    } cases[] = {
        {"a clean build",
         {"flat assembler  version 1.73.34", "3 passes, 1536 bytes."},
         "F4",
         "No errors",
         -1},
        {"a failure with only its usage", {"usage: fasm <source> [output]"}, "F4", "No errors", -1},
        // The innermost file of the error, as the output writes it.
        {"a macro's header, open nowhere",
         {path("elsewhere.asm") + " [6]:", "\tinvoke x", header + " [17] invoke [3]:", "     pushd arg",
          "error: undefined symbol 'x'."},
         "F4",
         "Not open: " + header,
         4},
        {"the same, double-clicked",
         {path("elsewhere.asm") + " [6]:", "\tinvoke x", header + " [17] invoke [3]:", "     pushd arg",
          "error: undefined symbol 'x'."},
         "double-click",
         "Not open: " + header,
         4},
        // No name of the error is a file: the one being assembled.
        {"names that are no files",
         {path("gone.asm") + " [6] macro m [2]:", "\tm", "Error: x."},
         "F4",
         "Not open: " + path("gone.asm"),
         2},
        {"a place line of a file open nowhere",
         {path("gone.asm") + " [6]:"},
         "double-click",
         "Not open: " + path("gone.asm"),
         0},
        // A place reached takes the word back: the status bar shows again
        // what it showed before the first word, the step of the F4 above.
        {"then an open one",
         {path("main.asm") + " [2]:", "\tx", "error: x."},
         "double-click",
         "Error 1 of 1",
         2},
        {"and by F4", {path("main.asm") + " [2]:", "\tx", "error: x."}, "F4", "Error 1 of 1", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host->setOutputText(joinLines(c.output));
        host->activate(bystander);
        int highlightedBefore = host->highlightedOutputLine();
        size_t mainBefore = host->editorEvents(main).size();
        if (std::string(c.key) == "F4") {
            press(VK_F4, false);
        } else {
            EXPECT_EQ(host->doubleClickOutputLine((int)c.output.size() - 1), 1);
        }
        EXPECT_EQ(host->statusText(4), c.status);
        EXPECT_EQ(host->highlightedOutputLine(), c.highlighted < 0 ? highlightedBefore : c.highlighted);
        if (c.status.rfind("Not open", 0) == 0 || c.highlighted < 0) {
            expectUntouched(main, mainBefore);
            EXPECT_EQ(host->activeChild(), bystander);
        } else {
            expectJumpedTo(main, mainBefore, 1);
        }
    }
}

TEST_F(ErrorWalkTest, OtherProjectsLeaveTheKeysToTheHost)
{
    const UINT next = makeMenuItemId(NEXT_ERROR_ITEM), previous = makeMenuItemId(PREVIOUS_ERROR_ITEM);
    host->openProject(makeProject("MASM", "masm"));
    EXPECT_EQ(makeMenuItemId(NEXT_ERROR_ITEM), 0u);
    host->setOutputText("C:\\p\\a.asm [1]:\r\n\tx\r\nerror: x.");
    for (UINT id : {next, previous}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(host->command(id), 0);
        EXPECT_EQ(host->command(id, true), 0);
        EXPECT_EQ(host->statusText(4), "MASM");
        EXPECT_EQ(host->highlightedOutputLine(), -1);
    }
    // A double-click still leads anywhere, and its word gives the project's
    // status back once a place is reached.
    HWND main = openDocument(path("main.asm"));
    host->setOutputText(path("gone.asm") + " [1]:\r\n" + path("main.asm") + " [2]:");
    EXPECT_EQ(host->doubleClickOutputLine(0), 1);
    EXPECT_EQ(host->statusText(4), "Not open: " + path("gone.asm"));
    EXPECT_EQ(host->doubleClickOutputLine(1), 1);
    EXPECT_EQ(host->statusText(4), "MASM");
    EXPECT_EQ(host->caretLine(main), 1);
}
