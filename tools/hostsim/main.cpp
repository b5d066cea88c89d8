// hostsim.exe: the host simulator as a program. Runs the actions of its
// command line in order and prints what a user would see.
//
//   hostsim.exe [--visible] --dll <path> | --install <path>
//               [--setting KEY=VALUE]  (add-ins INI, section FASM; before a load: written then)
//               [--asm-args TEXT] [--output-file PATH] [--project <file.prj>] [--close-project]
//               [--open <type>:<path> ...]  (type asm|rc|bat or a number; text read from the file)
//               [--open-other <type>:<path>] [--activate <n>]
//               [--resource-script <path>] [--def NAME=ID ...]
//               [--language NAME] [--config] [--export-ui] [--unload]
//               [--answer yes|no|ok|cancel|retry|abort|ignore ...]
//               [--cmd <id>|build|assemble|run|run-debug|save-all|compile-rc|export-rc|"<menu caption>" ...]
//               [--accel <same as --cmd>]  (as an accelerator: high word 1)
//               [--dblclick <line>] [--dblclick-error] [--dblclick-text TEXT]  (first line containing TEXT)
//               [--print status|output|editors|accel|menu|dialogs|commands|paths ...]
//               [--arrange cascade|tile|tile-across|maximize]  (the MDI children, at that point)
// --visible shows the windows and runs the message loop after the last action;
// the frame then has an Add-ins menu (tordel setup...) and Exit, Tile, and
// dialogs nobody scripted with --answer wait for the user. With --visible:
//   --window X,Y,W,H     frame position and size
//   --show-menu A>B      once shown, opens menu A from the menu bar, then its
//                        popup B, with the keys a user would press
//   --show-config        once shown, picks Add-ins > tordel setup...
//   --exit-after MS      ends the program MS milliseconds after it started
//   --steady-caret       the caret does not blink (a picture always has it)
// --export-ui opens the setup dialog, presses Export UI and closes it with
// Cancel, then prints "Export UI wrote <path>" (the path the add-in reported);
// it fails (exit 2) when the add-in reported none.
// "hostsim: shown" on stdout says that the window and what --show-* asked for
// are on the screen (a script takes its picture then).
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>
#include <commctrl.h>

#include "setup/setup_ids.h"
#include "tools/hostsim/hostsim.h"

using hostsim::Answer;
using hostsim::Host;

namespace {

int fail(const char* what, const char* arg = "")
{
    fprintf(stderr, "hostsim: %s%s\n", what, arg);
    fflush(stdout);
    return 2;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

bool parseInt(const std::string& s, long& v)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    v = strtol(s.c_str(), &end, 0);
    return end && *end == 0;
}

std::string menuCaption(HMENU menu, UINT pos, MENUITEMINFOA& mi)
{
    char buf[512] = "";
    mi = MENUITEMINFOA{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE | MIIM_DATA | MIIM_STRING;
    mi.dwTypeData = buf;
    mi.cch = sizeof buf;
    if (!GetMenuItemInfoA(menu, pos, TRUE, &mi))
        return "";
    if (mi.fType & MFT_OWNERDRAW)
        return mi.dwItemData ? (const char*)mi.dwItemData : "";
    return buf;
}

std::string withoutShortcut(std::string s)
{
    size_t tab = s.find('\t');
    if (tab != std::string::npos)
        s.resize(tab);
    std::string out;
    for (char c : s)
        if (c != '&')
            out += c;
    return out;
}

// The id of the first menu item whose caption (without '&' and shortcut) is `caption`.
UINT findMenuCommand(HMENU menu, const std::string& caption)
{
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOA mi;
        std::string text = withoutShortcut(menuCaption(menu, i, mi));
        if (mi.hSubMenu) {
            UINT id = findMenuCommand(mi.hSubMenu, caption);
            if (id)
                return id;
        } else if (!(mi.fType & MFT_SEPARATOR) && lstrcmpiA(text.c_str(), caption.c_str()) == 0) {
            return mi.wID;
        }
    }
    return 0;
}

void printMenu(HMENU menu, int depth)
{
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOA mi;
        std::string text = menuCaption(menu, i, mi);
        for (char& c : text)
            if (c == '\t')
                c = ' ';
        printf("%*s", depth * 2 + 2, "");
        if (mi.fType & MFT_SEPARATOR) {
            printf("----\n");
            continue;
        }
        printf("%s", text.c_str());
        if (!mi.hSubMenu)
            printf("  [%u]", mi.wID);
        if (mi.fType & MFT_OWNERDRAW)
            printf("  (owner-drawn)");
        if (mi.fState & MFS_GRAYED)
            printf("  (grayed)");
        if (mi.fState & MFS_CHECKED)
            printf("  (checked)");
        printf("\n");
        if (mi.hSubMenu)
            printMenu(mi.hSubMenu, depth + 1);
    }
}

