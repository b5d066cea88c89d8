// tordel_bench.exe - measures the add-in inside the host simulator against a
// baseline taken in the same run, and prints one table.
//
//   tordel_bench [--dll PATH] [--tools DIR] [--source DIR] [--empty PATH] [--reps N] [--quick]
//
// Defaults come from the EXE's own place in the build tree: ..\tordel.dll,
// ..\tools\, bench_empty.dll beside it, and the source tree it was built from
// (for examples\hello). --quick runs the captured output at 1 and 4 MB only
// and the rich-edit experiments at a smaller size; figures then say so.
//
// Every figure is the median of at least five repetitions, with the smallest
// and largest repetition beside it. Times come from QueryPerformanceCounter.
// Progress goes to stderr; the table goes to stdout at the end.
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tools/fixtures/childproc_content.h"
#include "tools/hostsim/hostsim.h"

namespace {

// ---- timing and figures ----------------------------------------------------

double g_tick = 0;  // seconds per counter tick

double now()
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * g_tick;
}

struct Stats {
    double median = 0, min = 0, max = 0;
    size_t n = 0;
};

Stats stats(std::vector<double> v)
{
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.n = v.size();
    s.min = v.front();
    s.max = v.back();
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    return s;
}

// A figure in a unit: "12.3 ms [11.9-13.0]".
enum Unit { MS, US, MBPS, RATIO, KIB, BYTES, COUNT };

std::string number(double v, Unit u)
{
    char b[64];
    switch (u) {
    case MS:
        snprintf(b, sizeof b, v < 10 ? "%.2f" : v < 100 ? "%.1f" : "%.0f", v * 1e3);
        break;
    case US:
        snprintf(b, sizeof b, v < 1e-5 ? "%.2f" : "%.1f", v * 1e6);
        break;
    case MBPS: {
        double mb = v / (1024.0 * 1024.0);
        snprintf(b, sizeof b, mb < 10 ? "%.2f" : "%.0f", mb);
        break;
    }
    case RATIO:
        snprintf(b, sizeof b, "%.2f", v);
        break;
    case KIB:
        snprintf(b, sizeof b, "%.1f", v / 1024.0);
        break;
    case BYTES:
        snprintf(b, sizeof b, "%.0f", v);
        break;
    case COUNT:
        snprintf(b, sizeof b, "%.0f", v);
        break;
    }
    return b;
}

const char* unitName(Unit u)
{
    switch (u) {
    case MS:
        return " ms";
    case US:
        return " us";
    case MBPS:
        return " MB/s";
    case RATIO:
        return "";
    case KIB:
        return " KiB";
    case BYTES:
        return " B";
    case COUNT:
        return "";
    }
    return "";
}

std::string figure(const Stats& s, Unit u)
{
    if (s.n == 0)
        return "-";
    std::string t = number(s.median, u) + unitName(u);
    if (s.n > 1 && number(s.min, u) != number(s.max, u))
        t += " [" + number(s.min, u) + "-" + number(s.max, u) + "]";
    return t;
}

struct Row {
    std::string what, addIn, baseline, ratio, target, met;
};
std::vector<Row> g_rows;
std::vector<std::string> g_notes;

void row(const std::string& what, const std::string& addIn, const std::string& baseline,
         const std::string& ratio, const std::string& target, const std::string& met)
{
    g_rows.push_back(Row{what, addIn, baseline, ratio, target, met});
}

void note(const char* format, ...)
{
    char b[1024];
    va_list a;
    va_start(a, format);
    vsnprintf(b, sizeof b, format, a);
    va_end(a);
    g_notes.push_back(b);
}

void progress(const char* format, ...)
{
    va_list a;
    va_start(a, format);
    vfprintf(stderr, format, a);
    va_end(a);
    fputc('\n', stderr);
    fflush(stderr);
}

const char* yesNo(bool ok) { return ok ? "yes" : "NO"; }

// Ratio of paired repetitions (a[i] / b[i]).
std::vector<double> pairedRatio(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> r;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        r.push_back(b[i] > 0 ? a[i] / b[i] : 0);
    return r;
}

std::vector<double> pairedDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> r;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        r.push_back(a[i] - b[i]);
    return r;
}

// ---- configuration ---------------------------------------------------------

struct Config {
    std::string dll, tools, source, empty;
    std::string baselineDll;  // the add-in as it was before runs waited instead of polling; "" when absent
    int reps = 5;
    bool quick = false;
} cfg;

std::string exeFolder()
{
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\'));
}

std::string parentOf(const std::string& folder) { return folder.substr(0, folder.find_last_of('\\')); }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// ---- small helpers around the host -----------------------------------------

// The add-in's popup: Redirect OUT, separator, Execute first BAT, Execute ASM as BAT.
HMENU addInPopup(hostsim::Host& host)
{
    return hostsim::submenuBefore(host.mainMenu(), HC_MENU_BEFORE_POPUP);
}

std::string projectFile(const std::string& folder, const char* compiler)
{
    std::string file = folder + "\\bench.prj";
    WritePrivateProfileStringA("PROJECT", "Compiler", compiler, file.c_str());
    return file;
}

// Runs a command line with its output on a pipe and reads the pipe to the
// end into a buffer of `chunk` bytes, discarding it. Returns the bytes read,
// or -1 when the child could not start.
long long runAndDrain(const std::string& commandLine, DWORD chunk = 32000)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return -1;
    }
    CloseHandle(writeEnd);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    static std::vector<char> buffer;
    buffer.resize(chunk);
    long long total = 0;
    DWORD got = 0;
    while (ReadFile(readEnd, buffer.data(), chunk, &got, nullptr))
        total += got;
    CloseHandle(readEnd);
    return total;
}

// ---- the runner as it was before runs showed their output live -----------

// A faithful copy of the add-in's earlier reading loop (the host blocked for
// the whole run, every read appended as it came, no painting, no Esc), kept
// here as the baseline that today's runner is held to.
namespace previous {

enum : DWORD {
    COMMAND_BUFFER_SIZE = 65536,
    READ_CHUNK = 32000,
    OUTPUT_LIMIT = 16u << 20,
    POLL_MS = 5,
    QUIET_AFTER_EXIT_MS = 500,
};

HWND outputControl;

void appendOutputText(const char* text) { SendMessageA(outputControl, EM_REPLACESEL, 0, (LPARAM)text); }

void appendChildBytes(char* buffer, DWORD count)
{
    for (DWORD at = 0; at < count;) {
        char* piece = buffer + at;
        DWORD length = (DWORD)lstrlenA(piece);
        if (length > 0) {
            OemToCharA(piece, piece);
            appendOutputText(piece);
        }
        at += length + 1;
    }
}

DWORD readUntilDone(HANDLE readEnd, HANDLE process, char* buffer)
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
        DWORD room = OUTPUT_LIMIT - shown;
        if (got > room) {
            dropped += got - room;
            got = room;
        }
        buffer[got] = '\0';
        appendChildBytes(buffer, got);
        shown += got;
    }
    if (dropped) {
        char note[256];
        wsprintfA(note, "[%lu more bytes of output not shown: the pane keeps the first %lu MB]", dropped,
                  (unsigned long)(OUTPUT_LIMIT >> 20));
        appendOutputText("\r\n");
        appendOutputText(note);
        appendOutputText("\r\n");
    }
    DWORD exitCode = 0;
    WaitForSingleObject(process, POLL_MS);
    if (!GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE)
        exitCode = 0;
    return exitCode;
}

// Batch output (OEM conversion), as Redirect OUT ran it; false when the
// child did not start.
bool runCaptured(HWND output, const char* commandLine)
{
    outputControl = output;
    appendOutputText("\r\n");
    appendOutputText(commandLine);
    appendOutputText("\r\n");
    appendOutputText("\r\n");
    SendMessageA(outputControl, EM_SCROLLCARET, 0, 0);
    HANDLE heap = GetProcessHeap();
    char* buffer = (char*)HeapAlloc(heap, 0, COMMAND_BUFFER_SIZE);
    if (!buffer)
        return false;
    lstrcpynA(buffer, commandLine, COMMAND_BUFFER_SIZE);
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        HeapFree(heap, 0, buffer);
        return false;
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, buffer, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        HeapFree(heap, 0, buffer);
        return false;
    }
    CloseHandle(writeEnd);
    CloseHandle(process.hThread);
    readUntilDone(readEnd, process.hProcess, buffer);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    HeapFree(heap, 0, buffer);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    UpdateWindow(outputControl);
    SetFocus(outputControl);
    return true;
}

}  // namespace previous

// ---- 1. captured output throughput -----------------------------------------

struct ThroughputResult {
    size_t bytes;
    std::vector<double> addIn, bare, previous, shown;
};

