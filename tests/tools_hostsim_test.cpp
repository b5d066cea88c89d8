// The host simulator's own behaviour, without an add-in.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "tools/hostsim/hostsim.h"

using hostsim::Answer;
using hostsim::Host;

namespace {

struct Visit {
    std::vector<HWND> seen;
    size_t stopAfter = 1000;
};

LRESULT CALLBACK collect(HWND child, LPARAM user)
{
    auto* v = (Visit*)user;
    v->seen.push_back(child);
    return v->seen.size() < v->stopAfter ? 1 : 0;
}

std::vector<HWND> enumerate(Host& host, UINT message, size_t stopAfter = 1000)
{
    Visit v;
    v.stopAfter = stopAfter;
    SendMessageA(host.frame(), message, (WPARAM)(HostEnumProc)collect, (LPARAM)&v);
    return v.seen;
}

// An in-memory dialog like the add-in's setup dialog: a label with id 0xFFFF
// (IDC_STATIC), an edit, OK and Cancel.
std::vector<WORD> setupTemplate()
{
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto text = [&](const wchar_t* s) {
        do
            t.push_back(*s);
        while (*s++);
    };
    auto align = [&] {
        if (t.size() % 2)
            t.push_back(0);
    };
    dword(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
    dword(0);
    t.push_back(4);  // items
    t.push_back(0);
    t.push_back(0);
    t.push_back(200);
    t.push_back(80);
    t.push_back(0);
    t.push_back(0);  // no menu, default class
    text(L"Setup");
    t.push_back(8);
    text(L"MS Shell Dlg");
    struct Item {
        DWORD style;
        WORD id;
        WORD cls;
        const wchar_t* text;
        short y;
    };
    const Item items[] = {
        {WS_CHILD | WS_VISIBLE | SS_LEFT, 0xFFFF, 0x0082, L"Path:", 5},
        {WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 100, 0x0081, L"", 20},
        {WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, IDOK, 0x0080, L"OK", 50},
        {WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, IDCANCEL, 0x0080, L"Cancel", 65},
    };
    for (const Item& it : items) {
        align();
        dword(it.style);
        dword(0);
        t.push_back(5);
        t.push_back(it.y);
        t.push_back(100);
        t.push_back(12);
        t.push_back(it.id);
        t.push_back(0xFFFF);
        t.push_back(it.cls);
        text(it.text);
        t.push_back(0);
    }
    return t;
}

INT_PTR CALLBACK setupProc(HWND dlg, UINT m, WPARAM w, LPARAM)
{
    if (m == WM_INITDIALOG)
        return TRUE;
    if (m == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL)) {
        EndDialog(dlg, LOWORD(w));
        return TRUE;
    }
    return FALSE;
}

INT_PTR runSetup(HWND owner)
{
    std::vector<WORD> t = setupTemplate();
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)t.data(), owner, setupProc, 0);
}

}  // namespace

TEST(HostSim, EnumerationRunsInOpeningOrderAndStopsWhenTheCallbackReturnsZero)
{
    Host host;
    HWND a = host.openChild("C:\\p\\a.asm", FILE_TYPE_ASSEMBLY, "mov eax, 1\r\n");
    HWND b = host.openChild("C:\\p\\b.asm", FILE_TYPE_ASSEMBLY);
    HWND c = host.openChild("C:\\p\\c.rc", FILE_TYPE_RESOURCE_SCRIPT);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(enumerate(host, HM_ENUM_CHILDREN), (std::vector<HWND>{a, b, c}));
    EXPECT_EQ(enumerate(host, HM_ENUM_CHILDREN, 2), (std::vector<HWND>{a, b}));
    EXPECT_EQ(enumerate(host, HM_ENUM_CHILDREN, 1), (std::vector<HWND>{a}));
}

TEST(HostSim, TheTwoChildSetsAreSeparate)
{
    Host host;
    HWND a = host.openChild("C:\\p\\a.asm", FILE_TYPE_ASSEMBLY);
    HWND o = host.openChild("C:\\p\\o.bat", FILE_TYPE_BATCH, "", true);
    HWND b = host.openChild("C:\\p\\b.asm", FILE_TYPE_ASSEMBLY);
    EXPECT_EQ(enumerate(host, HM_ENUM_CHILDREN), (std::vector<HWND>{a, b}));
    EXPECT_EQ(enumerate(host, HM_ENUM_OTHER_CHILDREN), (std::vector<HWND>{o}));
    host.closeChild(a);
    EXPECT_EQ(enumerate(host, HM_ENUM_CHILDREN), (std::vector<HWND>{b}));
}

