// The setup dialog: the assembler's path and what the assembler answers,
// the folder of its headers, the automatic rc.inc export, and writing the
// built-in texts out as a template for translators.
#include "setup/setup_dialog.h"

#include <commdlg.h>
#include <shlobj.h>

#include "core/text_core.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "host/version.h"
#include "settings/paths.h"
#include "settings/ui_text.h"
#include "setup/assembler_check.h"
#include "setup/setup_ids.h"

namespace {

enum : size_t { BUTTON_CAPTION_SIZE = 16, BUTTON_CAPTION_COUNT = 4 };
// Captions by position in their text ("OK^Cancel^Yes^No").
enum { BUTTON_OK, BUTTON_CANCEL };
char buttonCaptions[BUTTON_CAPTION_COUNT][BUTTON_CAPTION_SIZE];

// The Open dialog starts from this buffer: the stored path, or the last one chosen.
char browsePath[WORK_BUFFER_SIZE];
// The request in its oldest form, which every Open dialog accepts: 76 bytes
// on 32-bit Windows; the same fields, pointer-sized, on 64-bit.
OPENFILENAMEA browseRequest;
#ifndef _WIN64
// (OPENFILENAME_SIZE_VERSION_400A itself is no constant expression in C++:
// MinGW computes it through a cast of a null pointer.)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the 76-byte Open-file request");
#endif

// Asks the assembler once the dialog is on screen: posted at its start.
enum : UINT { WM_ASK_ASSEMBLER = WM_APP + 1 };
// The path the assembler's answer is about: it is asked again only when the
// path changed.
char askedPath[WORK_BUFFER_SIZE];
// Set once the dialog ends: the edit losing the focus as it goes asks nothing.
bool closing;

void initDialog(HWND dialog, SetupStart start)
{
    refreshLanguage();
    char text[WORK_BUFFER_SIZE];
    splitIntoSlots(lookup(TEXT_BUTTONS, text), buttonCaptions[0], BUTTON_CAPTION_SIZE, BUTTON_CAPTION_COUNT);
    SetWindowTextA(dialog, lookup(TEXT_SETUP_TITLE, text));
    SetDlgItemTextA(dialog, IDCANCEL, buttonCaptions[BUTTON_CANCEL]);
    SetDlgItemTextA(dialog, IDOK, buttonCaptions[BUTTON_OK]);
    SetDlgItemTextA(dialog, IDC_PATH_LABEL, lookup(TEXT_SETUP_PATH_LABEL, text));
    SetDlgItemTextA(dialog, IDC_KEEP_RC, lookup(TEXT_SETUP_KEEP_RC, text));
    SetDlgItemTextA(dialog, IDC_EXPORT_UI, lookup(TEXT_SETUP_EXPORT_UI, text));
    SetDlgItemTextA(dialog, IDC_GOTO_ERROR, lookup(TEXT_SETUP_GOTO_ERROR, text));
    SetDlgItemTextA(dialog, IDC_INCLUDE_LABEL, lookup(TEXT_SETUP_INCLUDE_LABEL, text));
    SetDlgItemTextA(dialog, IDC_VERSION, "V. " TORDEL_VERSION_NAME);

    SendDlgItemMessageA(dialog, IDC_KEEP_RC, BM_SETCHECK, keepRcForDialog() ? BST_CHECKED : BST_UNCHECKED, 0);
    SendDlgItemMessageA(dialog, IDC_GOTO_ERROR, BM_SETCHECK, gotoErrorOn() ? BST_CHECKED : BST_UNCHECKED, 0);
    readIncludeFolder(text);
    SetDlgItemTextA(dialog, IDC_INCLUDE_PATH, text);

    readAssemblerPath(browsePath);
    if (!browsePath[0] && start == SETUP_SUGGESTING_ASSEMBLER)
        findAssemblerOnPath(browsePath);
    SetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, browsePath);
    askedPath[0] = '\0';
    closing = false;
    PostMessageA(dialog, WM_ASK_ASSEMBLER, 0, 0);

    ZeroMemory(&browseRequest, sizeof browseRequest);
    browseRequest.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    browseRequest.lpstrFile = browsePath;
    browseRequest.nMaxFile = sizeof browsePath;
}

// False when the settings could not be stored: the user is told, and the
// dialog stays open with what was typed rather than closing as if saved.
bool storeSettings(HWND dialog)
{
    SetupSettings settings;
    GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, settings.assemblerPath, sizeof settings.assemblerPath);
    GetDlgItemTextA(dialog, IDC_INCLUDE_PATH, settings.includeFolder, sizeof settings.includeFolder);
    settings.keepRc = SendDlgItemMessageA(dialog, IDC_KEEP_RC, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings.gotoError = SendDlgItemMessageA(dialog, IDC_GOTO_ERROR, BM_GETCHECK, 0, 0) == BST_CHECKED;
    DWORD error = saveSettings(settings);
    if (error != ERROR_SUCCESS) {
        showSystemError(error, addInsIniPath(), dialog);
        return false;
    }
    return true;
}