void benchThroughput()
{
    progress("== captured output throughput");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll)) {
        note("captured output: no installation");
        return;
    }
    std::string folder = hostsim::tempFolder("bench-out");
    std::string project = projectFile(folder, "FASM");
    std::string childproc = cfg.tools + "\\childproc.exe";

    std::vector<size_t> sizes = {1u << 20, 4u << 20};
    if (!cfg.quick)
        sizes.push_back(16u << 20);
    std::vector<ThroughputResult> results;
    bool complete = true;
    for (size_t size : sizes) {
        // The same batch file for both: the add-in runs it through "Execute
        // first BAT" with Redirect OUT on, the bare loop starts it directly.
        char name[64];
        snprintf(name, sizeof name, "\\out%zu.bat", size >> 20);
        std::string batch = folder + name;
        hostsim::writeFile(batch,
                           "@echo off\r\n\"" + childproc + "\" bytes:" + std::to_string(size) + "\r\n");
        ThroughputResult r{size, {}, {}, {}, {}};
        // Expected output: the echoed command line in blank lines, then every byte.
        size_t expected = 2 + batch.size() + 4 + size;
        for (int rep = 0; rep < cfg.reps; ++rep) {
            double t0 = now();
            long long got = runAndDrain(batch);
            double t1 = now();
            if (got != (long long)size) {
                complete = false;
                progress("  bare loop read %lld of %zu bytes", got, size);
            }
            r.bare.push_back(t1 - t0);

            {
                hostsim::Host plain;
                t0 = now();
                bool started = previous::runCaptured(plain.outputControl(), batch.c_str());
                t1 = now();
                size_t length = (size_t)GetWindowTextLengthA(plain.outputControl());
                if (!started || length != expected) {
                    complete = false;
                    progress("  previous runner's output holds %zu characters, expected %zu", length,
                             expected);
                }
                r.previous.push_back(t1 - t0);
            }

            // A fresh host for every run: emptying a rich edit that holds
            // megabytes takes minutes under Wine (see the 1x. clearing rows),
            // so the pane must start empty, and destroying it is quick.
            // Shown, its windows paint while the output comes.
            auto addInRun = [&](bool shown) -> double {
                hostsim::Host host;
                if (!host.loadAddIn(inst.dllPath)) {
                    note("captured output: the add-in did not load");
                    return -1;
                }
                if (shown) {
                    ShowWindow(host.frame(), SW_SHOW);
                    UpdateWindow(host.frame());
                }
                host.openProject(project);
                HMENU popup = addInPopup(host);
                UINT redirectId = popup ? GetMenuItemID(popup, 0) : 0;
                UINT execBatId = popup ? GetMenuItemID(popup, 2) : 0;
                host.command(redirectId);  // Redirect OUT on
                if (!popup || !(GetMenuState(popup, redirectId, MF_BYCOMMAND) & MF_CHECKED)) {
                    note("captured output: Redirect OUT could not be switched on");
                    return -1;
                }
                host.openChild(batch, FILE_TYPE_BATCH, "");
                double start = now();
                host.command(execBatId);
                double end = now();
                // The pane keeps head and tail of a long output, the file all of it.
                std::string text = host.outputText();
                size_t at = text.find("[The whole output is in ");
                std::string file =
                    at == std::string::npos ? "" : text.substr(at + 24, text.find(']', at) - at - 24);
                WIN32_FILE_ATTRIBUTE_DATA data;
                bool whole = !file.empty() &&
                             GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data) &&
                             data.nFileSizeHigh == 0 && data.nFileSizeLow == size;
                if (!whole || text.size() > (200u << 10)) {
                    complete = false;
                    progress("  add-in pane holds %zu characters, its file %s", text.size(),
                             whole ? "every byte" : "NOT every byte");
                }
                return end - start;
            };
            double hidden = addInRun(false), shown = addInRun(true);
            if (hidden < 0 || shown < 0)
                return;
            r.addIn.push_back(hidden);
            r.shown.push_back(shown);
            progress("  %2zu MB rep %d: bare %.3f s, previous runner %.3f s, add-in %.3f s, shown %.3f s",
                     size >> 20, rep + 1, r.bare.back(), r.previous.back(), r.addIn.back(), r.shown.back());
        }
        results.push_back(r);
    }

    for (const ThroughputResult& r : results) {
        std::vector<double> addInRate, bareRate;
        for (double t : r.addIn)
            addInRate.push_back(r.bytes / t);
        for (double t : r.bare)
            bareRate.push_back(r.bytes / t);
        Stats a = stats(addInRate), b = stats(bareRate);
        Stats q = stats(pairedRatio(addInRate, bareRate));
        std::string what = "1. Captured output " + std::to_string(r.bytes >> 20) + " MB (MB/s)";
        bool target = r.bytes == (16u << 20);
        row(what, figure(a, MBPS), figure(b, MBPS), figure(q, RATIO), target ? ">= 0.50" : "-",
            target ? yesNo(q.median >= 0.5) : "-");
        std::vector<double> previousRate;
        for (double t : r.previous)
            previousRate.push_back(r.bytes / t);
        Stats p = stats(previousRate), qp = stats(pairedRatio(addInRate, previousRate));
        row("1. Captured output " + std::to_string(r.bytes >> 20) + " MB vs the previous runner (MB/s)",
            figure(a, MBPS), figure(p, MBPS), figure(qp, RATIO), target ? ">= 0.90" : "-",
            target ? yesNo(qp.median >= 0.9) : "-");
        std::vector<double> shownRate;
        for (double t : r.shown)
            shownRate.push_back(r.bytes / t);
        row("1. Captured output " + std::to_string(r.bytes >> 20) +
                " MB into a shown host vs a hidden one (MB/s)",
            figure(stats(shownRate), MBPS), figure(a, MBPS),
            figure(stats(pairedRatio(shownRate, addInRate)), RATIO), "info", "-");
    }
    // Growth: time per MB at the largest size over time per MB at 1 MB.
    // Linear growth gives 1.00 (a little less where a fixed start-up cost is
    // spread over more bytes).
    const ThroughputResult& small = results.front();
    const ThroughputResult& large = results.back();
    double factor = (double)large.bytes / small.bytes;
    auto growth = [&](const std::vector<double>& big, const std::vector<double>& one) {
        std::vector<double> g;
        for (size_t i = 0; i < big.size() && i < one.size(); ++i)
            g.push_back(big[i] / factor / one[i]);
        return g;
    };
    Stats ga = stats(growth(large.addIn, small.addIn)), gb = stats(growth(large.bare, small.bare));
    row("1. Time per MB, " + std::to_string(large.bytes >> 20) + " MB vs 1 MB", figure(ga, RATIO),
        figure(gb, RATIO), ga.n && gb.median > 0 ? number(ga.median / gb.median, RATIO) : "-",
        "<= 1.20 (add-in)", yesNo(ga.median <= 1.2));
    // The same per step, medians only: marginal cost of each further MB.
    for (size_t i = 1; i < results.size(); ++i) {
        double dt = stats(results[i].addIn).median - stats(results[i - 1].addIn).median;
        double db = (double)(results[i].bytes - results[i - 1].bytes) / (1 << 20);
        note("captured output: add-in marginal cost %zu->%zu MB: %.0f ms per MB (1 MB run: %.0f ms per MB)",
             results[i - 1].bytes >> 20, results[i].bytes >> 20, dt / db * 1e3,
             stats(small.addIn).median * 1e3);
    }
    note("captured output vs the previous runner: the same batch file, each into a fresh hidden host; the "
         "previous runner is a copy of the reading loop from before runs showed their output live "
         "(bench code)");
    if (!complete)
        note("captured output: SOME RUNS DID NOT CAPTURE EVERY BYTE (see stderr)");
    else
        note("captured output: every add-in run left at most 200 KB in the pane and all N bytes in its run "
             "output file; every previous runner's run all N bytes in the pane; every bare run read all N "
             "bytes");
}

// ---- 1. stopping a run with Esc ---------------------------------------------

struct EscLater {
    HWND target;
    DWORD delayMs;
    double postedAt;
};

DWORD WINAPI postEscapeLater(void* data)
{
    EscLater* e = (EscLater*)data;
    Sleep(e->delayMs);
    e->postedAt = now();
    PostMessageA(e->target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    return 0;
}

// Starts childproc with the script inside a job, its output on a pipe that
// nothing reads, and ends the job after `afterMs`: what ending every process
// costs here by itself. Seconds from TerminateJobObject until the child is
// gone, or -1.
double bareJobKill(const std::string& script, DWORD afterMs)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string line = "\"" + cfg.tools + "\\childproc.exe\" " + script;
    PROCESS_INFORMATION process;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        CloseHandle(job);
        return -1;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(writeEnd);
    Sleep(afterMs);
    double t0 = now();
    TerminateJobObject(job, 1);
    bool gone = WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0;
    double t1 = now();
    for (HANDLE h : {process.hProcess, process.hThread, readEnd, job})
        CloseHandle(h);
    return gone ? t1 - t0 : -1;
}

void benchStop()
{
    progress("== stopping a run with Esc");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll)) {
        note("stopping: no installation");
        return;
    }
    std::string folder = hostsim::tempFolder("bench-stop");
    std::string project = projectFile(folder, "FASM");
    WritePrivateProfileStringA("FASM", "PATH", (cfg.tools + "\\childproc.exe").c_str(),
                               inst.addInsIni.c_str());
    // A line every 10 ms for 10 s; Esc half a second in.
    const char* script = "tick:1000:10:line\\n";
    const DWORD escAfterMs = 500;
    std::vector<double> bare;
    for (int rep = 0; rep < cfg.reps; ++rep)
        bare.push_back(bareJobKill(script, escAfterMs));
    bool complete = true;
    for (bool shown : {false, true}) {
        std::vector<double> escToReturn;
        for (int rep = 0; rep < cfg.reps; ++rep) {
            hostsim::Host host;
            if (!host.loadAddIn(inst.dllPath)) {
                note("stopping: the add-in did not load");
                return;
            }
            if (shown) {
                ShowWindow(host.frame(), SW_SHOW);
                UpdateWindow(host.frame());
            }
            host.openProject(project, script, "");
            host.openChild("hold:0", FILE_TYPE_ASSEMBLY, "");
            EscLater esc = {host.outputControl(), escAfterMs, 0};
            HANDLE poster = CreateThread(nullptr, 0, postEscapeLater, &esc, 0, nullptr);
            double t0 = now();
            host.command(HC_ASSEMBLE);
            double t1 = now();
            WaitForSingleObject(poster, INFINITE);
            CloseHandle(poster);
            std::string text = host.outputText();
            if (t1 - t0 > 5 || text.find("[Stopped by the user after ") == std::string::npos) {
                complete = false;
                progress("  run %d was not stopped (%.3f s)", rep + 1, t1 - t0);
            }
            escToReturn.push_back(t1 - esc.postedAt);
            progress("  %s host rep %d: Esc to return %.1f ms", shown ? "shown" : "hidden", rep + 1,
                     escToReturn.back() * 1e3);
        }
        Stats a = stats(escToReturn), b = stats(bare);
        row(std::string("1. Esc to the end of the run, ") + (shown ? "shown" : "hidden") + " host (ms)",
            figure(a, MS), figure(b, MS), figure(stats(pairedRatio(escToReturn, bare)), RATIO), "<= 100 ms",
            yesNo(a.median <= 0.1));
    }
    note("Esc rows: Esc posted to the output control 500 ms into a run of childproc writing a line every "
         "10 ms; add-in = from the post until the build command returned (child and grandchildren ended, "
         "stopped line written, verdict shown); baseline = TerminateJobObject until the same child's process "
         "handle is signalled, with no host at all");
    if (!complete)
        note("stopping: SOME RUNS WERE NOT STOPPED BY ESC (see stderr)");
}

// ---- 1b. the output control on its own ---------------------------------------

