// Host simulator: real Win32 windows that honour the host interface of
// host/host_interface.h (see hostsim.h for the API).
#include "tools/hostsim/hostsim.h"

#include <commctrl.h>
#include <richedit.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <deque>
#include <map>
#include <set>

namespace hostsim {
namespace {

// The simulator's own child record: the host's layout, with a path buffer far
// larger than MAX_PATH so that long paths are stored whole.
struct SimChildRecord {
    HWND editor;            // slot 0
    HostSlot reserved1[2];  // slots 1, 2
    HostSlot fileType;      // slot 3
    char fullPath[4096];    // from slot 4
};
static_assert(offsetof(SimChildRecord, editor) == offsetof(ChildRecord, editor), "record layout");
static_assert(offsetof(SimChildRecord, fileType) == offsetof(ChildRecord, fileType), "record layout");
static_assert(offsetof(SimChildRecord, fullPath) == offsetof(ChildRecord, fullPath), "record layout");

const char FRAME_CLASS[] = "HostSimFrame";
const char CHILD_CLASS[] = "HostSimChild";
const char PANE_CLASS[] = "HostSimOutputPane";
const char IMPL_PROP[] = "hostsim.impl";
const char CHILD_PROP[] = "hostsim.child";
const char DLG_INDEX_PROP[] = "hostsim.dialog";
const char DLG_ORIG_PROP[] = "hostsim.dialogproc";
const char EMPTY[] = "";

const UINT_PTR ANSWER_TIMER = 0x7A51;
const UINT_PTR WATCHDOG_TIMER = 0x7A52;
const UINT ANSWER_DELAY_MS = 10;
const UINT WATCHDOG_MS = 5000;
const int PANE_HEIGHT = 180;
const UINT FIRST_COMMAND_ID = 20001;
const int MDI_FIRST_CHILD = 50000;
// Shown windows only: room left of the text for the error marker.
const int MARK_MARGIN = 12;
const COLORREF MARK_LINE_COLOR = RGB(255, 200, 200);
const COLORREF MARK_BAR_COLOR = RGB(210, 0, 0);
const COLORREF HIGHLIGHT_COLOR = RGB(255, 232, 130);
// Raster operation DPa: the brush tints white background while dark text
// stays dark, and painting twice gives the same pixels, so it can run after
// every paint of any part of the control.
const DWORD TINT_ROP = 0x00A000C9;

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

std::string windowText(HWND h)
{
    int n = GetWindowTextLengthA(h);
    if (n <= 0)
        return std::string();
    std::string s(n + 1, '\0');
    int got = GetWindowTextA(h, &s[0], n + 1);
    s.resize(got > 0 ? got : 0);
    return s;
}

std::string className(HWND h)
{
    char buf[64] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

}  // namespace

// What the private editor messages left on a control, for drawing it.
struct LineDecor {
    std::map<int, LPARAM> marks;  // line -> mark kind
    std::set<int> highlights;
};

struct Child {
    HWND hwnd = nullptr;
    HWND editor = nullptr;
    bool otherSet = false;
    bool open = true;
    std::string text;  // initial text, used at creation
    std::vector<EditorEvent> events;
    LineDecor decor;
    SimChildRecord rec{};
};

struct Host::Impl {
    Host* host = nullptr;
    HWND frame = nullptr, mdiClient = nullptr, pane = nullptr, output = nullptr, status = nullptr;
    HMENU menu = nullptr, windowMenu = nullptr;
    HACCEL accel = nullptr;  // the host's accelerator-table variable
    HHOOK cbtHook = nullptr;
    bool visible = false;  // shown to a user: dialogs wait for them, marks are drawn
    HFONT shownFont = nullptr;
    bool inRun = false;
    UINT nextCommandId = FIRST_COMMAND_ID;

    HMODULE addIn = nullptr;
    AddInWindowProc frameProc = nullptr;
    AddInWindowProc outProc = nullptr;
    LRESULT lastOutResult = 0;

    WNDPROC outputOrig = nullptr;
    WNDPROC editorOrig = nullptr;
    std::vector<EditorEvent> outputEvents;
    int outputPaints = 0;
    size_t highlightEventsFrom = 0;  // events before the last WM_SETTEXT no longer show
    LineDecor outputDecor;

    std::vector<Child*> set1, set2, closed;

    // Project
    bool projectOpen = false;
    std::string projectFile, assemblerArgs, outputFile;
    bool argsNull = false, outputNull = false;
    ProjectInfo info{};

    // Resource links
    const char* scriptPtr = nullptr;
    std::string scriptStorage;
    std::vector<ResourceDefinition> defs;
    const ResourceDefinition* defsPtr = nullptr;

    std::deque<Answer> answers;

