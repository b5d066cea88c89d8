// A stand-in for the host IDE: real Win32 windows that honour every record,
// message and command of the host interface, so that tests and the demo can
// load tordel.dll and drive it as the host would. One instance per thread.
#pragma once

#include <windows.h>
#include <richedit.h>  // CHARRANGE
#include <functional>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace hostsim {

// Commands of the simulator's own menu items. The Window menu's Cascade is
// there in every host; the others only in a shown one (Host(true)).
enum : UINT {
    HC_SIM_CASCADE = 10901,
    HC_SIM_TILE = 10902,
    HC_SIM_EXIT = 10950,
    HC_SIM_ADDIN_SETUP = 10960,  // calls KXAddInConfig, like the real host's add-in manager
};

// A message box or modal dialog that opened while the simulator was running.
struct DialogSeen {
    bool isMessageBox = false;  // false: another dialog (the setup dialog, the Open dialog)
    std::string text;           // message box text (static 0xFFFF)
    std::string caption;        // window title
    UINT style = 0;             // MB_* reconstructed: buttons (MB_OK/MB_YESNO/...) | icon (MB_ICON*)
    HWND owner = nullptr;       // GetWindow(GW_OWNER) when it opened
    int answer = 0;             // the button that closed it (IDYES, IDNO, IDOK, IDCANCEL, ...):
                                // the last button WM_COMMAND the dialog received; 0 when a
                                // callback ended it with EndDialog and no button
};

// How to answer the next dialog: press a button, or run a callback on the
// live dialog (fill controls, click, then close it with EndDialog or a click).
struct Answer {
    int button = 0;                           // IDYES/IDNO/IDOK/IDCANCEL when no callback
    std::function<void(HWND dialog)> action;  // runs inside the modal loop
    static Answer press(int id)
    {
        Answer a;
        a.button = id;
        return a;
    }
    static Answer run(std::function<void(HWND)> f)
    {
        Answer a;
        a.action = std::move(f);
        return a;
    }
};

// A private editor or output-control message, as received.
struct EditorEvent {
    UINT message;  // HEM_SETLINEHIGHLIGHT, HEM_SETLINEMARK, HEM_CLEARMARKS
    WPARAM wParam;
    LPARAM lParam;
};

struct Definition {
    std::string name;  // stored in the 65-byte field; longer names fill it without a terminator
    int id;
};

class Host {
public:
    // Creates the frame (menu with items 10504 and 10510 in a popup, status bar
    // with 5 parts), the MDI client, the output pane with its rich-edit output
    // control (riched32 "RICHEDIT", text limit raised), and a host accelerator
    // table with a few entries of its own. Hidden unless visible is true.
    explicit Host(bool visible = false);
    ~Host();  // unloads the add-in if loaded, destroys everything
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // LoadLibraryA + GetProcAddress of the six exports + KXAddInLoad(&handles, &links).
    bool loadAddIn(const std::string& dllPath);
    // KXAddInUnload + FreeLibrary.
    void unloadAddIn();
    HMODULE addIn() const;
    // The six exports, null when not loaded.
    KXAddInConfigProc config = nullptr;
    GetKXAddInDataProc getData = nullptr;
    KXAddInLoadProc loadProc = nullptr;
    KXAddInUnloadProc unloadProc = nullptr;
    AddInWindowProc frameWindowProc = nullptr;  // set only after KXAddInLoad returned
    AddInWindowProc outWindowProc = nullptr;    // set only after KXAddInLoad returned
    LRESULT loadResult = 0;                     // what KXAddInLoad returned

    // Opens a project: project file (an INI file the test wrote), ProjectInfo
    // field 4 and field 6 (nullptr leaves the field null), then sends
    // HN_PROJECT_CHANGED through the frame. closeProject() makes
    // HM_GET_PROJECT_INFO return 0 and sends HN_PROJECT_CHANGED.
    void openProject(const std::string& projectFile, const char* assemblerArguments = "",
                     const char* outputFile = "");
    void closeProject();
    // The record the host copies on HM_GET_PROJECT_INFO; openProject() fills it
    // (unused fields point to ""), a test may then change fields directly.
    ProjectInfo& projectInfo();

    // Opens an MDI child with an editor showing text; fileType per FILE_TYPE_*.
    // otherSet puts it in the HM_ENUM_OTHER_CHILDREN set instead of HM_ENUM_CHILDREN.
    // Children are enumerated in the order they were opened. A path longer than
    // MAX_PATH is stored whole (the record's inline buffer is larger).
    HWND openChild(const std::string& fullPath, DWORD fileType, const std::string& text = "",
                   bool otherSet = false);
    void closeChild(HWND child);
    void setModified(HWND child, bool modified);  // EM_SETMODIFY on its editor
    // Host command 10003 (save all) clears every editor's modified flag unless this is set.
    bool saveAllLeavesModified = false;
    HWND editorOf(HWND child) const;
    HWND activeChild() const;   // WM_MDIGETACTIVE
    void activate(HWND child);  // WM_MDIACTIVATE
    // Every private message each editor received, in order.
    const std::vector<EditorEvent>& editorEvents(HWND child) const;
    // The selection of an editor (EM_EXGETSEL).
    CHARRANGE editorSelection(HWND child) const;
    // The open children of one set, in opening order; an editor's text, caret
    // line (EM_EXLINEFROMCHAR of the selection start), modify flag.
    std::vector<HWND> children(bool otherSet = false) const;
    std::string editorText(HWND child) const;
    int caretLine(HWND child) const;
    bool isModified(HWND child) const;  // EM_GETMODIFY != 0