struct ControlVariant {
    const char* what;
    const char* cls = "RICHEDIT";
    DWORD chunk = 32000;
    bool raiseLimit = true;
    bool visible = false;
    bool noRedraw = false;
    bool caretToEnd = false;
    bool wrap = false;  // no ES_AUTOHSCROLL: lines wrap at the window edge
    bool plainEdit = false;
};

LRESULT CALLBACK plainWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// Appends `text` to a fresh control in chunks, as the runner does; returns
// seconds, and the text length the control ends with.
double feedControl(const ControlVariant& v, const std::string& text, long* finalLength)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = plainWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TordelBenchFrame";
        RegisterClassA(&wc);
        registered = true;
    }
    HWND top = CreateWindowExA(0, "TordelBenchFrame", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 1000, 200, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    if (v.visible) {
        ShowWindow(top, SW_SHOW);
        UpdateWindow(top);
    }
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
    if (!v.wrap)
        style |= WS_HSCROLL | ES_AUTOHSCROLL;
    HWND control = CreateWindowExA(WS_EX_CLIENTEDGE, v.plainEdit ? "EDIT" : v.cls, "", style, 0, 0, 1000, 200,
                                   top, (HMENU)1, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, (WPARAM)GetStockObject(ANSI_FIXED_FONT), 0);
    if (v.raiseLimit)
        SendMessageA(control, v.plainEdit ? EM_SETLIMITTEXT : EM_EXLIMITTEXT, 0, 256 * 1024 * 1024);
    if (v.noRedraw)
        SendMessageA(control, WM_SETREDRAW, FALSE, 0);
    std::vector<char> chunk(v.chunk + 1);
    double t0 = now();
    for (size_t at = 0; at < text.size(); at += v.chunk) {
        size_t n = std::min<size_t>(v.chunk, text.size() - at);
        memcpy(chunk.data(), text.data() + at, n);
        chunk[n] = '\0';
        if (v.caretToEnd)
            SendMessageA(control, EM_SETSEL, (WPARAM)-1, (LPARAM)-1);
        SendMessageA(control, EM_REPLACESEL, 0, (LPARAM)chunk.data());
    }
    if (v.noRedraw) {
        SendMessageA(control, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control, nullptr, TRUE);
    }
    UpdateWindow(control);
    double t1 = now();
    if (finalLength)
        *finalLength = (long)GetWindowTextLengthA(control);
    DestroyWindow(top);
    return t1 - t0;
}

void benchOutputControl()
{
    progress("== the output control on its own");
    LoadLibraryA("riched32.dll");
    LoadLibraryA("riched20.dll");
    size_t size = cfg.quick ? 256u << 10 : 1u << 20;
    std::string text = childprocBytes(size);
    std::vector<ControlVariant> variants;
    auto add = [&](const char* what) -> ControlVariant& {
        variants.push_back(ControlVariant{});
        variants.back().what = what;
        return variants.back();
    };
    add("host's control: RICHEDIT, hidden, 32000 B chunks");
    add("  - chunks of 4000 B").chunk = 4000;
    add("  - chunks of 256 KiB").chunk = 256 * 1024;
    add("  - text limit left at default").raiseLimit = false;
    add("  - visible window").visible = true;
    add("  - WM_SETREDRAW FALSE during the run").noRedraw = true;
    add("  - EM_SETSEL -1,-1 before each chunk").caretToEnd = true;
    add("  - word wrap (no ES_AUTOHSCROLL)").wrap = true;
    add("  - RichEdit20A instead").cls = "RichEdit20A";
    {
        ControlVariant& v = add("  - RichEdit20A, WM_SETREDRAW FALSE");
        v.cls = "RichEdit20A";
        v.noRedraw = true;
    }
    add("  - plain EDIT control instead").plainEdit = true;

    std::vector<double> reference;  // the host's configuration, in bytes per second
    for (size_t i = 0; i < variants.size(); ++i) {
        const ControlVariant& v = variants[i];
        std::vector<double> rates;
        long length = 0;
        for (int rep = 0; rep < cfg.reps; ++rep)
            rates.push_back(size / feedControl(v, text, &length));
        if (i == 0)
            reference = rates;
        Stats r = stats(rates);
        std::string what = std::string("1x. ") + v.what;
        if (length < (long)size) {
            char b[96];
            snprintf(b, sizeof b, " (kept only %ld of %zu chars)", length, size);
            what += b;
        }
        row(what, figure(r, MBPS), i == 0 ? "-" : figure(stats(reference), MBPS),
            i == 0 ? "-" : figure(stats(pairedRatio(rates, reference)), RATIO), "info", "-");
        progress("  %-45s %s", v.what, figure(r, MBPS).c_str());
    }
    note("output control rows (1x.): %zu KiB of the same 80-byte lines fed with EM_REPLACESEL straight from "
         "memory "
         "(no pipe, no child); baseline column = the host's configuration (first 1x. row), ratio = "
         "variant/host",
         size >> 10);

    for (size_t kib : {512u}) {
        std::vector<double> clear;
        std::string part = childprocBytes(kib << 10);
        for (int rep = 0; rep < cfg.reps; ++rep) {
            HWND top = CreateWindowExA(0, "TordelBenchFrame", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 1000, 200,
                                       nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            HWND control =
                CreateWindowExA(WS_EX_CLIENTEDGE, "RICHEDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                    ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                0, 0, 1000, 200, top, (HMENU)1, GetModuleHandleA(nullptr), nullptr);
            SendMessageA(control, EM_EXLIMITTEXT, 0, 256 * 1024 * 1024);
            for (size_t at = 0; at < part.size(); at += 32000) {
                std::string piece = part.substr(at, 32000);
                SendMessageA(control, EM_REPLACESEL, 0, (LPARAM)piece.c_str());
            }
            double t0 = now();
            SetWindowTextA(control, "");
            clear.push_back(now() - t0);
            t0 = now();
            DestroyWindow(top);
            if (kib == 512 && rep == 0)
                note("output control: destroying a control holding 512 KiB took %.1f ms", (now() - t0) * 1e3);
        }
        row("1x. WM_SETTEXT \"\" on a hidden RICHEDIT holding " + std::to_string(kib) + " KiB (ms)",
            figure(stats(clear), MS), "-", "-", "info", "-");
    }

    // The runner's other per-byte work: the OEM to ANSI conversion.
    std::string big = childprocBytes(16u << 20);
    std::vector<double> conv;
    for (int rep = 0; rep < cfg.reps; ++rep) {
        std::vector<char> buffer(32001);
        double t0 = now();
        for (size_t at = 0; at < big.size(); at += 32000) {
            size_t n = std::min<size_t>(32000, big.size() - at);
            memcpy(buffer.data(), big.data() + at, n);
            buffer[n] = '\0';
            OemToCharA(buffer.data(), buffer.data());
        }
        conv.push_back(now() - t0);
    }
    row("1x. OemToCharA over 16 MB in 32000 B chunks (ms)", figure(stats(conv), MS), "-", "-", "info", "-");
}

// ---- 1y. emptying the pane --------------------------------------------------

void benchPaneEmptying()
{
    progress("== emptying the pane");
    LoadLibraryA("riched32.dll");
    feedControl(ControlVariant{}, "x", nullptr);  // registers the frame class
    // Emptying the control again (what every build's preparation does with
    // WM_SETTEXT ""), after growing amounts of text: the figure that decides
    // how much of a run's output the pane may keep. Shown, as users see it.
    struct Shape {
        const char* what;
        size_t lineLength;  // 0: the 80-byte lines of childproc's bytes:N
    } shapes[] = {{"80-character lines", 0},
                  {"4000-character lines", 4000},
                  {"one line", (size_t)-1},
                  {"10-character lines", 10},
                  {"empty lines", 2}};
    for (const Shape& shape : shapes)
        for (size_t kib : {8u, 16u, 32u, 64u, 96u, 128u, 192u, 256u, 512u}) {
            if (shape.lineLength > 2 && shape.lineLength <= 10 ? kib > 64u
                : shape.lineLength == 2                        ? kib > 32u
                : shape.lineLength                             ? kib != 96u && kib != 192u
                                                               : kib < 32u)
                continue;
            std::string part;
            if (!shape.lineLength) {
                part = childprocBytes(kib << 10);
            } else {
                size_t line = std::min<size_t>(shape.lineLength, kib << 10);
                while (part.size() < (kib << 10))
                    part += std::string(line - 2, 'x') + "\r\n";
                part.resize(kib << 10);
            }
            std::vector<double> fill, clear;
            for (int rep = 0; rep < cfg.reps; ++rep) {
                HWND top = CreateWindowExA(0, "TordelBenchFrame", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 1000,
                                           200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
                HWND control =
                    CreateWindowExA(WS_EX_CLIENTEDGE, "RICHEDIT", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                        ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                    0, 0, 1000, 200, top, (HMENU)1, GetModuleHandleA(nullptr), nullptr);
                ShowWindow(top, SW_SHOW);
                SendMessageA(control, EM_EXLIMITTEXT, 0, 256 * 1024 * 1024);
                double t0 = now();
                SendMessageA(control, WM_SETREDRAW, FALSE, 0);
                for (size_t at = 0; at < part.size(); at += 32000) {
                    std::string piece = part.substr(at, 32000);
                    SendMessageA(control, EM_REPLACESEL, 0, (LPARAM)piece.c_str());
                }
                SendMessageA(control, WM_SETREDRAW, TRUE, 0);
                UpdateWindow(control);
                fill.push_back(now() - t0);
                t0 = now();
                SetWindowTextA(control, "");
                UpdateWindow(control);
                clear.push_back(now() - t0);
                DestroyWindow(top);
            }
            row("1y. Empty a shown RICHEDIT holding " + std::to_string(kib) + " KiB of " + shape.what +
                    " (ms)",
                figure(stats(clear), MS), figure(stats(fill), MS) + " to fill", "-",
                kib == 192u ? "< 1000 ms" : "info", kib == 192u ? yesNo(stats(clear).median < 1.0) : "-");
            progress("  empty %zu KiB of %s: %s (fill %s)", kib, shape.what, figure(stats(clear), MS).c_str(),
                     figure(stats(fill), MS).c_str());
        }
    note("1y. rows: the pane keeps at most 192 KiB of a run's output (64 KiB head, 128 KiB tail), so that "
         "the next "
         "command's WM_SETTEXT \"\" stays far below a second; baseline column = the time to fill it");
}

// ---- 2. build overhead -----------------------------------------------------

bool copySample(const std::string& folder)
{
    for (const char* name : {"hello.prj", "hello.asm", "hello.rc", "run.bat"}) {
        std::string from = cfg.source + "\\examples\\hello\\" + name, to = folder + "\\" + name;
        if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            progress("cannot copy %s (error %lu)", from.c_str(), GetLastError());
            return false;
        }
    }
    return true;
}

// The host's Build and the command line it runs, started directly, in
// turns, each time of each.
void timeBuildAndDirectRun(hostsim::Host& host, const std::string& commandLine, std::vector<double>* build,
                           std::vector<double>* direct)
{
    int reps = std::max(cfg.reps, 15);  // process start-up under Wine scatters widely
    for (int rep = 0; rep < reps; ++rep) {
        double t0 = now();
        runAndDrain(commandLine);
        double t1 = now();
        direct->push_back(t1 - t0);
        t0 = now();
        host.command(HC_BUILD);
        t1 = now();
        build->push_back(t1 - t0);
    }
}

void benchBuild()
{
    progress("== build overhead");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll))
        return;
    std::string fasm = cfg.tools + "\\fasm.exe";
    WritePrivateProfileStringA("FASM", "PATH", fasm.c_str(), inst.addInsIni.c_str());
    hostsim::Host host;
    if (!host.loadAddIn(inst.dllPath))
        return;
    std::string folder = hostsim::tempFolder("bench-hello");
    if (!copySample(folder)) {
        note("build: the sample project could not be copied from %s", cfg.source.c_str());
        return;
    }
    std::string asmPath = folder + "\\hello.asm", rcPath = folder + "\\hello.rc";
    std::string exePath = folder + "\\hello.exe";
    host.openProject(folder + "\\hello.prj", "", exePath.c_str());
    // The project's three files, as the host opens them.
    host.openChild(asmPath, FILE_TYPE_ASSEMBLY, hostsim::readFile(asmPath));
    host.openChild(rcPath, FILE_TYPE_RESOURCE_SCRIPT, hostsim::readFile(rcPath));
    host.openChild(folder + "\\run.bat", FILE_TYPE_BATCH, hostsim::readFile(folder + "\\run.bat"));
    host.setResourceScript(rcPath.c_str());
    host.setDefinitions({{"IDD_MAIN", 100}, {"IDI_APP", 101}, {"IDC_OK", 1001}, {"IDC_TEXT", 1002}});

    // One build to learn the command line the add-in runs (echoed as the second output line).
    host.command(HC_BUILD);
    std::string out = host.outputText();
    size_t start = out.find("\r\n") + 2, end = out.find("\r\n", start);
    std::string commandLine = out.substr(start, end - start);
    bool failed = out.find("error:") != std::string::npos;
    note("build: command line run: %s", commandLine.c_str());
    note("build: the sample's build %s (hello.asm carries the sample's deliberate stand-in error); rc.inc %s",
         failed ? "reports an error" : "succeeds", exists(folder + "\\rc.inc") ? "exported" : "NOT exported");
    {
        // What the direct run's pipe delivers, for the record.
        long long n = runAndDrain(commandLine);
        note("build: the direct run of that command line delivers %lld bytes of output", n);
    }

    for (int children : {0, 50}) {
        static int opened = 0;
        for (; opened < children; ++opened) {
            char path[MAX_PATH];
            snprintf(path, sizeof path, "%s\\extra%02d.asm", folder.c_str(), opened);
            host.openChild(path, FILE_TYPE_ASSEMBLY, "; another source\r\n\tnop\r\n");
        }
        std::vector<double> build, direct;
        timeBuildAndDirectRun(host, commandLine, &build, &direct);
        Stats b = stats(build), d = stats(direct);
        std::string label = children ? " + 50 children" : "";
        row("2. Build, sample project" + label + " (ms)", figure(b, MS), figure(d, MS),
            figure(stats(pairedRatio(build, direct)), RATIO), "<= 1.25",
            yesNo(stats(pairedRatio(build, direct)).median <= 1.25));
        Stats own = stats(pairedDifference(build, direct));
        row("2. Build, add-in's own share" + label + " (ms)", figure(own, MS), "0 (direct run)", "-",
            children ? "< 20 ms" : "-", children ? yesNo(own.median < 0.020) : "-");
        progress("  %d children: build %s, direct %s", children, figure(b, MS).c_str(),
                 figure(d, MS).c_str());
    }
}