    Child* findChild(HWND child) const
    {
        for (auto* list : {&set1, &set2, &closed})
            for (Child* c : *list)
                if (c->hwnd == child)
                    return c;
        return nullptr;
    }
    void layout();
    void fillProjectInfo();
    void onDialog(HWND dlg);
    void answerDialog(HWND dlg);
    void watchdog(HWND dlg);
    LRESULT ownFrameProc(HWND h, UINT m, WPARAM w, LPARAM l);
    bool visibleCommand(UINT id);
    void childClosed(HWND h);
};

namespace {

thread_local Host::Impl* threadImpl = nullptr;

// ---- dialogs ---------------------------------------------------------------

struct MessageBoxShape {
    bool isMessageBox = false;
    UINT style = 0;
    int defaultButton = 0;  // the answer when none is queued
};

bool visibleChild(HWND dlg, int id)
{
    HWND c = GetDlgItem(dlg, id);
    return c && (GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE);
}

// A message box is a dialog with the text static 0xFFFF whose other children
// are statics and push buttons with the standard ids (IDOK..IDCONTINUE).
MessageBoxShape examineDialog(HWND dlg)
{
    MessageBoxShape shape;
    if (!GetDlgItem(dlg, 0xFFFF))
        return shape;
    bool onlyStandard = true;
    HICON icon = nullptr;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = className(c);
        int id = GetDlgCtrlID(c);
        LONG style = GetWindowLongA(c, GWL_STYLE);
        if (lstrcmpiA(cls.c_str(), "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON && (style & WS_VISIBLE))
                icon = (HICON)SendMessageA(c, STM_GETICON, 0, 0);
        } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
            if (id < IDOK || id > IDCONTINUE)
                onlyStandard = false;
        } else {
            onlyStandard = false;
        }
    }
    if (!onlyStandard)
        return shape;
    shape.isMessageBox = true;
    auto has = [&](int id) { return visibleChild(dlg, id); };
    UINT buttons = MB_OK;
    if (has(IDOK) && has(IDCANCEL))
        buttons = MB_OKCANCEL;
    else if (has(IDOK))
        buttons = MB_OK;
    else if (has(IDABORT))
        buttons = MB_ABORTRETRYIGNORE;
    else if (has(IDYES) && has(IDCANCEL))
        buttons = MB_YESNOCANCEL;
    else if (has(IDYES))
        buttons = MB_YESNO;
    else if (has(IDTRYAGAIN))
        buttons = MB_CANCELTRYCONTINUE;
    else if (has(IDRETRY))
        buttons = MB_RETRYCANCEL;
    shape.style = buttons;
    if (has(IDHELP))
        shape.style |= MB_HELP;
    if (icon) {
        if (icon == LoadIconA(nullptr, IDI_HAND))
            shape.style |= MB_ICONERROR;
        else if (icon == LoadIconA(nullptr, IDI_EXCLAMATION))
            shape.style |= MB_ICONWARNING;
        else if (icon == LoadIconA(nullptr, IDI_QUESTION))
            shape.style |= MB_ICONQUESTION;
        else if (icon == LoadIconA(nullptr, IDI_ASTERISK))
            shape.style |= MB_ICONINFORMATION;
        else
            shape.style |= MB_USERICON;
    }
    if (has(IDCANCEL)) {
        shape.defaultButton = IDCANCEL;
    } else {
        static const int order[] = {IDOK, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE, IDTRYAGAIN, IDCONTINUE};
        for (int id : order)
            if (has(id)) {
                shape.defaultButton = id;
                break;
            }
        if (!shape.defaultButton)
            shape.defaultButton = IDOK;
    }
    return shape;
}

bool isButtonCommand(WPARAM w, LPARAM l)
{
    if (HIWORD(w) != BN_CLICKED)
        return false;
    if (l)
        return lstrcmpiA(className((HWND)l).c_str(), "Button") == 0;
    return LOWORD(w) >= IDOK && LOWORD(w) <= IDCONTINUE;
}

// Subclass of every dialog seen: records the last button command as the answer.
template <bool wide>
LRESULT CALLBACK dialogSubclass(HWND h, UINT m, WPARAM w, LPARAM l)
{
    WNDPROC orig = (WNDPROC)GetPropA(h, DLG_ORIG_PROP);
    if (m == WM_COMMAND && threadImpl && isButtonCommand(w, l)) {
        size_t index = (size_t)(UINT_PTR)GetPropA(h, DLG_INDEX_PROP);
        if (index > 0 && index <= threadImpl->host->dialogs.size())
            threadImpl->host->dialogs[index - 1].answer = LOWORD(w);
    }
    if (m == WM_NCDESTROY && orig) {
        if (wide)
            SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)orig);
        else
            SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)orig);
        RemovePropA(h, DLG_ORIG_PROP);
        RemovePropA(h, DLG_INDEX_PROP);
    }
    if (!orig)
        return wide ? DefWindowProcW(h, m, w, l) : DefWindowProcA(h, m, w, l);
    return wide ? CallWindowProcW(orig, h, m, w, l) : CallWindowProcA(orig, h, m, w, l);
}

void CALLBACK dialogTimer(HWND h, UINT, UINT_PTR id, DWORD)
{
    KillTimer(h, id);
    if (!threadImpl || !IsWindow(h))
        return;
    if (id == ANSWER_TIMER)
        threadImpl->answerDialog(h);
    else if (id == WATCHDOG_TIMER)
        threadImpl->watchdog(h);
}

LRESULT CALLBACK cbtHook(int code, WPARAM w, LPARAM l)
{
    if (code == HCBT_ACTIVATE && threadImpl) {
        HWND h = (HWND)w;
        if (className(h) == "#32770" && !GetPropA(h, DLG_INDEX_PROP))
            threadImpl->onDialog(h);
    }
    return CallNextHookEx(nullptr, code, w, l);
}

// ---- window procedures -----------------------------------------------------

void recordPrivate(std::vector<EditorEvent>& events, UINT m, WPARAM w, LPARAM l)
{
    events.push_back(EditorEvent{m, w, l});
}

void applyDecor(HWND h, LineDecor& d, UINT m, WPARAM w, LPARAM l, bool visible)
{
    int line = (int)w;
    switch (m) {
    case HEM_SETLINEHIGHLIGHT:
        if (l)
            d.highlights.insert(line);
        else
            d.highlights.erase(line);
        break;
    case HEM_SETLINEMARK:
        if (l)
            d.marks[line] = l;
        else
            d.marks.erase(line);
        break;
    case HEM_CLEARMARKS:
        for (auto it = d.marks.begin(); it != d.marks.end();)
            it = (l == 0 || it->second == l) ? d.marks.erase(it) : std::next(it);
        break;
    }
    if (visible)
        InvalidateRect(h, nullptr, TRUE);
}

// The band a line occupies in the control's client area; false when the
// line does not exist.
bool lineBand(HWND h, int line, int& top, int& bottom)
{
    if (line < 0)
        return false;
    LRESULT first = SendMessageA(h, EM_LINEINDEX, line, 0);
    if (first < 0)
        return false;
    POINTL pt{0, 0};
    SendMessageA(h, EM_POSFROMCHAR, (WPARAM)&pt, first);
    top = pt.y;
    LRESULT next =
        line + 1 < SendMessageA(h, EM_GETLINECOUNT, 0, 0) ? SendMessageA(h, EM_LINEINDEX, line + 1, 0) : -1;
    POINTL np{0, 0};
    if (next > first)
        SendMessageA(h, EM_POSFROMCHAR, (WPARAM)&np, next);
    if (next > first && np.y > pt.y) {
        bottom = np.y;
    } else {
        HDC dc = GetDC(h);
        HFONT font = (HFONT)SendMessageA(h, WM_GETFONT, 0, 0);
        HGDIOBJ old = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(ANSI_FIXED_FONT));
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(h, dc);
        bottom = top + (tm.tmHeight > 0 ? tm.tmHeight : 14);
    }
    return true;
}

// Drawn over what the rich edit painted: it knows nothing of these lines.
void paintDecor(HWND h, const LineDecor& d, bool markMargin)
{
    if (!markMargin && d.marks.empty() && d.highlights.empty())
        return;
    RECT client;
    GetClientRect(h, &client);
    HideCaret(h);
    HDC dc = GetDC(h);
    if (markMargin) {
        // Outside the formatting rectangle the control leaves old pixels.
        RECT strip{client.left, client.top, client.left + MARK_MARGIN, client.bottom};
        FillRect(dc, &strip, GetSysColorBrush(COLOR_WINDOW));
    }
    auto tint = [&](int line, COLORREF color) {
        int top, bottom;
        if (!lineBand(h, line, top, bottom) || bottom <= client.top || top >= client.bottom)
            return;
        HBRUSH b = CreateSolidBrush(color);
        HGDIOBJ old = SelectObject(dc, b);
        PatBlt(dc, client.left, top, client.right - client.left, bottom - top, TINT_ROP);
        SelectObject(dc, old);
        DeleteObject(b);
        if (markMargin && color == MARK_LINE_COLOR) {
            RECT bar{client.left + 2, top + 1, client.left + MARK_MARGIN - 3, bottom - 1};
            HBRUSH red = CreateSolidBrush(MARK_BAR_COLOR);
            FillRect(dc, &bar, red);
            DeleteObject(red);
        }
    };
    for (int line : d.highlights)
        tint(line, HIGHLIGHT_COLOR);
    for (const auto& m : d.marks)
        tint(m.first, MARK_LINE_COLOR);
    ReleaseDC(h, dc);
    ShowCaret(h);
}

