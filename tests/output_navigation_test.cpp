// Double-clicking an assembler message in the output pane: which line is
// read, which open document it names, what that document's editor and the
// output control receive, and which lines are refused.
#include "tests/test_support.h"

#include <stdint.h>

using hostsim::EditorEvent;
using testing_support::AddInTest;

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
        {"c:\\SRC\\App.asm [12]: error text", 1, NONE, 0},  // letter case differs
        {asmPath + ":[12]", 1, APP, 11},
        {asmPath + "\t[12]", 1, APP, 11},
        {asmPath + "[12]", 1, APP_AS, 11},  // the last path character is taken for the separator
        {asmPath + " [1]", 1, APP, 0},
        {asmPath + " [30]", 1, APP, 29},
        {asmPath + " [0]", 1, APP, -1},
        {asmPath + " []", 1, APP, -1},
        {asmPath + " [007]", 1, APP, 6},
        {asmPath + " [99999]", 1, APP, 99998},              // beyond the end: passed on as it is
        {asmPath + " [2147483648]", 1, APP, INT32_MAX},     // 2^31
        {asmPath + " [4294967296]", 1, APP, -1},            // 2^32 wraps to 0
        {asmPath + " [4294967297]", 1, APP, 0},             // 2^32 + 1 wraps to 1
        {asmPath + " [99999999999]", 1, APP, (int32_t)(uint32_t)(99999999999ULL % 4294967296ULL) - 1},
        {asmPath + " [12] [13]", 1, APP, 11},               // the first bracket counts
        {"C:\\a[1]\\x.asm [5]", 1, ROOT, 0},                // so a path with '[' is never found
        {"[12]", 1, NONE, 0},                               // empty file name
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
        for (int d = 0; d < 4; ++d) {
            if (docs[d] == target)
                expectJumpedTo(target, before[d], c.lineIndex);
            else
                expectUntouched(docs[d], before[d]);
        }
        if (!target)
            EXPECT_EQ(host->activeChild(), bystander);
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

    size_t longBefore = host->editorEvents(longDoc).size(), prefixBefore = host->editorEvents(prefixDoc).size();
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

    size_t secondBefore = host->editorEvents(second).size(), otherBefore = host->editorEvents(inOtherSet).size();
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
    host->setOutputText(joinLines({"banner", path + " [2]:", "  mov ax,", "error: bad.", path + " [5]:", path + " [5"}));
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
    const std::string path = "C:\\J\xFCrgen\\\xDC" "bung\\main.asm";
    HWND doc = openDocument(path);
    HWND folded = openDocument("C:\\J\xFCrgen\\\xFC" "bung\\main.asm");  // differs in letter case only
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

}  // namespace
