// The setup dialog: the assembler's path, the automatic rc.inc export, and
// writing the built-in texts out as a template for translators.
#include <windows.h>
#include <commdlg.h>

#include "host/addin.h"
#include "setup/setup_ids.h"

namespace {

// The Open dialog starts from this buffer: the stored path, or the last one chosen.
char browsePath[WORK_BUFFER_SIZE];
OPENFILENAMEA browseRequest;

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

void saveSettings(HWND dialog)
{
    char path[WORK_BUFFER_SIZE];
    GetDlgItemTextA(dialog, IDC_ASSEMBLER_PATH, path, sizeof path);
    WritePrivateProfileStringA("FASM", "PATH", path, addInsIniPath());
    bool keep = SendDlgItemMessageA(dialog, IDC_KEEP_RC, BM_GETCHECK, 0, 0) == BST_CHECKED;
    WritePrivateProfileStringA("FASM", "KeepRC", keep ? "1" : "0", addInsIniPath());
    // Takes effect at once, not only at the next load.
    g.keepRcInclude = keep ? 1 : 0;
}

void exportTexts()
{
    for (int id = 0; id < TEXT_COUNT; ++id)
        WritePrivateProfileStringA("DEFAULT", textKey((TextId)id), defaultText((TextId)id), uiFilePath());
    SendMessageA(g.mainWindow, HM_UI_FILE_WRITTEN, (WPARAM)uiFilePath(), 0);
}

void browse(HWND dialog)
{
    browseRequest.hwndOwner = dialog;
    if (GetOpenFileNameA(&browseRequest))
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
            saveSettings(dialog);
            EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_EXPORT_UI:
            exportTexts();
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
