// The setup dialog as the user meets it: its controls and texts, what OK and
// Cancel keep, browsing for the assembler, and writing out the UI texts.
#include "tests/test_support.h"

#include "setup/assembler_check.h"
#include "setup/setup_ids.h"

#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>

using testing_support::AddInTest;
using testing_support::fileExists;
using testing_support::readIni;
using testing_support::toolPath;
using testing_support::uiText;

namespace {

const int ID_OPEN_FILE_NAME = 0x47C;  // cmb13: the Open dialog's file name box

std::string text(HWND window)
{
    char buffer[1024] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}
std::string itemText(HWND dialog, int id) { return text(GetDlgItem(dialog, id)); }

// Where a control is, in the dialog's client coordinates.
RECT placeOf(HWND dialog, int id)
{
    RECT r = {};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    return r;
}

void click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// What the stand-in answers when run without arguments.
const char STAND_IN_BANNER[] = "flat assembler  version 1.73.32  (stand-in)";

// Types a path into the assembler's field and leaves the field, as a user
// does; the milliseconds until the dialog took the focus's move.
DWORD typeAssemblerPath(HWND dialog, const std::string& path)
{
    SetFocus(GetDlgItem(dialog, IDC_ASSEMBLER_PATH));
    SetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, path.c_str());
    DWORD start = GetTickCount();
    SetFocus(GetDlgItem(dialog, IDC_INCLUDE_PATH));
    return GetTickCount() - start;
}

// The system's words for an error, its "%1" filled with name.
std::string systemText(DWORD error, const std::string& name)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    for (size_t at; (at = s.find("%1")) != std::string::npos;)
        s.replace(at, 2, name);
    return s;
}

// Selects a folder in the folder picker. On a busy machine the picker may
// not have filled its tree yet when it is first asked: it is asked again
// until the folder is the selected item, for 3 s at most.
bool selectFolder(HWND picker, const std::string& folder)
{
    const std::string name = folder.substr(folder.rfind('\\') + 1);
    HWND tree = FindWindowExA(picker, nullptr, "SysTreeView32", nullptr);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 3000;) {
        SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, (LPARAM)folder.c_str());
        char text[MAX_PATH] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        item.pszText = text;
        item.cchTextMax = sizeof text;
        if (item.hItem && SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&item) &&
            lstrcmpiA(text, name.c_str()) == 0)
            return true;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(50);
    }
    return false;
}

std::string fileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return std::to_string(data.nFileSizeLow);
}
bool checked(HWND dialog, int id)
{
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Lines of an INI file's section, as "key=value", in file order.
std::vector<std::string> sectionLines(const std::string& file, const std::string& section)
{
    std::vector<std::string> lines;
    std::string content = hostsim::readFile(file), header = "[" + section + "]";
    bool inside = false;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        at = end + 1;
        if (!line.empty() && line[0] == '[')
            inside = line == header;
        else if (inside && !line.empty())
            lines.push_back(line);
    }
    return lines;
}

// Runs its action when the scope ends, however the test leaves it.
struct Restore {
    std::function<void()> action;
    explicit Restore(std::function<void()> a) : action(std::move(a)) {}
    ~Restore() { action(); }
};

class SetupTest : public AddInTest {
protected:
    // Opens the dialog through the export and runs action on it, live.
    void withDialog(std::function<void(HWND)> action)
    {
        host->answer(hostsim::Answer::run(std::move(action)));
        EXPECT_EQ(host->config(&host->handles, 0), 0);
        EXPECT_EQ(host->pendingAnswers(), 0u);
    }

    // Runs command 11204, answering the success message only when the
    // take-over is expected; true when the add-in took the command over,
    // which it does exactly while the live keepRcInclude is 1. Needs loadProject().
    bool exportTakenOver(bool expected)
    {
        if (expected)
            host->answer(hostsim::Answer::press(IDOK));
        return host->command(HC_EXPORT_RESOURCE_DEFINITIONS) == 1;
    }

    void loadProject()
    {
        load();
        std::string project = makeProject("FASM");
        host->openProject(project);
        std::string folder = project.substr(0, project.find_last_of('\\'));
        scriptPath = folder + "\\app.rc";
        host->setResourceScript(scriptPath.c_str());
        host->setDefinitions({{"IDD_MAIN", 100}});
    }
    std::string scriptPath;
};