TEST(HostSim, ChildRecordHoldsEditorTypeAndAPathLongerThanMaxPath)
{
    Host host;
    std::string path = "C:\\" + std::string(400, 'x') + "\\long.asm";
    HWND c = host.openChild(path, FILE_TYPE_ASSEMBLY, "a\r\nb\r\n");
    auto* rec = childRecordOf(c);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->editor, host.editorOf(c));
    EXPECT_EQ(rec->fileType, FILE_TYPE_ASSEMBLY);
    EXPECT_EQ(std::string(rec->fullPath), path);
    EXPECT_EQ(SendMessageA(rec->editor, EM_LINEINDEX, 1, 0), 3);
}

TEST(HostSim, ProjectInfoIsZeroAndUntouchedWithoutAProject)
{
    Host host;
    ProjectInfo info;
    for (auto& f : info.field)
        f = "sentinel";
    EXPECT_EQ(SendMessageA(host.frame(), HM_GET_PROJECT_INFO, (WPARAM)&info, 0), 0);
    for (auto& f : info.field)
        EXPECT_STREQ(f, "sentinel");

    host.openProject("C:\\p\\app.prj", "-d X=1", nullptr);
    EXPECT_NE(SendMessageA(host.frame(), HM_GET_PROJECT_INFO, (WPARAM)&info, 0), 0);
    EXPECT_STREQ(info.field[PROJECT_FIELD_PROJECT_FILE], "C:\\p\\app.prj");
    EXPECT_STREQ(info.field[PROJECT_FIELD_ASSEMBLER_ARGUMENTS], "-d X=1");
    EXPECT_EQ(info.field[PROJECT_FIELD_OUTPUT_FILE], nullptr);
    EXPECT_STREQ(info.field[1], "");

    host.closeProject();
    EXPECT_EQ(SendMessageA(host.frame(), HM_GET_PROJECT_INFO, (WPARAM)&info, 0), 0);
}

TEST(HostSim, CommandsReachingTheHostAreRecordedAndSaveAllClearsModified)
{
    Host host;
    HWND c = host.openChild("C:\\p\\a.asm", FILE_TYPE_ASSEMBLY, "x");
    host.setModified(c, true);
    EXPECT_TRUE(host.isModified(c));
    host.command(HC_BUILD);
    host.command(HC_RUN, true);
    SendMessageA(host.frame(), WM_COMMAND, HC_SAVE_ALL, 0);
    EXPECT_EQ(host.hostCommands, (std::vector<UINT>{HC_BUILD, HC_RUN, HC_SAVE_ALL}));
    EXPECT_FALSE(host.isModified(c));

    host.saveAllLeavesModified = true;
    host.setModified(c, true);
    host.command(HC_SAVE_ALL);
    EXPECT_TRUE(host.isModified(c));
}

TEST(HostSim, HostRequestsAnswer)
{
    Host host;
    LRESULT first = SendMessageA(host.frame(), HM_NEW_COMMAND_ID, 0, 0);
    EXPECT_EQ(SendMessageA(host.frame(), HM_NEW_COMMAND_ID, 0, 0), first + 1);
    SendMessageA(host.frame(), HM_UI_FILE_WRITTEN, (WPARAM) "C:\\x\\ui\\tordel.ui", 0);
    EXPECT_EQ(host.uiFileWritten, (std::vector<std::string>{"C:\\x\\ui\\tordel.ui"}));
    EXPECT_EQ(FindWindowExA(host.frame(), nullptr, "msctls_statusbar32", nullptr), host.statusBar());
    SendMessageA(host.statusBar(), SB_SETTEXTA, 4, (LPARAM) "FASM");
    EXPECT_EQ(host.statusText(4), "FASM");
    EXPECT_EQ(GetMenuState(host.mainMenu(), HC_MENU_BEFORE_ASSEMBLE_CURRENT, MF_BYCOMMAND) == (UINT)-1,
              false);
    EXPECT_EQ(GetMenuState(host.mainMenu(), HC_MENU_BEFORE_POPUP, MF_BYCOMMAND) == (UINT)-1, false);
}

