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

int readKeepRc();
void readAssemblerPath(char* out);                             // ASSEMBLER_PATH_SIZE bytes
void readProjectCompiler(const char* projectFile, char* out);  // COMPILER_NAME_SIZE bytes