bool isPrivateEditorMessage(UINT m)
{
    return m == HEM_SETLINEHIGHLIGHT || m == HEM_SETLINEMARK || m == HEM_CLEARMARKS;
}

LRESULT CALLBACK editorProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    Child* c = (Child*)GetPropA(h, CHILD_PROP);
    Host::Impl* im = (Host::Impl*)GetPropA(h, IMPL_PROP);
    WNDPROC orig = im ? im->editorOrig : nullptr;
    if (c && isPrivateEditorMessage(m)) {
        recordPrivate(c->events, m, w, l);
        applyDecor(h, c->decor, m, w, l, im && im->visible);
        return 1;
    }
    if (m == WM_PAINT && c && orig && im && im->visible) {
        LRESULT r = CallWindowProcA(orig, h, m, w, l);
        paintDecor(h, c->decor, true);
        return r;
    }
    if (m == WM_SIZE && c && orig && im && im->visible) {
        // Riched32 here ignores EM_SETMARGINS; a narrower formatting
        // rectangle keeps the text clear of the error marker.
        LRESULT r = CallWindowProcA(orig, h, m, w, l);
        RECT fr{MARK_MARGIN, 1, LOWORD(l), HIWORD(l)};
        if (fr.right > fr.left)
            SendMessageA(h, EM_SETRECT, 0, (LPARAM)&fr);
        return r;
    }
    if (m == WM_NCDESTROY) {
        RemovePropA(h, CHILD_PROP);
        RemovePropA(h, IMPL_PROP);
        if (orig)
            SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)orig);
    }
    return orig ? CallWindowProcA(orig, h, m, w, l) : DefWindowProcA(h, m, w, l);
}

LRESULT CALLBACK outputProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    Host::Impl* im = (Host::Impl*)GetPropA(h, IMPL_PROP);
    if (!im)
        return DefWindowProcA(h, m, w, l);
    WNDPROC orig = im->outputOrig;
    if (im->host->onOutputMessage)
        im->host->onOutputMessage(m);
    if (im->outProc) {
        LRESULT r = im->outProc(h, m, w, l);
        if (m == WM_LBUTTONDBLCLK) {
            im->lastOutResult = r;
            // A user who jumped to a source line types there next.
            if (r && im->visible) {
                HWND active = (HWND)SendMessageA(im->mdiClient, WM_MDIGETACTIVE, 0, 0);
                HWND ed = active ? GetDlgItem(active, 1) : nullptr;
                if (ed)
                    SetFocus(ed);
            }
        }
        if (r)
            return r;
    }
    if (isPrivateEditorMessage(m)) {
        recordPrivate(im->outputEvents, m, w, l);
        applyDecor(h, im->outputDecor, m, w, l, im->visible);
        return 1;
    }
    if (m == WM_SETTEXT) {
        // Line highlights belong to the text: new text as a whole drops them.
        im->outputDecor.highlights.clear();
        im->highlightEventsFrom = im->outputEvents.size();
    }
    if (m == WM_PAINT) {
        ++im->outputPaints;
        if (im->host->onOutputPaint)
            im->host->onOutputPaint();
    }
    if (m == WM_PAINT && im->visible) {
        LRESULT r = CallWindowProcA(orig, h, m, w, l);
        paintDecor(h, im->outputDecor, false);
        return r;
    }
    if (m == WM_NCDESTROY) {
        RemovePropA(h, IMPL_PROP);
        SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)orig);
    }
    return CallWindowProcA(orig, h, m, w, l);
}

LRESULT CALLBACK paneProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    Host::Impl* im = (Host::Impl*)GetWindowLongPtrA(h, GWLP_USERDATA);
    switch (m) {
    case WM_NCCREATE:
        SetWindowLongPtrA(h, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)l)->lpCreateParams);
        break;
    case WM_SIZE:
        if (im && im->output)
            MoveWindow(im->output, 0, 0, LOWORD(l), HIWORD(l), TRUE);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = (WINDOWPOS*)l;
        if (im && (wp->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)))
            im->layout();  // shown or hidden
        break;
    }
    }
    return DefWindowProcA(h, m, w, l);
}

LRESULT CALLBACK childProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    switch (m) {
    case WM_CREATE: {
        auto* cs = (CREATESTRUCTA*)l;
        auto* mcs = (MDICREATESTRUCTA*)cs->lpCreateParams;
        Child* c = (Child*)mcs->lParam;
        Host::Impl* im = threadImpl;
        c->hwnd = h;
        RECT rc;
        GetClientRect(h, &rc);
        c->editor = CreateWindowExA(0, "RICHEDIT", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                        ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                    0, 0, rc.right, rc.bottom, h, (HMENU)1, instance(), nullptr);
        if (!c->editor)
            return -1;
        SendMessageA(c->editor, WM_SETFONT,
                     (WPARAM)(im && im->shownFont ? im->shownFont : GetStockObject(ANSI_FIXED_FONT)), 0);
        SendMessageA(c->editor, EM_EXLIMITTEXT, 0, 64 * 1024 * 1024);
        SetWindowTextA(c->editor, c->text.c_str());
        SendMessageA(c->editor, EM_SETMODIFY, FALSE, 0);
        SendMessageA(c->editor, EM_SETSEL, 0, 0);
        c->rec.editor = c->editor;
        SetPropA(c->editor, CHILD_PROP, (HANDLE)c);
        SetPropA(c->editor, IMPL_PROP, (HANDLE)im);
        WNDPROC old = (WNDPROC)SetWindowLongPtrA(c->editor, GWLP_WNDPROC, (LONG_PTR)editorProc);
        if (im && !im->editorOrig)
            im->editorOrig = old;
        SetWindowLongPtrA(h, 0, (LONG_PTR)&c->rec);
        break;
    }
    case WM_SIZE: {
        HWND ed = GetDlgItem(h, 1);
        if (ed)
            MoveWindow(ed, 0, 0, LOWORD(l), HIWORD(l), TRUE);
        break;  // DefMDIChildProc must see it too
    }
    case WM_SETFOCUS: {
        HWND ed = GetDlgItem(h, 1);
        if (ed)
            SetFocus(ed);
        return 0;
    }
    case WM_NCDESTROY:
        if (threadImpl)
            threadImpl->childClosed(h);
        break;
    }
    return DefMDIChildProcA(h, m, w, l);
}