TEST(HostSim, PrivateMessagesAreRecordedAndOutputDoubleClickMovesTheCaret)
{
    Host host;
    HWND c = host.openChild("C:\\p\\a.asm", FILE_TYPE_ASSEMBLY, "a\r\nb\r\nc\r\n");
    HWND ed = host.editorOf(c);
    EXPECT_EQ(SendMessageA(ed, HEM_SETLINEMARK, 2, HEM_MARK_ERROR), 1);
    SendMessageA(ed, HEM_CLEARMARKS, 0, HEM_MARK_ERROR);
    ASSERT_EQ(host.editorEvents(c).size(), 2u);
    EXPECT_EQ(host.editorEvents(c)[0].message, (UINT)HEM_SETLINEMARK);
    EXPECT_EQ(host.editorEvents(c)[0].wParam, 2u);
    EXPECT_EQ(host.editorEvents(c)[1].message, (UINT)HEM_CLEARMARKS);

    host.setOutputText("one\r\ntwo error: x\r\nthree\r\n");
    SendMessageA(host.outputControl(), HEM_SETLINEHIGHLIGHT, 1, 1);
    EXPECT_EQ(host.highlightedOutputLine(), 1);
    SendMessageA(host.outputControl(), HEM_SETLINEHIGHLIGHT, 1, 0);
    EXPECT_EQ(host.highlightedOutputLine(), -1);
    EXPECT_EQ(host.outputEvents().size(), 2u);
    EXPECT_EQ(host.doubleClickOutputLine(2), 0);  // no add-in: nothing handles it

    EXPECT_TRUE(host.outputPaneVisible());
    ShowWindow(host.outputPane(), SW_HIDE);
    EXPECT_FALSE(host.outputPaneVisible());
    ShowWindow(host.outputPane(), SW_RESTORE);
    EXPECT_TRUE(host.outputPaneVisible());
}

