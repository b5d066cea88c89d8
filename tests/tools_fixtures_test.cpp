// The child-process fixtures (childproc.exe, fasm.exe) and the hello example are
// what the add-in's own tests stand on, so their promised bytes and exit codes
// are checked here through a real pipe, the way the add-in runs them.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Env(const char* name)
{
    char buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

std::string Tool(const char* exe)
{
    std::string dir = Env("TORDEL_TOOLS");
    EXPECT_FALSE(dir.empty()) << "TORDEL_TOOLS is not set";
    return dir + "\\" + exe;
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// Reads a pipe to its end on a thread of its own, so that a hanging child or a
// full second pipe can never block the test.
struct Drain {
    HANDLE pipe = nullptr;
    std::string data;
    HANDLE thread = nullptr;

    static DWORD WINAPI Main(void* p)
    {
        Drain* d = static_cast<Drain*>(p);
        char buf[65536];
        DWORD got = 0;
        while (ReadFile(d->pipe, buf, sizeof buf, &got, nullptr) && got > 0)
            d->data.append(buf, got);
        return 0;
    }
    void Start(HANDLE h)
    {
        pipe = h;
        thread = CreateThread(nullptr, 0, Main, this, 0, nullptr);
    }
    bool Join(DWORD ms)
    {
        if (!thread)
            return true;
        bool done = WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
        if (done) {
            CloseHandle(thread);
            thread = nullptr;
        }
        return done;
    }
};

// A started child with its pipes; stdout and stderr share one pipe unless
// `separate` is asked for.
struct Child {
    PROCESS_INFORMATION pi{};
    HANDLE outRead = nullptr, errRead = nullptr, inWrite = nullptr;
    DWORD error = 0;

    bool Start(const std::string& cmdline, bool separate, const char* cwd = nullptr,
               DWORD flags = CREATE_NO_WINDOW)
    {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE outWrite, errWrite = nullptr, inRead;
        if (!CreatePipe(&outRead, &outWrite, &sa, 0))
            return false;
        if (separate && !CreatePipe(&errRead, &errWrite, &sa, 0))
            return false;
        if (!CreatePipe(&inRead, &inWrite, &sa, 0))
            return false;
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        if (errRead)
            SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        si.hStdInput = inRead;
        si.hStdOutput = outWrite;
        si.hStdError = separate ? errWrite : outWrite;
        std::vector<char> cmd(cmdline.begin(), cmdline.end());
        cmd.push_back('\0');
        BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, flags, nullptr, cwd, &si, &pi);
        error = ok ? 0 : GetLastError();
        // Our copies must go, or the pipes never report their end.
        CloseHandle(outWrite);
        if (errWrite)
            CloseHandle(errWrite);
        CloseHandle(inRead);
        return ok != FALSE;
    }
    bool Running() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }
    // Reads at least `want` bytes (or up to the end) from stdout.
    std::string ReadSome(size_t want)
    {
        std::string s;
        char buf[4096];
        DWORD got = 0;
        while (s.size() < want && ReadFile(outRead, buf, sizeof buf, &got, nullptr) && got > 0)
            s.append(buf, got);
        return s;
    }
    DWORD Finish(DWORD ms = 30000)
    {
        DWORD code = 0xDEADBEEF;
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "child did not end within " << ms << " ms";
            TerminateProcess(pi.hProcess, 0xDEAD);
            WaitForSingleObject(pi.hProcess, 5000);
        } else {
            GetExitCodeProcess(pi.hProcess, &code);
        }
        return code;
    }
    ~Child()
    {
        for (HANDLE h : {pi.hProcess, pi.hThread, outRead, errRead, inWrite})
            if (h)
                CloseHandle(h);
    }
};

struct Result {
    bool started = false;
    DWORD code = 0;
    std::string out;  // stdout, or both streams when they shared a pipe
    std::string err;
};

