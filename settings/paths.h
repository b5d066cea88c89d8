// The add-in's files, derived once when the library is attached, and the
// settings read from them at the moment of use.
#pragma once

#include <windows.h>

enum : size_t {
    ASSEMBLER_PATH_SIZE = 256,
    COMPILER_NAME_SIZE = 127,
};

// From process attach to detach. False when the paths cannot be had.
bool onProcessAttach(HINSTANCE instance);
void onProcessDetach();
HINSTANCE moduleInstance();
const char* hostIniPath();
const char* uiFilePath();
const char* addInsIniPath();

// KeepRC (FASM/KeepRC in the settings file, 1 when missing): Build writes
// rc.inc, and the host's export command is the add-in's, only while it is
// exactly 1. It is read as it stands at load, so a hand-edited 3 means off;
// the setup dialog shows and saves its lowest bit, so there 3 means on, and
// opening the dialog makes that reading the one in force.
void loadKeepRc();
bool keepRcOn();
bool keepRcForDialog();

void readAssemblerPath(char* out);  // ASSEMBLER_PATH_SIZE bytes
// FASM/INCLUDE as the user gave it (ASSEMBLER_PATH_SIZE bytes); empty when
// none is given, or when it is too long to be read whole.
void readIncludeFolder(char* out);
// Room for the folders an assembler run gets in INCLUDE: the setting, or
// the assembler's folder with the INCLUDE folder's name.
enum : size_t { INCLUDE_FOLDER_SIZE = 2 * ASSEMBLER_PATH_SIZE };
// The folders the assembler stored as `assembler` (a path as the user gives
// it, quoted or not) finds its headers in (INCLUDE_FOLDER_SIZE bytes):
// FASM/INCLUDE as given; when that is empty, the INCLUDE folder (any letter
// case) in the assembler's own folder; "" when neither is there.
void includeFolderFor(const char* assembler, char* out);
// GotoError (FASM/GotoError, 0 when missing): a failed build goes to its
// first error. On only when exactly 1; read at the moment of use.
bool gotoErrorOn();
void readProjectCompiler(const char* projectFile, char* out);  // COMPILER_NAME_SIZE bytes

// Writes one value of a settings file; on failure keeps the first error.
void writeProfileValue(const char* section, const char* key, const char* value, const char* file,
                       DWORD* error);
// The profile functions may keep writes in a cache and fail only when the
// file is written out, saying nothing; once flushed, the file must exist.
void flushProfile(const char* file, DWORD* error);
// What the setup dialog stores.
struct SetupSettings {
    char assemblerPath[ASSEMBLER_PATH_SIZE];
    char includeFolder[ASSEMBLER_PATH_SIZE];
    bool keepRc;
    bool gotoError;
};
// Stores the setup dialog's settings, which take effect at once.
// ERROR_SUCCESS, or the system's error.
DWORD saveSettings(const SetupSettings& settings);