// The flat assembler's own source (SOURCE\WIN32\FASM.ASM and 29 included
// files) built with the real flat assembler through Build, against the same
// command run directly. FASM_EXE names it (bench.sh points it at
// ../shared/assemblers); it is a 32-bit program.
void benchRealBuild()
{
    progress("== build overhead, the flat assembler's own source");
    const std::string what = "2. Build, the flat assembler's own source with fasm 1.73 (ms)";
    char value[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("FASM_EXE", value, sizeof value);
    std::string fasm = hostsim::windowsPathOf(n < sizeof value ? value : "");
    std::string source = fasm.substr(0, fasm.find_last_of('\\') + 1) + "SOURCE";
    std::string reason;
    n = GetEnvironmentVariableA("TORDEL_RUNS_32BIT", value, sizeof value);
    if (fasm.empty())
        reason = "FASM_EXE is not set and ../shared/assemblers has no fasm/FASM.EXE";
    else if (n > 0 && n < sizeof value && std::string(value) == "0")
        reason = "this machine cannot execute 32-bit code, and the flat assembler is a 32-bit program";
    else if (!exists(fasm) || !exists(source + "\\WIN32\\FASM.ASM"))
        reason = fasm + " or its SOURCE folder is missing";
    hostsim::Installation inst;
    std::string folder;
    if (reason.empty()) {
        folder = hostsim::tempFolder("bench-fasm-source");
        reason = hostsim::copyFolder(source, folder + "\\SOURCE");
    }
    if (reason.empty() && !hostsim::layOutInstallation(inst, cfg.dll))
        reason = "no host installation could be laid out";
    if (!reason.empty()) {
        row(what, "not run", "not run", "-", "-", "-");
        note("build with fasm 1.73: not run, %s", reason.c_str());
        return;
    }
    WritePrivateProfileStringA("FASM", "PATH", fasm.c_str(), inst.addInsIni.c_str());
    hostsim::Host host;
    if (!host.loadAddIn(inst.dllPath))
        return;
    std::string project = folder + "\\fasm.prj", mainSource = folder + "\\SOURCE\\WIN32\\FASM.ASM";
    WritePrivateProfileStringA("PROJECT", "Compiler", "FASM", project.c_str());
    host.openProject(project, "", (folder + "\\fasm.exe").c_str());
    host.openChild(mainSource, FILE_TYPE_ASSEMBLY, hostsim::readFile(mainSource));
    host.openChild(folder + "\\SOURCE\\ERRORS.INC", FILE_TYPE_ASSEMBLY,
                   hostsim::readFile(folder + "\\SOURCE\\ERRORS.INC"));

    host.command(HC_BUILD);
    std::string out = host.outputText();
    size_t start = out.find("\r\n") + 2, end = out.find("\r\n", start);
    std::string commandLine = out.substr(start, end - start);
    if (out.find("error:") != std::string::npos || !exists(folder + "\\fasm.exe")) {
        row(what, "not run", "not run", "-", "-", "-");
        note("build with fasm 1.73: the first build failed, so nothing was measured:%s", out.c_str());
        return;
    }
    note("build with fasm 1.73: command line run: %s", commandLine.c_str());
    std::vector<double> build, direct;
    timeBuildAndDirectRun(host, commandLine, &build, &direct);
    Stats b = stats(build), d = stats(direct);
    row(what, figure(b, MS), figure(d, MS), figure(stats(pairedRatio(build, direct)), RATIO), "-", "-");
    row("2. Build, add-in's own share, the flat assembler's own source (ms)",
        figure(stats(pairedDifference(build, direct)), MS), "0 (direct run)", "-", "-", "-");
    progress("  build %s, direct %s", figure(b, MS).c_str(), figure(d, MS).c_str());
}

// ---- 2b. where a build's own time goes ---------------------------------------

// One build, step by step, as the output control sees it: the pane emptied
// (the preparation's end), the first append (the echoed command line), the
// first append of the child's output, the verdict's search, the command's
// return.
struct BuildPhases {
    std::vector<double> prepare, compose, start, endDetection, verdict, total;
};

// Builds with childproc as the assembler (it writes "x" and ends), with the
// add-in at dll, reps times; false when the add-in would not load.
bool measureBuildPhases(const std::string& dll, int reps, BuildPhases* out)
{
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, dll))
        return false;
    WritePrivateProfileStringA("FASM", "PATH", (cfg.tools + "\\childproc.exe").c_str(),
                               inst.addInsIni.c_str());
    hostsim::Host host;
    if (!host.loadAddIn(inst.dllPath))
        return false;
    std::string folder = hostsim::tempFolder("bench-phases");
    host.openProject(projectFile(folder, "FASM"), "out:x", "");
    host.openChild("hold:0", FILE_TYPE_ASSEMBLY, "");
    std::vector<std::pair<double, UINT>> stamps;
    host.onOutputMessage = [&](UINT m) {
        if (m == WM_SETTEXT || m == EM_REPLACESEL || m == EM_FINDTEXTEX)
            stamps.push_back({now(), m});
    };
    for (int rep = 0; rep < reps; ++rep) {
        stamps.clear();
        double t0 = now();
        host.command(HC_ASSEMBLE);
        double t1 = now();
        std::vector<double> appends;
        double emptied = -1, searched = -1, lastAppend = -1;
        for (const auto& s : stamps) {
            if (s.second == WM_SETTEXT && emptied < 0)
                emptied = s.first;
            else if (s.second == EM_REPLACESEL && searched < 0) {
                appends.push_back(s.first);
                lastAppend = s.first;
            } else if (s.second == EM_FINDTEXTEX && searched < 0)
                searched = s.first;
        }
        // Four appends echo the command line; the fifth is the child's "x".
        if (emptied < 0 || searched < 0 || appends.size() < 5)
            return false;
        out->prepare.push_back(emptied - t0);
        out->compose.push_back(appends[0] - emptied);
        out->start.push_back(appends[4] - appends[0]);
        out->endDetection.push_back(searched - lastAppend);
        out->verdict.push_back(t1 - searched);
        out->total.push_back(t1 - t0);
    }
    host.onOutputMessage = nullptr;
    return true;
}

