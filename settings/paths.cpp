// Where the add-in's files are, derived once when the library is attached,
// and the settings read from them.
#include <windows.h>

#include "settings/paths.h"

#include "core/assembler_answer.h"
#include "core/path_text.h"

namespace {

// A module path may take the platform's whole MAX_PATH; three of them with
// their suffixes fit the block with room to spare.
enum : DWORD { PATH_BLOCK_SIZE = 2048, MODULE_PATH_SIZE = MAX_PATH };

struct ModuleFiles {
    HINSTANCE instance;
    HANDLE heap;
    char* block;  // host INI, UI file and add-ins INI, one after another
    const char* hostIni;
    const char* uiFile;
    const char* addInsIni;
};
ModuleFiles files;

const char UI_FILE_SUFFIX[] = "\\ui\\tordel.ui";
const char ADDINS_INI_NAME[] = "ZIVevUde.Ini";

// Copies the module's path into dest and cuts it to its folder with a
// trailing separator, so that a name can be appended by concatenation.
// Returns the length, or 0 when the module path cannot be had.
DWORD moduleFolder(HMODULE module, char* dest)
{
    DWORD n = GetModuleFileNameA(module, dest, MODULE_PATH_SIZE);
    if (n == 0 || n >= MODULE_PATH_SIZE)
        return 0;
    cutToFolder(dest);
    DWORD length = (DWORD)lstrlenA(dest);
    if (length > 0 && dest[length - 1] != '\\')
        dest[length++] = '\\';
    dest[length] = '\0';
    return length;
}

}  // namespace

bool onProcessAttach(HINSTANCE instance)
{
    files = ModuleFiles{};
    files.instance = instance;
    files.heap = GetProcessHeap();
    char* block = (char*)HeapAlloc(files.heap, HEAP_ZERO_MEMORY, PATH_BLOCK_SIZE);
    if (!block)
        return false;

    // (1) host executable, extension replaced by ".ini". A module path that
    // fills the whole buffer was cut by the system and names no real file,
    // so the load is refused rather than reading and writing wrong files.
    char* hostIni = block;
    DWORD n = GetModuleFileNameA(nullptr, hostIni, MODULE_PATH_SIZE);
    char* uiFile;
    char* addInsIni;
    if (n == 0 || n >= MODULE_PATH_SIZE)
        goto refuse;
    removeExtension(hostIni);
    lstrcatA(hostIni, ".ini");

    // (2) the host INI's folder + "\ui\tordel.ui".
    uiFile = hostIni + lstrlenA(hostIni) + 1;
    lstrcpyA(uiFile, hostIni);
    cutToFolder(uiFile);
    lstrcatA(uiFile, UI_FILE_SUFFIX);

    // (3) this library's folder + "ZIVevUde.Ini".
    addInsIni = uiFile + lstrlenA(uiFile) + 1;
    if (moduleFolder(instance, addInsIni) == 0)
        goto refuse;
    lstrcatA(addInsIni, ADDINS_INI_NAME);

    {
        SIZE_T used = (SIZE_T)(addInsIni + lstrlenA(addInsIni) + 1 - block);
        // Shrinking in place never moves the block, so the three pointers stay valid.
        char* shrunk = (char*)HeapReAlloc(files.heap, HEAP_REALLOC_IN_PLACE_ONLY, block, used);
        if (shrunk)
            block = shrunk;
    }
    files.block = block;
    files.hostIni = hostIni;
    files.uiFile = uiFile;
    files.addInsIni = addInsIni;
    return true;

refuse:
    HeapFree(files.heap, 0, block);
    return false;
}

void onProcessDetach()
{
    if (files.block)
        HeapFree(files.heap, 0, files.block);
    files = ModuleFiles{};
}

HINSTANCE moduleInstance() { return files.instance; }
const char* hostIniPath() { return files.hostIni; }
const char* uiFilePath() { return files.uiFile; }
const char* addInsIniPath() { return files.addInsIni; }

namespace {

const char SETTINGS_SECTION[] = "FASM";
const char PATH_KEY[] = "PATH";
const char KEEP_RC_KEY[] = "KeepRC";
const char INCLUDE_KEY[] = "INCLUDE";
const char GOTO_ERROR_KEY[] = "GotoError";

int keepRc;

int readKeepRc() { return (int)GetPrivateProfileIntA(SETTINGS_SECTION, KEEP_RC_KEY, 1, addInsIniPath()); }

}  // namespace

void loadKeepRc() { keepRc = readKeepRc(); }
bool keepRcOn() { return keepRc == 1; }

