// Runs a command line as a hidden child process and streams what it writes
// to standard output and standard error into the host's output control, and
// all of it, as written, into a file.
#include "commands/runner.h"

#include "core/environment.h"
#include "core/run_output.h"
#include "host/child_process.h"
#include "host/host_ui.h"
#include "host/host_windows.h"
#include "settings/paths.h"
#include "settings/ui_text.h"

namespace {

enum : DWORD {
    // Holds the command line first, then each read, then the tail shown at
    // the end. The rich edit takes one large append far more slowly than
    // the same text in pieces of READ_CHUNK.
    RUN_BUFFER_SIZE = 65536,
    READ_CHUNK = 32000,  // leaves room for the terminator in the buffer
    PIPE_BUFFER = 65536,
    // Once the started process has ended, what it started may still hold the
    // pipe; output that pauses this long after the end closes the run.
    QUIET_AFTER_EXIT_MS = 500,
    // The pane shows new output at most this often: a shown rich edit
    // repaints itself on every append, and painting many small ones costs
    // far more than the text (see revealOutput).
    SHOW_EVERY_MS = 100,
    // How often the count of output not shown grows on screen.
    COUNT_EVERY_MS = 500,
    // A run waits for the pipe, the process and the host's messages; this
    // much at most, so that nothing a wait might miss holds a run for long.
    WAIT_AT_MOST_MS = 50,
    // How long one turn may read before the host is looked at again.
    READ_TURN_MS = 20,
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

// What wakes a run besides the pipe and the process: a window to paint, a
// key (Esc), a posted key, and messages sent from other threads, which
// include the keyboard hook's calls.
const DWORD WAKE_ON = QS_PAINT | QS_KEY | QS_POSTMESSAGE | QS_SENDMESSAGE;

const char OUTPUT_FOLDER[] = "tordel";
const char OUTPUT_SUFFIX[] = ".txt";

// One captured run, from the child's start to its end.
struct Run {
    HANDLE readEnd, process, job;
    OVERLAPPED read;  // its event is set when a read completes
    bool readPending;
    char* buffer;  // RUN_BUFFER_SIZE bytes
    RunOutput conversion;

    // The file that gets every byte: INVALID_HANDLE_VALUE once it failed,
    // and why in fileError.
    HANDLE file;
    DWORD fileError;
    char filePath[MAX_PATH];

    // What the pane holds of the output: all of it, until more came than it
    // shows whole; from then on the head (headBytes of output, headLines
    // lines) up to the pane's position headEnd, then the note lines, and
    // tail keeps the last PANE_TAIL bytes for the end.
    LONG headEnd;
    unsigned long long received;
    DWORD lines, headBytes, headLines;  // line breaks received (while the pane shows all), and the head's
    bool headDone, cut;
    OutputTail tail;  // in PANE_TAIL bytes behind the buffer

