// Runs a command line as a hidden child process and streams what it writes
// to standard output and standard error into the host's output control.
#include <windows.h>

#include "host/addin.h"

namespace {

enum : DWORD {
    COMMAND_BUFFER_SIZE = 65536,
    READ_CHUNK = 32000,  // leaves room for the terminator in the buffer
};

void appendOutputText(const char* text)
{
    SendMessageA(g.outputControl, EM_REPLACESEL, 0, (LPARAM)text);
}

void appendMessage(TextId id)
{
    char text[WORK_BUFFER_SIZE];
    appendOutputText(lookup(id, text));
}

void restoreArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// Appends count bytes read from the child (terminated at buffer[count]).
// The control takes NUL-terminated text, so a NUL byte in the output would
// cut off the rest of the read, and with it perhaps the very error line the
// build is judged by; the NUL bytes are left out instead.
void appendChildBytes(char* buffer, DWORD count, RunOutput conversion)
{
    for (DWORD at = 0; at < count;) {
        char* piece = buffer + at;
        DWORD length = (DWORD)lstrlenA(piece);
        if (length > 0) {
            if (conversion == OUTPUT_FROM_OEM)
                OemToCharA(piece, piece);
            appendOutputText(piece);
        }
        at += length + 1;
    }
}

}  // namespace

void appendOutput(const char* text) { appendOutputText(text); }

void runCaptured(const char* commandLine, RunOutput conversion)
{
    appendOutputText("\r\n");
    appendOutputText(commandLine);
    appendOutputText("\r\n");
    appendOutputText("\r\n");
    SendMessageA(g.outputControl, EM_SCROLLCARET, 0, 0);

    HANDLE heap = GetProcessHeap();
    char* buffer = (char*)HeapAlloc(heap, 0, COMMAND_BUFFER_SIZE);
    if (!buffer) {
        appendMessage(TEXT_NO_MEMORY);
    } else {
        lstrcpynA(buffer, commandLine, COMMAND_BUFFER_SIZE);
        SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
            appendMessage(TEXT_NO_PIPE);
            restoreArrowCursor();
            ++g.errorCount;
        } else {
            STARTUPINFOA startup;
            ZeroMemory(&startup, sizeof startup);
            startup.cb = sizeof startup;
            startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
            startup.wShowWindow = SW_HIDE;
            startup.hStdOutput = writeEnd;
            startup.hStdError = writeEnd;
            PROCESS_INFORMATION process;
            if (!CreateProcessA(nullptr, buffer, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &process)) {
                CloseHandle(readEnd);
                CloseHandle(writeEnd);
                restoreArrowCursor();
                appendMessage(TEXT_NO_PROCESS);
                ++g.errorCount;
            } else {
                // Only the child may hold the write end now, so the reads
                // below end when the child (and whatever it started) is done.
                CloseHandle(writeEnd);
                CloseHandle(process.hProcess);
                CloseHandle(process.hThread);
                DWORD got = 0;
                while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, nullptr, nullptr) &&
                       ReadFile(readEnd, buffer, READ_CHUNK, &got, nullptr)) {
                    buffer[got] = '\0';
                    appendChildBytes(buffer, got, conversion);
                }
                CloseHandle(readEnd);
            }
        }
        HeapFree(heap, 0, buffer);
    }
    UpdateWindow(g.outputControl);
    SetFocus(g.outputControl);
}