bool keepRcForDialog()
{
    keepRc = readKeepRc() & 1;
    return keepRc == 1;
}

void writeProfileValue(const char* section, const char* key, const char* value, const char* file,
                       DWORD* error)
{
    if (WritePrivateProfileStringA(section, key, value, file) || *error != ERROR_SUCCESS)
        return;
    DWORD last = GetLastError();
    *error = last != ERROR_SUCCESS ? last : ERROR_WRITE_FAULT;
}

void flushProfile(const char* file, DWORD* error)
{
    if (*error != ERROR_SUCCESS)
        return;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        *error = ERROR_WRITE_FAULT;
}

DWORD saveSettings(const SetupSettings& settings)
{
    const bool keep = settings.keepRc;
    DWORD error = ERROR_SUCCESS;
    // A name too long for any file is refused before the cache takes it.
    if (lstrlenA(addInsIniPath()) >= MAX_PATH) {
        error = ERROR_FILENAME_EXCED_RANGE;
    } else {
        writeProfileValue(SETTINGS_SECTION, PATH_KEY, settings.assemblerPath, addInsIniPath(), &error);
        writeProfileValue(SETTINGS_SECTION, KEEP_RC_KEY, keep ? "1" : "0", addInsIniPath(), &error);
        writeProfileValue(SETTINGS_SECTION, INCLUDE_KEY, settings.includeFolder, addInsIniPath(), &error);
        writeProfileValue(SETTINGS_SECTION, GOTO_ERROR_KEY, settings.gotoError ? "1" : "0", addInsIniPath(),
                          &error);
    }
    flushProfile(addInsIniPath(), &error);
    if (error == ERROR_SUCCESS)
        keepRc = keep ? 1 : 0;
    return error;
}

void readAssemblerPath(char* out)
{
    // A stored path longer than the buffer would come back cut, and a cut
    // path may name another program (the system even adds ".exe" to it).
    // It counts as no path, so the user is asked for one.
    char path[4 * ASSEMBLER_PATH_SIZE];
    DWORD n = GetPrivateProfileStringA(SETTINGS_SECTION, PATH_KEY, "", path, sizeof path, addInsIniPath());
    lstrcpynA(out, n < ASSEMBLER_PATH_SIZE ? path : "", ASSEMBLER_PATH_SIZE);
}

void readIncludeFolder(char* out)
{
    // Cut, a folder would name another one: too long counts as none.
    char path[4 * ASSEMBLER_PATH_SIZE];
    DWORD n = GetPrivateProfileStringA(SETTINGS_SECTION, INCLUDE_KEY, "", path, sizeof path, addInsIniPath());
    lstrcpynA(out, n < ASSEMBLER_PATH_SIZE ? path : "", ASSEMBLER_PATH_SIZE);
}

namespace {

const char HEADERS_FOLDER[] = "INCLUDE";

// The full path of the program an assembler path runs: a bare name is
// searched where process creation searches it. False when it is not found.
bool assemblerProgram(const char* assembler, char* full)
{
    char program[MAX_PATH];
    if (!programOfCommand(assembler, program, sizeof program))
        return false;
    DWORD n;
    if (finalPathComponent(program) == program)
        n = SearchPathA(nullptr, program, ".exe", MAX_PATH, full, nullptr);
    else
        n = GetFullPathNameA(program, MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH;
}

}  // namespace

void includeFolderFor(const char* assembler, char* out)
{
    readIncludeFolder(out);
    if (out[0])
        return;
    char program[MAX_PATH];
    if (!assemblerProgram(assembler, program))
        return;
    char pattern[MAX_PATH];
    lstrcpyA(pattern, program);
    if (!replaceFileName(pattern, sizeof pattern, HEADERS_FOLDER))
        return;
    // The folder's own name, in its own letter case: the assembler prints
    // the paths of the headers it finds as this text and their names.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        lstrcmpiA(found.cFileName, HEADERS_FOLDER) == 0) {
        lstrcpyA(pattern, program);
        if (replaceFileName(pattern, sizeof pattern, found.cFileName))
            lstrcpyA(out, pattern);  // MAX_PATH fits INCLUDE_FOLDER_SIZE
    }
}

bool gotoErrorOn()
{
    return GetPrivateProfileIntA(SETTINGS_SECTION, GOTO_ERROR_KEY, 0, addInsIniPath()) == 1;
}

void readProjectCompiler(const char* projectFile, char* out)
{
    GetPrivateProfileStringA("PROJECT", "Compiler", "MASM", out, COMPILER_NAME_SIZE,
                             projectFile ? projectFile : "");
}