std::string keyName(const ACCEL& a)
{
    std::string s;
    if (a.fVirt & FCONTROL)
        s += "Ctrl+";
    if (a.fVirt & FSHIFT)
        s += "Shift+";
    if (a.fVirt & FALT)
        s += "Alt+";
    char buf[16];
    if (!(a.fVirt & FVIRTKEY))
        snprintf(buf, sizeof buf, "'%c'", (char)a.key);
    else if (a.key >= VK_F1 && a.key <= VK_F24)
        snprintf(buf, sizeof buf, "F%d", a.key - VK_F1 + 1);
    else if ((a.key >= '0' && a.key <= '9') || (a.key >= 'A' && a.key <= 'Z'))
        snprintf(buf, sizeof buf, "%c", a.key);
    else
        snprintf(buf, sizeof buf, "VK_0x%02X", a.key);
    return s + buf;
}

const char* eventName(UINT m)
{
    switch (m) {
    case HEM_SETLINEHIGHLIGHT:
        return "highlight";
    case HEM_SETLINEMARK:
        return "mark";
    case HEM_CLEARMARKS:
        return "clear-marks";
    }
    return "?";
}

std::string styleText(UINT style)
{
    static const char* buttons[] = {"OK",     "OK/Cancel",    "Abort/Retry/Ignore",      "Yes/No/Cancel",
                                    "Yes/No", "Retry/Cancel", "Cancel/TryAgain/Continue"};
    std::string s = (style & MB_TYPEMASK) < 7 ? buttons[style & MB_TYPEMASK] : "?";
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        s += ", error icon";
        break;
    case MB_ICONWARNING:
        s += ", warning icon";
        break;
    case MB_ICONQUESTION:
        s += ", question icon";
        break;
    case MB_ICONINFORMATION:
        s += ", information icon";
        break;
    }
    return s;
}

const char* buttonName(int id)
{
    switch (id) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    case 0:
        return "(none)";
    }
    return "other";
}

UINT commandId(Host& host, const std::string& arg)
{
    static const struct {
        const char* name;
        UINT id;
    } names[] = {
        {"build", HC_BUILD},
        {"assemble", HC_ASSEMBLE},
        {"run", HC_RUN},
        {"run-debug", HC_RUN_ALTERNATE},
        {"save-all", HC_SAVE_ALL},
        {"compile-rc", HC_COMPILE_RESOURCES},
        {"export-rc", HC_EXPORT_RESOURCE_DEFINITIONS},
    };
    long v;
    if (parseInt(arg, v))
        return (UINT)v;
    for (auto& n : names)
        if (arg == n.name)
            return n.id;
    return findMenuCommand(host.mainMenu(), arg);
}

struct State {
    std::vector<hostsim::Definition> defs;
    std::vector<std::string> pendingSettings;
    std::string asmArgs, outputFile;
    size_t dialogsPrinted = 0;
};

void writeSettings(Host& host, State& st, const std::string& dllPath)
{
    std::string dir = dllPath.substr(0, dllPath.find_last_of("\\/") + 1);
    for (const std::string& kv : st.pendingSettings) {
        size_t eq = kv.find('=');
        WritePrivateProfileStringA("FASM", kv.substr(0, eq).c_str(),
                                   eq == std::string::npos ? "" : kv.substr(eq + 1).c_str(),
                                   (dir + "ZIVevUde.Ini").c_str());
    }
    st.pendingSettings.clear();
}

bool loadDll(Host& host, State& st, const std::string& path)
{
    writeSettings(host, st, path);
    if (!host.loadAddIn(path))
        return false;
    printf("loaded %s\n", path.c_str());
    return true;
}

