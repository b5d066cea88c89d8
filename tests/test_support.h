// Shared pieces of the tests that drive tordel.dll through the host simulator.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
    UINT assembleCurrentId()
    {
        HMENU owner;
        int at;
        if (!findMenuItem(host->mainMenu(), HC_MENU_BEFORE_ASSEMBLE_CURRENT, &owner, &at) || at == 0)
            return 0;
        MENUITEMINFOA item = menuItemAt(owner, at - 1);
        return (item.fType & MFT_OWNERDRAW) ? item.wID : 0;
    }

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
