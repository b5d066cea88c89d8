// Asking an assembler what it is, and finding one on the PATH.
#include "setup/assembler_check.h"

#include "core/assembler_answer.h"
#include "core/path_text.h"
#include "host/child_process.h"
#include "host/host_ui.h"
#include "settings/paths.h"
#include "settings/ui_text.h"

namespace {

enum : DWORD {
    // The flat assembler's banner is one short line; more of a program's
    // output tells nothing.
    HEARD_SIZE = 512,
    // How often the pipe is looked at while the program runs.
    LOOK_EVERY_MS = 10,
    // What a program that has ended may still have on its way through the
    // pipe from what it started.
    QUIET_AFTER_END_MS = 100,
    // Ending the program and its children, within ANSWER_WAIT_MS.
    STOP_MS = 100,
    // A window whose painting never validates it must not hold the wait.
    PAINTS_PER_LOOK = 64,
    // The longest value a variable can have, and its terminator.
    PATH_VARIABLE_SIZE = 32768,
};

const char FASM2_SCRIPT[] = "fasm2.cmd";
const char* const PATH_ASSEMBLERS[] = {"fasm.exe", FASM2_SCRIPT};

// What a run of the program gave: whether it started (else the system's
// error), whether it ended by itself, and what it printed.
struct Heard {
    bool started, ended;
    DWORD error;
    DWORD count;
    char bytes[HEARD_SIZE];
};

void paintWindows()
{
    MSG message;
    for (DWORD n = 0; n < PAINTS_PER_LOOK && PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++n)
        DispatchMessageA(&message);
}

// Reads what the pipe holds now; false when every writer has closed it or
// the room is full.
bool readAvailable(HANDLE pipe, Heard* heard)
{
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
        return false;
    DWORD room = HEARD_SIZE - heard->count;
    if (available == 0)
        return room > 0;
    DWORD got = 0;
    if (!ReadFile(pipe, heard->bytes + heard->count, available < room ? available : room, &got, nullptr))
        return false;
    heard->count += got;
    return heard->count < HEARD_SIZE;
}

bool hasWholeLine(const Heard& heard)
{
    char line[HEARD_SIZE];
    bool complete = false;
    return firstPrintedLine(heard.bytes, heard.count, line, sizeof line, &complete) > 0 && complete;
}

// Starts the program hidden inside a job, its output on the pipe and its
// input at the end at once, and listens until it has said a whole line,
// its output is done, or the time is up; then ends whatever of it still runs.
Heard listenTo(const char* assembler)
{
    Heard heard = {};
    // Process creation may write into the command line.
    char commandLine[ASSEMBLER_PATH_SIZE];
    lstrcpynA(commandLine, assembler, sizeof commandLine);
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        heard.error = GetLastError();
        return heard;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION process;
    HANDLE job = nullptr;
    heard.started = startChildInJob(commandLine, nothing != INVALID_HANDLE_VALUE ? nothing : nullptr,
                                    writeEnd, nullptr, CREATE_NO_WINDOW, &process, &job);
    heard.error = heard.started ? ERROR_SUCCESS : GetLastError();
    CloseHandle(writeEnd);
    if (nothing != INVALID_HANDLE_VALUE)
        CloseHandle(nothing);
    if (!heard.started) {
        CloseHandle(readEnd);
        return heard;
    }

    const DWORD start = GetTickCount(), listenFor = ANSWER_WAIT_MS - STOP_MS;
    DWORD endedAt = 0;
    while (readAvailable(readEnd, &heard) && !hasWholeLine(heard)) {
        DWORD now = GetTickCount();
        if (now - start >= listenFor || (heard.ended && now - endedAt >= QUIET_AFTER_END_MS))
            break;
        // An ended process stays signalled: from then on only the clock and
        // painting wake the wait.
        DWORD handles = heard.ended ? 0 : 1;
        if (MsgWaitForMultipleObjects(handles, &process.hProcess, FALSE, LOOK_EVERY_MS, QS_PAINT) ==
                WAIT_OBJECT_0 &&
            !heard.ended) {
            heard.ended = true;
            endedAt = GetTickCount();
        }
        paintWindows();
    }
    heard.ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    // Whatever of it still runs has said all it is asked for.
    endChildAndJob(process.hProcess, job, 1);
    WaitForSingleObject(process.hProcess, STOP_MS);
    if (job)
        CloseHandle(job);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    return heard;
}

// True when fasm2.cmd stands beside the program.
bool fasm2ScriptBeside(const char* program)
{
    char script[MAX_PATH];
    lstrcpynA(script, program, sizeof script);
    if (!replaceFileName(script, sizeof script, FASM2_SCRIPT))
        return false;
    DWORD attributes = GetFileAttributesA(script);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFolder(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void askAssembler(const char* assembler, char* answer)
{
    answer[0] = '\0';
    // Blanks are no path, as the stored setting reads them.
    const char* text = assembler;
    while (*text == ' ' || *text == '\t')
        ++text;
    if (!*text)
        return;
    char program[MAX_PATH];
    if (!programOfCommand(assembler, program, sizeof program)) {
        lookup(TEXT_ANSWER_NOT_FOUND, answer);
        return;
    }
    // fasm g answers as the flat assembler does, but without the x86
    // headers that fasm2.cmd gives it, ordinary programs do not build.
    if (isFasmgProgram(finalPathComponent(program)) && fasm2ScriptBeside(program)) {
        lookup(TEXT_ANSWER_FASMG, answer);
        return;
    }
    if (isFolder(program)) {
        lookup(TEXT_ANSWER_FOLDER, answer);
        return;
    }
    Heard heard = listenTo(assembler);
    if (!heard.started) {
        if (heard.error == ERROR_FILE_NOT_FOUND || heard.error == ERROR_PATH_NOT_FOUND) {
            lookup(TEXT_ANSWER_NOT_FOUND, answer);
            return;
        }
        char reason[WORK_BUFFER_SIZE];
        formatText(answer, LONG_TEXT_SIZE, TEXT_ANSWER_NOT_A_PROGRAM,
                   systemErrorTextAbout(heard.error, finalPathComponent(program), reason));
        return;
    }
    char line[HEARD_SIZE];
    bool complete = false;
    size_t length = firstPrintedLine(heard.bytes, heard.count, line, sizeof line, &complete);
    if (length > 0 && isFlatAssemblerBanner(line))
        lstrcpynA(answer, line, LONG_TEXT_SIZE);
    else if (length == 0 && !heard.ended)
        formatText(answer, LONG_TEXT_SIZE, TEXT_ANSWER_NO_END, (unsigned long)(ANSWER_WAIT_MS / 1000));
    else
        lookup(TEXT_ANSWER_NOT_FASM, answer);
}

bool findAssemblerOnPath(char* out)
{
    static char folders[PATH_VARIABLE_SIZE];
    DWORD n = GetEnvironmentVariableA("PATH", folders, sizeof folders);
    if (n == 0 || n >= sizeof folders)
        return false;
    for (const char* name : PATH_ASSEMBLERS) {
        char found[MAX_PATH];
        DWORD length = SearchPathA(folders, name, nullptr, sizeof found, found, nullptr);
        if (length > 0 && length < ASSEMBLER_PATH_SIZE) {
            lstrcpyA(out, found);
            return true;
        }
    }
    return false;
}