void print(Host& host, State& st, const std::string& what)
{
    if (what == "status") {
        // The add-in owns part 4; the others show only what the host put there.
        for (int i = 0; i < 5; ++i)
            if (i == 4 || !host.statusText(i).empty())
                printf("status bar part %d: %s\n", i, host.statusText(i).c_str());
    } else if (what == "output") {
        std::vector<std::string> ls = lines(host.outputText());
        int hl = host.highlightedOutputLine();
        printf("output (%s):\n", host.outputPaneVisible() ? "pane shown" : "pane hidden");
        for (size_t i = 0; i < ls.size(); ++i)
            printf("%s%s\n", (int)i == hl ? ">> " : "   ", ls[i].c_str());
    } else if (what == "editors") {
        HWND active = host.activeChild();
        for (int set = 0; set < 2; ++set) {
            for (HWND c : host.children(set == 1)) {
                auto* rec = childRecordOf(c);
                printf("editor %s (type %lu%s%s%s), caret line %d\n", rec ? rec->fullPath : "?",
                       rec ? (unsigned long)rec->fileType : 0ul, set ? ", other set" : "",
                       host.isModified(c) ? ", modified" : "", c == active ? ", active" : "",
                       host.caretLine(c));
                for (const hostsim::EditorEvent& e : host.editorEvents(c))
                    printf("  %s %ld %ld\n", eventName(e.message), (long)e.wParam, (long)e.lParam);
            }
        }
    } else if (what == "accel") {
        for (const ACCEL& a : host.accelerators())
            printf("accel %s -> %u\n", keyName(a).c_str(), a.cmd);
    } else if (what == "menu") {
        printf("menu:\n");
        printMenu(host.mainMenu(), 0);
    } else if (what == "dialogs") {
        for (; st.dialogsPrinted < host.dialogs.size(); ++st.dialogsPrinted) {
            const hostsim::DialogSeen& d = host.dialogs[st.dialogsPrinted];
            if (d.isMessageBox)
                printf("message box \"%s\": %s [%s] -> %s\n", d.caption.c_str(), d.text.c_str(),
                       styleText(d.style).c_str(), buttonName(d.answer));
            else
                printf("dialog \"%s\" -> %s\n", d.caption.c_str(), buttonName(d.answer));
        }
    } else if (what == "paths") {
        // The add-in reveals its UI file through Export UI's notification; the
        // settings file is the one beside the DLL that it reads the assembler from.
        size_t before = host.uiFileWritten.size();
        if (host.config) {
            host.answer(Answer::run([](HWND dialog) {
                SendDlgItemMessageA(dialog, 1008, BM_CLICK, 0, 0);
                SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
            }));
            host.config(&host.handles, 0);
        }
        char dll[MAX_PATH * 4] = "";
        GetModuleFileNameA(host.addIn(), dll, sizeof dll);
        std::string folder(dll);
        folder.resize(folder.find_last_of('\\') + 1);
        char name[256] = "", description[256] = "";
        if (host.getData)
            host.getData(name, description);
        printf("add-in: %s - %s\n", name, description);
        printf("host INI (language GENERAL/UI): %s\n", hostsim::hostIniPath().c_str());
        printf("UI file (written by Export UI): %s\n",
               host.uiFileWritten.size() > before ? host.uiFileWritten.back().c_str() : "(not reported)");
        printf("add-ins INI (FASM/PATH, KeepRC): %sZIVevUde.Ini\n", folder.c_str());
    } else if (what == "commands") {
        printf("host commands:");
        for (UINT id : host.hostCommands)
            printf(" %u", id);
        printf("\n");
    } else {
        fprintf(stderr, "hostsim: unknown --print %s\n", what.c_str());
    }
}

// ---- what happens once the window is on the screen -------------------------

struct Scene {
    Host* host = nullptr;
    std::vector<std::string> menuPath;  // --show-menu, split at '>'
    bool showConfig = false;
    enum Step { MAPPING, OPEN_MENU, WALK_MENU, WAIT_SUBMENU, OPEN_CONFIG, SETTLE, DONE } step = MAPPING;
    int ticks = 0;
    HMENU popup = nullptr;  // the menu bar's popup named first in menuPath
    UINT_PTR timer = 0;
};
Scene scene;
const UINT SCENE_TICK_MS = 100;

char mnemonicOf(const std::string& caption)
{
    size_t amp = caption.find('&');
    return amp != std::string::npos && amp + 1 < caption.size() ? caption[amp + 1]
           : caption.empty()                                    ? 0
                                                                : caption[0];
}

int visibleMenuWindows()
{
    int n = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
         w = FindWindowExA(nullptr, w, "#32768", nullptr))
        if (IsWindowVisible(w))
            ++n;
    return n;
}