LRESULT CALLBACK frameProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    Host::Impl* im = (Host::Impl*)GetWindowLongPtrA(h, GWLP_USERDATA);
    if (m == WM_NCCREATE) {
        im = (Host::Impl*)((CREATESTRUCTA*)l)->lpCreateParams;
        SetWindowLongPtrA(h, GWLP_USERDATA, (LONG_PTR)im);
    }
    if (!im)
        return DefWindowProcA(h, m, w, l);
    // Like the real host: every frame message goes to the add-in first.
    if (im->frameProc) {
        LRESULT r = im->frameProc(h, m, w, l);
        if (r)
            return r;
    }
    return im->ownFrameProc(h, m, w, l);
}

void registerClasses()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);

    wc.lpfnWndProc = frameProc;
    wc.hbrBackground = (HBRUSH)(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = FRAME_CLASS;
    RegisterClassExA(&wc);

    wc.lpfnWndProc = childProc;
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.cbWndExtra = sizeof(LONG_PTR);  // the ChildRecord pointer
    wc.lpszClassName = CHILD_CLASS;
    RegisterClassExA(&wc);

    wc.lpfnWndProc = paneProc;
    wc.cbWndExtra = 0;
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = PANE_CLASS;
    RegisterClassExA(&wc);
}

HFONT menuFont()
{
    static HFONT font = nullptr;
    if (!font) {
        NONCLIENTMETRICSA ncm{};
        ncm.cbSize = sizeof ncm;
        if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
            font = CreateFontIndirectA(&ncm.lfMenuFont);
        if (!font)
            font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    }
    return font;
}

// Splits an owner-drawn caption "Text\tShortcut".
void splitCaption(const char* caption, std::string& left, std::string& right)
{
    const char* tab = strchr(caption, '\t');
    left.assign(caption, tab ? tab - caption : strlen(caption));
    right = tab ? tab + 1 : "";
}

}  // namespace

// ---- Impl ------------------------------------------------------------------

void Host::Impl::layout()
{
    if (!frame)
        return;
    RECT rc;
    GetClientRect(frame, &rc);
    int statusHeight = 0;
    if (status) {
        SendMessageA(status, WM_SIZE, 0, 0);
        RECT sr;
        GetWindowRect(status, &sr);
        statusHeight = sr.bottom - sr.top;
    }
    int bottom = rc.bottom - statusHeight;
    if (bottom < 0)
        bottom = 0;
    bool paneShown = pane && (GetWindowLongA(pane, GWL_STYLE) & WS_VISIBLE);
    int paneHeight = paneShown ? PANE_HEIGHT : 0;
    if (paneHeight > bottom)
        paneHeight = bottom;
    if (mdiClient)
        MoveWindow(mdiClient, 0, 0, rc.right, bottom - paneHeight, TRUE);
    if (pane && paneShown)
        MoveWindow(pane, 0, bottom - paneHeight, rc.right, paneHeight, TRUE);
}

void Host::Impl::fillProjectInfo()
{
    for (auto& f : info.field)
        f = EMPTY;
    info.field[PROJECT_FIELD_PROJECT_FILE] = projectFile.c_str();
    info.field[PROJECT_FIELD_ASSEMBLER_ARGUMENTS] = argsNull ? nullptr : assemblerArgs.c_str();
    info.field[PROJECT_FIELD_OUTPUT_FILE] = outputNull ? nullptr : outputFile.c_str();
}

void Host::Impl::childClosed(HWND h)
{
    for (auto* list : {&set1, &set2}) {
        for (size_t i = 0; i < list->size(); ++i) {
            if ((*list)[i]->hwnd == h) {
                Child* c = (*list)[i];
                c->open = false;
                list->erase(list->begin() + i);
                closed.push_back(c);  // kept so that references to its events stay valid
                return;
            }
        }
    }
}

void Host::Impl::onDialog(HWND dlg)
{
    DialogSeen seen;
    MessageBoxShape shape = examineDialog(dlg);
    seen.isMessageBox = shape.isMessageBox;
    if (shape.isMessageBox) {
        seen.text = windowText(GetDlgItem(dlg, 0xFFFF));
        seen.style = shape.style;
    }
    seen.caption = windowText(dlg);
    seen.owner = GetWindow(dlg, GW_OWNER);
    host->dialogs.push_back(seen);
    SetPropA(dlg, DLG_INDEX_PROP, (HANDLE)(UINT_PTR)host->dialogs.size());
    bool wide = IsWindowUnicode(dlg);
    WNDPROC orig = wide ? (WNDPROC)SetWindowLongPtrW(dlg, GWLP_WNDPROC, (LONG_PTR)dialogSubclass<true>)
                        : (WNDPROC)SetWindowLongPtrA(dlg, GWLP_WNDPROC, (LONG_PTR)dialogSubclass<false>);
    SetPropA(dlg, DLG_ORIG_PROP, (HANDLE)orig);
    // Act once the modal loop runs, not inside the hook.
    SetTimer(dlg, ANSWER_TIMER, ANSWER_DELAY_MS, dialogTimer);
}

void Host::Impl::answerDialog(HWND dlg)
{
    MessageBoxShape shape = examineDialog(dlg);
    int button = 0;
    if (!answers.empty()) {
        Answer a = std::move(answers.front());
        answers.pop_front();
        if (a.action) {
            a.action(dlg);
            if (IsWindow(dlg))
                SetTimer(dlg, WATCHDOG_TIMER, WATCHDOG_MS, dialogTimer);
            return;
        }
        button = a.button;
        if (shape.isMessageBox && !visibleChild(dlg, button)) {
            fprintf(stderr, "hostsim: message box \"%s\" has no button %d; pressing %d\n",
                    windowText(GetDlgItem(dlg, 0xFFFF)).c_str(), button, shape.defaultButton);
            button = shape.defaultButton;
            host->unexpectedDialogs++;
        }
    } else if (visible) {
        return;  // nothing scripted: the user answers it
    } else {
        host->unexpectedDialogs++;
        button = shape.isMessageBox ? shape.defaultButton : IDCANCEL;
        fprintf(stderr, "hostsim: no answer queued for %s \"%s\"; pressing %d\n",
                shape.isMessageBox ? "message box" : "dialog",
                windowText(shape.isMessageBox ? GetDlgItem(dlg, 0xFFFF) : dlg).c_str(), button);
    }
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(dlg, button));
    SetTimer(dlg, WATCHDOG_TIMER, WATCHDOG_MS, dialogTimer);
}

// A dialog still shown and enabled long after it was answered: end it.
void Host::Impl::watchdog(HWND dlg)
{
    LONG style = GetWindowLongA(dlg, GWL_STYLE);
    if (!(style & WS_VISIBLE))
        return;                   // ended (EndDialog hides it)
    if (!IsWindowEnabled(dlg)) {  // a nested modal dialog is open: look again later
        SetTimer(dlg, WATCHDOG_TIMER, WATCHDOG_MS, dialogTimer);
        return;
    }
    host->unexpectedDialogs++;
    fprintf(stderr, "hostsim: dialog \"%s\" still open after its answer; ending it\n",
            windowText(dlg).c_str());
    EndDialog(dlg, IDCANCEL);
}