// The same command run directly: from the start to the first byte read, and
// from there to the pipe's end.
void measureDirectPhases(const std::string& commandLine, int reps, std::vector<double>* start,
                         std::vector<double>* end)
{
    for (int rep = 0; rep < reps; ++rep) {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        HANDLE readEnd, writeEnd;
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
            return;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.hStdOutput = startup.hStdError = writeEnd;
        PROCESS_INFORMATION process;
        std::string line = commandLine;
        double t0 = now();
        BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process);
        CloseHandle(writeEnd);
        if (!started) {
            CloseHandle(readEnd);
            return;
        }
        char buffer[4096];
        DWORD got = 0;
        double first = -1;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr))
            if (first < 0)
                first = now();
        double t2 = now();
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        CloseHandle(readEnd);
        start->push_back(first - t0);
        end->push_back(t2 - first);
    }
}

void benchBuildPhases()
{
    progress("== where a build's own time goes");
    int reps = std::max(cfg.reps, 21);
    struct Variant {
        const char* label;
        std::string dll;
        BuildPhases phases;
        bool measured;
    } variants[] = {{"before (polling runner)", cfg.baselineDll, {}, false}, {"now", cfg.dll, {}, false}};
    // In turns of a few builds each, so that whatever else the machine does
    // falls on both alike.
    const int TURN = 3;
    for (Variant& v : variants) {
        v.measured = !v.dll.empty() && exists(v.dll);
        if (!v.measured)
            note("build phases %s: not run, no such add-in (bench.sh builds it from git; --baseline-dll)",
                 v.label);
    }
    for (int turn = 0; turn < (reps + TURN - 1) / TURN; ++turn)
        for (Variant& v : variants)
            if (v.measured && !measureBuildPhases(v.dll, TURN, &v.phases)) {
                v.measured = false;
                note("build phases %s: the steps could not be told apart", v.label);
            }
    std::vector<double> directStart, directEnd;
    measureDirectPhases(cfg.tools + "\\childproc.exe \"hold:0\" out:x", reps, &directStart, &directEnd);
    struct Step {
        const char* what;
        std::vector<double> BuildPhases::*times;
        const std::vector<double>* direct;
    } steps[] = {
        {"preparation (save, enumerate, empty the pane)", &BuildPhases::prepare, nullptr},
        {"assembler path, command line, status", &BuildPhases::compose, nullptr},
        {"start: echo to the child's first output shown", &BuildPhases::start, &directStart},
        {"end detection: last output to the verdict", &BuildPhases::endDetection, &directEnd},
        {"verdict, status and pane", &BuildPhases::verdict, nullptr},
        {"the whole Assemble", &BuildPhases::total, nullptr},
    };
    for (const Step& step : steps) {
        Variant& before = variants[0];
        Variant& after = variants[1];
        std::string beforeText = before.measured ? figure(stats(before.phases.*step.times), MS) : "not run";
        std::string afterText = after.measured ? figure(stats(after.phases.*step.times), MS) : "not run";
        row(std::string("2b. ") + step.what + ", now vs before (ms)", afterText, beforeText,
            before.measured && after.measured
                ? number(stats(after.phases.*step.times).median - stats(before.phases.*step.times).median,
                         MS) +
                      " change"
                : "-",
            "info", "-");
        if (step.direct)
            row(std::string("2b. ") + step.what + ", direct run (ms)", figure(stats(*step.direct), MS), "-",
                "-", "info", "-");
    }
    note("build phases: childproc as the assembler writes \"x\" and ends; times from the output control's "
         "messages (WM_SETTEXT, EM_REPLACESEL, EM_FINDTEXTEX) and the command's return; the direct run's "
         "start is "
         "CreateProcess to the first byte, its end the first byte to the pipe's end");
}

// ---- 2c. the next command after a long run ----------------------------------

// A captured run of N MB, then the next Assemble of a silent assembler,
// against the same Assemble after a run that wrote nothing: the difference
// is what the long run left the next command to do (emptying the pane).
void benchNextCommand()
{
    progress("== the next command after a long run");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll))
        return;
    WritePrivateProfileStringA("FASM", "PATH", (cfg.tools + "\\childproc.exe").c_str(),
                               inst.addInsIni.c_str());
    std::string folder = hostsim::tempFolder("bench-next");
    std::string project = projectFile(folder, "FASM");
    std::vector<size_t> sizes = {1u << 20, 4u << 20, 16u << 20};
    if (!cfg.quick)
        sizes.push_back(256u << 20);
    auto nextAfter = [&](size_t bytes, bool shown) -> double {
        hostsim::Host host;
        if (!host.loadAddIn(inst.dllPath))
            return -1;
        if (shown) {
            ShowWindow(host.frame(), SW_SHOW);
            UpdateWindow(host.frame());
        }
        host.openProject(project, ("bytes:" + std::to_string(bytes)).c_str(), "");
        host.openChild("hold:0", FILE_TYPE_ASSEMBLY, "");
        host.command(HC_ASSEMBLE);
        host.openProject(project, "", "");
        double t0 = now();
        host.command(HC_ASSEMBLE);
        return now() - t0;
    };
    int reps = cfg.quick ? 3 : 5;
    for (bool shown : {false, true}) {
        std::vector<double> empty;
        for (int rep = 0; rep < reps; ++rep)
            empty.push_back(nextAfter(0, shown));
        for (size_t size : sizes) {
            std::vector<double> next;
            for (int rep = 0; rep < (size > (16u << 20) ? 3 : reps); ++rep)
                next.push_back(nextAfter(size, shown));
            Stats n = stats(next), e = stats(empty);
            row("2c. Next Assemble after " + std::to_string(size >> 20) + " MB of output, host " +
                    (shown ? "shown" : "hidden") + " (ms)",
                figure(n, MS), figure(e, MS) + " after none", number(n.median - e.median, MS) + " later",
                "< 1000 ms later", yesNo(n.median - e.median < 1.0));
            progress("  %zu MB, %s: next %s, after none %s", size >> 20, shown ? "shown" : "hidden",
                     figure(n, MS).c_str(), figure(e, MS).c_str());
        }
    }
}

// ---- 3. rc.inc export ------------------------------------------------------

void benchRcExport()
{
    progress("== rc.inc export");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll))
        return;
    WritePrivateProfileStringA("FASM", "KeepRC", "1", inst.addInsIni.c_str());
    hostsim::Host host;
    if (!host.loadAddIn(inst.dllPath))
        return;
    std::string folder = hostsim::tempFolder("bench-rc");
    host.openProject(projectFile(folder, "FASM"));
    std::string script = folder + "\\app.rc";
    host.setResourceScript(script.c_str());
    const int count = 10000;
    std::vector<hostsim::Definition> defs;
    for (int i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "IDC_CONTROL_%05d", i);
        defs.push_back({name, i % 2 ? 1000 + i : -i});
    }
    host.setDefinitions(defs);
    std::string expected;
    for (const auto& d : defs) {
        char line[128];
        wsprintfA(line, "%s equ %i\r\n", d.name.c_str(), d.id);
        expected += line;
    }

    auto bareLoop = [&](const std::string& path, bool viaTemp) {
        std::string target = viaTemp ? path + ".tmp" : path;
        HANDLE f = CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        for (const auto& d : defs) {
            char line[128];
            int n = wsprintfA(line, "%s equ %i\r\n", d.name.c_str(), d.id);
            DWORD put;
            WriteFile(f, line, (DWORD)n, &put, nullptr);
        }
        CloseHandle(f);
        if (viaTemp)
            MoveFileExA(target.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    };

    std::vector<double> addIn, bare, bareTemp, box;
    bool right = true;
    int reps = std::max(cfg.reps, 7);
    for (int rep = 0; rep < reps; ++rep) {
        double t0 = now();
        bareLoop(folder + "\\bare.inc", false);
        double t1 = now();
        bare.push_back(t1 - t0);

        t0 = now();
        bareLoop(folder + "\\baretmp.inc", true);
        t1 = now();
        bareTemp.push_back(t1 - t0);

        size_t dialogs = host.dialogs.size();
        host.answer(hostsim::Answer::press(IDOK));
        t0 = now();
        host.command(HC_EXPORT_RESOURCE_DEFINITIONS);
        t1 = now();
        addIn.push_back(t1 - t0);
        if (host.dialogs.size() != dialogs + 1 || host.dialogs.back().answer != IDOK ||
            hostsim::readFile(folder + "\\rc.inc") != expected)
            right = false;

        // The same kind of message box alone, answered the same way.
        host.answer(hostsim::Answer::press(IDOK));
        t0 = now();
        MessageBoxA(host.frame(), "Resources definitions exported into rc.inc",
                    "Exporting resources definitions", MB_OK);
        t1 = now();
        box.push_back(t1 - t0);
    }
    if (hostsim::readFile(folder + "\\bare.inc") != expected)
        right = false;
    Stats a = stats(addIn), b = stats(bare);
    Stats q = stats(pairedRatio(addIn, bare));
    row("3. rc.inc export, 10000 definitions (ms)", figure(a, MS), figure(b, MS), figure(q, RATIO), "<= 1.5",
        yesNo(q.median <= 1.5));
    row("3x. message box alone, answered OK (ms)", figure(stats(box), MS), "-", "-", "info", "-");
    row("3x. export minus message box (ms)", figure(stats(pairedDifference(addIn, box)), MS), figure(b, MS),
        figure(stats(pairedRatio(pairedDifference(addIn, box), bare)), RATIO), "info", "-");
    row("3x. bare loop via .tmp + MoveFileExA (ms)", figure(stats(bareTemp), MS), figure(b, MS),
        figure(stats(pairedRatio(bareTemp, bare)), RATIO), "info", "-");
    note("rc.inc: %s; the simulated user answers a message box from a %s",
         right ? "every rc.inc matched the "
                 "expected 10000 lines and every success box was answered OK"
               : "SOME EXPORTS DID NOT MATCH",
         "10 ms thread timer after the box opens (hostsim's answer delay), so a box costs at least that");
}

// ---- 4. navigation ---------------------------------------------------------

LRESULT CALLBACK countChild(HWND, LPARAM counter)
{
    ++*(int*)counter;
    return 1;
}

