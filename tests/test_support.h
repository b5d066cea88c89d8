// Shared pieces of the tests that drive tordel.dll through the host simulator.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/run_output.h"
#include "tools/fixtures/childproc_content.h"
#include "tools/hostsim/hostsim.h"

namespace testing_support {

inline std::string env(const char* name)
{
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

// Folder of the test tools (childproc.exe, fasm.exe, hostsim.exe).
inline std::string toolPath(const std::string& exe) { return env("TORDEL_TOOLS") + "\\" + exe; }

inline void writeIni(const std::string& file, const char* section, const char* key, const char* value)
{
    ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, file.c_str())) << file;
}

inline std::string readIni(const std::string& file, const char* section, const char* key,
                           const char* fallback = "<missing>")
{
    char value[4096];
    GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file.c_str());
    return value;
}

inline bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Text of a menu item by command, or "" when absent.
inline std::string menuText(HMENU menu, UINT id)
{
    char text[256] = "";
    GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
    return text;
}

using hostsim::findMenuItem;

inline MENUITEMINFOA menuItemAt(HMENU menu, int position)
{
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE | MIIM_DATA;
    GetMenuItemInfoA(menu, position, TRUE, &info);
    return info;
}

// Every key and its built-in text, in the order Export UI writes them: the
// add-in's original 26, then the ones added since, always at the end.
inline const std::pair<const char*, const char*> UI_TEXTS[] = {
    {"fn", "FASM support 0.8"},
    {"ds", "Supports compilation using FASM or single BAT"},
    {"ok", "OK^Cancel^Yes^No"},
    {"mn", "Assemble current^BATCH compilation^Redirect OUT~Shift+Ctrl+R^Execute first "
           "BAT~Shift+Ctrl+G^Execute ASM as BAT~Shift+Ctrl+A"},
    {"r1", "Allocation memory error"},
    {"r2", "Creating pipe error"},
    {"r3", "Creation process error"},
    {"s1", "Saving..."},
    {"s2", "Compilation..."},
    {"s3", "RC compilation..."},
    {"s4", "Redirection now is ON."},
    {"s5", "Redirection now is OFF."},
    {"s6", "Executing..."},
    {"c1", "Warning!"},
    {"c2", "Do you wish rename this ASM to BAT and execute?"},
    {"c3", "Not all files saved. Continue?"},
    {"c4", "Last compilation error detected.^Continue anyway?"},
    {"c5", "Failed exporting rc.inc"},
    {"c6", "Resources definitions exported into rc.inc"},
    {"c7", "Exporting resources definitions"},
    {"f1", "No path to FASM specified!^Do you wish specify?"},
    {"f2", "Compilation not allowed!"},
    {"f3", "This feature is for project's ASM-files only!"},
    {"d1", "TORDEL setup"},
    {"d2", "Full path to the FASM compiler:"},
    {"d3", "Keep automatic rc.inc"},
    {"r4", "[%lu KB of output not shown here]"},
    {"r5", "%s: command line of %u characters, the limit is %u."},
    {"r6", "The assembler ended with exit code %lu (0x%08lX) and reported no error."},
    {"e1", "Error %lu"},
    {"s7", "Running... press Esc to stop."},
    {"r7", "[Stopped by the user after %lu.%lu s]"},
    {"r8", "[The whole output is in %s]"},
    {"r9", "[The output is not kept in a file: %s: %s]"},
    {"d4", "Export UI"},
    {"d5", "Go to the first error after a failed build"},
    {"d6", "Include folder"},
    {"m1", "Next error"},
    {"m2", "Previous error"},
    {"n1", "Error %u of %u"},
    {"n2", "No errors"},
    {"n3", "Not open: %s"},
    {"a1", "File not found."},
    {"a2", "Not a program: %s"},
    {"a3", "Does not answer as the flat assembler does"},
    {"a4", "Choose fasm2.cmd beside it: fasmg.exe alone has no x86 headers"},
    {"a5", "No answer within %lu s: stopped"},
    {"a6", "A folder: choose the assembler's program in it"},
    {"d7", "Choose the folder of the assembler's headers (win32a.inc and others)"},
};
inline constexpr size_t UI_TEXT_COUNT = sizeof UI_TEXTS / sizeof UI_TEXTS[0];
// The built-in text of a key.
inline std::string uiText(const char* key)
{
    for (const auto& t : UI_TEXTS)
        if (std::string(t.first) == key)
            return t.second;
    ADD_FAILURE() << "no text " << key;
    return "";
}
// The add-in's original keys, which translations made for it may hold.
inline constexpr size_t ORIGINAL_TEXT_COUNT = 26;

