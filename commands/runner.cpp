// Runs a command line as a hidden child process and streams what it writes
// to standard output and standard error into the host's output control.
#include "commands/runner.h"

#include "host/addin_state.h"
#include "host/host_ui.h"
#include "settings/paths.h"
#include "settings/ui_text.h"

namespace {

enum : DWORD {
    // Holds the command line first, then each read. The rich edit takes one
    // large append far more slowly than the same text in reads of this size.
    RUN_BUFFER_SIZE = 65536,
    READ_CHUNK = 32000,  // leaves room for the terminator in the buffer
    // A 32-bit host's output control needs many times the text's size in
    // memory; past this much it would exhaust the host's address space.
    OUTPUT_LIMIT = 16u << 20,
    POLL_MS = 5,
    // Once the started process has ended, what it started may still hold the
    // pipe; output that pauses this long after the end closes the run.
    QUIET_AFTER_EXIT_MS = 500,
    // The pane shows new output at most this often: a shown rich edit
    // repaints itself on every append, and painting many small ones costs
    // far more than the text (see revealOutput).
    SHOW_EVERY_MS = 100,
    // How often the queue is looked at for painting and Esc.
    LOOK_EVERY_MS = 15,
    // A window whose painting never validates it must not hold the run.
    PAINTS_PER_LOOK = 64,
    // A run shorter than this leaves the pane as it was, so that a quick
    // build whose verdict hides the pane does not flash it.
    PANE_AFTER_MS = 250,
};

// The messages a run lets through: painting alone, so the host's windows
// stay drawn while nothing of the host acts.
const UINT PAINT_MESSAGES[] = {WM_PAINT, WM_SYNCPAINT, WM_NCPAINT, WM_ERASEBKGND};

// Where an Esc key press may wait: posted messages come before input, and
// each queue keeps its own order.
const UINT KEY_QUEUES[] = {PM_QS_POSTMESSAGE, PM_QS_INPUT};

// One captured run, from the child's start to its end.
struct Run {
    HANDLE readEnd, process, job;
    char* buffer;  // RUN_BUFFER_SIZE bytes
    DWORD shown, dropped;
    DWORD startTick, shownTick, lookTick;
    RunOutput conversion;
    bool paneChecked, stopped;
    bool hidden;         // appended text not painted yet (the control's redraw is off)
    DWORD stoppedAfter;  // milliseconds from the start to the Esc
};

// Set by the keyboard hook of a run when the user pressed Esc in the host.
bool escapeHeard;
bool running;

bool hostInForeground()
{
    return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == GetCurrentThreadId();
}

// A key press waits in the host's queue behind every key typed before it, and
// the queue shows only its first one; the hook hears Esc as it is pressed
// and keeps it (down and up) from the host, whatever waits in the queue.
LRESULT CALLBACK watchForEscape(int code, WPARAM message, LPARAM data)
{
    const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)data;
    if (code == HC_ACTION && key->vkCode == VK_ESCAPE && hostInForeground()) {
        if (message == WM_KEYDOWN) {
            escapeHeard = true;
            return 1;
        }
        if (message == WM_KEYUP && escapeHeard)
            return 1;
    }
    return CallNextHookEx(nullptr, code, message, data);
}

void appendOutputText(const char* text) { SendMessageA(g.outputControl, EM_REPLACESEL, 0, (LPARAM)text); }

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
// both on the pipe's write end, in the current directory (the project's),
// inside a job that gathers every process it starts, so that Esc can end
// them all. The job does not end them when it closes: a batch file may
// leave a program running on purpose. Where the job cannot take the child
// (a host already in a job that forbids nesting), job is null and a stop
// ends the child alone.
bool startChild(char* commandLine, HANDLE writeEnd, PROCESS_INFORMATION* process, HANDLE* job)
{
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, process))
        return false;
    *job = CreateJobObjectA(nullptr, nullptr);
    if (*job && !AssignProcessToJobObject(*job, process->hProcess)) {
        CloseHandle(*job);
        *job = nullptr;
    }
    ResumeThread(process->hThread);
    return true;
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

// Paints what was appended since the last time, with the newest line in view.
void revealOutput(Run* run)
{
    run->shownTick = GetTickCount();
    if (!run->hidden)
        return;
    run->hidden = false;
    SendMessageA(g.outputControl, WM_SETREDRAW, TRUE, 0);
    SendMessageA(g.outputControl, EM_SCROLLCARET, 0, 0);
    InvalidateRect(g.outputControl, nullptr, TRUE);
}

// Reads what the pipe holds (available bytes, so the read does not block)
// and appends it at once, as fast as to a hidden control: the control does
// not paint it until revealOutput, so the text on screen changes only as
// often as a reader can follow. Reading goes on past the limit, so that the
// child is never blocked on a full pipe; only the showing stops. False when
// the pipe is gone.
bool readAvailable(Run* run, DWORD available)
{
    DWORD got = 0;
    if (!ReadFile(run->readEnd, run->buffer, available < READ_CHUNK ? available : READ_CHUNK, &got, nullptr))
        return false;
    DWORD allowed = OUTPUT_LIMIT - run->shown;
    if (got > allowed) {
        run->dropped += got - allowed;
        got = allowed;
    }
    if (got == 0)
        return true;
    if (!run->hidden) {
        SendMessageA(g.outputControl, WM_SETREDRAW, FALSE, 0);
        run->hidden = true;
    }
    run->buffer[got] = '\0';
    appendChildBytes(run->buffer, got, run->conversion);
    run->shown += got;
    return true;
}

