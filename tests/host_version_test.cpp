// The version information in tordel.dll, read back the way Windows' file
// properties read it (GetFileVersionInfoA and VerQueryValueA), from this
// tree's DLL and from the shipped i686 one. A 64-bit process can read the
// 32-bit DLL: the version functions load it as a data file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

using testing_support::env;
using testing_support::toolPath;

namespace {

// The whole version block of a file, or empty with GetLastError's reason.
struct VersionBlock {
    std::vector<char> bytes;
    DWORD error = 0;
};

VersionBlock readVersionBlock(const std::string& path)
{
    VersionBlock b;
    DWORD handle = 0;
    SetLastError(0);
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) {
        b.error = GetLastError();
        return b;
    }
    b.bytes.resize(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, b.bytes.data())) {
        b.error = GetLastError();
        b.bytes.clear();
    }
    return b;
}

// A string value under one translation block, or "<absent>".
std::string stringValue(VersionBlock& b, const char* block, const char* name)
{
    std::string query = std::string("\\StringFileInfo\\") + block + "\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(b.bytes.data(), query.c_str(), &value, &length) || !value)
        return "<absent>";
    return static_cast<const char*>(value);
}

// IMAGE_FILE_HEADER.Machine of a PE file, read from its headers; 0 when unreadable.
WORD peMachine(const std::string& path)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 0;
    char head[1024] = {};
    DWORD got = 0;
    ReadFile(f, head, sizeof head, &got, nullptr);
    CloseHandle(f);
    if (got < sizeof(IMAGE_DOS_HEADER))
        return 0;
    LONG at = reinterpret_cast<const IMAGE_DOS_HEADER*>(head)->e_lfanew;
    if (at < 0 || at + 4 + (LONG)sizeof(IMAGE_FILE_HEADER) > (LONG)got)
        return 0;
    if (memcmp(head + at, "PE\0\0", 4) != 0)
        return 0;
    return reinterpret_cast<const IMAGE_FILE_HEADER*>(head + at + 4)->Machine;
}

// Everything a user sees of the version, for one DLL.
void expectVersionInformation(const std::string& dll)
{
    VersionBlock b = readVersionBlock(dll);
    ASSERT_FALSE(b.bytes.empty()) << dll << ": no version information (error " << b.error << ")";

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(b.bytes.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwStrucVersion, 0x00010000u);
    // 0.8.3.0: major and minor in the high DWORD, patch and build in the low one.
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000008u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000008u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00030000u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u) << "a release: not debug, pre-release, patched or private";
    EXPECT_EQ(fixed->dwFileOS, 0x00040004u);  // VOS_NT_WINDOWS32
    EXPECT_EQ(fixed->dwFileType, 2u);         // VFT_DLL
    EXPECT_EQ(fixed->dwFileSubtype, 0u);

    // One translation: language neutral, Windows-1252.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(b.bytes.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0000);
    EXPECT_EQ(translation[1], 1252);

    static const struct {
        const char* name;
        const char* expected;
    } strings[] = {
        {"FileDescription", "FASM support for the assembly-language IDE (add-in)"},
        {"FileVersion", "0.8c"},
        {"InternalName", "tordel"},
        {"LegalCopyright", "Copyright (C) 2026 the tordel developers"},
        {"OriginalFilename", "tordel.dll"},
        {"ProductName", "tordel"},
        {"ProductVersion", "0.8c"},
        // Not given: an empty value would show as a blank line in the properties.
        {"CompanyName", "<absent>"},
        {"Comments", "<absent>"},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(s.name);
        // The block name is case-insensitive for VerQueryValueA.
        EXPECT_EQ(stringValue(b, "000004E4", s.name), s.expected);
        EXPECT_EQ(stringValue(b, "000004e4", s.name), s.expected);
    }
    // A reader that guesses the usual US-English Unicode block finds nothing:
    // the Translation entry is the way in.
    EXPECT_EQ(stringValue(b, "040904B0", "ProductName"), "<absent>");
    EXPECT_EQ(stringValue(b, "040904E4", "ProductName"), "<absent>");
}

}  // namespace

TEST(VersionResource, ThisTreesDllCarriesIt)
{
    std::string dll = env("TORDEL_DLL");
    ASSERT_FALSE(dll.empty()) << "TORDEL_DLL is not set";
    SCOPED_TRACE(dll);
    expectVersionInformation(dll);
}

TEST(VersionResource, TheShippedI686DllCarriesIt)
{
    std::string dll = env("TORDEL_DLL_I686");
    ASSERT_FALSE(dll.empty()) << "TORDEL_DLL_I686 is not set";
    if (GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the i686 tree has not been built: " << dll
                     << " does not exist (bash tools/build.sh builds it)";
    SCOPED_TRACE(dll);
    EXPECT_EQ(peMachine(dll), IMAGE_FILE_MACHINE_I386) << "not the 32-bit DLL";
    expectVersionInformation(dll);
}

// What the reader above reports for files that carry no version information,
// so that a DLL built without it could not pass as one with it. Under Wine
// a PE file without resources and a text file both give
// ERROR_RESOURCE_DATA_NOT_FOUND.
TEST(VersionResource, FilesWithoutItGiveNoBlock)
{
    static const struct {
        const char* what;
        std::string path;
        DWORD error;
    } cases[] = {
        // A program built without any resources (the child fixture).
        {"no resources", toolPath("childproc.exe"), ERROR_RESOURCE_DATA_NOT_FOUND},
        {"missing file", toolPath("no-such-file.dll"), ERROR_FILE_NOT_FOUND},
        {"not a PE file", env("TORDEL_SOURCE") + "\\examples\\hello\\hello.asm",
         ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VersionBlock b = readVersionBlock(c.path);
        EXPECT_TRUE(b.bytes.empty());
        EXPECT_EQ(b.error, c.error);
    }
}