void postKey(HWND to, UINT vk)
{
    PostMessageA(to, WM_KEYDOWN, vk, 1);
    PostMessageA(to, WM_KEYUP, vk, 0xC0000001);
}

// A thread timer: it keeps firing inside the menu's and the dialog's own
// message loops, which is where the later steps happen.
void CALLBACK sceneTick(HWND, UINT, UINT_PTR, DWORD)
{
    Scene& s = scene;
    HWND frame = s.host->frame();
    ++s.ticks;
    switch (s.step) {
    case Scene::MAPPING:
        if (s.ticks < 5)
            return;  // let the X server map and paint the frame
        s.ticks = 0;
        s.step = !s.menuPath.empty() ? Scene::OPEN_MENU : s.showConfig ? Scene::OPEN_CONFIG : Scene::SETTLE;
        return;
    case Scene::OPEN_MENU: {
        HMENU bar = s.host->mainMenu();
        for (int i = 0; i < GetMenuItemCount(bar); ++i) {
            MENUITEMINFOA mi;
            std::string caption = menuCaption(bar, i, mi);
            if (mi.hSubMenu && lstrcmpiA(withoutShortcut(caption).c_str(), s.menuPath[0].c_str()) == 0) {
                s.popup = mi.hSubMenu;
                // Alt plus the item's letter, as the keyboard interface sends it.
                PostMessageA(frame, WM_SYSCOMMAND, SC_KEYMENU,
                             (LPARAM)(unsigned char)tolower(mnemonicOf(caption)));
                break;
            }
        }
        if (!s.popup) {
            fprintf(stderr, "hostsim: no menu \"%s\" in the menu bar\n", s.menuPath[0].c_str());
            s.step = Scene::SETTLE;
            return;
        }
        s.step = s.menuPath.size() > 1 ? Scene::WALK_MENU : Scene::WAIT_SUBMENU;
        s.ticks = 0;
        return;
    }
    case Scene::WALK_MENU: {
        if (visibleMenuWindows() < 1) {
            if (s.ticks > 30) {
                fprintf(stderr, "hostsim: the menu did not open\n");
                s.step = Scene::SETTLE;
            }
            return;
        }
        int n = GetMenuItemCount(s.popup), target = -1, hilite = -1;
        for (int i = 0; i < n; ++i) {
            MENUITEMINFOA mi;
            std::string caption = withoutShortcut(menuCaption(s.popup, i, mi));
            if (lstrcmpiA(caption.c_str(), s.menuPath[1].c_str()) == 0)
                target = i;
            if (GetMenuState(s.popup, i, MF_BYPOSITION) & MF_HILITE)
                hilite = i;
        }
        if (target < 0 || s.ticks > 40) {
            fprintf(stderr, "hostsim: cannot reach \"%s\" in the menu\n", s.menuPath[1].c_str());
            s.step = Scene::SETTLE;
        } else if (hilite == target) {
            postKey(frame, VK_RIGHT);
            s.step = Scene::WAIT_SUBMENU;
            s.ticks = 0;
        } else {
            postKey(frame, VK_DOWN);
        }
        return;
    }
    case Scene::WAIT_SUBMENU:
        if (visibleMenuWindows() >= (int)s.menuPath.size() || s.ticks > 30) {
            s.step = Scene::SETTLE;
            s.ticks = 0;
        }
        return;
    case Scene::OPEN_CONFIG:
        s.step = Scene::SETTLE;  // the ticks go on inside the dialog
        s.ticks = 0;
        PostMessageA(frame, WM_COMMAND, hostsim::HC_SIM_ADDIN_SETUP, 0);
        return;
    case Scene::SETTLE:
        if (s.ticks < 8)
            return;
        printf("hostsim: shown\n");
        fflush(stdout);
        s.step = Scene::DONE;
        KillTimer(nullptr, s.timer);
        return;
    case Scene::DONE:
        return;
    }
}

void CALLBACK exitTick(HWND, UINT, UINT_PTR, DWORD)
{
    fflush(stdout);
    fflush(stderr);
    ExitProcess(0);
}