// The pane and the file of a captured run's output, as the runner keeps
// them: the whole output up to RUN_PANE_LIMIT bytes and RUN_PANE_LINES
// lines; past either, the first RUN_PANE_HEAD bytes (RUN_HEAD_LINES lines
// at most) and the last RUN_PANE_TAIL bytes (RUN_TAIL_LINES at most).
enum : size_t {
    RUN_PANE_LIMIT = PANE_LIMIT,
    RUN_PANE_HEAD = PANE_HEAD,
    RUN_PANE_TAIL = PANE_TAIL,
    RUN_PANE_LINES = PANE_LINES,
    RUN_HEAD_LINES = HEAD_LINES,
    RUN_TAIL_LINES = TAIL_LINES,
};

// Where the run output of a project goes: the temporary folder's "tordel"
// folder, a file named for the project file. Of the files for projects of
// that name in other folders, the newest; "" when there is none.
inline std::string runOutputFileOf(const std::string& project)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string name = project.substr(project.rfind('\\') + 1);
    name = name.substr(0, name.rfind('.'));
    std::string folder = std::string(temp) + "tordel", newest;
    FILETIME newestTime = {0, 0};
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + name + "-????????.txt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    do {
        if (CompareFileTime(&found.ftLastWriteTime, &newestTime) >= 0) {
            newestTime = found.ftLastWriteTime;
            newest = folder + "\\" + found.cFileName;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return newest;
}

// What the pane shows of output of `total` bytes, longer than it keeps:
// the head, the note of how much is left out and where all of it is, the
// tail. Lines end with "\n" in the output the tests make. bytesAt(from,
// count) gives the output's bytes.
template <class BytesAt>
std::string cutPaneText(unsigned long long total, BytesAt bytesAt, const std::string& file)
{
    std::string head = bytesAt(0, RUN_PANE_HEAD);
    for (size_t i = 0, lines = 0; i < head.size(); ++i)
        if (head[i] == '\n' && ++lines == RUN_HEAD_LINES)
            head.resize(i + 1);
    unsigned long long from = total > RUN_PANE_TAIL ? total - RUN_PANE_TAIL : 0;
    if (from < head.size())
        from = head.size();
    std::string tail = bytesAt(from, (size_t)(total - from));
    // Lost bytes before the tail: it starts with a whole line, unless that
    // line is half the tail or more.
    size_t lineEnd = tail.find('\n');
    if (from > head.size() && lineEnd < tail.size() / 2)
        tail = tail.substr(lineEnd + 1);
    for (size_t i = tail.size(), lines = 0; i-- > 0;)
        if (tail[i] == '\n' && ++lines > RUN_TAIL_LINES) {
            tail = tail.substr(i + 1);
            break;
        }
    unsigned long long leftOut = total - head.size() - tail.size();
    return head + "\r\n[" + std::to_string((leftOut + 1023) / 1024) +
           " KB of output not shown here]\r\n[The whole output is in " + file + "]\r\n" + tail;
}