Result RunChild(const std::string& cmdline, bool separate = false, const char* cwd = nullptr)
{
    Result r;
    Child c;
    r.started = c.Start(cmdline, separate, cwd);
    EXPECT_TRUE(r.started) << cmdline << ": CreateProcess error " << c.error;
    if (!r.started)
        return r;
    CloseHandle(c.inWrite);
    c.inWrite = nullptr;
    Drain out, err;
    out.Start(c.outRead);
    if (separate)
        err.Start(c.errRead);
    r.code = c.Finish();
    // Should the child leave its pipe open in some grandchild, stop waiting.
    EXPECT_TRUE(out.Join(10000) && err.Join(10000)) << cmdline << ": pipe still open after exit";
    r.out = out.data;
    r.err = err.data;
    return r;
}

std::string ChildCmd(const std::string& script) { return Quote(Tool("childproc.exe")) + " " + script; }
std::string FasmCmd(const std::string& args)
{
    return Quote(Tool("fasm.exe")) + (args.empty() ? "" : " " + args);
}

const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// What bytes:N promises, built independently of the fixture.
std::string ExpectedBytes(size_t n)
{
    std::string s;
    s.reserve(n + 80);
    char num[16];
    for (unsigned long k = 0; s.size() < n; ++k) {
        wsprintfA(num, "%08lu ", k % 100000000UL);
        s += num;
        for (int c = 9; c < 78; ++c)
            s += kAlnum[(k + c) % 62];
        s += "\r\n";
    }
    s.resize(n);
    return s;
}

// ---- childproc.exe ----

struct ScriptCase {
    const char* script;  // as it appears on the command line
    std::string out;     // stdout and stderr, through one pipe
    DWORD code;
};

TEST(ChildProc, ScriptWritesExactBytesAndExitCode)
{
    const ScriptCase cases[] = {
        {"", "", 0},
        {"out:abc", "abc", 0},
        {"out:a\\nb", "a\r\nb", 0},
        {"out:x\\ty\\rz\\\\w", "x\ty\rz\\w", 0},
        {"out:\\xB3\\xC4\\x82\\x81\\x00!", std::string("\xB3\xC4\x82\x81\0!", 6), 0},
        {"\"out:two  spaces\" out:\\\"q", "two  spaces\"q", 0},
        {"out:1 err:2 out:3 err:4", "1234", 0},
        {"repeat:3:ab\\n", "ab\r\nab\r\nab\r\n", 0},
        {"repeat:0:x", "", 0},
        {"repeat:2:", "", 0},
        {"line:0", "\r\n", 0},
        {"line:5", "01234\r\n", 0},
        {"line:64 out:.", std::string(kAlnum, 62) + "01\r\n.", 0},
        {"exit:7", "", 7},
        {"out:a exit:3 out:b", "a", 3},
        {"exit:0xC0000005", "", 0xC0000005},
        {"sleep:10 out:z hold:10", "z", 0},
        {"out:in wait out:out", "inout", 0},
        {"tick:3:10:t\\n out:.", "t\r\nt\r\nt\r\n.", 0},
        {"tick:0:10:t", "", 0},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.script);
        Result r = RunChild(ChildCmd(c.script));
        EXPECT_EQ(c.out, r.out);
        EXPECT_EQ(c.code, r.code);
    }
}

TEST(ChildProc, OutAndErrGoToTheirOwnStreams)
{
    Result r = RunChild(ChildCmd("out:1 err:2 out:3 err:4\\n"), true);
    EXPECT_EQ("13", r.out);
    EXPECT_EQ("24\r\n", r.err);
    EXPECT_EQ(0u, r.code);
}

TEST(ChildProc, BadScriptWritesNothingButAMessageAndExits99)
{
    const char* cases[] = {"bogus",    "out:ok bogus", "out:\\q",          "out:\\x4",    "out:end\\",
                           "exit:abc", "exit:-1",      "exit:0x100000000", "repeat:3",    "repeat:x:y",
                           "sleep:",   "bytes:-1",     "line:1x",          "wait:1",      "OUT:x",
                           "tick:3:x", "tick:3:10",    "tick:1:1:\\q",     "append:1:1:", "append:1",
                           "start:"};
    for (const char* script : cases) {
        SCOPED_TRACE(script);
        Result r = RunChild(ChildCmd(script), true);
        EXPECT_EQ(99u, r.code);
        EXPECT_EQ("", r.out);
        EXPECT_EQ(0u, r.err.find("childproc: ")) << r.err;
        EXPECT_EQ("\r\n", r.err.substr(r.err.size() - 2));
    }
}

