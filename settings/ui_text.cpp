// The translatable texts: a fixed table of keys and English defaults, looked
// up at each use in the UI file's section for the host's current language.
#include <windows.h>

#include "host/addin.h"
#include "settings/text_core.h"

namespace {

struct TextEntry {
    char key[3];
    const char* defaultText;
};

const TextEntry TEXTS[TEXT_COUNT] = {
    {"fn", "FASM support 0.8"},
    {"ds", "Supports compilation using FASM or single BAT"},
    {"ok", "OK^Cancel^Yes^No"},
    {"mn", "Assemble current^BATCH compilation^Redirect OUT~Shift+Ctrl+R^Execute first BAT~Shift+Ctrl+G^Execute ASM as BAT~Shift+Ctrl+A"},
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
};

}  // namespace

const char* defaultText(TextId id) { return TEXTS[id].defaultText; }
const char* textKey(TextId id) { return TEXTS[id].key; }

void refreshLanguage()
{
    GetPrivateProfileStringA("GENERAL", "UI", "", g.languageName, LANGUAGE_NAME_SIZE, hostIniPath());
    char text[WORK_BUFFER_SIZE];
    splitIntoSlots(lookup(TEXT_BUTTONS, text), g.buttonCaptions[0], BUTTON_CAPTION_SIZE,
                   BUTTON_CAPTION_COUNT);
}

const char* lookup(TextId id, char* out)
{
    const TextEntry& e = TEXTS[id];
    DWORD n = GetPrivateProfileStringA(g.languageName, e.key, e.defaultText, out, WORK_BUFFER_SIZE,
                                       uiFilePath());
    // A key present with an empty value must not blank a caption.
    if (n == 0)
        lstrcpynA(out, e.defaultText, WORK_BUFFER_SIZE);
    return out;
}

const char* messageText(TextId id, char* out)
{
    lookup(id, out);
    replaceChar(out, '^', '\r');
    return out;
}

void loadMenuCaptions()
{
    char text[WORK_BUFFER_SIZE];
    splitIntoSlots(lookup(TEXT_MENUS, text), g.menuCaptions[0], MENU_CAPTION_SIZE, MENU_CAPTION_COUNT);
    for (char* caption : g.menuCaptions)
        replaceChar(caption, '~', '\t');
}