// The commands a user of the shown host reaches that tests never send;
// true when handled here.
bool Host::Impl::visibleCommand(UINT id)
{
    const char* name = nullptr;
    switch (id) {
    case HC_SIM_ADDIN_SETUP:
        if (host->config)
            host->config(&host->handles, 0);
        else
            SendMessageA(status, SB_SETTEXTA, 0, (LPARAM) "no add-in loaded");
        return true;
    case HC_SIM_CASCADE:
        SendMessageA(mdiClient, WM_MDICASCADE, 0, 0);
        return true;
    case HC_SIM_TILE:
        SendMessageA(mdiClient, WM_MDITILE, MDITILE_VERTICAL, 0);
        return true;
    case HC_SIM_EXIT:
        PostMessageA(frame, WM_CLOSE, 0, 0);
        return true;
    case HC_SAVE_ALL:
        name = "Save all";
        break;
    case HC_COMPILE_RESOURCES:
        name = "Compile resources";
        break;
    case HC_ASSEMBLE:
        name = "Assemble";
        break;
    case HC_BUILD:
        name = "Build";
        break;
    case HC_RUN:
        name = "Run";
        break;
    case HC_RUN_ALTERNATE:
        name = "Run with debugger";
        break;
    case HC_EXPORT_RESOURCE_DEFINITIONS:
        name = "Export resource definitions";
        break;
    default:
        return false;
    }
    // The simulator has no compiler or debugger of its own: say that the
    // command got through to the host, which is what the add-in decides.
    std::string text = std::string("host command: ") + name;
    SendMessageA(status, SB_SETTEXTA, 0, (LPARAM)text.c_str());
    return true;
}