void arrange(Host& host, const std::string& how)
{
    HWND mdi = host.mdiClient();
    if (how == "cascade")
        SendMessageA(mdi, WM_MDICASCADE, 0, 0);
    else if (how == "tile")
        SendMessageA(mdi, WM_MDITILE, MDITILE_VERTICAL, 0);
    else if (how == "tile-across")
        SendMessageA(mdi, WM_MDITILE, MDITILE_HORIZONTAL, 0);
    else if (how == "maximize")
        SendMessageA(mdi, WM_MDIMAXIMIZE, (WPARAM)host.activeChild(), 0);
    else
        fprintf(stderr, "hostsim: unknown --arrange %s\n", how.c_str());
}

// ---- the options -----------------------------------------------------------

// Before the host is made: value is the next argument, null at the end.
void armVisible(bool& visible, const char*) { visible = true; }

void armExitAfter(bool&, const char* value)
{
    long ms;
    if (value && parseInt(value, ms) && ms > 0)
        SetTimer(nullptr, 0, (UINT)ms, exitTick);
}

void armSteadyCaret(bool& visible, const char*)
{
    if (visible)
        SetCaretBlinkTime(INFINITE);
}

// In command-line order: 0 goes on to the next option, anything else is the exit code.
int onDll(Host& host, State& st, const std::string& value)
{
    if (!loadDll(host, st, value))
        return fail("cannot load the add-in ", value.c_str());
    return 0;
}

int onInstall(Host& host, State& st, const std::string& value)
{
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, value))
        return fail("cannot lay out the installation for ", value.c_str());
    printf("installed %s (host INI %s)\n", inst.dllPath.c_str(), inst.hostIni.c_str());
    if (!loadDll(host, st, inst.dllPath))
        return fail("cannot load the add-in ", inst.dllPath.c_str());
    return 0;
}

int onSetting(Host& host, State& st, const std::string& value)
{
    st.pendingSettings.push_back(value);
    if (host.addIn()) {
        char path[MAX_PATH * 4] = "";
        GetModuleFileNameA(host.addIn(), path, sizeof path);
        writeSettings(host, st, path);
    }
    return 0;
}

int onAsmArgs(Host&, State& st, const std::string& value)
{
    st.asmArgs = value;
    return 0;
}

int onOutputFile(Host&, State& st, const std::string& value)
{
    st.outputFile = value;
    return 0;
}

int onProject(Host& host, State& st, const std::string& value)
{
    host.openProject(value, st.asmArgs.c_str(), st.outputFile.c_str());
    return 0;
}

int onCloseProject(Host& host, State&, const std::string&)
{
    host.closeProject();
    return 0;
}

int openFile(Host& host, const std::string& value, bool otherSet)
{
    size_t colon = value.find(':');
    if (colon == std::string::npos)
        return fail("--open wants <type>:<path>, got ", value.c_str());
    std::string type = value.substr(0, colon), path = value.substr(colon + 1);
    long t = 0;
    if (type == "asm")
        t = FILE_TYPE_ASSEMBLY;
    else if (type == "rc")
        t = FILE_TYPE_RESOURCE_SCRIPT;
    else if (type == "bat")
        t = FILE_TYPE_BATCH;
    else if (!parseInt(type, t))
        return fail("unknown file type ", type.c_str());
    if (!host.openChild(path, (DWORD)t, hostsim::readFile(path), otherSet))
        return fail("cannot open ", path.c_str());
    return 0;
}

int onOpen(Host& host, State&, const std::string& value) { return openFile(host, value, false); }

int onOpenOther(Host& host, State&, const std::string& value) { return openFile(host, value, true); }

int onActivate(Host& host, State&, const std::string& value)
{
    long n;
    std::vector<HWND> all = host.children(false);
    if (!parseInt(value, n) || n < 0 || (size_t)n >= all.size())
        return fail("no child number ", value.c_str());
    host.activate(all[n]);
    return 0;
}

int onResourceScript(Host& host, State&, const std::string& value)
{
    host.setResourceScript(value.c_str());
    return 0;
}

int onDef(Host& host, State& st, const std::string& value)
{
    size_t eq = value.find('=');
    long id;
    if (eq == std::string::npos || !parseInt(value.substr(eq + 1), id))
        return fail("--def wants NAME=ID, got ", value.c_str());
    st.defs.push_back(hostsim::Definition{value.substr(0, eq), (int)id});
    host.setDefinitions(st.defs);
    return 0;
}

int onLanguage(Host& host, State&, const std::string& value)
{
    host.changeLanguage(value);
    return 0;
}

int onConfig(Host& host, State&, const std::string&)
{
    if (!host.config)
        return fail("no add-in with KXAddInConfig loaded");
    host.config(&host.handles, 0);
    return 0;
}

