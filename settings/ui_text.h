// The translatable texts: every text the add-in shows, looked up at each use
// in the UI file's section for the host's current language, with a built-in
// English default.
#pragma once

#include <windows.h>

// Fixed buffers for texts and paths: 255 characters and the terminator.
enum : size_t { WORK_BUFFER_SIZE = 256 };
// Room for a text that holds a full path or a system message.
enum : size_t { LONG_TEXT_SIZE = 1024 };

// Every text: its id, its two-letter key in the UI file, its English default.
// The order is the order in which Export UI writes them; the first 26 are the
// add-in's original keys, and new ones are only ever added at the end.
// A text with %-conversions is a format: a translation is used only when its
// conversions are the default's, in the same order (see formatText).
#define TORDEL_TEXTS(X)                                                                                      \
    X(TEXT_NAME, "fn", "FASM support 0.8")                                                                   \
    X(TEXT_DESCRIPTION, "ds", "Supports compilation using FASM or single BAT")                               \
    X(TEXT_BUTTONS, "ok", "OK^Cancel^Yes^No")                                                                \
    X(TEXT_MENUS, "mn",                                                                                      \
      "Assemble current^BATCH compilation^Redirect OUT~Shift+Ctrl+R^Execute first BAT~Shift+Ctrl+G^"         \
      "Execute ASM as BAT~Shift+Ctrl+A")                                                                     \
    X(TEXT_NO_MEMORY, "r1", "Allocation memory error")                                                       \
    X(TEXT_NO_PIPE, "r2", "Creating pipe error")                                                             \
    X(TEXT_NO_PROCESS, "r3", "Creation process error")                                                       \
    X(TEXT_SAVING, "s1", "Saving...")                                                                        \
    X(TEXT_COMPILING, "s2", "Compilation...")                                                                \
    X(TEXT_RC_COMPILING, "s3", "RC compilation...")                                                          \
    X(TEXT_REDIRECT_ON, "s4", "Redirection now is ON.")                                                      \
    X(TEXT_REDIRECT_OFF, "s5", "Redirection now is OFF.")                                                    \
    X(TEXT_EXECUTING, "s6", "Executing...")                                                                  \
    X(TEXT_WARNING, "c1", "Warning!")                                                                        \
    X(TEXT_RENAME_PROMPT, "c2", "Do you wish rename this ASM to BAT and execute?")                           \
    X(TEXT_NOT_SAVED, "c3", "Not all files saved. Continue?")                                                \
    X(TEXT_LAST_BUILD_FAILED, "c4", "Last compilation error detected.^Continue anyway?")                     \
    X(TEXT_EXPORT_FAILED, "c5", "Failed exporting rc.inc")                                                   \
    X(TEXT_EXPORT_DONE, "c6", "Resources definitions exported into rc.inc")                                  \
    X(TEXT_EXPORT_CAPTION, "c7", "Exporting resources definitions")                                          \
    X(TEXT_NO_ASSEMBLER_PATH, "f1", "No path to FASM specified!^Do you wish specify?")                       \
    X(TEXT_NOT_ALLOWED, "f2", "Compilation not allowed!")                                                    \
    X(TEXT_ASM_ONLY, "f3", "This feature is for project's ASM-files only!")                                  \
    X(TEXT_SETUP_TITLE, "d1", "TORDEL setup")                                                                \
    X(TEXT_SETUP_PATH_LABEL, "d2", "Full path to the FASM compiler:")                                        \
    X(TEXT_SETUP_KEEP_RC, "d3", "Keep automatic rc.inc")                                                     \
    X(TEXT_OUTPUT_CUT, "r4", "[%lu KB of output not shown here]")                                            \
    X(TEXT_COMMAND_TOO_LONG, "r5", "%s: command line of %u characters, the limit is %u.")                    \
    X(TEXT_SILENT_FAILURE, "r6", "The assembler ended with exit code %lu (0x%08lX) and reported no error.")  \
    X(TEXT_SYSTEM_ERROR, "e1", "Error %lu")                                                                  \
    X(TEXT_ESC_STOPS_RUN, "s7", "Running... press Esc to stop.")                                             \
    X(TEXT_RUN_STOPPED, "r7", "[Stopped by the user after %lu.%lu s]")                                       \
    X(TEXT_OUTPUT_FILE, "r8", "[The whole output is in %s]")                                                 \
    X(TEXT_NO_OUTPUT_FILE, "r9", "[The output is not kept in a file: %s: %s]")                               \
    X(TEXT_SETUP_EXPORT_UI, "d4", "Export UI")                                                               \
    X(TEXT_SETUP_GOTO_ERROR, "d5", "Go to the first error after a failed build")                             \
    X(TEXT_SETUP_INCLUDE_LABEL, "d6", "Include folder")                                                      \
    X(TEXT_MENU_NEXT_ERROR, "m1", "Next error")                                                              \
    X(TEXT_MENU_PREVIOUS_ERROR, "m2", "Previous error")                                                      \
    X(TEXT_ERROR_N_OF_M, "n1", "Error %u of %u")                                                             \
    X(TEXT_NO_ERRORS, "n2", "No errors")                                                                     \
    X(TEXT_NOT_OPEN, "n3", "Not open: %s")                                                                    \
    X(TEXT_ANSWER_NOT_FOUND, "a1", "File not found.")                                                        \
    X(TEXT_ANSWER_NOT_A_PROGRAM, "a2", "Not a program: %s")                                                  \
    X(TEXT_ANSWER_NOT_FASM, "a3", "Does not answer as the flat assembler does")                              \
    X(TEXT_ANSWER_FASMG, "a4", "Choose fasm2.cmd beside it: fasmg.exe alone has no x86 headers")             \
    X(TEXT_ANSWER_NO_END, "a5", "No answer within %lu s: stopped")                                           \
    X(TEXT_ANSWER_FOLDER, "a6", "A folder: choose the assembler's program in it")                            \
    X(TEXT_SETUP_INCLUDE_BROWSE, "d7", "Choose the folder of the assembler's headers (win32a.inc and others)")