LRESULT Host::Impl::ownFrameProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    switch (m) {
    case HM_NEW_COMMAND_ID:
        host->commandIdsGiven.push_back(nextCommandId);
        return nextCommandId++;
    case HM_GET_PROJECT_INFO:
        if (!projectOpen)
            return 0;
        if (w)
            *(ProjectInfo*)w = info;
        return 1;
    case HM_ENUM_CHILDREN:
    case HM_ENUM_OTHER_CHILDREN: {
        auto proc = (HostEnumProc)w;
        if (!proc)
            return 0;
        std::vector<HWND> list;
        for (Child* c : m == HM_ENUM_CHILDREN ? set1 : set2)
            list.push_back(c->hwnd);
        for (HWND c : list)
            if (proc(c, l) == 0)
                break;
        return 0;
    }
    case HM_UI_FILE_WRITTEN:
        host->uiFileWritten.push_back(w ? (const char*)w : "");
        return 0;
    case WM_COMMAND: {
        UINT id = LOWORD(w);
        host->hostCommands.push_back(id);
        if (id == HC_SAVE_ALL && !host->saveAllLeavesModified) {
            for (auto* list : {&set1, &set2})
                for (Child* c : *list)
                    SendMessageA(c->editor, EM_SETMODIFY, FALSE, 0);
        }
        if (visible && visibleCommand(id))
            return 0;
        break;  // DefFrameProc handles the window-menu child ids
    }
    case WM_MEASUREITEM: {
        auto* mi = (MEASUREITEMSTRUCT*)l;
        if (!mi || mi->CtlType != ODT_MENU)
            break;
        const char* caption = (const char*)mi->itemData;
        std::string left, right;
        splitCaption(caption ? caption : "", left, right);
        HDC dc = GetDC(h);
        HGDIOBJ old = SelectObject(dc, menuFont());
        SIZE a{}, b{};
        GetTextExtentPoint32A(dc, left.c_str(), (int)left.size(), &a);
        GetTextExtentPoint32A(dc, right.c_str(), (int)right.size(), &b);
        SelectObject(dc, old);
        ReleaseDC(h, dc);
        mi->itemWidth = a.cx + (right.empty() ? 0 : b.cx + 24) + GetSystemMetrics(SM_CXMENUCHECK) + 8;
        int height = a.cy + 6;
        int sys = GetSystemMetrics(SM_CYMENU);
        mi->itemHeight = height > sys ? height : sys;
        return TRUE;
    }
    case WM_DRAWITEM: {
        auto* di = (DRAWITEMSTRUCT*)l;
        if (!di || di->CtlType != ODT_MENU)
            break;
        const char* caption = (const char*)di->itemData;
        std::string left, right;
        splitCaption(caption ? caption : "", left, right);
        bool selected = (di->itemState & ODS_SELECTED) != 0;
        bool grayed = (di->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
        FillRect(di->hDC, &di->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
        SetBkMode(di->hDC, TRANSPARENT);
        SetTextColor(di->hDC, GetSysColor(grayed     ? COLOR_GRAYTEXT
                                          : selected ? COLOR_HIGHLIGHTTEXT
                                                     : COLOR_MENUTEXT));
        HGDIOBJ old = SelectObject(di->hDC, menuFont());
        RECT r = di->rcItem;
        r.left += GetSystemMetrics(SM_CXMENUCHECK) + 4;
        r.right -= 8;
        DrawTextA(di->hDC, left.c_str(), (int)left.size(), &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        if (!right.empty())
            DrawTextA(di->hDC, right.c_str(), (int)right.size(), &r, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
        SelectObject(di->hDC, old);
        return TRUE;
    }
    case WM_SIZE:
        layout();
        return 0;
    case WM_DESTROY:
        if (inRun)
            PostQuitMessage(0);
        break;
    }
    return DefFrameProcA(h, mdiClient, m, w, l);
}

// ---- Host ------------------------------------------------------------------

Host::Host(bool visible) : impl(new Impl)
{
    impl->host = this;
    impl->visible = visible;
    threadImpl = impl;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    InitCommonControls();
    if (!GetModuleHandleA("riched32.dll") && !LoadLibraryA("riched32.dll"))
        fprintf(stderr, "hostsim: cannot load riched32.dll (error %lu)\n", GetLastError());
    registerClasses();

    // Menu: File, Make (with 10504 and 10510), Resources, Window.
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 10001, "&New");
    AppendMenuA(file, MF_STRING, 10002, "&Open...");
    AppendMenuA(file, MF_STRING, HC_SAVE_ALL, "Save &all");
    if (visible) {
        AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(file, MF_STRING, HC_SIM_EXIT, "E&xit");
    }
    HMENU make = CreatePopupMenu();
    AppendMenuA(make, MF_STRING, HC_COMPILE_RESOURCES, "Compile &resources");
    AppendMenuA(make, MF_STRING, HC_ASSEMBLE, "&Assemble");
    AppendMenuA(make, MF_STRING, HC_MENU_BEFORE_ASSEMBLE_CURRENT, "&Link");
    AppendMenuA(make, MF_STRING, HC_BUILD, "&Build\tCtrl+F9");
    AppendMenuA(make, MF_STRING, HC_RUN, "&Run\tF5");
    AppendMenuA(make, MF_STRING, HC_RUN_ALTERNATE, "Run with &debugger\tShift+F5");
    AppendMenuA(make, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(make, MF_STRING, HC_MENU_BEFORE_POPUP, "&Go All");
    HMENU resources = CreatePopupMenu();
    AppendMenuA(resources, MF_STRING, HC_EXPORT_RESOURCE_DEFINITIONS, "&Export resource definitions");
    impl->windowMenu = CreatePopupMenu();
    AppendMenuA(impl->windowMenu, MF_STRING, HC_SIM_CASCADE, "&Cascade");
    if (visible)
        AppendMenuA(impl->windowMenu, MF_STRING, HC_SIM_TILE, "&Tile");
    impl->menu = CreateMenu();
    AppendMenuA(impl->menu, MF_POPUP, (UINT_PTR)file, "&File");
    AppendMenuA(impl->menu, MF_POPUP, (UINT_PTR)make, "&Make");
    AppendMenuA(impl->menu, MF_POPUP, (UINT_PTR)resources, "&Resources");
    if (visible) {
        // Where the real host lists its add-ins and their setup.
        HMENU addIns = CreatePopupMenu();
        AppendMenuA(addIns, MF_STRING, HC_SIM_ADDIN_SETUP, "tordel &setup...");
        AppendMenuA(impl->menu, MF_POPUP, (UINT_PTR)addIns, "&Add-ins");
    }
    AppendMenuA(impl->menu, MF_POPUP, (UINT_PTR)impl->windowMenu, "&Window");

    impl->frame = CreateWindowExA(0, FRAME_CLASS, "Host simulator", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10,
                                  10, 1000, 700, nullptr, impl->menu, instance(), impl);
    if (!impl->frame)
        fprintf(stderr, "hostsim: cannot create the frame (error %lu)\n", GetLastError());

    impl->status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                                   0, impl->frame, (HMENU)0xCB0, instance(), nullptr);
    int parts[5] = {160, 320, 480, 640, -1};
    if (visible) {  // room for the name of the host command that ran last
        parts[0] = 280;
        parts[1] = 400;
    }
    SendMessageA(impl->status, SB_SETPARTS, 5, (LPARAM)parts);

    CLIENTCREATESTRUCT ccs{impl->windowMenu, (UINT)MDI_FIRST_CHILD};
    impl->mdiClient = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                      WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0,
                                      1000, 400, impl->frame, (HMENU)0xCAC, instance(), &ccs);

    impl->pane = CreateWindowExA(0, PANE_CLASS, "Output", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 400,
                                 1000, PANE_HEIGHT, impl->frame, (HMENU)0xCAD, instance(), impl);
    impl->output = CreateWindowExA(WS_EX_CLIENTEDGE, "RICHEDIT", "",
                                   WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                       ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                   0, 0, 1000, PANE_HEIGHT, impl->pane, (HMENU)1, instance(), nullptr);
    if (!impl->output)
        fprintf(stderr, "hostsim: cannot create the RICHEDIT output (error %lu)\n", GetLastError());
    if (visible)  // the stock fixed font is a coarse bitmap face on a screen
        impl->shownFont =
            CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
    SendMessageA(impl->output, WM_SETFONT,
                 (WPARAM)(impl->shownFont ? impl->shownFont : GetStockObject(ANSI_FIXED_FONT)), 0);
    SendMessageA(impl->output, EM_EXLIMITTEXT, 0, 256 * 1024 * 1024);
    SetPropA(impl->output, IMPL_PROP, (HANDLE)impl);
    impl->outputOrig = (WNDPROC)SetWindowLongPtrA(impl->output, GWLP_WNDPROC, (LONG_PTR)outputProc);

    ACCEL own[] = {
        {FVIRTKEY, VK_F5, HC_RUN},
        {FVIRTKEY | FSHIFT, VK_F5, HC_RUN_ALTERNATE},
        {FVIRTKEY | FCONTROL, VK_F9, HC_BUILD},
        {FVIRTKEY | FCONTROL, 'S', HC_SAVE_ALL},
    };
    impl->accel = CreateAcceleratorTableA(own, 4);

    impl->defs.assign(1, ResourceDefinition{});
    impl->defsPtr = impl->defs.data();

    handles.mainWindow = impl->frame;
    handles.mdiClient = impl->mdiClient;
    handles.outputPane = impl->pane;
    handles.outputControl = impl->output;
    handles.acceleratorVar = &impl->accel;
    handles.mainMenu = impl->menu;
    links.resourceScriptPathVar = &impl->scriptPtr;
    links.definitionsVar = &impl->defsPtr;

    impl->cbtHook = SetWindowsHookExA(WH_CBT, cbtHook, nullptr, GetCurrentThreadId());

    impl->layout();
    if (visible) {
        ShowWindow(impl->frame, SW_SHOW);
        UpdateWindow(impl->frame);
    }
}

Host::~Host()
{
    unloadAddIn();
    for (auto* list : {&impl->set1, &impl->set2}) {
        std::vector<Child*> copy = *list;
        for (Child* c : copy)
            if (IsWindow(c->hwnd))
                SendMessageA(impl->mdiClient, WM_MDIDESTROY, (WPARAM)c->hwnd, 0);
    }
    if (IsWindow(impl->frame))
        DestroyWindow(impl->frame);
    if (impl->cbtHook)
        UnhookWindowsHookEx(impl->cbtHook);
    if (impl->accel)
        DestroyAcceleratorTable(impl->accel);
    if (impl->shownFont)
        DeleteObject(impl->shownFont);
    for (auto* list : {&impl->set1, &impl->set2, &impl->closed})
        for (Child* c : *list)
            delete c;
    if (threadImpl == impl)
        threadImpl = nullptr;
    delete impl;
}

bool Host::loadAddIn(const std::string& dllPath)
{
    if (impl->addIn)
        unloadAddIn();
    HMODULE m = LoadLibraryA(dllPath.c_str());
    if (!m) {
        fprintf(stderr, "hostsim: cannot load %s (error %lu)\n", dllPath.c_str(), GetLastError());
        return false;
    }
    auto load = (KXAddInLoadProc)GetProcAddress(m, "KXAddInLoad");
    if (!load) {
        fprintf(stderr, "hostsim: %s has no export KXAddInLoad\n", dllPath.c_str());
        FreeLibrary(m);
        return false;
    }
    impl->addIn = m;
    loadProc = load;
    unloadProc = (KXAddInUnloadProc)GetProcAddress(m, "KXAddInUnload");
    config = (KXAddInConfigProc)GetProcAddress(m, "KXAddInConfig");
    getData = (GetKXAddInDataProc)GetProcAddress(m, "GetKXAddInData");
    auto fp = (AddInWindowProc)GetProcAddress(m, "FrameWindowProc");
    auto op = (AddInWindowProc)GetProcAddress(m, "OutWindowProc");
    loadResult = load(&handles, &links);
    frameWindowProc = impl->frameProc = fp;
    outWindowProc = impl->outProc = op;
    return true;
}

void Host::unloadAddIn()
{
    if (!impl->addIn)
        return;
    impl->frameProc = impl->outProc = nullptr;
    frameWindowProc = outWindowProc = nullptr;
    if (unloadProc)
        unloadProc();
    FreeLibrary(impl->addIn);
    impl->addIn = nullptr;
    loadProc = nullptr;
    unloadProc = nullptr;
    config = nullptr;
    getData = nullptr;
}

HMODULE Host::addIn() const { return impl->addIn; }

void Host::openProject(const std::string& projectFile, const char* assemblerArguments, const char* outputFile)
{
    impl->projectOpen = true;
    impl->projectFile = projectFile;
    impl->argsNull = assemblerArguments == nullptr;
    impl->assemblerArgs = assemblerArguments ? assemblerArguments : "";
    impl->outputNull = outputFile == nullptr;
    impl->outputFile = outputFile ? outputFile : "";
    impl->fillProjectInfo();
    SendMessageA(frame(), HN_PROJECT_CHANGED, 0, 0);
}

void Host::closeProject()
{
    impl->projectOpen = false;
    SendMessageA(frame(), HN_PROJECT_CHANGED, 0, 0);
}

ProjectInfo& Host::projectInfo() { return impl->info; }

HWND Host::openChild(const std::string& fullPath, DWORD fileType, const std::string& text, bool otherSet)
{
    Child* c = new Child;
    c->otherSet = otherSet;
    c->text = text;
    c->rec.fileType = fileType;
    if (fullPath.size() >= sizeof c->rec.fullPath)
        fprintf(stderr, "hostsim: path of %u characters cut to %u\n", (unsigned)fullPath.size(),
                (unsigned)sizeof c->rec.fullPath - 1);
    lstrcpynA(c->rec.fullPath, fullPath.c_str(), sizeof c->rec.fullPath);
    MDICREATESTRUCTA mcs{};
    mcs.szClass = CHILD_CLASS;
    std::string title = fullPath.substr(0, 250);
    if (impl->visible)
        title = fullPath.substr(fullPath.find_last_of("\\/") + 1);  // the name is what a user looks for
    mcs.szTitle = title.c_str();
    mcs.hOwner = instance();
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    mcs.lParam = (LPARAM)c;
    HWND h = (HWND)SendMessageA(impl->mdiClient, WM_MDICREATE, 0, (LPARAM)&mcs);
    if (!h) {
        fprintf(stderr, "hostsim: cannot open child %s (error %lu)\n", fullPath.c_str(), GetLastError());
        delete c;
        return nullptr;
    }
    c->hwnd = h;
    (otherSet ? impl->set2 : impl->set1).push_back(c);
    return h;
}

void Host::closeChild(HWND child)
{
    if (IsWindow(child))
        SendMessageA(impl->mdiClient, WM_MDIDESTROY, (WPARAM)child, 0);
    impl->childClosed(child);  // in case it was not ours or already gone
}

void Host::setModified(HWND child, bool modified)
{
    SendMessageA(editorOf(child), EM_SETMODIFY, modified ? TRUE : FALSE, 0);
}

HWND Host::editorOf(HWND child) const
{
    Child* c = impl->findChild(child);
    return c ? c->editor : nullptr;
}

HWND Host::activeChild() const { return (HWND)SendMessageA(impl->mdiClient, WM_MDIGETACTIVE, 0, 0); }

void Host::activate(HWND child) { SendMessageA(impl->mdiClient, WM_MDIACTIVATE, (WPARAM)child, 0); }

const std::vector<EditorEvent>& Host::editorEvents(HWND child) const
{
    static const std::vector<EditorEvent> none;
    Child* c = impl->findChild(child);
    return c ? c->events : none;
}

CHARRANGE Host::editorSelection(HWND child) const
{
    CHARRANGE cr{-1, -1};
    HWND ed = editorOf(child);
    if (ed)
        SendMessageA(ed, EM_EXGETSEL, 0, (LPARAM)&cr);
    return cr;
}

std::vector<HWND> Host::children(bool otherSet) const
{
    std::vector<HWND> out;
    for (Child* c : otherSet ? impl->set2 : impl->set1)
        out.push_back(c->hwnd);
    return out;
}

std::string Host::editorText(HWND child) const
{
    HWND ed = editorOf(child);
    return ed ? windowText(ed) : std::string();
}

int Host::caretLine(HWND child) const
{
    HWND ed = editorOf(child);
    if (!ed)
        return -1;
    CHARRANGE cr = editorSelection(child);
    return (int)SendMessageA(ed, EM_EXLINEFROMCHAR, 0, cr.cpMin);
}

bool Host::isModified(HWND child) const
{
    HWND ed = editorOf(child);
    return ed && SendMessageA(ed, EM_GETMODIFY, 0, 0) != 0;
}

void Host::setResourceScript(const char* path)
{
    if (!path) {
        impl->scriptPtr = nullptr;
        return;
    }
    impl->scriptStorage = path;
    impl->scriptPtr = impl->scriptStorage.c_str();
}

void Host::setDefinitions(const std::vector<Definition>& defs)
{
    impl->defs.assign(defs.size() + 1, ResourceDefinition{});
    for (size_t i = 0; i < defs.size(); ++i) {
        ResourceDefinition& r = impl->defs[i];
        size_t n = defs[i].name.size();
        if (n > sizeof r.name)
            n = sizeof r.name;  // a full field has no terminator
        memcpy(r.name, defs[i].name.data(), n);
        r.id = defs[i].id;
    }
    impl->defsPtr = impl->defs.data();
}

void Host::setNullDefinitions() { impl->defsPtr = nullptr; }

LRESULT Host::command(UINT id, bool fromAccelerator)
{
    return SendMessageA(frame(), WM_COMMAND, MAKEWPARAM(id, fromAccelerator ? 1 : 0), 0);
}

LRESULT Host::frameMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(frame(), message, wParam, lParam);
}

