// One line of rc.inc for a resource definition record. Needs no Win32.
#pragma once

#include <stddef.h>

enum : size_t {
    DEFINITION_RECORD_SIZE = 73,  // name[65], id (int32 LE), 4 unused bytes
    DEFINITION_NAME_FIELD = 65,
    DEFINITION_LINE_MAX = 96,  // 64 name characters + " equ " + 11 digits + CR LF + NUL fits
};

// True when the record ends the list (empty name).
inline bool isListEnd(const unsigned char* record) { return record[0] == 0; }

// Formats "%s equ %i\r\n" for the record into out (DEFINITION_LINE_MAX bytes):
// the name as stored, cut at 64 characters when the field holds no
// terminator; the id in decimal with a leading '-' when negative. Returns
// the number of characters written, without the terminator.
size_t formatDefinitionLine(char* out, const unsigned char* record);