TEST_F(SetupTest, ControlsTextsAndStylesFollowTheTemplate)
{
    struct Control {
        int id;
        const char* className;
        const char* text;
        LONG styleSet, styleClear, buttonType;
        bool clientEdge;
    } controls[] = {
        {IDC_PATH_LABEL, "Static", "Full path to the FASM compiler:", 0, WS_TABSTOP, -1, false},
        {IDC_PATH_FRAME, "Static", "", 0, WS_TABSTOP, -1, true},
        {IDC_ASSEMBLER_PATH, "Edit", "", WS_TABSTOP, WS_BORDER | ES_AUTOHSCROLL, -1, false},
        {IDC_BROWSE, "Button", "...", WS_TABSTOP, 0, BS_PUSHBUTTON, false},
        {IDC_ASSEMBLER_ANSWER, "Static", "", SS_NOPREFIX, WS_TABSTOP, -1, false},
        {IDC_INCLUDE_LABEL, "Static", "Include folder", 0, WS_TABSTOP, -1, false},
        {IDC_INCLUDE_FRAME, "Static", "", 0, WS_TABSTOP, -1, true},
        {IDC_INCLUDE_PATH, "Edit", "", WS_TABSTOP, WS_BORDER | ES_AUTOHSCROLL, -1, false},
        {IDC_INCLUDE_BROWSE, "Button", "...", WS_TABSTOP, 0, BS_PUSHBUTTON, false},
        {IDC_KEEP_RC, "Button", "Keep automatic rc.inc", WS_TABSTOP, 0, BS_AUTOCHECKBOX, false},
        {IDC_GOTO_ERROR, "Button", "Go to the first error after a failed build", WS_TABSTOP, 0,
         BS_AUTOCHECKBOX, false},
        {IDC_VERSION, "Static", "V. 0.8c", 0, WS_TABSTOP, -1, false},
        {IDC_EXPORT_UI, "Button", "Export UI", WS_TABSTOP, 0, BS_PUSHBUTTON, false},
        {IDCANCEL, "Button", "Cancel", WS_TABSTOP, 0, BS_PUSHBUTTON, false},
        {IDOK, "Button", "OK", WS_TABSTOP, 0, BS_DEFPUSHBUTTON, false},
    };
    load();
    bool ran = false;
    withDialog([&](HWND d) {
        ran = true;
        EXPECT_EQ(text(d), "TORDEL setup");
        LONG style = GetWindowLongA(d, GWL_STYLE);
        for (LONG bit : {WS_VISIBLE, WS_CAPTION, WS_SYSMENU, WS_THICKFRAME})
            EXPECT_EQ(style & bit, bit) << std::hex << bit;
        EXPECT_FALSE(style & WS_CHILD);
        EXPECT_TRUE(GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

        RECT client, size = {0, 0, 225, 121};
        GetClientRect(d, &client);
        MapDialogRect(d, &size);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        // Centred on the work area.
        RECT window, work;
        GetWindowRect(d, &window);
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_LE(abs((window.left + window.right) - (work.left + work.right)), 2);
        EXPECT_LE(abs((window.top + window.bottom) - (work.top + work.bottom)), 2);

        LOGFONTA font = {};
        HFONT handle = (HFONT)SendMessageA(d, WM_GETFONT, 0, 0);
        ASSERT_TRUE(handle);
        ASSERT_GT(GetObjectA(handle, sizeof font, &font), 0);
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(font.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
        ReleaseDC(nullptr, screen);

        // Children in template order: that is also the tab order.
        std::vector<int> order;
        for (HWND c = GetWindow(d, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            order.push_back(GetDlgCtrlID(c));
        std::vector<int> expectedOrder;
        for (const Control& c : controls)
            expectedOrder.push_back(c.id);
        EXPECT_EQ(order, expectedOrder);

        for (const Control& c : controls) {
            SCOPED_TRACE(c.id);
            HWND w = GetDlgItem(d, c.id);
            ASSERT_TRUE(w);
            char cls[64] = "";
            GetClassNameA(w, cls, sizeof cls);
            EXPECT_STRCASEEQ(cls, c.className);
            EXPECT_EQ(text(w), c.text);
            LONG s = GetWindowLongA(w, GWL_STYLE);
            EXPECT_EQ(s & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
            EXPECT_EQ(s & c.styleSet, c.styleSet);
            EXPECT_EQ(s & c.styleClear, 0);
            if (c.buttonType >= 0)
                EXPECT_EQ(s & BS_TYPEMASK, c.buttonType);
            EXPECT_EQ((GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, c.clientEdge);

            // Every control is whole inside the dialog.
            RECT r = placeOf(d, c.id);
            EXPECT_GE(r.left, 0);
            EXPECT_GE(r.top, 0);
            EXPECT_LE(r.right, client.right);
            EXPECT_LE(r.bottom, client.bottom);
            EXPECT_LT(r.left, r.right);
            EXPECT_LT(r.top, r.bottom);
        }

        // The layout: each label above its framed path, which holds the edit
        // and, at its right end, the "..." button; the assembler's answer
        // between the two; the check boxes below them; the version, Export UI,
        // Cancel and OK in one row at the bottom, left to right, none
        // covering another.
        struct Field {
            int label, frame, edit, browse;
        } fields[] = {{IDC_PATH_LABEL, IDC_PATH_FRAME, IDC_ASSEMBLER_PATH, IDC_BROWSE},
                      {IDC_INCLUDE_LABEL, IDC_INCLUDE_FRAME, IDC_INCLUDE_PATH, IDC_INCLUDE_BROWSE}};
        for (const Field& f : fields) {
            SCOPED_TRACE(f.edit);
            RECT label = placeOf(d, f.label), frame = placeOf(d, f.frame);
            RECT path = placeOf(d, f.edit), browse = placeOf(d, f.browse);
            EXPECT_LE(label.bottom, frame.top);
            for (const RECT& inside : {path, browse}) {
                EXPECT_GE(inside.left, frame.left);
                EXPECT_LE(inside.right, frame.right);
                EXPECT_GE(inside.top, frame.top);
            }
            EXPECT_LT(path.left, browse.left);
            EXPECT_LT(path.right, browse.right);
        }
        RECT answer = placeOf(d, IDC_ASSEMBLER_ANSWER);
        EXPECT_LE(placeOf(d, IDC_PATH_FRAME).bottom, answer.top);
        EXPECT_LE(answer.bottom, placeOf(d, IDC_INCLUDE_LABEL).top);
        RECT keep = placeOf(d, IDC_KEEP_RC), gotoError = placeOf(d, IDC_GOTO_ERROR);
        EXPECT_LE(placeOf(d, IDC_INCLUDE_FRAME).bottom, keep.top);
        EXPECT_LE(keep.bottom, gotoError.top);
        int row[] = {IDC_VERSION, IDC_EXPORT_UI, IDCANCEL, IDOK};
        for (size_t i = 0; i < 4; ++i) {
            RECT r = placeOf(d, row[i]);
            EXPECT_GE(r.top, gotoError.bottom) << row[i];
            if (i > 0)
                EXPECT_LE(placeOf(d, row[i - 1]).right, r.left) << row[i];
        }

        // Focus starts in the edit; Tab walks the tab stops in order and wraps.
        HWND edit = GetDlgItem(d, IDC_ASSEMBLER_PATH);
        EXPECT_EQ(GetFocus(), edit);
        std::vector<int> tabs;
        HWND at = edit;
        for (int i = 0; i < 12; ++i) {
            at = GetNextDlgTabItem(d, at, FALSE);
            tabs.push_back(GetDlgCtrlID(at));
            if (at == edit)
                break;
        }
        EXPECT_EQ(tabs,
                  (std::vector<int>{IDC_BROWSE, IDC_INCLUDE_PATH, IDC_INCLUDE_BROWSE, IDC_KEEP_RC,
                                    IDC_GOTO_ERROR, IDC_EXPORT_UI, IDCANCEL, IDOK, IDC_ASSEMBLER_PATH}));
        click(d, IDCANCEL);
    });
    EXPECT_TRUE(ran);
    ASSERT_EQ(host->dialogs.size(), 1u);
    EXPECT_FALSE(host->dialogs[0].isMessageBox);
    EXPECT_EQ(host->dialogs[0].owner, host->frame());
}

TEST_F(SetupTest, TextsFollowTheHostLanguage)
{
    std::string longButton(20, 'B');
    struct Case {
        const char* language;
        std::vector<std::pair<const char*, std::string>> translations;
        const char* title;
        const char* label;
        const char* keep;
        std::string ok, cancel;
    } cases[] = {
        {"English",
         {},
         "TORDEL setup",
         "Full path to the FASM compiler:",
         "Keep automatic rc.inc",
         "OK",
         "Cancel"},
        {"Deutsch",
         {{"d1", "TORDEL Einrichtung"},
          {"d2", "Voller Pfad zu FASM:"},
          {"d3", "rc.inc automatisch"},
          {"ok", "Gut^Abbrechen^Ja^Nein"}},
         "TORDEL Einrichtung",
         "Voller Pfad zu FASM:",
         "rc.inc automatisch",
         "Gut",
         "Abbrechen"},
        // Button captions hold 15 characters; an empty field leaves the caption empty.
        {"Long",
         {{"ok", longButton + "^"}},
         "TORDEL setup",
         "Full path to the FASM compiler:",
         "Keep automatic rc.inc",
         longButton.substr(0, 15),
         ""},
    };
    load();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        setLanguage(c.language);
        for (const auto& t : c.translations)
            translate(c.language, t.first, t.second.c_str());
        withDialog([&](HWND d) {
            EXPECT_EQ(text(d), c.title);
            EXPECT_EQ(itemText(d, IDC_PATH_LABEL), c.label);
            EXPECT_EQ(itemText(d, IDC_KEEP_RC), c.keep);
            EXPECT_EQ(itemText(d, IDOK), c.ok);
            EXPECT_EQ(itemText(d, IDCANCEL), c.cancel);
            // Not translatable.
            EXPECT_EQ(itemText(d, IDC_EXPORT_UI), "Export UI");
            EXPECT_EQ(itemText(d, IDC_VERSION), "V. 0.8c");
            EXPECT_EQ(itemText(d, IDC_BROWSE), "...");
            click(d, IDCANCEL);
        });
    }
}

TEST_F(SetupTest, OkStoresTheEditAndTheBoxEvenWhenEmpty)
{
    setAssembler("C:\\old\\fasm.exe");
    load();
    withDialog([&](HWND d) {
        EXPECT_EQ(itemText(d, IDC_ASSEMBLER_PATH), "C:\\old\\fasm.exe");
        SetDlgItemTextA(d, IDC_ASSEMBLER_PATH, "");
        click(d, IDOK);
    });
    EXPECT_EQ(readIni(inst.addInsIni, "FASM", "PATH"), "");
    EXPECT_NE(hostsim::readFile(inst.addInsIni).find("PATH=\r\n"), std::string::npos);
    EXPECT_EQ(readIni(inst.addInsIni, "FASM", "KeepRC"), "1");
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, CancelAndClosingWriteNothing)
{
    struct Case {
        const char* what;
        std::function<void(HWND)> close;
    } cases[] = {
        {"Cancel button", [](HWND d) { click(d, IDCANCEL); }},
        {"WM_CLOSE", [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }},
        {"system menu Close", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Escape", [](HWND d) { SendMessageA(d, WM_COMMAND, IDCANCEL, 0); }},
    };
    for (bool existing : {false, true}) {
        DeleteFileA(inst.addInsIni.c_str());
        if (existing) {
            setAssembler("C:\\fasm\\fasm.exe");
            setKeepRc("1");
        }
        std::string before = hostsim::readFile(inst.addInsIni);
        if (!host->addIn())
            load();
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (existing ? ", settings stored" : ", no settings file"));
            withDialog([&](HWND d) {
                SetDlgItemTextA(d, IDC_ASSEMBLER_PATH, "C:\\typed\\but\\cancelled.exe");
                click(d, IDC_KEEP_RC);
                c.close(d);
            });
            EXPECT_EQ(fileExists(inst.addInsIni), existing);
            EXPECT_EQ(hostsim::readFile(inst.addInsIni), before);
            EXPECT_EQ(host->unexpectedDialogs, 0);
        }
    }
}

TEST_F(SetupTest, StoredKeepRcShowsItsLowestBitAndSetsTheLiveFlag)
{
    struct Case {
        const char* stored;  // "": no key
        bool shown;
    } cases[] = {
        {"0", false}, {"1", true},  {"2", false},   {"3", true},
        {"", true},   {"-1", true}, {"abc", false}, {"4", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("KeepRC '") + c.stored + "'");
        host = std::make_unique<hostsim::Host>();
        DeleteFileA(inst.addInsIni.c_str());
        if (c.stored[0])
            setKeepRc(c.stored);
        loadProject();
        bool shown = !c.shown;
        withDialog([&](HWND d) {
            shown = checked(d, IDC_KEEP_RC);
            click(d, IDCANCEL);
        });
        EXPECT_EQ(shown, c.shown);
        // Opening the dialog is enough: the flag follows the box.
        EXPECT_EQ(exportTakenOver(c.shown), c.shown);
        EXPECT_EQ(host->unexpectedDialogs, 0);
    }
}

TEST_F(SetupTest, OkAppliesTheBoxAtOnce)
{
    setKeepRc("1");
    loadProject();
    ASSERT_TRUE(exportTakenOver(true));
    for (bool keep : {false, true, false}) {
        SCOPED_TRACE(keep);
        withDialog([&](HWND d) {
            if (checked(d, IDC_KEEP_RC) != keep)
                click(d, IDC_KEEP_RC);
            click(d, IDOK);
        });
        EXPECT_EQ(readIni(inst.addInsIni, "FASM", "KeepRC"), keep ? "1" : "0");
        EXPECT_EQ(exportTakenOver(keep), keep);
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, TypedPathIsStoredUpTo255Characters)
{
    load();
    for (size_t length : {1u, 254u, 255u, 256u, 300u, 2000u}) {
        SCOPED_TRACE(length);
        std::string path = "C:\\";
        while (path.size() < length)
            path += (char)('a' + path.size() % 26);
        withDialog([&](HWND d) {
            SetDlgItemTextA(d, IDC_ASSEMBLER_PATH, path.c_str());
            click(d, IDOK);
        });
        EXPECT_EQ(readIni(inst.addInsIni, "FASM", "PATH"), path.substr(0, 255));
        // And it comes back whole in the edit next time.
        withDialog([&](HWND d) {
            EXPECT_EQ(itemText(d, IDC_ASSEMBLER_PATH), path.substr(0, 255));
            click(d, IDCANCEL);
        });
    }
}

TEST_F(SetupTest, ExportUiWritesEveryKeyOnceAndTellsTheHost)
{
    translate("Deutsch", "fn", "FASM-Unterstützung");
    std::string german = hostsim::readFile(inst.uiFile);
    load();
    std::vector<std::string> expected;
    for (const auto& t : testing_support::UI_TEXTS)
        expected.push_back(std::string(t.first) + "=" + t.second);

    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        if (round == 3) {
            // A changed value in the template is put back in place.
            WritePrivateProfileStringA("DEFAULT", "c5", "changed", inst.uiFile.c_str());
        }
        withDialog([&](HWND d) {
            click(d, IDC_EXPORT_UI);
            // The dialog stays open for more.
            EXPECT_TRUE(IsWindowVisible(d));
            click(d, IDCANCEL);
        });
        EXPECT_EQ(sectionLines(inst.uiFile, "DEFAULT"), expected);
        EXPECT_EQ(sectionLines(inst.uiFile, "Deutsch"), std::vector<std::string>{"fn=FASM-Unterstützung"});
        ASSERT_EQ(host->uiFileWritten.size(), (size_t)round);
        EXPECT_EQ(host->uiFileWritten.back(), inst.uiFile);
    }
    EXPECT_EQ(hostsim::readFile(inst.uiFile).find(german), 0u);
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, ExportUiCreatesAMissingUiFolder)
{
    load();
    ASSERT_TRUE(RemoveDirectoryA(inst.uiDir.c_str()));
    withDialog([&](HWND d) {
        click(d, IDC_EXPORT_UI);
        click(d, IDCANCEL);
    });
    EXPECT_EQ(sectionLines(inst.uiFile, "DEFAULT").size(), testing_support::UI_TEXT_COUNT);
    EXPECT_EQ(host->uiFileWritten, std::vector<std::string>{inst.uiFile});
}

TEST_F(SetupTest, ExportUiThatCannotWriteSaysSoAndDoesNotTellTheHost)
{
    load();
    // A file where the ui folder belongs (put back for the next test even
    // when a check below ends this one early).
    ASSERT_TRUE(RemoveDirectoryA(inst.uiDir.c_str()));
    ASSERT_TRUE(hostsim::writeFile(inst.uiDir, "not a folder"));
    Restore restore([&] {
        DeleteFileA(inst.uiDir.c_str());
        CreateDirectoryA(inst.uiDir.c_str(), nullptr);
    });
    withDialog([&](HWND d) {
        host->answer(hostsim::Answer::press(IDOK));  // the error message
        click(d, IDC_EXPORT_UI);
        EXPECT_TRUE(IsWindowVisible(d));
        click(d, IDCANCEL);
    });
    EXPECT_TRUE(host->uiFileWritten.empty());
    ASSERT_EQ(host->dialogs.size(), 2u);
    EXPECT_TRUE(host->dialogs[1].isMessageBox);
    EXPECT_EQ(host->dialogs[1].style & MB_ICONMASK, (UINT)MB_ICONERROR);
    EXPECT_NE(host->dialogs[1].caption.find("tordel.ui"), std::string::npos) << host->dialogs[1].caption;
    EXPECT_FALSE(host->dialogs[1].text.empty());
    EXPECT_EQ(host->unexpectedDialogs, 0);
    EXPECT_EQ(hostsim::readFile(inst.uiDir), "not a folder");
}

TEST_F(SetupTest, OkThatCannotStoreSaysSoAndKeepsTheDialogOpen)
{
    setKeepRc("1");
    loadProject();
    // A folder where the settings file belongs.
    ASSERT_TRUE(DeleteFileA(inst.addInsIni.c_str()));
    ASSERT_TRUE(CreateDirectoryA(inst.addInsIni.c_str(), nullptr));
    Restore restore([&] { RemoveDirectoryA(inst.addInsIni.c_str()); });
    bool stillOpen = false;
    withDialog([&](HWND d) {
        SetDlgItemTextA(d, IDC_ASSEMBLER_PATH, "C:\\fasm\\fasm.exe");
        click(d, IDC_KEEP_RC);
        host->answer(hostsim::Answer::press(IDOK));  // the error message
        click(d, IDOK);
        stillOpen = IsWindowVisible(d) != FALSE;
        // The typed text is still there to try again or copy.
        EXPECT_EQ(itemText(d, IDC_ASSEMBLER_PATH), "C:\\fasm\\fasm.exe");
        click(d, IDCANCEL);
    });
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(host->dialogs.size(), 2u);
    EXPECT_TRUE(host->dialogs[1].isMessageBox);
    EXPECT_EQ(host->dialogs[1].style & MB_ICONMASK, (UINT)MB_ICONERROR);
    EXPECT_FALSE(host->dialogs[1].text.empty());
    // Not stored, so not applied either.
    EXPECT_TRUE(exportTakenOver(true));
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, BrowseFillsTheEditOnlyWhenAFileIsChosen)
{
    std::string chosen = testing_support::toolPath("fasm.exe");
    ASSERT_TRUE(fileExists(chosen)) << chosen;
    setAssembler("C:\\stored\\fasm.exe");
    load();
    std::string openedWith;
    HWND setup = nullptr;
    withDialog([&](HWND d) {
        setup = d;
        SetDlgItemTextA(d, IDC_ASSEMBLER_PATH, "C:\\typed\\fasm.exe");
        // Cancelled: nothing changes.
        host->answer(hostsim::Answer::run([&](HWND open) {
            openedWith = itemText(open, ID_OPEN_FILE_NAME);
            PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
        }));
        click(d, IDC_BROWSE);
        EXPECT_EQ(itemText(d, IDC_ASSEMBLER_PATH), "C:\\typed\\fasm.exe");
        // A file chosen: its full path replaces the edit's text.
        host->answer(hostsim::Answer::run([&](HWND open) {
            SetDlgItemTextA(open, ID_OPEN_FILE_NAME, chosen.c_str());
            PostMessageA(open, WM_COMMAND, IDOK, 0);
        }));
        click(d, IDC_BROWSE);
        EXPECT_STRCASEEQ(itemText(d, IDC_ASSEMBLER_PATH).c_str(), chosen.c_str());
        click(d, IDOK);
    });
    // The Open dialog starts from the stored path, not from the typed text.
    EXPECT_NE(openedWith.find("fasm.exe"), std::string::npos) << openedWith;
    EXPECT_EQ(openedWith.find("typed"), std::string::npos) << openedWith;
    ASSERT_EQ(host->dialogs.size(), 3u);
    EXPECT_FALSE(host->dialogs[1].isMessageBox);
    EXPECT_EQ(host->dialogs[1].owner, setup);
    EXPECT_EQ(host->dialogs[2].owner, setup);
    EXPECT_STRCASEEQ(readIni(inst.addInsIni, "FASM", "PATH").c_str(), chosen.c_str());
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, EachKindOfPathGetsItsOwnAnswerInTime)
{
    const std::string folder = hostsim::tempFolder("answers"), fasm = toolPath("fasm.exe");
    const std::string childproc = toolPath("childproc.exe");
    for (const char* sub : {"\\with blank", "\\wrapped", "\\hangs", "\\fasm2", "\\fasmg"})
        ASSERT_TRUE(CreateDirectoryA((folder + sub).c_str(), nullptr)) << sub;
    ASSERT_TRUE(CopyFileA(fasm.c_str(), (folder + "\\with blank\\fasm.exe").c_str(), FALSE));
    ASSERT_TRUE(hostsim::writeFile(folder + "\\wrapped\\fasm2.cmd", "@echo off\r\n\"" + fasm + "\" %*\r\n"));
    const std::string ticks = folder + "\\hangs\\ticks.txt";
    ASSERT_TRUE(hostsim::writeFile(folder + "\\hangs\\fasm.cmd",
                                   "@\"" + childproc + "\" append:600:50:\"" + ticks + "\"\r\n"));
    ASSERT_TRUE(hostsim::writeFile(folder + "\\notes.txt", "not a program\r\n"));
    ASSERT_TRUE(CopyFileA(childproc.c_str(), (folder + "\\fasm2\\fasmg.exe").c_str(), FALSE));
    ASSERT_TRUE(hostsim::writeFile(folder + "\\fasm2\\fasm2.cmd", "@echo off\r\n"));
    ASSERT_TRUE(CopyFileA(childproc.c_str(), (folder + "\\fasmg\\fasmg.exe").c_str(), FALSE));

    char stopped[256], notAProgram[512];
    snprintf(stopped, sizeof stopped, uiText("a5").c_str(), (unsigned long)(ANSWER_WAIT_MS / 1000));
    snprintf(notAProgram, sizeof notAProgram, uiText("a2").c_str(),
             systemText(ERROR_BAD_EXE_FORMAT, "notes.txt").c_str());
    const DWORD inTime = ANSWER_WAIT_MS + 300;
    struct Case {
        const char* label;
        std::string path, answer;
        DWORD atLeastMs, atMostMs;  // a program that never ends is waited for, and no longer
    } cases[] = {
        {"the stand-in", fasm, STAND_IN_BANNER, 0, inTime},
        {"quoted, a blank in its folder", "\"" + folder + "\\with blank\\fasm.exe\"", STAND_IN_BANNER, 0,
         inTime},
        {"a .cmd that runs it", folder + "\\wrapped\\fasm2.cmd", STAND_IN_BANNER, 0, inTime},
        // Its first line is all that is asked for: it is not waited for.
        {"the banner, then it never ends", childproc + " \"out:flat assembler  version 9.99\\n\" hold:60000",
         "flat assembler  version 9.99", 0, ANSWER_WAIT_MS / 2},
        {"a missing file", folder + "\\missing.exe", uiText("a1"), 0, inTime},
        {"a missing folder", folder + "\\missing\\fasm.exe", uiText("a1"), 0, inTime},
        {"a text file", folder + "\\notes.txt", notAProgram, 0, inTime},
        {"a folder", folder, uiText("a6"), 0, inTime},
        {"another program", childproc + " \"out:Microsoft (R) Macro Assembler Version 6.14\\n\"",
         uiText("a3"), 0, inTime},
        {"a program that prints nothing", childproc, uiText("a3"), 0, inTime},
        {"fasmg.exe with fasm2.cmd beside it", folder + "\\fasm2\\fasmg.exe", uiText("a4"), 0, inTime},
        {"FASMG without its extension", folder + "\\fasm2\\FASMG", uiText("a4"), 0, inTime},
        {"fasmg.exe alone", folder + "\\fasmg\\fasmg.exe", uiText("a3"), 0, inTime},
        {"a program that never ends", folder + "\\hangs\\fasm.cmd", stopped, ANSWER_WAIT_MS - 100, inTime},
        {"no path", "", "", 0, inTime},
        {"blanks", "   ", "", 0, inTime},
    };
    load();
    withDialog([&](HWND d) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.label);
            DWORD took = typeAssemblerPath(d, c.path);
            EXPECT_EQ(itemText(d, IDC_ASSEMBLER_ANSWER), c.answer);
            EXPECT_LE(took, c.atMostMs);
            EXPECT_GE(took, c.atLeastMs);
        }
        // What the program that never ended started was stopped with it.
        std::string size = fileSize(ticks);
        EXPECT_NE(size, "0");
        Sleep(300);
        EXPECT_EQ(fileSize(ticks), size);
        click(d, IDCANCEL);
    });
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, TheAssemblerIsAskedAtOpeningAndWhenThePathChanges)
{
    const std::string folder = hostsim::tempFolder("asked"), runs = folder + "\\runs.txt";
    const std::string counting = folder + "\\fasm.cmd";
    ASSERT_TRUE(hostsim::writeFile(counting, "@echo off\r\necho run>>\"" + runs +
                                                 "\"\r\necho flat assembler  version 1.73.34\r\n"));
    std::string upperCounting = counting;
    CharUpperA(&upperCounting[0]);
    auto timesRun = [&] { return hostsim::readFile(runs).size() / strlen("run\r\n"); };
    setAssembler(counting);
    load();
    withDialog([&](HWND d) {
        EXPECT_EQ(itemText(d, IDC_ASSEMBLER_ANSWER), "flat assembler  version 1.73.34");
        EXPECT_EQ(timesRun(), 1u);
        // Left with the same text: not asked again.
        typeAssemblerPath(d, counting);
        EXPECT_EQ(timesRun(), 1u);
        typeAssemblerPath(d, folder + "\\missing.exe");
        EXPECT_EQ(itemText(d, IDC_ASSEMBLER_ANSWER), uiText("a1"));
        typeAssemblerPath(d, counting);
        EXPECT_EQ(timesRun(), 2u);
        EXPECT_EQ(itemText(d, IDC_ASSEMBLER_ANSWER), "flat assembler  version 1.73.34");

        // Chosen with "...": asked, even for the same path; a cancelled
        // choice asks nothing.
        SetFocus(GetDlgItem(d, IDC_INCLUDE_PATH));
        host->answer(hostsim::Answer::run([&](HWND open) {
            SetDlgItemTextA(open, ID_OPEN_FILE_NAME, counting.c_str());
            PostMessageA(open, WM_COMMAND, IDOK, 0);
        }));
        click(d, IDC_BROWSE);
        EXPECT_EQ(timesRun(), 3u);
        host->answer(hostsim::Answer::run([](HWND open) { PostMessageA(open, WM_COMMAND, IDCANCEL, 0); }));
        click(d, IDC_BROWSE);
        EXPECT_EQ(timesRun(), 3u);

        // Typed, then OK at once (Enter): the field loses the focus as the
        // dialog goes, and nothing is asked then.
        SetFocus(GetDlgItem(d, IDC_ASSEMBLER_PATH));
        SetDlgItemTextA(d, IDC_ASSEMBLER_PATH, upperCounting.c_str());
        SendMessageA(d, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(timesRun(), 3u);
    EXPECT_EQ(readIni(inst.addInsIni, "FASM", "PATH"), upperCounting);
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, TheIncludeFoldersButtonPicksAFolderOrNothing)
{
    const std::string chosen = hostsim::tempFolder("headers");
    load();
    HWND setup = nullptr;
    withDialog([&](HWND d) {
        setup = d;
        SetDlgItemTextA(d, IDC_INCLUDE_PATH, "C:\\typed");
        host->answer(
            hostsim::Answer::run([](HWND picker) { PostMessageA(picker, WM_COMMAND, IDCANCEL, 0); }));
        click(d, IDC_INCLUDE_BROWSE);
        EXPECT_EQ(itemText(d, IDC_INCLUDE_PATH), "C:\\typed");
        host->answer(hostsim::Answer::run([&](HWND picker) {
            EXPECT_TRUE(selectFolder(picker, chosen));
            SendMessageA(picker, WM_COMMAND, IDOK, 0);
        }));
        click(d, IDC_INCLUDE_BROWSE);
        EXPECT_STRCASEEQ(itemText(d, IDC_INCLUDE_PATH).c_str(), chosen.c_str());
        click(d, IDOK);
    });
    ASSERT_EQ(host->dialogs.size(), 3u);
    for (size_t i : {1u, 2u}) {
        EXPECT_FALSE(host->dialogs[i].isMessageBox);
        EXPECT_EQ(host->dialogs[i].owner, setup);
    }
    EXPECT_STRCASEEQ(readIni(inst.addInsIni, "FASM", "INCLUDE").c_str(), chosen.c_str());
    EXPECT_EQ(host->unexpectedDialogs, 0);
}

TEST_F(SetupTest, SampleTranslationIsCompleteAndCarriesTheExportedTemplate)
{
    std::string sample = testing_support::env("TORDEL_SOURCE") + "\\examples\\ui\\tordel.ui";
    ASSERT_TRUE(fileExists(sample)) << sample;
    std::vector<std::string> german = sectionLines(sample, "Deutsch");
    ASSERT_EQ(german.size(), testing_support::UI_TEXT_COUNT);
    auto valueOf = [&](const char* key) {
        for (const std::string& line : german)
            if (line.compare(0, 3, std::string(key) + "=") == 0)
                return line.substr(3);
        return std::string("<missing>");
    };
    for (size_t i = 0; i < german.size(); ++i) {
        SCOPED_TRACE(german[i]);
        EXPECT_EQ(german[i].substr(0, 3), std::string(testing_support::UI_TEXTS[i].first) + "=");
        EXPECT_GT(german[i].size(), 3u);
    }
    // Every caption field fits its slot: 15 characters for buttons, 63 for menus.
    auto fields = [](const std::string& value) {
        std::vector<std::string> out(1);
        for (char ch : value)
            if (ch == '^')
                out.emplace_back();
            else
                out.back() += ch;
        return out;
    };
    std::vector<std::string> buttons = fields(valueOf("ok")), menus = fields(valueOf("mn"));
    EXPECT_EQ(buttons.size(), 4u);
    EXPECT_EQ(menus.size(), 5u);
    for (const std::string& f : buttons)
        EXPECT_LE(f.size(), 15u) << f;
    for (const std::string& f : menus)
        EXPECT_LE(f.size(), 63u) << f;

    // In use, the dialog shows the sample's texts.
    ASSERT_TRUE(CopyFileA(sample.c_str(), inst.uiFile.c_str(), FALSE));
    setLanguage("Deutsch");
    load();
    withDialog([&](HWND d) {
        EXPECT_EQ(text(d), valueOf("d1"));
        EXPECT_EQ(itemText(d, IDC_PATH_LABEL), valueOf("d2"));
        EXPECT_EQ(itemText(d, IDC_KEEP_RC), valueOf("d3"));
        EXPECT_EQ(itemText(d, IDOK), buttons[0]);
        EXPECT_EQ(itemText(d, IDCANCEL), buttons[1]);
        click(d, IDCANCEL);
    });

    // Its [DEFAULT] section is what Export UI writes into a fresh file.
    ASSERT_TRUE(DeleteFileA(inst.uiFile.c_str()));
    withDialog([&](HWND d) {
        click(d, IDC_EXPORT_UI);
        click(d, IDCANCEL);
    });
    EXPECT_EQ(sectionLines(sample, "DEFAULT"), sectionLines(inst.uiFile, "DEFAULT"));
}

}  // namespace

// GotoError: shown checked only when stored as exactly 1, stored as the box
// says on OK.
TEST_F(SetupTest, TheFirstErrorBoxShowsAndStoresGotoError)
{
    load();
    struct Case {
        const char* stored;  // "": no key
        bool shown;
    } cases[] = {{"1", true}, {"0", false}, {"", false}, {"2", false}, {"yes", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("GotoError '") + c.stored + "'");
        WritePrivateProfileStringA("FASM", "GotoError", c.stored[0] ? c.stored : nullptr,
                                   inst.addInsIni.c_str());
        for (bool flip : {false, true}) {
            withDialog([&](HWND d) {
                EXPECT_EQ(checked(d, IDC_GOTO_ERROR), c.shown);
                if (flip)
                    click(d, IDC_GOTO_ERROR);
                click(d, IDOK);
            });
            EXPECT_EQ(readIni(inst.addInsIni, "FASM", "GotoError"), c.shown != flip ? "1" : "0");
            WritePrivateProfileStringA("FASM", "GotoError", c.stored[0] ? c.stored : nullptr,
                                       inst.addInsIni.c_str());
        }
    }
    EXPECT_EQ(host->unexpectedDialogs, 0);
}