LRESULT Host::changeLanguage(const std::string& language, WPARAM commandId)
{
    WritePrivateProfileStringA("GENERAL", "UI", language.c_str(), hostIniPath().c_str());
    return SendMessageA(frame(), HN_LANGUAGE_COMMAND, commandId, 0);
}

std::string Host::outputText() const { return windowText(impl->output); }

void Host::setOutputText(const std::string& text) { SetWindowTextA(impl->output, text.c_str()); }

LRESULT Host::doubleClickOutputLine(int line)
{
    HWND out = impl->output;
    LRESULT pos = SendMessageA(out, EM_LINEINDEX, line, 0);
    if (pos < 0)
        pos = 0;
    SendMessageA(out, EM_SETSEL, pos, pos);
    POINTL pt{0, 0};
    SendMessageA(out, EM_POSFROMCHAR, (WPARAM)&pt, pos);
    impl->lastOutResult = 0;
    SendMessageA(out, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x + 1, pt.y + 1));
    return impl->lastOutResult;
}

const std::vector<EditorEvent>& Host::outputEvents() const { return impl->outputEvents; }

int Host::highlightedOutputLine() const
{
    int line = -1;
    for (size_t i = impl->highlightEventsFrom; i < impl->outputEvents.size(); ++i) {
        const EditorEvent& e = impl->outputEvents[i];
        if (e.message != HEM_SETLINEHIGHLIGHT)
            continue;
        if (e.lParam)
            line = (int)e.wParam;
        else if ((int)e.wParam == line)
            line = -1;
    }
    return line;
}