// The host is told about the UI file only when it was really written.
void exportTexts(HWND dialog)
{
    DWORD error = exportDefaultTexts();
    if (error != ERROR_SUCCESS) {
        showSystemError(error, uiFilePath(), dialog);
        return;
    }
    SendMessageA(hostWindows().mainWindow, HM_UI_FILE_WRITTEN, (WPARAM)uiFilePath(), 0);
}

// Shows under the path what the program there answers. The dialog is drawn
// first, and the user sees the wait.
void askAssemblerFor(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, askedPath, sizeof askedPath);
    SetDlgItemTextA(dialog, IDC_ASSEMBLER_ANSWER, "");
    UpdateWindow(dialog);
    HCURSOR cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    char answer[LONG_TEXT_SIZE];
    askAssembler(askedPath, answer);
    SetDlgItemTextA(dialog, IDC_ASSEMBLER_ANSWER, answer);
    SetCursor(cursor);
}

void askIfChanged(HWND dialog)
{
    char path[WORK_BUFFER_SIZE];
    GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, path, sizeof path);
    if (!closing && !textsEqual(path, askedPath))
        askAssemblerFor(dialog);
}

void endDialog(HWND dialog)
{
    closing = true;
    EndDialog(dialog, 0);
}

void browse(HWND dialog)
{
    browseRequest.hwndOwner = dialog;
    typedef BOOL(WINAPI * GetOpenFileNameProc)(OPENFILENAMEA*);
    auto getOpenFileName = (GetOpenFileNameProc)systemFunction("comdlg32.dll", "GetOpenFileNameA");
    if (getOpenFileName && getOpenFileName(&browseRequest)) {
        SetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, browsePath);
        askAssemblerFor(dialog);
    }
}

// The folder picker starts at the folder in the field.
int CALLBACK startFolderPicker(HWND picker, UINT message, LPARAM, LPARAM folder)
{
    if (message == BFFM_INITIALIZED && *(const char*)folder)
        SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, folder);
    return 0;
}

void browseFolder(HWND dialog)
{
    typedef PIDLIST_ABSOLUTE(WINAPI * BrowseProc)(BROWSEINFOA*);
    typedef BOOL(WINAPI * PathProc)(PCIDLIST_ABSOLUTE, char*);
    typedef void(WINAPI * FreeProc)(void*);
    auto browseForFolder = (BrowseProc)systemFunction("shell32.dll", "SHBrowseForFolderA");
    auto pathFromList = (PathProc)systemFunction("shell32.dll", "SHGetPathFromIDListA");
    auto freeList = (FreeProc)systemFunction("ole32.dll", "CoTaskMemFree");
    if (!browseForFolder || !pathFromList || !freeList)
        return;
    char folder[MAX_PATH], name[MAX_PATH], title[WORK_BUFFER_SIZE];
    GetDlgItemTextA(dialog, IDC_INCLUDE_PATH, folder, sizeof folder);
    BROWSEINFOA request;
    ZeroMemory(&request, sizeof request);
    request.hwndOwner = dialog;
    request.pszDisplayName = name;
    request.lpszTitle = lookup(TEXT_SETUP_INCLUDE_BROWSE, title);
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    request.lpfn = startFolderPicker;
    request.lParam = (LPARAM)folder;
    PIDLIST_ABSOLUTE chosen = browseForFolder(&request);
    if (!chosen)
        return;
    if (pathFromList(chosen, folder))
        SetDlgItemTextA(dialog, IDC_INCLUDE_PATH, folder);
    freeList(chosen);
}

INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        initDialog(dialog, (SetupStart)lParam);
        return TRUE;
    case WM_ASK_ASSEMBLER:
        askAssemblerFor(dialog);
        return TRUE;
    case WM_CLOSE:
        endDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        // The whole wParam is compared, so other control notifications fall through.
        switch (wParam) {
        case IDOK:
            if (storeSettings(dialog))
                endDialog(dialog);
            return TRUE;
        case IDCANCEL:
            endDialog(dialog);
            return TRUE;
        case IDC_EXPORT_UI:
            exportTexts(dialog);
            return TRUE;
        case IDC_BROWSE:
            browse(dialog);
            return TRUE;
        case IDC_INCLUDE_BROWSE:
            browseFolder(dialog);
            return TRUE;
        case MAKEWPARAM(IDC_ASSEMBLER_PATH, EN_KILLFOCUS):
            askIfChanged(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void openSetupDialog(HWND owner, SetupStart start)
{
    DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(IDD_SETUP), owner, setupDialogProc, (LPARAM)start);
}
