// What the add-in shows through the host.
#include "host/host_ui.h"

#include <commctrl.h>

#include "core/text_core.h"
#include "host/host_windows.h"
#include "settings/ui_text.h"

namespace {

enum : WPARAM { STATUS_PART = 4 };

}  // namespace

void setStatus(const char* text)
{
    SendMessageA(hostWindows().statusBar, SB_SETTEXTA, STATUS_PART, (LPARAM)text);
}

const char* statusText(char* out)
{
    out[0] = '\0';
    HWND bar = hostWindows().statusBar;
    // The length comes first: the request itself takes no buffer size.
    if (LOWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, STATUS_PART, 0)) < WORK_BUFFER_SIZE)
        SendMessageA(bar, SB_GETTEXTA, STATUS_PART, (LPARAM)out);
    return out;
}

LRESULT finishCommand()
{
    setStatus(FASM_COMPILER);
    return 1;
}

int showMessage(const char* text, const char* caption, UINT style, HWND owner)
{
    return MessageBoxA(owner ? owner : hostWindows().mainWindow, text, caption, style);
}

const char* systemErrorText(DWORD error, char* out)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, out, WORK_BUFFER_SIZE, nullptr);
    if (!length)
        return formatText(out, WORK_BUFFER_SIZE, TEXT_SYSTEM_ERROR, error);
    // The system's texts end with a line break, which a line of the pane must not hold.
    while (length > 0 && (out[length - 1] == '\n' || out[length - 1] == '\r'))
        out[--length] = '\0';
    return out;
}

const char* systemErrorTextAbout(DWORD error, const char* name, char* out)
{
    char text[WORK_BUFFER_SIZE];
    return replaceText(systemErrorText(error, text), "%1", name, out, WORK_BUFFER_SIZE);
}

void showSystemError(DWORD error, const char* caption, HWND owner)
{
    char text[WORK_BUFFER_SIZE];
    showMessage(systemErrorText(error, text), caption, MB_OK | MB_ICONERROR, owner);
}

void showFileError(TextId what, const char* path, DWORD error)
{
    char message[WORK_BUFFER_SIZE], reason[WORK_BUFFER_SIZE], text[LONG_TEXT_SIZE];
    // A path is shown whole even where the buffers of texts would cut it.
    wsprintfA(text, "%s\r%.600s", messageText(what, message), path);
    if (error != NO_SYSTEM_ERROR)
        wsprintfA(text + lstrlenA(text), "\r%s", systemErrorText(error, reason));
    showMessage(text, nullptr, MB_OK | MB_ICONERROR);
}

LONG outputLength() { return (LONG)SendMessageA(hostWindows().outputControl, WM_GETTEXTLENGTH, 0, 0); }

bool findInOutput(const char* text, LONG from, LONG to, CHARRANGE* found)
{
    FINDTEXTEXA find;
    find.chrg.cpMin = from;
    find.chrg.cpMax = to;
    find.lpstrText = text;
    // The host's RICHEDIT control searches forward with no flags.
    if (SendMessageA(hostWindows().outputControl, EM_FINDTEXTEX, 0, (LPARAM)&find) == -1)
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