std::string ReadFileBytes(const std::string& path, bool* found);

TEST(ChildProc, TicksArriveOneByOneWhileTheChildRuns)
{
    Child c;
    ASSERT_TRUE(c.Start(ChildCmd("tick:3:400:t"), false));
    EXPECT_EQ("t", c.ReadSome(1));
    EXPECT_TRUE(c.Running());
    EXPECT_EQ("tt", c.ReadSome(2));
    EXPECT_EQ(0u, c.Finish());
}

// The grandchild holds the pipe after its parent ended and keeps appending
// to its file; the reader sees what both wrote.
TEST(ChildProc, StartedGrandchildHoldsThePipeAndAppendsToItsFile)
{
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    std::string file = std::string(temp) + "childproc ticks " + std::to_string(GetTickCount()) + ".txt";
    DeleteFileA(file.c_str());
    Child c;
    ASSERT_TRUE(c.Start(ChildCmd(Quote("start:append:4:100:" + file) + " out:parent"), false));
    EXPECT_EQ(0u, c.Finish());
    std::string before = ReadFileBytes(file, nullptr);
    Drain out;
    out.Start(c.outRead);
    c.outRead = nullptr;
    EXPECT_FALSE(out.Join(100)) << "the pipe ended with the parent";
    EXPECT_TRUE(out.Join(10000));
    EXPECT_EQ("parent", out.data);
    EXPECT_LT(before.size(), 24u);
    EXPECT_EQ("tick\r\ntick\r\ntick\r\ntick\r\n", ReadFileBytes(file, nullptr));
    DeleteFileA(file.c_str());
}

// A grandchild with a bad step complains on the shared stderr; its parent,
// which only started it, goes on.
TEST(ChildProc, GrandchildsBadStepIsItsOwnFailure)
{
    Result r = RunChild(ChildCmd("out:a start:bogus out:b"), true);
    EXPECT_EQ("ab", r.out);
    EXPECT_EQ("childproc: unknown step: bogus\r\n", r.err);
    EXPECT_EQ(0u, r.code);
}

TEST(ChildProc, BytesAreExactLinesOfPlainAscii)
{
    const size_t sizes[] = {0, 1, 78, 79, 80, 81, 65535, 65536, 65537, 1000000};
    for (size_t n : sizes) {
        SCOPED_TRACE(n);
        Result r = RunChild(ChildCmd("bytes:" + std::to_string(n)));
        EXPECT_EQ(0u, r.code);
        ASSERT_EQ(n, r.out.size());
        EXPECT_TRUE(r.out == ExpectedBytes(n));
    }
}

TEST(ChildProc, TensOfMegabytesStreamWhole)
{
    const size_t n = 32u << 20;
    DWORD t0 = GetTickCount();
    Result r = RunChild(ChildCmd("bytes:" + std::to_string(n) + " out:END"));
    DWORD ms = GetTickCount() - t0;
    EXPECT_EQ(0u, r.code);
    ASSERT_EQ(n + 3, r.out.size());
    EXPECT_EQ("END", r.out.substr(n));
    r.out.resize(n);
    EXPECT_TRUE(r.out == ExpectedBytes(n));
    RecordProperty("milliseconds_for_32MiB", (int)ms);
    EXPECT_LT(ms, 20000u) << "32 MiB took " << ms << " ms";
}

TEST(ChildProc, LongLineHasNoBreakUntilItsEnd)
{
    const size_t n = 300000;
    Result r = RunChild(ChildCmd("line:" + std::to_string(n)));
    ASSERT_EQ(n + 2, r.out.size());
    for (size_t i = 0; i < n; ++i)
        if (r.out[i] != kAlnum[i % 62])
            FAIL() << "byte " << i;
    EXPECT_EQ("\r\n", r.out.substr(n));
}

TEST(ChildProc, RepeatWritesManyCopies)
{
    Result r = RunChild(ChildCmd("repeat:100000:0123456789"));
    ASSERT_EQ(1000000u, r.out.size());
    for (size_t i = 0; i < r.out.size(); ++i)
        if (r.out[i] != '0' + (char)(i % 10))
            FAIL() << "byte " << i;
}

