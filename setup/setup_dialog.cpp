// The setup dialog: the assembler's path, the automatic rc.inc export, and
// writing the built-in texts out as a template for translators.
#include "setup/setup_dialog.h"

#include <commdlg.h>
#include <shlwapi.h>

#include "host/addin_state.h"
#include "host/host_ui.h"
#include "settings/paths.h"
#include "settings/ui_text.h"
#include "setup/setup_ids.h"

namespace {

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

void initDialog(HWND dialog)
{
    refreshLanguage();
    char text[WORK_BUFFER_SIZE];
    SetWindowTextA(dialog, lookup(TEXT_SETUP_TITLE, text));
    SetDlgItemTextA(dialog, IDCANCEL, g.buttonCaptions[BUTTON_CANCEL]);
    SetDlgItemTextA(dialog, IDOK, g.buttonCaptions[BUTTON_OK]);
    SetDlgItemTextA(dialog, IDC_PATH_LABEL, lookup(TEXT_SETUP_PATH_LABEL, text));
    SetDlgItemTextA(dialog, IDC_KEEP_RC, lookup(TEXT_SETUP_KEEP_RC, text));

    g.keepRcInclude = readKeepRc() & 1;
    SendDlgItemMessageA(dialog, IDC_KEEP_RC, BM_SETCHECK, g.keepRcInclude ? BST_CHECKED : BST_UNCHECKED, 0);

    readAssemblerPath(browsePath);
    SetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, browsePath);

    ZeroMemory(&browseRequest, sizeof browseRequest);
    browseRequest.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    browseRequest.lpstrFile = browsePath;
    browseRequest.nMaxFile = sizeof browsePath;
}

// Writes one value; on failure keeps the first error for the message.
void writeValue(const char* section, const char* key, const char* value, const char* file, DWORD* error)
{
    if (WritePrivateProfileStringA(section, key, value, file) || *error != ERROR_SUCCESS)
        return;
    DWORD last = GetLastError();
    *error = last != ERROR_SUCCESS ? last : ERROR_WRITE_FAULT;
}

// The profile functions may keep writes in a cache and fail only when the
// file is written out, saying nothing; once flushed, the file must exist.
void flushValues(const char* file, DWORD* error)
{
    if (*error != ERROR_SUCCESS)
        return;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        *error = ERROR_WRITE_FAULT;
}

// False when the settings could not be stored: the user is told, and the
// dialog stays open with what was typed rather than closing as if saved.
bool saveSettings(HWND dialog)
{
    char path[WORK_BUFFER_SIZE];
    GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, path, sizeof path);
    bool keep = SendDlgItemMessageA(dialog, IDC_KEEP_RC, BM_GETCHECK, 0, 0) == BST_CHECKED;
    DWORD error = ERROR_SUCCESS;
    // A name too long for any file is refused before the cache takes it.
    if (lstrlenA(addInsIniPath()) >= MAX_PATH) {
        error = ERROR_FILENAME_EXCED_RANGE;
    } else {
        writeValue("FASM", "PATH", path, addInsIniPath(), &error);
        writeValue("FASM", "KeepRC", keep ? "1" : "0", addInsIniPath(), &error);
    }
    flushValues(addInsIniPath(), &error);
    if (error != ERROR_SUCCESS) {
        showSystemError(error, addInsIniPath(), dialog);
        return false;
    }
    // Takes effect at once, not only at the next load.
    g.keepRcInclude = keep ? 1 : 0;
    return true;
}

// The host is told about the UI file only when it was really written.
void exportTexts(HWND dialog)
{
    // The UI file is the host's folder (up to MAX_PATH long) with "\ui\tordel.ui" added.
    char folder[2 * MAX_PATH];
    lstrcpynA(folder, uiFilePath(), sizeof folder);
    PathRemoveFileSpecA(folder);
    // A fresh installation may have no "ui" folder yet.
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(folder, nullptr);
    DWORD error = ERROR_SUCCESS;
    for (int id = 0; id < TEXT_COUNT; ++id)
        writeValue("DEFAULT", textKey((TextId)id), defaultText((TextId)id), uiFilePath(), &error);
    flushValues(uiFilePath(), &error);
    if (error != ERROR_SUCCESS) {
        showSystemError(error, uiFilePath(), dialog);
        return;
    }
    SendMessageA(g.mainWindow, HM_UI_FILE_WRITTEN, (WPARAM)uiFilePath(), 0);
}

void browse(HWND dialog)
{
    browseRequest.hwndOwner = dialog;
    typedef BOOL(WINAPI * GetOpenFileNameProc)(OPENFILENAMEA*);
    auto getOpenFileName = (GetOpenFileNameProc)systemFunction("comdlg32.dll", "GetOpenFileNameA");
    if (getOpenFileName && getOpenFileName(&browseRequest))
        SetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, browsePath);
}

INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        initDialog(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        // The whole wParam is compared, so control notifications fall through.
        switch (wParam) {
        case IDOK:
            if (saveSettings(dialog))
                EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_EXPORT_UI:
            exportTexts(dialog);
            return TRUE;
        case IDC_BROWSE:
            browse(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void openSetupDialog(HWND owner)
{
    DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(IDD_SETUP), owner, setupDialogProc, 0);
}