enum TextId {
#define TORDEL_TEXT_ID(id, key, text) id,
    TORDEL_TEXTS(TORDEL_TEXT_ID)
#undef TORDEL_TEXT_ID
        TEXT_COUNT
};

const char* defaultText(TextId id);
const char* textKey(TextId id);
// Reads the host's interface language (GENERAL/UI in the host's INI file),
// whose section of the UI file every lookup reads. True when it changed.
bool refreshLanguage();
// The text in the current language, cut to WORK_BUFFER_SIZE - 1 characters.
const char* lookup(TextId id, char* out);       // WORK_BUFFER_SIZE bytes
const char* messageText(TextId id, char* out);  // '^' shown as a line break
// A format text, filled like wsprintfA. A translation whose conversions
// differ from the default's would read the arguments wrongly: the default
// is used instead. out holds WORK_BUFFER_SIZE bytes.
// size is WORK_BUFFER_SIZE, or LONG_TEXT_SIZE for texts that hold paths.
const char* formatText(char* out, size_t size, TextId id, ...);
// The menu captions, without shortcuts. The first five are the fields of
// the packed text "mn" (what follows a '~' in a field, the shortcut as older
// translations name it, is left out; an empty or missing field shows the
// English one); later ones have keys of their own, so that a translation
// made before them shows them in English.
enum MenuCaption {
    MENU_ASSEMBLE_CURRENT,
    MENU_POPUP,
    MENU_REDIRECT,
    MENU_EXEC_BAT,
    MENU_ASM_AS_BAT,
    MENU_NEXT_ERROR,
    MENU_PREVIOUS_ERROR,
    MENU_CAPTION_COUNT
};
// A caption holds at most MENU_CAPTION_SIZE - 1 characters.
enum : size_t { MENU_CAPTION_SIZE = 64 };
// Reads the captions in the current language. The host draws the popup's
// title from its slot, so the slots live from one load to the next.
void loadMenuCaptions();
const char* menuCaption(MenuCaption slot);
// Writes every text's default into the UI file's [DEFAULT] section, the
// template for translators, making its "ui" folder when missing.
// ERROR_SUCCESS, or the system's error.
DWORD exportDefaultTexts();