// What was written before a pause must already be in the pipe: nothing is
// held back in a buffer until exit.
TEST(ChildProc, WritesArriveBeforeThePauseEnds)
{
    Child c;
    ASSERT_TRUE(c.Start(ChildCmd("out:first err:+ sleep:1500 out:second"), false));
    EXPECT_EQ("first+", c.ReadSome(6));
    EXPECT_TRUE(c.Running());
    EXPECT_EQ("second", c.ReadSome(100));
    EXPECT_EQ(0u, c.Finish());
}

TEST(ChildProc, WaitBlocksUntilStdinEnds)
{
    Child c;
    ASSERT_TRUE(c.Start(ChildCmd("out:ready wait out:after exit:5"), false));
    EXPECT_EQ("ready", c.ReadSome(5));
    Sleep(300);
    EXPECT_TRUE(c.Running());
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(c.inWrite, "ignored", 7, &n, nullptr));
    Sleep(100);
    EXPECT_TRUE(c.Running());
    CloseHandle(c.inWrite);
    c.inWrite = nullptr;
    EXPECT_EQ("after", c.ReadSome(100));
    EXPECT_EQ(5u, c.Finish());
}

TEST(ChildProc, HoldKeepsRunningWithoutWriting)
{
    DWORD t0 = GetTickCount();
    Result r = RunChild(ChildCmd("out:a hold:400 exit:2"));
    DWORD ms = GetTickCount() - t0;
    EXPECT_EQ("a", r.out);
    EXPECT_EQ(2u, r.code);
    EXPECT_GE(ms, 380u);
}

// After close the reader sees the end of the pipe while the process lives on.
// Not with CREATE_NO_WINDOW: Wine then starts a conhost.exe for the child that
// inherits the same handles, so the pipe only ends when that console goes.
TEST(ChildProc, CloseEndsThePipeBeforeTheProcess)
{
    Child c;
    ASSERT_TRUE(c.Start(ChildCmd("out:bye close hold:1500 exit:4"), false, nullptr, 0));
    EXPECT_EQ("bye", c.ReadSome(1000));  // returns at the end of the pipe
    EXPECT_TRUE(c.Running());
    EXPECT_EQ(4u, c.Finish());
}

TEST(ChildProc, WriteToAGoneReaderEndsWithCode98)
{
    Child c;
    ASSERT_TRUE(c.Start(ChildCmd("out:x sleep:300 bytes:10000000"), false));
    EXPECT_EQ("x", c.ReadSome(1));
    CloseHandle(c.outRead);
    c.outRead = nullptr;
    EXPECT_EQ(98u, c.Finish());
}

// ---- fasm.exe ----

const std::string kBanner = "flat assembler  version 1.73.32  (stand-in)\r\n";