TEST(HostSim, MessageBoxesAreAnsweredFromTheQueueAndRecorded)
{
    Host host;
    host.answer(Answer::press(IDNO));
    EXPECT_EQ(MessageBoxA(host.frame(), "Go on?", "Question", MB_YESNO | MB_ICONWARNING), IDNO);
    ASSERT_EQ(host.dialogs.size(), 1u);
    EXPECT_TRUE(host.dialogs[0].isMessageBox);
    EXPECT_EQ(host.dialogs[0].text, "Go on?");
    EXPECT_EQ(host.dialogs[0].caption, "Question");
    EXPECT_EQ(host.dialogs[0].style, (UINT)(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(host.dialogs[0].owner, host.frame());
    EXPECT_EQ(host.dialogs[0].answer, IDNO);
    EXPECT_EQ(host.unexpectedDialogs, 0);

    // A callback answer, which opens a nested message box answered from the queue.
    int nested = 0;
    HWND outer = nullptr;
    host.answer(Answer::run([&](HWND dlg) {
        outer = dlg;
        nested = MessageBoxA(dlg, "Inner", nullptr, MB_OK | MB_ICONERROR);
        SendMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    }));
    host.answer(Answer::press(IDOK));
    EXPECT_EQ(MessageBoxA(nullptr, "Outer", "C", MB_OKCANCEL | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(nested, IDOK);
    ASSERT_EQ(host.dialogs.size(), 3u);
    EXPECT_EQ(host.dialogs[1].style, (UINT)(MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_EQ(host.dialogs[1].owner, nullptr);
    EXPECT_EQ(host.dialogs[1].answer, IDOK);
    EXPECT_EQ(host.dialogs[2].text, "Inner");
    EXPECT_EQ(host.dialogs[2].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(host.dialogs[2].owner, outer);
    EXPECT_EQ(host.unexpectedDialogs, 0);
    EXPECT_EQ(host.pendingAnswers(), 0u);
}

TEST(HostSim, UnansweredMessageBoxesGetCancelOrTheirOnlyButtonAndCount)
{
    Host host;
    EXPECT_EQ(MessageBoxA(host.frame(), "a", "b", MB_YESNOCANCEL | MB_ICONQUESTION), IDCANCEL);
    EXPECT_EQ(MessageBoxA(host.frame(), "a", "b", MB_OK), IDOK);
    EXPECT_EQ(host.unexpectedDialogs, 2);
    ASSERT_EQ(host.dialogs.size(), 2u);
    EXPECT_EQ(host.dialogs[0].style, (UINT)(MB_YESNOCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(host.dialogs[1].style, (UINT)MB_OK);
}

TEST(HostSim, OtherDialogsAreAnsweredByCallbackIncludingANestedOpenDialog)
{
    Host host;
    std::string typed;
    BOOL opened = TRUE;
    host.answer(Answer::run([&](HWND dlg) {
        SetDlgItemTextA(dlg, 100, "C:\\fasm\\fasm.exe");
        char name[256] = "";
        OPENFILENAMEA ofn{};
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // the 76-byte form on i686
        ofn.hwndOwner = dlg;
        ofn.lpstrFile = name;
        ofn.nMaxFile = sizeof name;
        opened = GetOpenFileNameA(&ofn);
        char buf[64] = "";
        GetDlgItemTextA(dlg, 100, buf, sizeof buf);
        typed = buf;
        SendMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    }));
    host.answer(Answer::press(IDCANCEL));  // the Open dialog
    EXPECT_EQ(runSetup(host.frame()), IDOK);
    EXPECT_FALSE(opened);
    EXPECT_EQ(typed, "C:\\fasm\\fasm.exe");
    ASSERT_EQ(host.dialogs.size(), 2u);
    EXPECT_FALSE(host.dialogs[0].isMessageBox);
    EXPECT_EQ(host.dialogs[0].caption, "Setup");
    EXPECT_EQ(host.dialogs[0].owner, host.frame());
    EXPECT_EQ(host.dialogs[0].answer, IDOK);
    EXPECT_FALSE(host.dialogs[1].isMessageBox);
    EXPECT_EQ(host.dialogs[1].answer, IDCANCEL);
    EXPECT_EQ(host.unexpectedDialogs, 0);

    EXPECT_EQ(runSetup(host.frame()), IDCANCEL);  // nothing queued
    EXPECT_EQ(host.unexpectedDialogs, 1);
}

TEST(HostSim, AcceleratorsRoundTrip)
{
    Host host;
    EXPECT_FALSE(host.accelerators().empty());
    std::vector<ACCEL> mine = {{FVIRTKEY | FSHIFT | FCONTROL, 'G', 20001}, {FVIRTKEY, VK_F7, 20002}};
    host.setAccelerators(mine);
    std::vector<ACCEL> back = host.accelerators();
    ASSERT_EQ(back.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back[i].fVirt, mine[i].fVirt);
        EXPECT_EQ(back[i].key, mine[i].key);
        EXPECT_EQ(back[i].cmd, mine[i].cmd);
    }
    host.setAccelerators({});
    EXPECT_EQ(*host.handles.acceleratorVar, nullptr);
    EXPECT_TRUE(host.accelerators().empty());
}

// Painting needs a shown frame; each WM_PAINT of the output control is
// counted and runs the callback before the control paints.
TEST(HostSim, OutputPaintsAreCountedOnlyWhenTheFrameIsShown)
{
    Host host;
    std::vector<int> lengthsSeen;
    host.onOutputPaint = [&] { lengthsSeen.push_back(GetWindowTextLengthA(host.outputControl())); };
    host.setOutputText("hidden");
    UpdateWindow(host.outputControl());
    EXPECT_EQ(host.outputPaintCount(), 0);

    ShowWindow(host.frame(), SW_SHOW);
    UpdateWindow(host.frame());
    int afterShow = host.outputPaintCount();
    EXPECT_GE(afterShow, 1);
    host.setOutputText("shown text");
    InvalidateRect(host.outputControl(), nullptr, TRUE);
    UpdateWindow(host.outputControl());
    EXPECT_EQ(host.outputPaintCount(), afterShow + 1);
    ASSERT_EQ(lengthsSeen.size(), (size_t)host.outputPaintCount());
    EXPECT_EQ(lengthsSeen.back(), 10);
}

TEST(HostSim, LoadingAMissingAddInFailsCleanly)
{
    Host host;
    EXPECT_FALSE(host.loadAddIn("Z:\\nonexistent\\tordel.dll"));
    EXPECT_EQ(host.addIn(), nullptr);
    EXPECT_EQ(host.config, nullptr);
}