int Host::outputPaintCount() const { return impl->outputPaints; }

bool Host::outputPaneVisible() const { return (GetWindowLongA(impl->pane, GWL_STYLE) & WS_VISIBLE) != 0; }

std::string Host::statusText(int part) const
{
    LRESULT n = LOWORD(SendMessageA(impl->status, SB_GETTEXTLENGTHA, part, 0));
    std::string s(n + 1, '\0');
    SendMessageA(impl->status, SB_GETTEXTA, part, (LPARAM)&s[0]);
    s.resize(strlen(s.c_str()));
    return s;
}

void Host::answer(Answer a) { impl->answers.push_back(std::move(a)); }

size_t Host::pendingAnswers() const { return impl->answers.size(); }

std::vector<ACCEL> Host::accelerators() const
{
    std::vector<ACCEL> out;
    HACCEL h = *handles.acceleratorVar;
    if (!h)
        return out;
    int n = CopyAcceleratorTableA(h, nullptr, 0);
    if (n <= 0)
        return out;
    out.resize(n);
    memset(out.data(), 0, n * sizeof(ACCEL));
    CopyAcceleratorTableA(h, out.data(), n);
    return out;
}

void Host::setAccelerators(const std::vector<ACCEL>& entries)
{
    HACCEL old = *handles.acceleratorVar;
    *handles.acceleratorVar =
        entries.empty() ? nullptr
                        : CreateAcceleratorTableA(const_cast<ACCEL*>(entries.data()), (int)entries.size());
    if (old)
        DestroyAcceleratorTable(old);
}

HWND Host::statusBar() const { return impl->status; }

int Host::run()
{
    impl->inRun = true;
    MSG msg;
    int result = 0;
    while (true) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            result = (int)msg.wParam;
            break;
        }
        if (got < 0) {
            result = -1;
            break;
        }
        if (TranslateMDISysAccel(impl->mdiClient, &msg))
            continue;
        HACCEL table = *handles.acceleratorVar;  // the current value: the add-in replaces it
        if (table && IsWindow(impl->frame) && TranslateAcceleratorA(impl->frame, table, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    impl->inRun = false;
    return result;
}

// ---- installation and files ------------------------------------------------

namespace {
std::string moduleFile()
{
    std::string s(32768, '\0');
    DWORD n = GetModuleFileNameA(nullptr, &s[0], (DWORD)s.size());
    s.resize(n);
    return s;
}
std::string directoryOf(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

std::string hostIniPath()
{
    std::string exe = moduleFile();
    size_t slash = exe.find_last_of("\\/");
    size_t dot = exe.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        exe.resize(dot);
    return exe + ".ini";
}

bool layOutInstallation(Installation& out, const std::string& dllSource)
{
    out.hostExe = moduleFile();
    out.hostIni = hostIniPath();
    out.uiDir = directoryOf(out.hostExe) + "\\ui";
    out.uiFile = out.uiDir + "\\tordel.ui";
    DeleteFileA(out.hostIni.c_str());
    DeleteFileA(out.uiFile.c_str());
    CreateDirectoryA(out.uiDir.c_str(), nullptr);

    std::string source = dllSource;
    if (source.empty()) {
        const char* env = getenv("TORDEL_DLL");
        if (env)
            source = env;
    }
    if (source.empty()) {
        fprintf(stderr, "hostsim: no add-in DLL given and TORDEL_DLL is not set\n");
        return false;
    }
    std::string base = tempFolder("tordel");
    if (base.empty())
        return false;
    out.addInsDir = base + "\\AddIns";
    if (!CreateDirectoryA(out.addInsDir.c_str(), nullptr)) {
        fprintf(stderr, "hostsim: cannot create %s (error %lu)\n", out.addInsDir.c_str(), GetLastError());
        return false;
    }
    out.dllPath = out.addInsDir + "\\tordel.dll";
    out.addInsIni = out.addInsDir + "\\ZIVevUde.Ini";
    if (!CopyFileA(source.c_str(), out.dllPath.c_str(), FALSE)) {
        fprintf(stderr, "hostsim: cannot copy %s to %s (error %lu)\n", source.c_str(), out.dllPath.c_str(),
                GetLastError());
        return false;
    }
    return true;
}

bool findMenuItem(HMENU menu, UINT id, HMENU* owner, int* position)
{
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoA(menu, i, TRUE, &info))
            continue;
        if (info.wID == id) {
            *owner = menu;
            *position = i;
            return true;
        }
        if (info.hSubMenu && findMenuItem(info.hSubMenu, id, owner, position))
            return true;
    }
    return false;
}

HMENU submenuBefore(HMENU menu, UINT before)
{
    HMENU owner;
    int at;
    if (!findMenuItem(menu, before, &owner, &at) || at == 0)
        return nullptr;
    return GetSubMenu(owner, at - 1);
}

std::string readFile(const std::string& path)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return std::string();
    std::string s;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        s.append(buf, got);
    CloseHandle(f);
    return s;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    HANDLE f =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = bytes.empty() ||
              (WriteFile(f, bytes.data(), (DWORD)bytes.size(), &put, nullptr) && put == bytes.size());
    CloseHandle(f);
    return ok;
}

std::string copyFolder(const std::string& from, const std::string& to)
{
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return "cannot create " + to + ": error " + std::to_string(GetLastError());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "cannot list " + from + ": error " + std::to_string(GetLastError());
    std::string failure;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string source = from + "\\" + name, target = to + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            failure = copyFolder(source, target);
        else if (!CopyFileA(source.c_str(), target.c_str(), FALSE) ||
                 !SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL))
            failure = "cannot copy " + source + ": error " + std::to_string(GetLastError());
    } while (failure.empty() && FindNextFileA(search, &found));
    FindClose(search);
    return failure;
}

std::string windowsPathOf(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
    return path;
}

std::string tempFolder(const std::string& tag)
{
    char temp[MAX_PATH + 1] = "";
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n > MAX_PATH) {
        fprintf(stderr, "hostsim: no temp folder (error %lu)\n", GetLastError());
        return std::string();
    }
    std::string base = temp;
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char name[64];
        snprintf(name, sizeof name, "-%lx-%lx-%u", GetCurrentProcessId(), GetTickCount(), ++counter);
        std::string path = base + tag + name;
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            fprintf(stderr, "hostsim: cannot create %s (error %lu)\n", path.c_str(), GetLastError());
            return std::string();
        }
    }
    return std::string();
}

}  // namespace hostsim