void benchNavigation()
{
    progress("== navigation");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll))
        return;
    hostsim::Host host;
    if (!host.loadAddIn(inst.dllPath))
        return;
    std::string folder = hostsim::tempFolder("bench-nav");
    host.openProject(projectFile(folder, "FASM"));
    std::string text;
    for (int i = 1; i <= 40; ++i)
        text += "\tnop ; line " + std::to_string(i) + "\r\n";
    std::vector<HWND> children;
    for (int i = 0; i < 500; ++i) {
        char path[64];
        snprintf(path, sizeof path, "C:\\p\\f%03d.asm", i);
        children.push_back(host.openChild(path, FILE_TYPE_ASSEMBLY, text));
    }
    host.setOutputText(
        "C:\\p\\f499.asm [12]: error: bench message\r\nC:\\p\\none.asm [12]: error: bench message\r\n");
    HWND target = children.back();

    const int clicks = 50;
    int reps = std::max(cfg.reps, 7);
    std::vector<double> match, miss, enumOnly;
    bool right = true;
    for (int rep = 0; rep < reps; ++rep) {
        double sumMatch = 0, sumMiss = 0, sumEnum = 0;
        for (int k = 0; k < clicks; ++k) {
            // Another window is active before each click, so that every
            // matching click really activates the last child.
            host.activate(children.front());
            double t0 = now();
            LRESULT r = host.doubleClickOutputLine(0);
            double t1 = now();
            sumMatch += t1 - t0;
            if (r != 1 || host.activeChild() != target || host.caretLine(target) != 11)
                right = false;

            host.activate(children.front());
            t0 = now();
            r = host.doubleClickOutputLine(1);
            t1 = now();
            sumMiss += t1 - t0;
            if (r != 1 || host.activeChild() != children.front())
                right = false;

            int seen = 0;
            t0 = now();
            SendMessageA(host.frame(), HM_ENUM_CHILDREN, (WPARAM)countChild, (LPARAM)&seen);
            t1 = now();
            sumEnum += t1 - t0;
            if (seen != 500)
                right = false;
        }
        match.push_back(sumMatch / clicks);
        miss.push_back(sumMiss / clicks);
        enumOnly.push_back(sumEnum / clicks);
    }
    // Where the time goes: the same messages the click involves, sent from here.
    std::vector<double> clickOnly, outputQueries, editorJump, activation;
    HWND output = host.outputControl();
    HWND editor = host.editorOf(target);
    char lineBuffer[256];
    for (int rep = 0; rep < reps; ++rep) {
        double sums[4] = {0, 0, 0, 0};
        for (int k = 0; k < clicks; ++k) {
            host.activate(children.front());
            // The simulated user's part: caret to the line, position of the click.
            double t0 = now();
            LRESULT pos = SendMessageA(output, EM_LINEINDEX, 0, 0);
            SendMessageA(output, EM_SETSEL, pos, pos);
            POINTL pt{0, 0};
            SendMessageA(output, EM_POSFROMCHAR, (WPARAM)&pt, pos);
            double t1 = now();
            // The add-in's questions to the output control.
            CHARRANGE sel;
            SendMessageA(output, EM_EXGETSEL, 0, (LPARAM)&sel);
            int line = (int)SendMessageA(output, EM_EXLINEFROMCHAR, 0, sel.cpMin);
            LONG first = (LONG)SendMessageA(output, EM_LINEINDEX, (WPARAM)line, 0);
            LONG length = (LONG)SendMessageA(output, EM_LINELENGTH, (WPARAM)first, 0);
            TEXTRANGEA range{{first, first + length}, lineBuffer};
            SendMessageA(output, EM_GETTEXTRANGE, 0, (LPARAM)&range);
            SendMessageA(output, HEM_SETLINEHIGHLIGHT, 0, 1);
            double t2 = now();
            // The jump in the editor found.
            LONG start = (LONG)SendMessageA(editor, EM_LINEINDEX, 11, 0);
            CHARRANGE caret = {start, start};
            SendMessageA(editor, EM_EXSETSEL, 0, (LPARAM)&caret);
            SendMessageA(editor, EM_SCROLLCARET, 0, 0);
            double t3 = now();
            SendMessageA(target, WM_CHILDACTIVATE, 0, 0);
            double t4 = now();
            sums[0] += t1 - t0;
            sums[1] += t2 - t1;
            sums[2] += t3 - t2;
            sums[3] += t4 - t3;
        }
        clickOnly.push_back(sums[0] / clicks);
        outputQueries.push_back(sums[1] / clicks);
        editorJump.push_back(sums[2] / clicks);
        activation.push_back(sums[3] / clicks);
    }
    // The comparison the enumeration callback makes, 500 times: the locale-aware
    // lstrcmpA against a plain byte comparison.
    std::vector<double> withLstrcmp, withBytes;
    {
        volatile int sink = 0;
        const char* wanted = "C:\\p\\f499.asm";
        for (int rep = 0; rep < reps; ++rep) {
            double t0 = now();
            for (int k = 0; k < clicks; ++k)
                for (HWND c : children)
                    sink = sink + (lstrcmpA(childRecordOf(c)->fullPath, wanted) == 0);
            double t1 = now();
            for (int k = 0; k < clicks; ++k)
                for (HWND c : children)
                    sink = sink + (strcmp(childRecordOf(c)->fullPath, wanted) == 0);
            double t2 = now();
            withLstrcmp.push_back((t1 - t0) / clicks);
            withBytes.push_back((t2 - t1) / clicks);
        }
    }
    // The add-in's handler called directly (caret already on the line, as the
    // simulator leaves it), without the window message around it.
    std::vector<double> directMatch, directMiss;
    for (int rep = 0; rep < reps; ++rep) {
        double sums[2] = {0, 0};
        for (int k = 0; k < clicks; ++k) {
            for (int which = 0; which < 2; ++which) {
                host.activate(children.front());
                LRESULT pos = SendMessageA(output, EM_LINEINDEX, which, 0);
                SendMessageA(output, EM_SETSEL, pos, pos);
                double t0 = now();
                if (host.outWindowProc(output, WM_LBUTTONDBLCLK, MK_LBUTTON, 0) != 1)
                    right = false;
                sums[which] += now() - t0;
            }
        }
        directMatch.push_back(sums[0] / clicks);
        directMiss.push_back(sums[1] / clicks);
    }
    Stats m = stats(match), n = stats(miss);
    row("4. Double-click, match is child 500 of 500 (us)", figure(m, US), figure(n, US),
        figure(stats(pairedRatio(match, miss)), RATIO), "< 1 ms", yesNo(m.median < 0.001));
    row("4x. OutWindowProc called directly, match (us)", figure(stats(directMatch), US),
        figure(stats(directMiss), US), figure(stats(pairedRatio(directMatch, directMiss)), RATIO), "info",
        "-");
    row("4x. 500 x (child record + lstrcmpA) vs + strcmp (us)", figure(stats(withLstrcmp), US),
        figure(stats(withBytes), US), figure(stats(pairedRatio(withLstrcmp, withBytes)), RATIO), "info", "-");
    row("4x. host's enumeration of 500 children alone (us)", figure(stats(enumOnly), US), "-", "-", "info",
        "-");
    row("4x. click setup by the simulator (LINEINDEX, SETSEL, POSFROMCHAR) (us)",
        figure(stats(clickOnly), US), "-", "-", "info", "-");
    row("4x. the output-control queries a click makes (us)", figure(stats(outputQueries), US), "-", "-",
        "info", "-");
    row("4x. caret jump in the editor (LINEINDEX, EXSETSEL, SCROLLCARET) (us)", figure(stats(editorJump), US),
        "-", "-", "info", "-");
    row("4x. WM_CHILDACTIVATE of the matching child (us)", figure(stats(activation), US), "-", "-", "info",
        "-");
    note("navigation: each figure is the mean of %d clicks, %d repetitions; baseline = the same double-click "
         "on a "
         "line naming no open file (full enumeration, no activation); %s",
         clicks, reps,
         right ? "every click marked/activated as expected" : "SOME CLICKS DID NOT ACT AS EXPECTED");
}

// Mean time of one double-click on an output line, per repetition; another
// child is active before each click. check says whether the click did its job.
std::vector<double> timeClicks(hostsim::Host& host, int line, HWND before, int reps, int clicks,
                               const std::function<bool(LRESULT)>& check, bool* right)
{
    std::vector<double> means;
    for (int rep = 0; rep < reps; ++rep) {
        double sum = 0;
        for (int k = 0; k < clicks; ++k) {
            host.activate(before);
            double t0 = now();
            LRESULT r = host.doubleClickOutputLine(line);
            sum += now() - t0;
            if (!check(r))
                *right = false;
        }
        means.push_back(sum / clicks);
    }
    return means;
}

// The flat assembler's error in a struct definition: its place in the
// user's file f499.asm line 12, then six levels of the header's macros in a
// real struct.inc that is not open, 15 lines in all, the message last.
std::string throughMacros(const std::string& folder)
{
    CreateDirectoryA((folder + "\\INCLUDE").c_str(), nullptr);
    CreateDirectoryA((folder + "\\INCLUDE\\MACRO").c_str(), nullptr);
    hostsim::writeFile(folder + "\\INCLUDE\\MACRO\\STRUCT.INC", "; struct\r\n");
    const std::string header = folder + "\\INCLUDE/macro/struct.inc";
    std::string text = folder + "\\f499.asm [12]:\r\nends\r\n";
    const char* levels[] = {"[86] ends [6]",          "[86] match [6]",  "[86] match [1]",
                            "[106] make@struct [13]", "[106] match [0]", "[114] define@struct [5]"};
    for (const char* level : levels)
        text += header + " " + level + ":\r\n\t\tmake@struct name,fields\r\n";
    return text + "processed: PT.y dd ?,?,\r\nerror: invalid argument.\r\n";
}