// Removes a folder and everything in it.
void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// A fresh folder of the test's own, removed with what is in it. Wine hands out
// the same small process ids run after run, so the name alone is not unique.
struct TempDir {
    std::string path;
    TempDir()
    {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        static unsigned serial = GetTickCount();
        for (int tries = 0; tries < 100; ++tries) {
            path = std::string(tmp) + "tordel_fixtures_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(++serial);
            if (CreateDirectoryA(path.c_str(), nullptr))
                return;
        }
        ADD_FAILURE() << "cannot create a folder like " << path;
    }
    std::string At(const std::string& name) const { return path + "\\" + name; }
    void Dir(const std::string& name) { EXPECT_TRUE(CreateDirectoryA(At(name).c_str(), nullptr)) << name; }
    void Write(const std::string& name, const std::string& data)
    {
        HANDLE f = CreateFileA(At(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, f) << name << " error " << GetLastError();
        DWORD n = 0;
        WriteFile(f, data.data(), (DWORD)data.size(), &n, nullptr);
        CloseHandle(f);
    }
    ~TempDir() { RemoveTree(path); }
};

std::string ReadFileBytes(const std::string& path, bool* found = nullptr)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (found)
        *found = f != INVALID_HANDLE_VALUE;
    if (f == INVALID_HANDLE_VALUE)
        return std::string();
    std::string s(GetFileSize(f, nullptr), '\0');
    DWORD n = 0;
    ReadFile(f, &s[0], (DWORD)s.size(), &n, nullptr);
    CloseHandle(f);
    s.resize(n);
    return s;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(FasmStandIn, WithoutASourceItShowsUsageAndExits1)
{
    const char* cases[] = {"", "-m 32768", "a.asm b.exe c", "a.asm -m", "a.asm -p many", "-d"};
    for (const char* args : cases) {
        SCOPED_TRACE(args);
        Result r = RunChild(FasmCmd(args), true);
        EXPECT_EQ(1u, r.code);
        EXPECT_EQ("", r.err);
        ASSERT_EQ(kBanner, r.out.substr(0, kBanner.size()));
        std::string usage = r.out.substr(kBanner.size());
        EXPECT_EQ(0u, usage.find("usage: fasm <source> [output]\r\n")) << usage;
        size_t opt = usage.find("\r\noptional settings:\r\n");
        ASSERT_NE(std::string::npos, opt) << usage;
        for (const char* o :
             {"\r\n -m <limit> ", "\r\n -p <limit> ", "\r\n -d <name>=<value> ", "\r\n -s <file> "})
            EXPECT_LT(opt, usage.find(o)) << o;
        EXPECT_EQ("\r\n", usage.substr(usage.size() - 2));
    }
}

TEST(FasmStandIn, UnreadableSourceIsNotFound)
{
    TempDir d;
    d.Dir("folder.asm");
    for (const char* src : {"missing.asm", "folder.asm", "nodir\\x.asm"}) {
        SCOPED_TRACE(src);
        Result r = RunChild(FasmCmd(Quote(src)), true, d.path.c_str());
        EXPECT_EQ(2u, r.code);
        EXPECT_EQ(kBanner, r.out);
        EXPECT_EQ("error: source file not found.\r\n", r.err);
    }
}

struct ErrorCase {
    const char* name;
    std::string source;
    std::string report;  // after "<path> "
};

TEST(FasmStandIn, MarkedLineIsReportedLikeTheAssembler)
{
    const ErrorCase cases[] = {
        {"crlf",
         "format PE\r\n\tmvo eax, 1 ; stand-in: error illegal instruction\r\n; stand-in: error second\r\n",
         "[2]:\r\n\tmvo eax, 1 ; stand-in: error illegal instruction\r\nerror: illegal instruction.\r\n"},
        {"lf", "a\nb\nc db ?  ;stand-in: error x\nd ; stand-in: error undefined symbol  \n",
         "[4]:\r\nd ; stand-in: error undefined symbol  \r\nerror: undefined symbol.\r\n"},
        {"last line, no break", "\r\n\r\nx ; stand-in: error value out of range.",
         "[3]:\r\nx ; stand-in: error value out of range.\r\nerror: value out of range.\r\n"},
        {"first line", "; stand-in: error", "[1]:\r\n; stand-in: error\r\nerror: unknown error.\r\n"},
        {"bytes kept", "\xB3\xC4 \x82 ; stand-in: error \x81t\r\n",
         "[1]:\r\n\xB3\xC4 \x82 ; stand-in: error \x81t\r\nerror: \x81t.\r\n"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        d.Write("src.asm", c.source);
        for (const std::string& src : {std::string("src.asm"), d.At("src.asm")}) {
            Result r = RunChild(FasmCmd(Quote(src) + "  " + Quote(d.At("out.exe")) + " -m 32768"), true,
                                d.path.c_str());
            EXPECT_EQ(2u, r.code);
            EXPECT_EQ(kBanner, r.out);
            EXPECT_EQ(src + " " + c.report, r.err);
            EXPECT_FALSE(Exists(d.At("out.exe")));
            EXPECT_FALSE(Exists(d.At("src.exe")));
        }
    }
}

struct BuildCase {
    const char* args;    // %D is replaced by the temp folder
    const char* source;  // created in the temp folder
    const char* output;  // expected, relative to the temp folder
};

std::string Expand(std::string s, const std::string& dir)
{
    for (size_t at; (at = s.find("%D")) != std::string::npos;)
        s.replace(at, 2, dir);
    return s;
}

TEST(FasmStandIn, CleanSourceWritesTheOutputAndASummary)
{
    const BuildCase cases[] = {
        {"hello.asm", "hello.asm", "hello.exe"},
        {"noext", "noext", "noext.exe"},
        {"dir.v2\\main", "dir.v2\\main", "dir.v2\\main.exe"},
        {"dir.v2\\two.dots.asm", "dir.v2\\two.dots.asm", "dir.v2\\two.dots.exe"},
        {"\"%D\\with space.asm\"  \"%D\\out put.bin\" -m 32768", "with space.asm", "out put.bin"},
        {"-m32768 -p 100 a.asm -d NAME=1 -s a.fas -x -unknown b.bin", "a.asm", "b.bin"},
        {"\"dir.v2/fwd.asm\"", "dir.v2\\fwd.asm", "dir.v2\\fwd.exe"},
    };
    for (const BuildCase& c : cases) {
        SCOPED_TRACE(c.args);
        TempDir d;
        d.Dir("dir.v2");
        std::string source = "format PE GUI 4.0\r\nentry start\r\nstart: ret\r\n";
        for (int i = 0; i < 50; ++i)
            source += "  db " + std::to_string(i) + " ; padding\r\n";
        d.Write(c.source, source);
        Result r = RunChild(FasmCmd(Expand(c.args, d.path)), true, d.path.c_str());
        EXPECT_EQ(0u, r.code);
        EXPECT_EQ("", r.err);
        bool found = false;
        std::string image = ReadFileBytes(d.At(c.output), &found);
        ASSERT_TRUE(found) << c.output;
        EXPECT_EQ("MZ", image.substr(0, 2));
        EXPECT_EQ(0u, image.size() % 512);
        EXPECT_NE(std::string::npos, image.find(source));
        ASSERT_EQ(kBanner, r.out.substr(0, kBanner.size()));
        std::string summary = r.out.substr(kBanner.size());
        // "2 passes, 0.1 seconds, 1536 bytes.\r\n" with the real size.
        std::string tail = " seconds, " + std::to_string(image.size()) + " bytes.\r\n";
        ASSERT_EQ(0u, summary.find("2 passes, ")) << summary;
        ASSERT_GT(summary.size(), tail.size());
        EXPECT_EQ(tail, summary.substr(summary.size() - tail.size())) << summary;
        std::string t = summary.substr(10, summary.size() - 10 - tail.size());
        size_t dot = t.find('.');
        ASSERT_TRUE(dot != std::string::npos && dot > 0 && dot + 2 == t.size()) << t;
        EXPECT_EQ(std::string::npos, t.find_first_not_of("0123456789.")) << t;
        EXPECT_NE("0.0", t);
    }
}

TEST(FasmStandIn, UnwritableOutputIsAWriteFailure)
{
    TempDir d;
    d.Write("a.asm", "nop\r\n");
    d.Dir("a.exe");  // where the default output would go
    for (const char* args : {"a.asm", "a.asm nodir\\a.exe"}) {
        SCOPED_TRACE(args);
        Result r = RunChild(FasmCmd(args), true, d.path.c_str());
        EXPECT_EQ(2u, r.code);
        EXPECT_EQ(kBanner, r.out);
        EXPECT_EQ("error: write failed.\r\n", r.err);
    }
}

// The real assembler writes ANSI paths back unchanged; so must the stand-in.
TEST(FasmStandIn, NonAsciiPathsAreKeptByteForByte)
{
    TempDir d;
    const std::string name = "Gr\xFC\xDF \xC9t\xE9.asm";
    d.Write(name, "ok:\r\n  mvo eax, 1 ; stand-in: error illegal instruction\r\n");
    d.Write("good.asm", "nop\r\n");
    Result bad = RunChild(FasmCmd(Quote(name)), true, d.path.c_str());
    EXPECT_EQ(2u, bad.code);
    EXPECT_EQ(
        name +
            " [2]:\r\n  mvo eax, 1 ; stand-in: error illegal instruction\r\nerror: illegal instruction.\r\n",
        bad.err);

    const std::string out = "\xC4rger.exe";
    Result good = RunChild(FasmCmd("good.asm " + Quote(out)), true, d.path.c_str());
    EXPECT_EQ(0u, good.code) << good.err;
    EXPECT_TRUE(Exists(d.At(out)));
}

// Banner, then the error: one pipe for both keeps that order.
TEST(FasmStandIn, BannerComesBeforeTheErrorOnOnePipe)
{
    TempDir d;
    d.Write("e.asm", "x ; stand-in: error bad\r\n");
    Result r = RunChild(FasmCmd("e.asm"), false, d.path.c_str());
    EXPECT_EQ(kBanner + "e.asm [1]:\r\nx ; stand-in: error bad\r\nerror: bad.\r\n", r.out);
}

// ---- examples/hello ----

std::string Example(const char* file)
{
    std::string src = Env("TORDEL_SOURCE");
    EXPECT_FALSE(src.empty()) << "TORDEL_SOURCE is not set";
    return src + "\\examples\\hello\\" + file;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string l = text.substr(start, end - start);
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        lines.push_back(l);
        start = end + 1;
    }
    return lines;
}

TEST(HelloExample, AssemblingStopsAtTheMisspelledInstruction)
{
    TempDir d;
    std::string asmText = ReadFileBytes(Example("hello.asm"));
    ASSERT_FALSE(asmText.empty());
    d.Write("hello.asm", asmText);
    Result r = RunChild(FasmCmd("hello.asm"), true, d.path.c_str());
    EXPECT_EQ(2u, r.code);
    EXPECT_FALSE(Exists(d.At("hello.exe")));
    std::vector<std::string> report = Lines(r.err);
    ASSERT_EQ(3u, report.size()) << r.err;
    unsigned line = 0;
    ASSERT_EQ(1, sscanf(report[0].c_str(), "hello.asm [%u]:", &line)) << report[0];
    std::vector<std::string> lines = Lines(asmText);
    ASSERT_GE(line, 1u);
    ASSERT_LE(line, lines.size());
    EXPECT_EQ(lines[line - 1], report[1]);
    EXPECT_NE(std::string::npos, report[1].find("mvo "));
    EXPECT_EQ("error: illegal instruction.", report[2]);
    // Exactly one mistake, and the program around it is a GUI one with a message box.
    EXPECT_EQ(asmText.find("; stand-in: error"), asmText.rfind("; stand-in: error"));
    for (const char* must : {"format PE GUI", "MessageBox", "ExitProcess", "\r\n"})
        EXPECT_NE(std::string::npos, asmText.find(must)) << must;
}

TEST(HelloExample, ProjectFileNamesTheAssembler)
{
    char value[64];
    GetPrivateProfileStringA("PROJECT", "Compiler", "", value, sizeof value, Example("hello.prj").c_str());
    EXPECT_STREQ("FASM", value);
    GetPrivateProfileStringA("PROJECT", "Name", "", value, sizeof value, Example("hello.prj").c_str());
    EXPECT_STREQ("hello", value);
}

TEST(HelloExample, ResourceScriptDefinesTheIds)
{
    std::string rc = ReadFileBytes(Example("hello.rc"));
    std::string asmText = ReadFileBytes(Example("hello.asm"));
    for (const char* id : {"IDD_MAIN", "IDI_APP", "IDC_OK"}) {
        SCOPED_TRACE(id);
        size_t at = rc.find(std::string("#define ") + id);
        ASSERT_NE(std::string::npos, at);
        unsigned value = 0;
        ASSERT_EQ(1, sscanf(rc.c_str() + at + 8 + strlen(id), "%u", &value));
        // hello.asm uses the same numbers.
        size_t def = asmText.find(std::string(id) + " ");
        ASSERT_NE(std::string::npos, def);
        unsigned asmValue = 0;
        ASSERT_EQ(1, sscanf(asmText.c_str() + def + strlen(id), " = %u", &asmValue));
        EXPECT_EQ(value, asmValue);
    }
    EXPECT_NE(std::string::npos, rc.find("IDD_MAIN DIALOG"));
}

TEST(HelloExample, BatchFileRunsAsABareCommandLine)
{
    Result r = RunChild(Quote(Example("run.bat")));
    EXPECT_EQ(0u, r.code);
    EXPECT_EQ("Running hello...\r\ndone\r\n", r.out);
}

}  // namespace