int onExportUi(Host& host, State&, const std::string&)
{
    if (!host.config)
        return fail("no add-in with KXAddInConfig loaded");
    size_t before = host.uiFileWritten.size();
    host.answer(Answer::run([](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_EXPORT_UI, BM_CLICK, 0, 0);
        SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
    }));
    host.config(&host.handles, 0);
    // A failed export shows a message box and sends no notification.
    if (host.uiFileWritten.size() == before)
        return fail("Export UI reported no UI file written");
    printf("Export UI wrote %s\n", host.uiFileWritten.back().c_str());
    return 0;
}

int onUnload(Host& host, State&, const std::string&)
{
    host.unloadAddIn();
    return 0;
}

int onAnswer(Host& host, State&, const std::string& value)
{
    static const struct {
        const char* name;
        int id;
    } answers[] = {{"yes", IDYES},     {"no", IDNO},       {"ok", IDOK},        {"cancel", IDCANCEL},
                   {"retry", IDRETRY}, {"abort", IDABORT}, {"ignore", IDIGNORE}};
    int id = 0;
    for (auto& a : answers)
        if (value == a.name)
            id = a.id;
    if (!id)
        return fail("unknown answer ", value.c_str());
    host.answer(Answer::press(id));
    return 0;
}

int sendCommand(Host& host, const std::string& value, bool fromAccelerator)
{
    UINT id = commandId(host, value);
    if (!id)
        return fail("unknown command ", value.c_str());
    LRESULT r = host.command(id, fromAccelerator);
    printf("command %u -> %s\n", id, r ? "handled by the add-in" : "host");
    return 0;
}

int onCmd(Host& host, State&, const std::string& value) { return sendCommand(host, value, false); }

int onAccel(Host& host, State&, const std::string& value) { return sendCommand(host, value, true); }

int onDblclick(Host& host, State&, const std::string& value)
{
    long line;
    if (!parseInt(value, line))
        return fail("--dblclick wants a line number, got ", value.c_str());
    printf("double-click on output line %ld -> %ld\n", line, (long)host.doubleClickOutputLine((int)line));
    return 0;
}

int onDblclickText(Host& host, State&, const std::string& value)
{
    std::vector<std::string> ls = lines(host.outputText());
    size_t line = 0;
    while (line < ls.size() && ls[line].find(value) == std::string::npos)
        ++line;
    if (line == ls.size())
        printf("no output line contains \"%s\"\n", value.c_str());
    else
        printf("double-click on output line %u (%s) -> %ld\n", (unsigned)line, ls[line].c_str(),
               (long)host.doubleClickOutputLine((int)line));
    return 0;
}

int onDblclickError(Host& host, State&, const std::string&)
{
    int line = host.highlightedOutputLine();
    if (line < 0)
        printf("no highlighted output line to double-click\n");
    else
        printf("double-click on output line %d -> %ld\n", line, (long)host.doubleClickOutputLine(line));
    return 0;
}

int onPrint(Host& host, State& st, const std::string& value)
{
    print(host, st, value);
    return 0;
}

int onArrange(Host& host, State&, const std::string& value)
{
    arrange(host, value);
    return 0;
}

int onWindow(Host& host, State&, const std::string& value)
{
    int x, y, w, h;
    if (sscanf(value.c_str(), "%d,%d,%d,%d", &x, &y, &w, &h) != 4)
        return fail("--window wants X,Y,W,H, got ", value.c_str());
    MoveWindow(host.frame(), x, y, w, h, TRUE);
    return 0;
}

int onShowMenu(Host&, State&, const std::string& value)
{
    scene.menuPath.clear();
    size_t from = 0;
    while (true) {
        size_t gt = value.find('>', from);
        scene.menuPath.push_back(value.substr(from, gt == std::string::npos ? std::string::npos : gt - from));
        if (gt == std::string::npos)
            break;
        from = gt + 1;
    }
    return 0;
}

int onShowConfig(Host&, State&, const std::string&)
{
    scene.showConfig = true;
    return 0;
}

struct Option {
    const char* name;
    bool takesValue;
    void (*beforeHost)(bool& visible, const char* value);         // at every place the name appears
    int (*run)(Host& host, State& st, const std::string& value);  // null: all done before the host
};