// Other names of an open file: 500 real files open under their own paths,
// the clicked line naming the last one in another letter case, and the
// worst case for the cheap test, 500 open files all of one name.
void benchSameFile()
{
    progress("== navigation, other names of a file");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll))
        return;
    hostsim::Host host;
    if (!host.loadAddIn(inst.dllPath))
        return;
    std::string folder = hostsim::tempFolder("bench-same");
    host.openProject(projectFile(folder, "FASM"));
    std::string text;
    for (int i = 1; i <= 40; ++i)
        text += "\tnop ; line " + std::to_string(i) + "\r\n";
    std::vector<HWND> children;
    for (int i = 0; i < 500; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\f%03d.asm", i);
        hostsim::writeFile(folder + name, text);
        children.push_back(host.openChild(folder + name, FILE_TYPE_ASSEMBLY, text));
    }
    std::string upper = folder;
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    host.setOutputText(folder + "\\f499.asm [12]:\r\n" +  // 0 exact
                       upper + "\\F499.ASM [12]:\r\n" +   // 1 another letter case
                       "f499.asm [12]:\r\n" +             // 2 relative to the project's folder
                       folder + "\\none.asm [12]:\r\n" +  // 3 no such file, no such name open
                       upper + "\\F499.ASM [12]:\r\n" +   // 4 heading of an error block
                       "  nop\r\nprocessed: nop\r\n" +    // 5, 6
                       "error: bench message.\r\n" +      // 7
                       throughMacros(folder));            // 8 to 23, its message
    const int macroError = 23;
    HWND target = children.back(), first = children.front();
    const int clicks = 50;
    int reps = std::max(cfg.reps, 7);
    bool right = true;
    auto jumped = [&](LRESULT r) {
        return r == 1 && host.activeChild() == target && host.caretLine(target) == 11;
    };
    auto stayed = [&](LRESULT r) { return r == 1 && host.activeChild() == first; };
    std::vector<double> exact = timeClicks(host, 0, first, reps, clicks, jumped, &right);
    std::vector<double> otherCase = timeClicks(host, 1, first, reps, clicks, jumped, &right);
    std::vector<double> relative = timeClicks(host, 2, first, reps, clicks, jumped, &right);
    std::vector<double> noFile = timeClicks(host, 3, first, reps, clicks, stayed, &right);
    std::vector<double> errorLine = timeClicks(host, 7, first, reps, clicks, jumped, &right);
    std::vector<double> viaMacros = timeClicks(host, macroError, first, reps, clicks, jumped, &right);

    // Every open document passes the cheap test: all are called main.asm.
    for (HWND c : children)
        host.closeChild(c);
    std::vector<HWND> alike;
    for (int i = 0; i < 500; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\d%03d", i);
        CreateDirectoryA((folder + name).c_str(), nullptr);
        hostsim::writeFile(folder + name + "\\main.asm", text);
        alike.push_back(host.openChild(folder + name + "\\main.asm", FILE_TYPE_ASSEMBLY, text));
    }
    host.setOutputText("d499/main.asm [12]:\r\n");
    target = alike.back();
    first = alike.front();
    // Each click opens every document here, so fewer of them.
    const int slowClicks = 3;
    std::vector<double> allAlike = timeClicks(host, 0, first, reps, slowClicks, jumped, &right);

    Stats e = stats(exact), o = stats(otherCase);
    row("4. Double-click, child 500 of 500 named in another letter case (us)", figure(o, US), figure(e, US),
        figure(stats(pairedRatio(otherCase, exact)), RATIO), "< 5 ms", yesNo(o.median < 0.005));
    row("4. Double-click, child 500 of 500 named relative to the project (us)", figure(stats(relative), US),
        figure(e, US), figure(stats(pairedRatio(relative, exact)), RATIO), "< 5 ms",
        yesNo(stats(relative).median < 0.005));
    row("4. Double-click on the error: line, its heading naming child 500 (us)", figure(stats(errorLine), US),
        figure(o, US), figure(stats(pairedRatio(errorLine, otherCase)), RATIO), "< 5 ms",
        yesNo(stats(errorLine).median < 0.005));
    row("4. Double-click on the error: line of six levels of header macros, its place child 500 (us)",
        figure(stats(viaMacros), US), figure(e, US), figure(stats(pairedRatio(viaMacros, exact)), RATIO),
        "< 5 ms", yesNo(stats(viaMacros).median < 0.005));
    row("4x. another letter case minus the exact path, per repetition (us)",
        figure(stats(pairedDifference(otherCase, exact)), US), "-", "-", "info", "-");
    row("4x. Double-click naming no file, 500 real files open (us)", figure(stats(noFile), US), figure(e, US),
        figure(stats(pairedRatio(noFile, exact)), RATIO), "info", "-");
    row("4x. Double-click, 500 open files all named main.asm, match last (us)", figure(stats(allAlike), US),
        figure(e, US), figure(stats(pairedRatio(allAlike, exact)), RATIO), "info", "-");
    note("navigation, other names: 500 real files open under their own paths; baseline = the exact path of "
         "child 500 "
         "(for the error: line, a place line naming it the same way); each figure the mean of %d clicks (%d "
         "for "
         "the 500 alike), %d repetitions; %s",
         clicks, slowClicks, reps,
         right ? "every click marked/activated as expected" : "SOME CLICKS DID NOT ACT AS EXPECTED");
}

// ---- 5. load and unload ----------------------------------------------------

void benchLoad()
{
    progress("== load and unload");
    hostsim::Installation inst;
    if (!hostsim::layOutInstallation(inst, cfg.dll))
        return;
    hostsim::Host host;
    std::string folder = hostsim::tempFolder("bench-load");
    host.openProject(projectFile(folder, "FASM"));  // KXAddInLoad finds a FASM project open

    // The very first load of the process, once.
    double t0 = now();
    bool ok = host.loadAddIn(inst.dllPath);
    double t1 = now();
    host.unloadAddIn();
    double t2 = now();
    if (!ok) {
        note("load: the add-in did not load");
        return;
    }
    note("load: first load + unload in this process: %.2f ms (load %.2f ms)", (t2 - t0) * 1e3,
         (t1 - t0) * 1e3);
    HMODULE warm = LoadLibraryA(cfg.empty.c_str());
    if (!warm) {
        note("load: %s did not load (error %lu)", cfg.empty.c_str(), GetLastError());
        return;
    }
    FreeLibrary(warm);

    const int cycles = 20;
    int reps = std::max(cfg.reps, 7);
    std::vector<double> addIn, empty;
    bool right = true;
    for (int rep = 0; rep < reps; ++rep) {
        t0 = now();
        for (int k = 0; k < cycles; ++k) {
            HMODULE m = LoadLibraryA(cfg.empty.c_str());
            if (!m)
                right = false;
            FreeLibrary(m);
        }
        t1 = now();
        empty.push_back((t1 - t0) / cycles);
        t0 = now();
        for (int k = 0; k < cycles; ++k) {
            if (!host.loadAddIn(inst.dllPath) || host.loadResult != 0)
                right = false;
            host.unloadAddIn();
        }
        t1 = now();
        addIn.push_back((t1 - t0) / cycles);
    }
    // Where the time goes, by hand: the library alone, then each export.
    std::vector<double> libOnly, loadOnly, unloadOnly, profileRead;
    for (int rep = 0; rep < reps; ++rep) {
        double sums[4] = {0, 0, 0, 0};
        for (int k = 0; k < cycles; ++k) {
            double a = now();
            HMODULE m = LoadLibraryA(inst.dllPath.c_str());
            double b = now();
            auto load = (KXAddInLoadProc)GetProcAddress(m, "KXAddInLoad");
            auto unload = (KXAddInUnloadProc)GetProcAddress(m, "KXAddInUnload");
            double c = now();
            if (!load || !unload || load(&host.handles, &host.links) != 0)
                right = false;
            double d = now();
            if (unload)
                unload();
            double e = now();
            FreeLibrary(m);
            double f = now();
            char value[256];
            GetPrivateProfileStringA("GENERAL", "UI", "", value, sizeof value, inst.hostIni.c_str());
            double g = now();
            sums[0] += (b - a) + (f - e);
            sums[1] += d - c;
            sums[2] += e - d;
            sums[3] += g - f;
        }
        libOnly.push_back(sums[0] / cycles);
        loadOnly.push_back(sums[1] / cycles);
        unloadOnly.push_back(sums[2] / cycles);
        profileRead.push_back(sums[3] / cycles);
    }
    row("5x. LoadLibraryA + FreeLibrary of tordel.dll alone (ms)", figure(stats(libOnly), MS),
        figure(stats(empty), MS), figure(stats(pairedRatio(libOnly, empty)), RATIO), "info", "-");
    {
        std::string crt = cfg.empty.substr(0, cfg.empty.find_last_of('\\')) + "\\bench_crt.dll";
        std::vector<double> crtTimes;
        for (int rep = 0; rep < reps && exists(crt); ++rep) {
            double a = now();
            for (int k = 0; k < cycles; ++k)
                FreeLibrary(LoadLibraryA(crt.c_str()));
            crtTimes.push_back((now() - a) / cycles);
        }
        if (!crtTimes.empty())
            row("5x. LoadLibraryA + FreeLibrary of a no-code DLL with the MinGW start-up (ms)",
                figure(stats(crtTimes), MS), figure(stats(empty), MS),
                figure(stats(pairedRatio(crtTimes, empty)), RATIO), "info", "-");
    }
    row("5x. KXAddInLoad alone (ms)", figure(stats(loadOnly), MS), "-", "-", "info", "-");
    row("5x. KXAddInUnload alone (ms)", figure(stats(unloadOnly), MS), "-", "-", "info", "-");
    row("5x. one GetPrivateProfileStringA from the host INI (ms)", figure(stats(profileRead), MS), "-", "-",
        "info", "-");
    if (GetModuleHandleA("tordel.dll"))
        right = false;  // still mapped after FreeLibrary
    Stats a = stats(addIn), e = stats(empty);
    row("5. Load+KXAddInLoad+KXAddInUnload+Free (ms)", figure(a, MS), figure(e, MS),
        figure(stats(pairedRatio(addIn, empty)), RATIO), "-", "-");
    Stats own = stats(pairedDifference(addIn, empty));
    row("5. Load/unload, add-in's own share (ms)", figure(own, MS), "0 (empty DLL)", "-", "< 5 ms",
        yesNo(own.median < 0.005));
    note("load: each figure is the mean of %d cycles, %d repetitions, with a FASM project open; "
         "baseline = LoadLibraryA + FreeLibrary of bench_empty.dll; %s",
         cycles, reps,
         right ? "every load returned 0 and the DLL was unmapped afterwards" : "SOME LOADS FAILED");

    // The add-in as it was (--baseline-dll), against today's, repetition by
    // repetition in this process: each own share over the empty DLL.
    hostsim::Installation before;
    if (cfg.baselineDll.empty() || !exists(cfg.baselineDll) ||
        !hostsim::layOutInstallation(before, cfg.baselineDll))
        return;
    std::vector<double> nowOwn, beforeOwn;
    for (int rep = 0; rep < reps; ++rep) {
        double times[3];
        const std::string* dlls[3] = {&cfg.empty, &inst.dllPath, &before.dllPath};
        for (int which = 0; which < 3; ++which) {
            double start = now();
            for (int k = 0; k < cycles; ++k) {
                if (which == 0) {
                    FreeLibrary(LoadLibraryA(dlls[0]->c_str()));
                    continue;
                }
                if (!host.loadAddIn(*dlls[which]))
                    right = false;
                host.unloadAddIn();
            }
            times[which] = (now() - start) / cycles;
        }
        nowOwn.push_back(times[1] - times[0]);
        beforeOwn.push_back(times[2] - times[0]);
    }
    row("5. Load/unload own share, today against the add-in before (ms)", figure(stats(nowOwn), MS),
        figure(stats(beforeOwn), MS), figure(stats(pairedRatio(nowOwn, beforeOwn)), RATIO), "not more",
        yesNo(stats(nowOwn).median <= stats(beforeOwn).median));
    note("load, before: %s, the same cycles, each share over the empty DLL of the same repetition",
         cfg.baselineDll.c_str());
}

