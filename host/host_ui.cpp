// What the add-in shows through the host.
#include "host/host_ui.h"

#include <commctrl.h>

#include "host/addin_state.h"
#include "settings/ui_text.h"

namespace {

const char FASM_COMPILER[] = "FASM";
enum : WPARAM { STATUS_PART = 4 };

}  // namespace

void setStatus(const char* text) { SendMessageA(g.statusBar, SB_SETTEXTA, STATUS_PART, (LPARAM)text); }

LRESULT finishCommand()
{
    setStatus(FASM_COMPILER);
    return 1;
}

int showMessage(const char* text, const char* caption, UINT style, HWND owner)
{
    return MessageBoxA(owner ? owner : g.mainWindow, text, caption, style);
}

const char* systemErrorText(DWORD error, char* out)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  out, WORK_BUFFER_SIZE, nullptr);
    if (!length)
        return formatText(out, TEXT_SYSTEM_ERROR, error);
    // The system's texts end with a line break, which a line of the pane must not hold.
    while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r'))
        out[--length] = '\0';
    return out;
}

void showSystemError(DWORD error, const char* caption, HWND owner)
{
    char text[WORK_BUFFER_SIZE];
    showMessage(systemErrorText(error, text), caption, MB_OK | MB_ICONERROR, owner);
}

LONG outputLength() { return (LONG)SendMessageA(g.outputControl, WM_GETTEXTLENGTH, 0, 0); }

bool findInOutput(const char* text, LONG from, LONG to, CHARRANGE* found)
{
    FINDTEXTEXA find;
    find.chrg.cpMin = from;
    find.chrg.cpMax = to;
    find.lpstrText = text;
    // The host's RICHEDIT control searches forward with no flags.
    if (SendMessageA(g.outputControl, EM_FINDTEXTEX, 0, (LPARAM)&find) == -1)
        return false;
    *found = find.chrgText;
    return true;
}

FARPROC systemFunction(const char* module, const char* name)
{
    // Kept loaded once loaded: the shell may still be working for a call
    // that has returned.
    HMODULE dll = GetModuleHandleA(module);
    if (!dll)
        dll = LoadLibraryA(module);
    return dll ? GetProcAddress(dll, name) : nullptr;
}
