// Runs a command line as a hidden child process and streams what it writes
// to standard output and standard error into the host's output control.
#include "commands/runner.h"

#include "host/addin_state.h"
#include "settings/ui_text.h"

namespace {

enum : DWORD {
    COMMAND_BUFFER_SIZE = 65536,
    READ_CHUNK = 32000,  // leaves room for the terminator in the buffer
    // A 32-bit host's output control needs many times the text's size in
    // memory; past this much it would exhaust the host's address space.
    OUTPUT_LIMIT = 16u << 20,
    POLL_MS = 5,
    // Once the started process has ended, what it started may still hold the
    // pipe; output that pauses this long after the end closes the run.
    QUIET_AFTER_EXIT_MS = 500,
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

bool createOutputPipe(HANDLE* readEnd, HANDLE* writeEnd)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreatePipe(readEnd, writeEnd, &inheritable, 0) != FALSE;
}

// Starts the command line hidden, with standard output and standard error
// both on the pipe's write end, in the current directory (the project's).
bool startChild(char* commandLine, HANDLE writeEnd, PROCESS_INFORMATION* process)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    return CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          process) != FALSE;
}

// Every run ends with the arrow cursor and the output control up to date
// and focused.
RunResult endRun(RunResult result)
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    UpdateWindow(g.outputControl);
    SetFocus(g.outputControl);
    return result;
}

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

// Streams the child's output into the control until the pipe breaks, or
// until the process has ended and the pipe stays quiet: a background program
// that a batch file started inherits the pipe and could hold the host's UI
// thread for its whole life. Returns the process's exit code.
DWORD readUntilDone(HANDLE readEnd, HANDLE process, char* buffer, RunOutput conversion)
{
    DWORD shown = 0, dropped = 0, quietSince = 0;
    bool ended = false;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (available == 0) {
            if (!ended) {
                ended = WaitForSingleObject(process, POLL_MS) == WAIT_OBJECT_0;
                quietSince = GetTickCount();
            } else if (GetTickCount() - quietSince >= QUIET_AFTER_EXIT_MS) {
                break;
            } else {
                Sleep(POLL_MS);
            }
            continue;
        }
        DWORD got = 0;
        if (!ReadFile(readEnd, buffer, READ_CHUNK, &got, nullptr))
            break;
        quietSince = GetTickCount();
        // Reading goes on past the limit, so that the child is never blocked
        // on a full pipe; only the showing stops.
        DWORD room = OUTPUT_LIMIT - shown;
        if (got > room) {
            dropped += got - room;
            got = room;
        }
        buffer[got] = '\0';
        appendChildBytes(buffer, got, conversion);
        shown += got;
    }
    if (dropped) {
        char note[WORK_BUFFER_SIZE];
        appendOutputText("\r\n");
        appendOutputText(formatText(note, TEXT_OUTPUT_CUT, dropped, (unsigned long)(OUTPUT_LIMIT >> 20)));
        appendOutputText("\r\n");
    }
    DWORD exitCode = 0;
    WaitForSingleObject(process, POLL_MS);
    if (!GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE)
        exitCode = 0;
    return exitCode;
}

}  // namespace

void appendOutput(const char* text) { appendOutputText(text); }

RunResult runCaptured(const char* commandLine, RunOutput conversion)
{
    appendOutputText("\r\n");
    appendOutputText(commandLine);
    appendOutputText("\r\n");
    appendOutputText("\r\n");
    SendMessageA(g.outputControl, EM_SCROLLCARET, 0, 0);

    RunResult result = {false, 0};
    HANDLE heap = GetProcessHeap();
    char* buffer = (char*)HeapAlloc(heap, 0, COMMAND_BUFFER_SIZE);
    if (!buffer) {
        appendMessage(TEXT_NO_MEMORY);
        return endRun(result);
    }
    lstrcpynA(buffer, commandLine, COMMAND_BUFFER_SIZE);
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!createOutputPipe(&readEnd, &writeEnd)) {
        appendMessage(TEXT_NO_PIPE);
        HeapFree(heap, 0, buffer);
        return endRun(result);
    }
    PROCESS_INFORMATION process;
    if (!startChild(buffer, writeEnd, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        appendMessage(TEXT_NO_PROCESS);
        HeapFree(heap, 0, buffer);
        return endRun(result);
    }
    // Only the child may hold the write end now, so the pipe breaks when the
    // child and whatever it started are done.
    CloseHandle(writeEnd);
    CloseHandle(process.hThread);
    result.started = true;
    result.exitCode = readUntilDone(readEnd, process.hProcess, buffer, conversion);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    HeapFree(heap, 0, buffer);
    return endRun(result);
}