// "" when the file holds exactly what childproc's bytes:N writes for n,
// else where it first differs. Read in pieces: n may be far larger than a
// 32-bit test can hold.
inline std::string fileDiffersFromChildprocBytes(const std::string& path, unsigned long long n)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return path + " cannot be read: error " + std::to_string(GetLastError());
    const size_t piece = 8u << 20;
    std::vector<char> got(piece);
    std::string result;
    for (unsigned long long at = 0; result.empty();) {
        DWORD read = 0;
        if (!ReadFile(file, got.data(), (DWORD)piece, &read, nullptr))
            result = "read failed at " + std::to_string(at);
        else if (read == 0)
            break;
        std::string expected = childprocBytesAt(n, at, read);
        if (result.empty() && (expected.size() != read || memcmp(expected.data(), got.data(), read) != 0))
            result = "differs in the 8 MB from " + std::to_string(at);
        at += read;
        if (result.empty() && read == 0 && at != n)
            result = "holds " + std::to_string(at) + " bytes";
    }
    LARGE_INTEGER size;
    if (result.empty() && GetFileSizeEx(file, &size) && (unsigned long long)size.QuadPart != n)
        result = "holds " + std::to_string(size.QuadPart) + " bytes, not " + std::to_string(n);
    CloseHandle(file);
    return result;
}

// A test with a fresh host installation and a hidden host; the add-in is
// loaded by load() so that a test can prepare files first.
class AddInTest : public ::testing::Test {
protected:
    hostsim::Installation inst;
    std::unique_ptr<hostsim::Host> host;

    void SetUp() override
    {
        ASSERT_TRUE(hostsim::layOutInstallation(inst));
        host = std::make_unique<hostsim::Host>();
    }
    void TearDown() override { host.reset(); }

    void load() { ASSERT_TRUE(host->loadAddIn(inst.dllPath)) << inst.dllPath; }

    // The add-in's "BATCH compilation" popup: the item before 10510, or null.
    HMENU popup() { return hostsim::submenuBefore(host->mainMenu(), HC_MENU_BEFORE_POPUP); }
    // Redirect OUT at 0, the separator at 1, Execute first BAT at 2, Execute ASM as BAT at 3.
    UINT popupItemId(int position) { return GetMenuItemID(popup(), position); }

    // Id of the owner-drawn "Assemble current" just before 10504, or 0.
    // The add-in's items of the Make menu, in order before the host's item
    // that follows them (FASM projects only): 0 when it is not there.
    enum MakeMenuItem { ASSEMBLE_CURRENT_ITEM, NEXT_ERROR_ITEM, PREVIOUS_ERROR_ITEM, MAKE_MENU_ITEMS };
    UINT makeMenuItemId(MakeMenuItem which)
    {
        HMENU owner;
        int at;
        if (!findMenuItem(host->mainMenu(), HC_MENU_BEFORE_ASSEMBLE_CURRENT, &owner, &at) ||
            at < MAKE_MENU_ITEMS)
            return 0;
        MENUITEMINFOA item = menuItemAt(owner, at - MAKE_MENU_ITEMS + which);
        return (item.fType & MFT_OWNERDRAW) ? item.wID : 0;
    }
    UINT assembleCurrentId() { return makeMenuItemId(ASSEMBLE_CURRENT_ITEM); }

    // A project folder with a project file naming the compiler ("" writes no key).
    std::string makeProject(const char* compiler, const std::string& name = "proj")
    {
        std::string folder = hostsim::tempFolder(name);
        std::string file = folder + "\\" + name + ".prj";
        if (compiler[0])
            WritePrivateProfileStringA("PROJECT", "Compiler", compiler, file.c_str());
        else
            WritePrivateProfileStringA("PROJECT", "Name", name.c_str(), file.c_str());
        return file;
    }

    void setLanguage(const char* language) { writeIni(inst.hostIni, "GENERAL", "UI", language); }
    void translate(const char* language, const char* key, const char* value)
    {
        writeIni(inst.uiFile, language, key, value);
    }
    void setAssembler(const std::string& path) { writeIni(inst.addInsIni, "FASM", "PATH", path.c_str()); }
    void setKeepRc(const char* value) { writeIni(inst.addInsIni, "FASM", "KeepRC", value); }
};

}  // namespace testing_support