// The beforeHost steps run in the order of these rows, before anything can
// block (a dialog of --config waits for its user); --steady-caret has to know
// whether the host will be shown.
const Option OPTIONS[] = {
    {"--visible", false, armVisible, nullptr},
    {"--exit-after", true, armExitAfter, nullptr},
    {"--steady-caret", false, armSteadyCaret, nullptr},
    {"--dll", true, nullptr, onDll},
    {"--install", true, nullptr, onInstall},
    {"--setting", true, nullptr, onSetting},
    {"--asm-args", true, nullptr, onAsmArgs},
    {"--output-file", true, nullptr, onOutputFile},
    {"--project", true, nullptr, onProject},
    {"--close-project", false, nullptr, onCloseProject},
    {"--open", true, nullptr, onOpen},
    {"--open-other", true, nullptr, onOpenOther},
    {"--activate", true, nullptr, onActivate},
    {"--resource-script", true, nullptr, onResourceScript},
    {"--def", true, nullptr, onDef},
    {"--language", true, nullptr, onLanguage},
    {"--config", false, nullptr, onConfig},
    {"--export-ui", false, nullptr, onExportUi},
    {"--unload", false, nullptr, onUnload},
    {"--answer", true, nullptr, onAnswer},
    {"--cmd", true, nullptr, onCmd},
    {"--accel", true, nullptr, onAccel},
    {"--dblclick", true, nullptr, onDblclick},
    {"--dblclick-text", true, nullptr, onDblclickText},
    {"--dblclick-error", false, nullptr, onDblclickError},
    {"--print", true, nullptr, onPrint},
    {"--arrange", true, nullptr, onArrange},
    {"--window", true, nullptr, onWindow},
    {"--show-menu", true, nullptr, onShowMenu},
    {"--show-config", false, nullptr, onShowConfig},
};

const Option* findOption(const char* name)
{
    for (const Option& o : OPTIONS)
        if (strcmp(o.name, name) == 0)
            return &o;
    return nullptr;
}

// One option to run with its value, or (option null) where the command line
// goes wrong: fail(problem, value) once the options before it have run.
struct Action {
    const Option* option;
    std::string value;
    const char* problem;
};

std::vector<Action> parseOptions(int argc, char** argv)
{
    std::vector<Action> actions;
    for (int i = 1; i < argc; ++i) {
        const Option* o = findOption(argv[i]);
        // The value is checked for first, so an unknown option last on the line
        // reads as missing its value, as it always has.
        if ((!o || o->takesValue) && i + 1 >= argc) {
            actions.push_back(Action{nullptr, argv[i], "missing value after "});
            break;
        }
        if (!o) {
            actions.push_back(Action{nullptr, argv[i], "unknown option "});
            break;
        }
        std::string value = o->takesValue ? argv[++i] : "";
        if (o->run)
            actions.push_back(Action{o, value, nullptr});
    }
    return actions;
}

// Returns whether the host is to be shown.
bool armBeforeHost(int argc, char** argv)
{
    bool visible = false;
    for (const Option& o : OPTIONS)
        if (o.beforeHost)
            for (int i = 1; i < argc; ++i)
                if (strcmp(argv[i], o.name) == 0)
                    o.beforeHost(visible, i + 1 < argc ? argv[i + 1] : nullptr);
    return visible;
}

int runActions(Host& host, State& st, const std::vector<Action>& actions)
{
    for (const Action& a : actions) {
        if (!a.option)
            return fail(a.problem, a.value.c_str());
        int rc = a.option->run(host, st, a.value);
        if (rc)
            return rc;
        fflush(stdout);
    }
    return 0;
}

void reportDialogs(Host& host)
{
    if (host.pendingAnswers())
        fprintf(stderr, "hostsim: %u answers were not used\n", (unsigned)host.pendingAnswers());
    if (host.unexpectedDialogs)
        fprintf(stderr, "hostsim: %d unexpected dialogs\n", host.unexpectedDialogs);
}

// Until the user closes the frame, or --exit-after ends the program.
int runShown(Host& host)
{
    scene.timer = SetTimer(nullptr, 0, SCENE_TICK_MS, sceneTick);
    return host.run();
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<Action> actions = parseOptions(argc, argv);
    bool visible = armBeforeHost(argc, argv);
    Host host(visible);
    State st;
    scene.host = &host;
    int rc = runActions(host, st, actions);
    if (rc)
        return rc;
    reportDialogs(host);
    if (visible)
        rc = runShown(host);
    fflush(stdout);
    return rc;
}