    DWORD startTick, shownTick, countTick, quietSince;
    bool paneChecked, ended, stopped;
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

void appendOutputText(const char* text)
{
    SendMessageA(hostWindows().outputControl, EM_REPLACESEL, 0, (LPARAM)text);
}

void appendMessage(TextId id)
{
    char text[WORK_BUFFER_SIZE];
    appendOutputText(lookup(id, text));
}

// An anonymous pipe can only be read by waiting in ReadFile. A named pipe
// opened for overlapped reading lets one wait cover the pipe, the process
// and the host's messages at once. One instance, connected here at once, so
// no other program can take the other end.
bool createOutputPipe(HANDLE* readEnd, HANDLE* writeEnd)
{
    static LONG runs;
    char name[64];
    wsprintfA(name, "\\\\.\\pipe\\tordel-%lu-%lu", GetCurrentProcessId(),
              (unsigned long)InterlockedIncrement(&runs));
    *readEnd =
        CreateNamedPipeA(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, PIPE_BUFFER, 0, nullptr);
    if (*readEnd == INVALID_HANDLE_VALUE)
        return false;
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    *writeEnd = CreateFileA(name, GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
    if (*writeEnd != INVALID_HANDLE_VALUE)
        return true;
    DWORD error = GetLastError();
    CloseHandle(*readEnd);
    SetLastError(error);
    return false;
}

// Opens the file of the project's run output in the temporary folder's
// "tordel" folder, replacing the last run's. Another host may be writing the
// same project's file: then this host writes a file of its own beside it.
void openOutputFile(Run* run, const char* projectFile)
{
    run->file = INVALID_HANDLE_VALUE;
    char folder[MAX_PATH + 1], name[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) {
        run->fileError = length ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        lstrcpyA(run->filePath, "%TEMP%");
        return;
    }
    if (!runOutputFileName(projectFile ? projectFile : "", OUTPUT_SUFFIX, name, sizeof name) ||
        length + lstrlenA(OUTPUT_FOLDER) + 1 + lstrlenA(name) + 12 >= MAX_PATH) {
        run->fileError = ERROR_FILENAME_EXCED_RANGE;
        lstrcpynA(run->filePath, folder, MAX_PATH);
        return;
    }
    lstrcatA(folder, OUTPUT_FOLDER);
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        run->fileError = GetLastError();
        lstrcpyA(run->filePath, folder);
        return;
    }
    wsprintfA(run->filePath, "%s\\%s", folder, name);
    // Others may read it while it grows, but not write it.
    run->file = CreateFileA(run->filePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (run->file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        char* suffix = run->filePath + lstrlenA(run->filePath) - lstrlenA(OUTPUT_SUFFIX);
        wsprintfA(suffix, "-%lu%s", GetCurrentProcessId(), OUTPUT_SUFFIX);
        run->file = CreateFileA(run->filePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (run->file == INVALID_HANDLE_VALUE)
        run->fileError = GetLastError();
}

// Every byte as the child wrote it. A write that fails (a full disk) ends
// the file, and the pane says so at the end.
void keepInFile(Run* run, const char* bytes, DWORD count)
{
    if (run->file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    if (WriteFile(run->file, bytes, count, &written, nullptr) && written == count)
        return;
    run->fileError = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    CloseHandle(run->file);
    run->file = INVALID_HANDLE_VALUE;
}

// Every run ends with the arrow cursor and the output control up to date
// and focused.
RunResult endRun(RunResult result)
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    UpdateWindow(hostWindows().outputControl);
    SetFocus(hostWindows().outputControl);
    return result;
}

// Appends count bytes of output (terminated at bytes[count]) as text. The
// control takes NUL-terminated text, so a NUL byte in the output would cut
// off the rest, and with it perhaps the very error line the build is judged
// by; the NUL bytes are left out instead.
void appendChildBytes(char* bytes, DWORD count, RunOutput conversion)
{
    for (DWORD at = 0; at < count;) {
        char* piece = bytes + at;
        DWORD length = (DWORD)lstrlenA(piece);
        if (length > 0) {
            if (conversion == OUTPUT_FROM_OEM)
                OemToCharA(piece, piece);
            appendOutputText(piece);
        }
        at += length + 1;
    }
}

// Appends bytes that are not terminated, in pieces that leave room for the
// terminator in the run's buffer.
void appendRawBytes(Run* run, const char* bytes, DWORD count)
{
    for (DWORD at = 0; at < count;) {
        DWORD piece = count - at < READ_CHUNK ? count - at : READ_CHUNK;
        CopyMemory(run->buffer, bytes + at, piece);
        run->buffer[piece] = '\0';
        appendChildBytes(run->buffer, piece, run->conversion);
        at += piece;
    }
}

void selectToEnd(LONG from)
{
    CHARRANGE range = {from, -1};
    SendMessageA(hostWindows().outputControl, EM_EXSETSEL, 0, (LPARAM)&range);
}

DWORD kilobytes(unsigned long long bytes) { return (DWORD)((bytes + 1023) / 1024); }

// The lines that stand for what the pane leaves out: how much, and where
// all of it is (or why it is nowhere). Replaces whatever follows the head.
void writeCutNote(const Run* run, unsigned long long leftOut)
{
    char line[LONG_TEXT_SIZE], reason[WORK_BUFFER_SIZE], text[LONG_TEXT_SIZE + 8];
    selectToEnd(run->headEnd);
    wsprintfA(text, "\r\n%s\r\n", formatText(line, sizeof line, TEXT_OUTPUT_CUT, kilobytes(leftOut)));
    appendOutputText(text);
    if (run->file != INVALID_HANDLE_VALUE)
        formatText(line, sizeof line, TEXT_OUTPUT_FILE, run->filePath);
    else
        formatText(line, sizeof line, TEXT_NO_OUTPUT_FILE, run->filePath,
                   systemErrorText(run->fileError, reason));
    wsprintfA(text, "%s\r\n", line);
    appendOutputText(text);
}

// The pane keeps the head of the output; the rest goes, and the note stands
// in its place from now on.
void cutPane(Run* run)
{
    if (!run->headDone) {
        run->headDone = true;
        run->headEnd = outputLength();
    }
    SendMessageA(hostWindows().outputControl, WM_SETREDRAW, FALSE, 0);
    run->hidden = true;
    run->cut = true;
    writeCutNote(run, run->received - run->headBytes);
    run->countTick = GetTickCount();
}

// Appends bytes [from, to) of the run's buffer as text.
void appendBufferPart(Run* run, DWORD from, DWORD to)
{
    char* end = run->buffer + to;
    char kept = *end;
    *end = '\0';
    appendChildBytes(run->buffer + from, to - from, run->conversion);
    *end = kept;
}

// The output read, count bytes in the run's buffer: into the file as it
// came, into the tail, and into the pane while the pane shows everything.
// The pane takes it at once, as fast as a hidden control takes it: the
// control does not paint it until revealOutput, so the text on screen
// changes only as often as a reader can follow.
void takeOutput(Run* run, DWORD count)
{
    keepInFile(run, run->buffer, count);
    tailPush(&run->tail, run->buffer, count);
    run->received += count;
    if (run->cut)
        return;
    if (!run->hidden) {
        SendMessageA(hostWindows().outputControl, WM_SETREDRAW, FALSE, 0);
        run->hidden = true;
    }
    DWORD head = 0;
    if (!run->headDone) {
        head =
            (DWORD)fittingPrefix(run->buffer, count, PANE_HEAD - run->headBytes, HEAD_LINES - run->headLines);
        appendBufferPart(run, 0, head);
        run->headBytes += head;
        run->headLines += (DWORD)countLineBreaks(run->buffer, head);
        run->headDone = head < count || run->headBytes == PANE_HEAD || run->headLines == HEAD_LINES;
        if (run->headDone)
            run->headEnd = outputLength();
    }
    run->lines += (DWORD)countLineBreaks(run->buffer, count);
    if (run->received > PANE_LIMIT || run->lines > PANE_LINES) {
        cutPane(run);
        return;
    }
    appendBufferPart(run, head, count);
}

// Paints what was appended since the last time, with the newest line in view.
void revealOutput(Run* run)
{
    run->shownTick = GetTickCount();
    if (!run->hidden)
        return;
    run->hidden = false;
    SendMessageA(hostWindows().outputControl, WM_SETREDRAW, TRUE, 0);
    SendMessageA(hostWindows().outputControl, EM_SCROLLCARET, 0, 0);
    InvalidateRect(hostWindows().outputControl, nullptr, TRUE);
}

// Hands a completed read over. False when the pipe is done: every writer
// has closed it, or it failed.
bool finishRead(Run* run, BOOL done, DWORD got)
{
    if (!done)
        return false;
    if (got > 0) {
        takeOutput(run, got);
        run->quietSince = GetTickCount();
    }
    return true;
}

// Reads what the pipe has, handing each read over, until a read has to wait
// or this turn has lasted READ_TURN_MS. False when the pipe is done.
bool readPipe(Run* run)
{
    DWORD turnStart = GetTickCount();
    for (;;) {
        DWORD got = 0;
        if (run->readPending) {
            BOOL done = GetOverlappedResult(run->readEnd, &run->read, &got, FALSE);
            if (!done && GetLastError() == ERROR_IO_INCOMPLETE)
                return true;
            run->readPending = false;
            if (!finishRead(run, done, got))
                return false;
        }
        if (GetTickCount() - turnStart >= READ_TURN_MS)
            return true;
        // The event is reset as the read starts and set when it completes,
        // whether now or later.
        BOOL done = ReadFile(run->readEnd, run->buffer, READ_CHUNK, &got, &run->read);
        if (!done && GetLastError() == ERROR_IO_PENDING) {
            run->readPending = true;
            return true;
        }
        if (!finishRead(run, done, got))
            return false;
    }
}

// A read still waiting is cancelled, and its end waited for, before its
// buffer and event go.
void cancelRead(Run* run)
{
    if (!run->readPending)
        return;
    DWORD got = 0;
    CancelIo(run->readEnd);
    if (GetOverlappedResult(run->readEnd, &run->read, &got, TRUE) && got > 0)
        takeOutput(run, got);
    run->readPending = false;
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
    endChildAndJob(run->process, run->job, STOPPED_EXIT_CODE);
}

// Between reads: the pane shown once the run lasts, the output shown when
// due, the count of what is not shown kept up, the windows painted, and Esc
// heard.
void lookAtHost(Run* run)
{
    DWORD now = GetTickCount();
    if (!run->paneChecked && now - run->startTick >= PANE_AFTER_MS) {
        run->paneChecked = true;
        if (!(GetWindowLongA(hostWindows().outputPane, GWL_STYLE) & WS_VISIBLE))
            ShowWindow(hostWindows().outputPane, SW_RESTORE);
    }
    if (run->cut && now - run->countTick >= COUNT_EVERY_MS) {
        run->countTick = now;
        if (!run->hidden) {
            SendMessageA(hostWindows().outputControl, WM_SETREDRAW, FALSE, 0);
            run->hidden = true;
        }
        writeCutNote(run, run->received - run->headBytes);
    }
    if (now - run->shownTick >= SHOW_EVERY_MS)
        revealOutput(run);
    paintWindows();
    if (takeEscape() || escapeHeard)
        stopRun(run);
}

// Milliseconds until the next thing a run does by the clock.
DWORD nextWait(const Run* run)
{
    DWORD now = GetTickCount(), wait = WAIT_AT_MOST_MS;
    auto until = [&](DWORD since, DWORD after) {
        DWORD passed = now - since;
        DWORD left = passed >= after ? 0 : after - passed;
        if (left < wait)
            wait = left;
    };
    if (run->hidden)
        until(run->shownTick, SHOW_EVERY_MS);
    if (!run->paneChecked)
        until(run->startTick, PANE_AFTER_MS);
    if (run->cut)
        until(run->countTick, COUNT_EVERY_MS);
    if (run->ended)
        until(run->quietSince, QUIET_AFTER_EXIT_MS);
    return wait;
}

// Waits on the pipe, the process and the host's messages together, until
// the pipe breaks, or until the process has ended and the pipe stays quiet:
// a background program that a batch file started inherits the pipe and could
// hold the host for its whole life. After a stop, what the pipe delivers at
// once is shown and the run ends. Returns the process's exit code.
DWORD readUntilDone(Run* run)
{
    for (;;) {
        if (!readPipe(run))
            break;
        lookAtHost(run);
        if (run->stopped) {
            // The ended processes close the pipe; what they wrote before
            // comes first, for as long as a look at the host may take.
            DWORD stopTick = GetTickCount();
            while (GetTickCount() - stopTick < WAIT_AT_MOST_MS &&
                   WaitForSingleObject(run->read.hEvent, WAIT_AT_MOST_MS) == WAIT_OBJECT_0 && readPipe(run))
                continue;
            break;
        }
        if (run->ended && GetTickCount() - run->quietSince >= QUIET_AFTER_EXIT_MS)
            break;
        HANDLE handles[2] = {run->read.hEvent, run->process};
        DWORD count = run->ended ? 1 : 2;
        DWORD woke = MsgWaitForMultipleObjects(count, handles, FALSE, nextWait(run), WAKE_ON);
        if (woke == WAIT_OBJECT_0 + 1 && !run->ended) {
            run->ended = true;
            run->quietSince = GetTickCount();
        }
    }
    cancelRead(run);
    if (run->cut) {
        // The note with its final count, then the end of the output.
        size_t length = 0;
        const char* tail = tailToShow(&run->tail, run->headBytes, TAIL_LINES, &length);
        writeCutNote(run, run->received - run->headBytes - length);
        appendRawBytes(run, tail, (DWORD)length);
    }
    revealOutput(run);
    char note[LONG_TEXT_SIZE], reason[WORK_BUFFER_SIZE];
    if (run->file == INVALID_HANDLE_VALUE && !run->cut)
        appendNoteLine(formatText(note, sizeof note, TEXT_NO_OUTPUT_FILE, run->filePath,
                                  systemErrorText(run->fileError, reason)));
    if (run->stopped) {
        appendNoteLine(formatText(note, sizeof note, TEXT_RUN_STOPPED, run->stoppedAfter / 1000,
                                  run->stoppedAfter % 1000 / 100));
        SendMessageA(hostWindows().outputControl, EM_SCROLLCARET, 0, 0);
        return STOPPED_EXIT_CODE;
    }
    DWORD exitCode = 0;
    WaitForSingleObject(run->process, run->ended ? 0 : (DWORD)WAIT_AT_MOST_MS);
    if (!GetExitCodeProcess(run->process, &exitCode) || exitCode == STILL_ACTIVE)
        exitCode = 0;
    return exitCode;
}

// The host's environment with the variable's value in front, from the
// process heap; null when the memory cannot be had (the error is set).
char* environmentWith(const VariableInFront& variable, HANDLE heap)
{
    char* inherited = GetEnvironmentStringsA();
    size_t size = prefixedBlockSize(inherited, variable.name, variable.value);
    char* block = (char*)HeapAlloc(heap, 0, size);
    if (block && !prefixVariable(inherited, variable.name, variable.value, block, size)) {
        HeapFree(heap, 0, block);
        block = nullptr;
    }
    if (inherited)
        FreeEnvironmentStringsA(inherited);
    if (!block)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

// The pane says why a run could not start, in the add-in's words and the system's.
RunResult refuseStart(RunResult result, TextId text, DWORD error)
{
    char what[WORK_BUFFER_SIZE], reason[WORK_BUFFER_SIZE], line[2 * WORK_BUFFER_SIZE + 2];
    wsprintfA(line, "%s: %s", lookup(text, what), systemErrorText(error, reason));
    appendOutputText(line);
    return endRun(result);
}

}  // namespace

void appendNoteLine(const char* text)
{
    char line[LONG_TEXT_SIZE + 4];
    wsprintfA(line, "\r\n%s\r\n", text);
    appendOutputText(line);
}

bool runInProgress() { return running; }

RunResult runCaptured(const char* commandLine, RunOutput conversion, const char* projectFile,
                      const VariableInFront* variable)
{
    appendOutputText("\r\n");
    appendOutputText(commandLine);
    appendOutputText("\r\n");
    appendOutputText("\r\n");
    SendMessageA(hostWindows().outputControl, EM_SCROLLCARET, 0, 0);

    RunResult result = {false, false, 0};
    HANDLE heap = GetProcessHeap();
    char* buffer = (char*)HeapAlloc(heap, 0, RUN_BUFFER_SIZE + PANE_TAIL);
    if (!buffer) {
        appendMessage(TEXT_NO_MEMORY);
        return endRun(result);
    }
    lstrcpynA(buffer, commandLine, RUN_BUFFER_SIZE);
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    HANDLE readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!readDone || !createOutputPipe(&readEnd, &writeEnd)) {
        DWORD error = GetLastError();
        if (readDone)
            CloseHandle(readDone);
        HeapFree(heap, 0, buffer);
        return refuseStart(result, TEXT_NO_PIPE, error);
    }
    char* environment = variable ? environmentWith(*variable, heap) : nullptr;
    TextId failure = variable && !environment ? TEXT_NO_MEMORY : TEXT_NO_PROCESS;
    PROCESS_INFORMATION process;
    HANDLE job = nullptr;
    // In the current directory, the project's; a stop ends all the child
    // started, but a batch file may leave a program running on purpose.
    bool started = failure == TEXT_NO_PROCESS &&
                   startChildInJob(buffer, nullptr, writeEnd, environment, 0, &process, &job);
    DWORD error = GetLastError();
    if (environment)
        HeapFree(heap, 0, environment);
    if (!started) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        CloseHandle(readDone);
        HeapFree(heap, 0, buffer);
        return refuseStart(result, failure, error);
    }
    // Only the child may hold the write end now, so the pipe breaks when the
    // child and whatever it started are done.
    CloseHandle(writeEnd);
    char text[WORK_BUFFER_SIZE];
    setStatus(lookup(TEXT_ESC_STOPS_RUN, text));

    Run run;
    ZeroMemory(&run, sizeof run);
    run.readEnd = readEnd;
    run.process = process.hProcess;
    run.job = job;
    run.read.hEvent = readDone;
    run.buffer = buffer;
    run.conversion = conversion;
    tailInit(&run.tail, buffer + RUN_BUFFER_SIZE, PANE_TAIL);
    run.startTick = run.shownTick = run.countTick = run.quietSince = GetTickCount();
    openOutputFile(&run, projectFile);

    result.started = true;
    escapeHeard = false;
    // The hook is called from this thread's message checks, which a run
    // makes at least every WAIT_AT_MOST_MS; without it, Esc is heard from the queue.
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, watchForEscape, moduleInstance(), 0);
    running = true;
    result.exitCode = readUntilDone(&run);
    running = false;
    if (hook)
        UnhookWindowsHookEx(hook);
    result.stopped = run.stopped;
    if (run.file != INVALID_HANDLE_VALUE)
        CloseHandle(run.file);
    if (job)
        CloseHandle(job);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    CloseHandle(readDone);
    HeapFree(heap, 0, buffer);
    return endRun(result);
}