// ---- 6. footprint ----------------------------------------------------------

struct PeInfo {
    bool ok = false;
    DWORD size = 0;
    std::vector<std::string> imports;
};

PeInfo readPe(const std::string& path)
{
    PeInfo info;
    std::string f = hostsim::readFile(path);
    info.size = (DWORD)f.size();
    auto at = [&](size_t off, size_t n) { return off + n <= f.size(); };
    if (!at(0, 64) || f[0] != 'M' || f[1] != 'Z')
        return info;
    DWORD pe = *(const DWORD*)&f[0x3C];
    if (!at(pe, 24 + 96) || memcmp(&f[pe], "PE\0\0", 4) != 0)
        return info;
    const IMAGE_FILE_HEADER* fh = (const IMAGE_FILE_HEADER*)&f[pe + 4];
    const IMAGE_OPTIONAL_HEADER32* oh = (const IMAGE_OPTIONAL_HEADER32*)&f[pe + 24];
    const IMAGE_SECTION_HEADER* sec =
        (const IMAGE_SECTION_HEADER*)((const char*)oh + fh->SizeOfOptionalHeader);
    auto fileOffset = [&](DWORD rva) -> long {
        for (int i = 0; i < fh->NumberOfSections; ++i) {
            DWORD size = std::max(sec[i].Misc.VirtualSize, sec[i].SizeOfRawData);
            if (rva >= sec[i].VirtualAddress && rva < sec[i].VirtualAddress + size)
                return (long)(rva - sec[i].VirtualAddress + sec[i].PointerToRawData);
        }
        return -1;
    };
    info.ok = true;
    if (oh->NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
        return info;
    DWORD importRva = oh->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    if (!importRva)
        return info;
    long off = fileOffset(importRva);
    for (; off >= 0 && at(off, sizeof(IMAGE_IMPORT_DESCRIPTOR)); off += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const IMAGE_IMPORT_DESCRIPTOR* d = (const IMAGE_IMPORT_DESCRIPTOR*)&f[off];
        if (!d->Name)
            break;
        long name = fileOffset(d->Name);
        if (name < 0)
            break;
        info.imports.push_back(std::string(&f[name]));
    }
    return info;
}

void benchFootprint()
{
    progress("== footprint");
    PeInfo dll = readPe(cfg.dll), empty = readPe(cfg.empty);
    if (!dll.ok) {
        note("footprint: %s is not a PE file", cfg.dll.c_str());
        return;
    }
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    // Windows system DLLs: those that ship with the system, checked by name
    // and by their presence in the system folder.
    static const char* known[] = {"kernel32.dll", "user32.dll",  "gdi32.dll",    "comdlg32.dll",
                                  "shell32.dll",  "shlwapi.dll", "comctl32.dll", "advapi32.dll",
                                  "msvcrt.dll",   "ole32.dll",   "oleaut32.dll", "riched32.dll",
                                  "riched20.dll", "ntdll.dll"};
    std::string list;
    bool systemOnly = true;
    for (const std::string& name : dll.imports) {
        bool isKnown = false;
        for (const char* k : known)
            isKnown |= lstrcmpiA(k, name.c_str()) == 0;
        bool inSystem = exists(std::string(system) + "\\" + name);
        if (!isKnown || !inSystem)
            systemOnly = false;
        list += (list.empty() ? "" : " ") + name + (isKnown && inSystem ? "" : "(!)");
    }
    Stats s, e;
    s.n = e.n = 1;
    s.median = s.min = s.max = dll.size;
    e.median = e.min = e.max = empty.size;
    row("6. tordel.dll file size (KiB)", figure(s, KIB), empty.ok ? figure(e, KIB) : "-",
        empty.ok ? number((double)dll.size / empty.size, RATIO) : "-", "<= 64 KiB", yesNo(dll.size <= 65536));
    row("6. imported DLLs: " + list, std::to_string(dll.imports.size()) + " DLLs",
        empty.ok ? std::to_string(empty.imports.size()) + " DLLs" : "-", "-", "system DLLs only",
        yesNo(systemOnly));
    note("footprint: %u bytes; baseline = bench_empty.dll (%u bytes, no code)", (unsigned)dll.size,
         (unsigned)empty.size);
}

// ---- the table -------------------------------------------------------------

void printTable()
{
    const char* heads[] = {"Measured", "Add-in", "Baseline", "Ratio", "Target", "Met"};
    size_t width[6];
    for (int i = 0; i < 6; ++i)
        width[i] = strlen(heads[i]);
    for (const Row& r : g_rows) {
        const std::string* cells[] = {&r.what, &r.addIn, &r.baseline, &r.ratio, &r.target, &r.met};
        for (int i = 0; i < 6; ++i)
            width[i] = std::max(width[i], cells[i]->size());
    }
    auto line = [&](const std::string* const* cells) {
        std::string s = "|";
        for (int i = 0; i < 6; ++i) {
            s += " " + *cells[i] + std::string(width[i] - cells[i]->size(), ' ') + " |";
        }
        printf("%s\n", s.c_str());
    };
    std::string h[6];
    for (int i = 0; i < 6; ++i)
        h[i] = heads[i];
    const std::string* hp[] = {&h[0], &h[1], &h[2], &h[3], &h[4], &h[5]};
    line(hp);
    std::string sep[6];
    for (int i = 0; i < 6; ++i)
        sep[i] = std::string(width[i], '-');
    const std::string* sp[] = {&sep[0], &sep[1], &sep[2], &sep[3], &sep[4], &sep[5]};
    line(sp);
    for (const Row& r : g_rows) {
        const std::string* cells[] = {&r.what, &r.addIn, &r.baseline, &r.ratio, &r.target, &r.met};
        line(cells);
    }
    printf("\nFigures: median [min-max] of the repetitions; ratio = add-in / baseline per repetition pair "
           "(median [min-max]); %d repetitions at least.\n",
           cfg.reps);
    for (const std::string& n : g_notes)
        printf("- %s\n", n.c_str());
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    g_tick = 1.0 / (double)f.QuadPart;

    std::string here = exeFolder();
    cfg.dll = parentOf(here) + "\\tordel.dll";
    cfg.tools = parentOf(here) + "\\tools";
    cfg.empty = here + "\\bench_empty.dll";
#ifdef TORDEL_BENCH_SOURCE
    cfg.source = TORDEL_BENCH_SOURCE;
#endif
    std::string only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--dll")
            cfg.dll = value();
        else if (a == "--tools")
            cfg.tools = value();
        else if (a == "--source")
            cfg.source = value();
        else if (a == "--empty")
            cfg.empty = value();
        else if (a == "--baseline-dll")
            cfg.baselineDll = value();
        else if (a == "--reps")
            cfg.reps = std::max(5, atoi(value().c_str()));
        else if (a == "--quick")
            cfg.quick = true;
        else if (a == "--only")
            only = value();
        else {
            fprintf(stderr, "usage: tordel_bench [--dll PATH] [--baseline-dll PATH] [--tools DIR] [--source "
                            "DIR] [--empty PATH] "
                            "[--reps N>=5] [--quick] [--only 1,1x,1y,2,3,4,5,6]\n");
            return 2;
        }
    }
    for (const std::string* p : {&cfg.dll, &cfg.empty}) {
        if (!exists(*p)) {
            fprintf(stderr, "tordel_bench: %s not found\n", p->c_str());
            return 2;
        }
    }
    if (!exists(cfg.tools + "\\childproc.exe") || !exists(cfg.tools + "\\fasm.exe")) {
        fprintf(stderr, "tordel_bench: childproc.exe or fasm.exe missing in %s\n", cfg.tools.c_str());
        return 2;
    }
    auto wanted = [&](const char* part) {
        if (only.empty())
            return true;
        std::string list = "," + only + ",";
        return list.find(std::string(",") + part + ",") != std::string::npos;
    };
    if (wanted("6"))
        benchFootprint();
    if (wanted("5"))
        benchLoad();
    if (wanted("4"))
        benchNavigation();
    if (wanted("4"))
        benchSameFile();
    if (wanted("3"))
        benchRcExport();
    if (wanted("2"))
        benchBuild();
    if (wanted("2"))
        benchRealBuild();
    if (wanted("2"))
        benchBuildPhases();
    if (wanted("2"))
        benchNextCommand();
    if (wanted("1"))
        benchThroughput();
    if (wanted("1"))
        benchStop();
    if (wanted("1x"))
        benchOutputControl();
    if (wanted("1y"))
        benchPaneEmptying();
    // Rows in the order of the list above them, whatever order they ran in.
    std::stable_sort(g_rows.begin(), g_rows.end(),
                     [](const Row& a, const Row& b) { return a.what.substr(0, 2) < b.what.substr(0, 2); });
    if (cfg.quick)
        note("QUICK RUN: output measured at 1 and 4 MB only; control experiments at 256 KiB");
    printTable();
    return 0;
}
