// Where the add-in finds its files: the host INI and the UI file beside the
// host executable, its own settings beside the DLL. The host executable's
// path matters, so this test copies itself to the place of a host
// installation and runs the probe there as a child process.
#include "tests/test_support.h"

using hostsim::Answer;
using testing_support::env;
using testing_support::fileExists;
using testing_support::readIni;
using testing_support::writeIni;

namespace {

const char PROBE_VARIABLE[] = "TORDEL_PATHS_PROBE";  // the DLL to load, in probe mode

std::string selfPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// Makes every folder of path's parent.
void makeFolders(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

// Runs the probe test of this EXE copied to hostExe, loading dll; returns its exit code.
DWORD runProbe(const std::string& hostExe, const std::string& dll)
{
    makeFolders(hostExe);
    makeFolders(dll);
    EXPECT_TRUE(CopyFileA(selfPath().c_str(), hostExe.c_str(), FALSE)) << hostExe;
    EXPECT_TRUE(CopyFileA(env("TORDEL_DLL").c_str(), dll.c_str(), FALSE)) << dll;
    SetEnvironmentVariableA(PROBE_VARIABLE, dll.c_str());
    std::string command = "\"" + hostExe + "\" --gtest_filter=PathsProbe.* --gtest_brief=1";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process);
    SetEnvironmentVariableA(PROBE_VARIABLE, nullptr);
    if (!started) {
        ADD_FAILURE() << "cannot start " << hostExe << ": " << GetLastError();
        return 255;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 255;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

// Inside the host installation: proves each of the three paths by its effect.
TEST(PathsProbe, InsideTheHost)
{
    std::string dll = env(PROBE_VARIABLE);
    if (dll.empty())
        GTEST_SKIP() << "runs only as the host of a laid-out installation";
    std::string hostExe = selfPath();
    std::string expectedHostIni = hostExe.substr(0, hostExe.rfind('.')) + ".ini";
    std::string expectedUiFile = folderOf(hostExe) + "\\ui\\tordel.ui";
    std::string expectedAddInsIni = folderOf(dll) + "\\ZIVevUde.Ini";

    // The host INI names the language; the UI file holds its texts.
    writeIni(expectedHostIni, "GENERAL", "UI", "Probe");
    makeFolders(expectedUiFile);
    writeIni(expectedUiFile, "Probe", "fn", "Probe name");

    hostsim::Host host;
    ASSERT_TRUE(host.loadAddIn(dll));
    char name[256], description[256];
    host.getData(name, description);
    EXPECT_STREQ(name, "Probe name");

    // Export UI tells the host where it wrote; OK writes the add-in's settings.
    host.answer(Answer::run([](HWND dialog) {
        SendDlgItemMessageA(dialog, 1008, BM_CLICK, 0, 0);
        SetDlgItemTextA(dialog, 1002, "C:\\fasm\\fasm.exe");
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
    }));
    host.config(&host.handles, 0);
    ASSERT_EQ(host.uiFileWritten.size(), 1u);
    EXPECT_EQ(host.uiFileWritten[0], expectedUiFile);
    EXPECT_EQ(readIni(expectedUiFile, "DEFAULT", "fn"), "FASM support 0.8");
    EXPECT_EQ(readIni(expectedAddInsIni, "FASM", "PATH"), "C:\\fasm\\fasm.exe");
}

TEST(SettingsPaths, HostAndLibraryLocationsGiveTheThreeFiles)
{
    struct Case {
        std::string hostExe, dll;
    } cases[] = {
        {"C:\\Tools\\ide.exe", "C:\\Tools\\AddIns\\tordel8.dll"},
        // A host name with two dots loses only its last extension.
        {"C:\\Other IDE\\my.ide.exe", "C:\\Other IDE\\Plug ins\\tordel.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hostExe);
        EXPECT_EQ(runProbe(c.hostExe, c.dll), 0u);
    }
    std::string ini = readIni("C:\\Tools\\ide.ini", "GENERAL", "UI");
    EXPECT_EQ(ini, "Probe");
    EXPECT_TRUE(fileExists("C:\\Tools\\AddIns\\ZIVevUde.Ini"));
    EXPECT_TRUE(fileExists("C:\\Other IDE\\my.ide.ini"));
}

TEST(SettingsPaths, DeepestLibraryFolderWhoseSettingsPathFitsStillWorks)
{
    // The settings file's path is the platform's longest: 259 characters.
    std::string folder = "C:\\Deep\\" + std::string(259 - 8 - 13, 'd');
    std::string dll = folder + "\\tordel.dll";
    ASSERT_EQ((folder + "\\ZIVevUde.Ini").size(), 259u);
    EXPECT_EQ(runProbe("C:\\Deep\\host\\ide.exe", dll), 0u);
}

}  // namespace