    // Resource script path behind HostResourceLinks +20 (nullptr: none), and the
    // definitions list behind +24 (terminated by an empty name). setNullDefinitions
    // stores a null list start.
    void setResourceScript(const char* path);
    void setDefinitions(const std::vector<Definition>& defs);
    void setNullDefinitions();

    // Sends WM_COMMAND to the frame as a menu pick (high word 0) or an
    // accelerator (high word 1); the frame offers it to FrameWindowProc first.
    LRESULT command(UINT id, bool fromAccelerator = false);
    LRESULT frameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Writes "GENERAL"/"UI" = language into the host INI and sends
    // HN_LANGUAGE_COMMAND with the given wParam through the frame.
    LRESULT changeLanguage(const std::string& language, WPARAM commandId = 30101);
    // Commands that reached the host's own handling (FrameWindowProc returned 0), in order.
    std::vector<UINT> hostCommands;
    // The command ids HM_NEW_COMMAND_ID handed out, in order.
    std::vector<UINT> commandIdsGiven;
    // wParam texts of every HM_UI_FILE_WRITTEN received.
    std::vector<std::string> uiFileWritten;

    // Output control: its text, and a double-click on a line: the caret goes
    // to the start of that line (EM_SETSEL), then WM_LBUTTONDBLCLK is sent to
    // the output control, which offers it to OutWindowProc first. Returns
    // OutWindowProc's result.
    std::string outputText() const;
    void setOutputText(const std::string& text);
    LRESULT doubleClickOutputLine(int line);
    const std::vector<EditorEvent>& outputEvents() const;  // 2029 on the output control
    // The line highlighted now per outputEvents (last 2029 with lParam 1 not
    // since removed by 2029 with lParam 0 on that line), or -1. Replacing the
    // whole text (WM_SETTEXT) drops every highlight, as it drops the lines.
    int highlightedOutputLine() const;
    bool outputPaneVisible() const;  // WS_VISIBLE bit of the pane itself
    // WM_PAINT messages the output control received, and a callback run at
    // the start of each (before the control paints), e.g. to look at the
    // output while a captured run is in progress. Painting needs a shown
    // frame: ShowWindow(frame(), SW_SHOW) on a hidden host is enough.
    int outputPaintCount() const;
    std::function<void()> onOutputPaint;
    // Called with every message the output control gets, before it acts on
    // it: when each step of a command reaches the pane (the benchmark's
    // timeline).
    std::function<void(UINT message)> onOutputMessage;
    HWND outputControl() const { return handles.outputControl; }
    HWND outputPane() const { return handles.outputPane; }
    HWND mdiClient() const { return handles.mdiClient; }

    std::string statusText(int part = 4) const;

    // Dialogs: answers are used in order, one per dialog or message box; with
    // no answer queued a message box gets IDCANCEL (or its only button) and
    // the dialog is recorded as unexpected.
    void answer(Answer a);
    size_t pendingAnswers() const;  // answers queued and not used yet
    std::vector<DialogSeen> dialogs;
    int unexpectedDialogs = 0;

    // The host's own accelerator table, as entries (read back through the variable).
    std::vector<ACCEL> accelerators() const;
    void setAccelerators(const std::vector<ACCEL>& entries);  // replaces the table (empty: null handle)

    HostHandles handles{};
    HostResourceLinks links{};
    HWND frame() const { return handles.mainWindow; }
    HWND statusBar() const;
    HMENU mainMenu() const { return handles.mainMenu; }

    // Runs the message loop (with the accelerator table) until the frame closes.
    int run();

    struct Impl;

private:
    Impl* impl;
};

// A host installation around the running EXE, which plays the host
// executable: hostIni is its path with ".ini" for its extension, uiFile is
// "ui\tordel.ui" beside it. The add-in is copied into a fresh folder
// addInsDir (under the system temp folder, unique per call) as dllPath, with
// its settings file addInsIni beside it. Files left from an earlier run
// (host INI, UI file) are removed so each test starts clean.
struct Installation {
    std::string hostExe, hostIni, uiDir, uiFile, addInsDir, dllPath, addInsIni;
};
// dllSource: the built tordel.dll (TORDEL_DLL environment variable when empty).
// Returns false (and says why on stderr) when the DLL cannot be copied.
bool layOutInstallation(Installation& out, const std::string& dllSource = "");

// The host INI of the running EXE (its path with ".ini" for the extension).
std::string hostIniPath();

// Small file helpers for tests.
// The menu (top level or nested) and position that hold the item with this
// command; false when no item has it.
bool findMenuItem(HMENU menu, UINT id, HMENU* owner, int* position);
// The submenu of the item just before the item with command `before`
// (the add-in's popup goes before 10510), or null.
HMENU submenuBefore(HMENU menu, UINT before);

std::string readFile(const std::string& path);  // "" when missing
bool writeFile(const std::string& path, const std::string& bytes);
std::string tempFolder(const std::string& tag);  // a fresh, empty folder
// Copies a folder and everything in it, the copies writable whatever the
// originals are; "" when done, else what failed and the system's error.
std::string copyFolder(const std::string& from, const std::string& to);
// A Unix path ("/work/x") as Wine shows it to Windows programs ("Z:\work\x");
// any other path unchanged.
std::string windowsPathOf(std::string path);

}  // namespace hostsim