// An Esc key press waiting first among the key presses of one queue is
// taken out of it; the other messages keep their places.
bool takeEscape()
{
    for (UINT queue : KEY_QUEUES) {
        MSG message;
        if (PeekMessageA(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | queue) &&
            message.wParam == VK_ESCAPE) {
            PeekMessageA(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE | queue);
            return true;
        }
    }
    return false;
}

void paintWindows()
{
    for (UINT paint : PAINT_MESSAGES) {
        MSG message;
        for (DWORD n = 0; n < PAINTS_PER_LOOK; ++n) {
            if (!PeekMessageA(&message, nullptr, paint, paint, PM_REMOVE))
                break;
            DispatchMessageA(&message);
        }
    }
}

// Ends the child and everything it started.
void stopRun(Run* run)
{
    run->stopped = true;
    run->stoppedAfter = GetTickCount() - run->startTick;
    if (!run->job || !TerminateJobObject(run->job, STOPPED_EXIT_CODE))
        TerminateProcess(run->process, STOPPED_EXIT_CODE);
}

// Between reads: the pane shown once the run lasts, the output shown when
// due, the windows painted, and Esc heard.
void lookAtHost(Run* run)
{
    DWORD now = GetTickCount();
    if (!run->paneChecked && now - run->startTick >= PANE_AFTER_MS) {
        run->paneChecked = true;
        if (!(GetWindowLongA(g.outputPane, GWL_STYLE) & WS_VISIBLE))
            ShowWindow(g.outputPane, SW_RESTORE);
    }
    if (now - run->shownTick >= SHOW_EVERY_MS)
        revealOutput(run);
    if (now - run->lookTick < LOOK_EVERY_MS)
        return;
    run->lookTick = now;
    paintWindows();
    if (takeEscape() || escapeHeard)
        stopRun(run);
}

// Streams the child's output into the control until the pipe breaks, or
// until the process has ended and the pipe stays quiet: a background program
// that a batch file started inherits the pipe and could hold the host for
// its whole life. After a stop, what the pipe holds already is shown and the
// run ends at once. Returns the process's exit code.
DWORD readUntilDone(Run* run)
{
    DWORD quietSince = 0;
    bool ended = false;
    for (;;) {
        lookAtHost(run);
        DWORD available = 0;
        if (!PeekNamedPipe(run->readEnd, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (run->stopped &&
            (available == 0 || GetTickCount() - run->startTick - run->stoppedAfter >= POLL_MS))
            break;
        if (available == 0) {
            if (!ended) {
                ended = WaitForSingleObject(run->process, POLL_MS) == WAIT_OBJECT_0;
                quietSince = GetTickCount();
            } else if (GetTickCount() - quietSince >= QUIET_AFTER_EXIT_MS) {
                break;
            } else {
                Sleep(POLL_MS);
            }
            continue;
        }
        if (!readAvailable(run, available))
            break;
        quietSince = GetTickCount();
    }
    revealOutput(run);
    char note[WORK_BUFFER_SIZE];
    if (run->dropped)
        appendNoteLine(formatText(note, TEXT_OUTPUT_CUT, run->dropped, (unsigned long)(OUTPUT_LIMIT >> 20)));
    if (run->stopped) {
        appendNoteLine(
            formatText(note, TEXT_RUN_STOPPED, run->stoppedAfter / 1000, run->stoppedAfter % 1000 / 100));
        SendMessageA(g.outputControl, EM_SCROLLCARET, 0, 0);
        return STOPPED_EXIT_CODE;
    }
    DWORD exitCode = 0;
    WaitForSingleObject(run->process, POLL_MS);
    if (!GetExitCodeProcess(run->process, &exitCode) || exitCode == STILL_ACTIVE)
        exitCode = 0;
    return exitCode;
}

}  // namespace

void appendOutput(const char* text) { appendOutputText(text); }

void appendNoteLine(const char* text)
{
    char line[WORK_BUFFER_SIZE + 4];
    wsprintfA(line, "\r\n%s\r\n", text);
    appendOutputText(line);
}

bool runInProgress() { return running; }

RunResult runCaptured(const char* commandLine, RunOutput conversion)
{
    appendOutputText("\r\n");
    appendOutputText(commandLine);
    appendOutputText("\r\n");
    appendOutputText("\r\n");
    SendMessageA(g.outputControl, EM_SCROLLCARET, 0, 0);

    RunResult result = {false, false, 0};
    HANDLE heap = GetProcessHeap();
    char* buffer = (char*)HeapAlloc(heap, 0, RUN_BUFFER_SIZE);
    if (!buffer) {
        appendMessage(TEXT_NO_MEMORY);
        return endRun(result);
    }
    lstrcpynA(buffer, commandLine, RUN_BUFFER_SIZE);
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!createOutputPipe(&readEnd, &writeEnd)) {
        appendMessage(TEXT_NO_PIPE);
        HeapFree(heap, 0, buffer);
        return endRun(result);
    }
    PROCESS_INFORMATION process;
    HANDLE job = nullptr;
    if (!startChild(buffer, writeEnd, &process, &job)) {
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
    char text[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_ESC_STOPS_RUN, text));
    DWORD now = GetTickCount();
    Run run = {readEnd, process.hProcess, job,   buffer, 0,     0, now, now,
               now,     conversion,       false, false,  false, 0};
    result.started = true;
    escapeHeard = false;
    // The hook is called from this thread's message checks, which a run
    // makes every few milliseconds; without it, Esc is heard from the queue.
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, watchForEscape, moduleInstance(), 0);
    running = true;
    result.exitCode = readUntilDone(&run);
    running = false;
    if (hook)
        UnhookWindowsHookEx(hook);
    result.stopped = run.stopped;
    if (job)
        CloseHandle(job);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    HeapFree(heap, 0, buffer);
    return endRun(result);
}
