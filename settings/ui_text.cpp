// The translatable texts: a fixed table of keys and English defaults, looked
// up at each use in the UI file's section for the host's current language.
#include "settings/ui_text.h"

#include "core/path_text.h"
#include "core/text_core.h"
#include "settings/paths.h"

namespace {

enum : size_t {
    LANGUAGE_NAME_SIZE = 60,
    PACKED_CAPTION_COUNT = 5,  // the fields of "mn"
};

char languageName[LANGUAGE_NAME_SIZE];
char menuCaptions[MENU_CAPTION_COUNT][MENU_CAPTION_SIZE];
// The captions that have keys of their own, after the packed ones.
const TextId OWN_CAPTION_TEXTS[MENU_CAPTION_COUNT - PACKED_CAPTION_COUNT] = {TEXT_MENU_NEXT_ERROR,
                                                                             TEXT_MENU_PREVIOUS_ERROR};

struct TextEntry {
    char key[3];
    const char* defaultText;
};

const TextEntry TEXTS[TEXT_COUNT] = {
#define TORDEL_TEXT_ENTRY(id, key, text) {key, text},
    TORDEL_TEXTS(TORDEL_TEXT_ENTRY)
#undef TORDEL_TEXT_ENTRY
};

}  // namespace

const char* defaultText(TextId id) { return TEXTS[id].defaultText; }
const char* textKey(TextId id) { return TEXTS[id].key; }

bool refreshLanguage()
{
    char previous[LANGUAGE_NAME_SIZE];
    lstrcpyA(previous, languageName);
    GetPrivateProfileStringA("GENERAL", "UI", "", languageName, LANGUAGE_NAME_SIZE, hostIniPath());
    return !textsEqual(previous, languageName);
}

const char* lookup(TextId id, char* out)
{
    const TextEntry& e = TEXTS[id];
    DWORD n =
        GetPrivateProfileStringA(languageName, e.key, e.defaultText, out, WORK_BUFFER_SIZE, uiFilePath());
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

const char* formatText(char* out, size_t size, TextId id, ...)
{
    char format[WORK_BUFFER_SIZE];
    lookup(id, format);
    if (!conversionsMatch(format, TEXTS[id].defaultText))
        lstrcpynA(format, TEXTS[id].defaultText, sizeof format);
    // The platform's formatter writes at most 1024 bytes; what it made is
    // cut to the caller's buffer.
    char made[LONG_TEXT_SIZE];
    va_list arguments;
    va_start(arguments, id);
    wvsprintfA(made, format, arguments);
    va_end(arguments);
    lstrcpynA(out, made, (int)size);
    return out;
}

void loadMenuCaptions()
{
    char text[WORK_BUFFER_SIZE];
    char english[PACKED_CAPTION_COUNT][MENU_CAPTION_SIZE];
    splitIntoSlots(lookup(TEXT_MENUS, text), menuCaptions[0], MENU_CAPTION_SIZE, PACKED_CAPTION_COUNT);
    splitIntoSlots(TEXTS[TEXT_MENUS].defaultText, english[0], MENU_CAPTION_SIZE, PACKED_CAPTION_COUNT);
    for (size_t slot = 0; slot < PACKED_CAPTION_COUNT; ++slot) {
        cutAt(menuCaptions[slot], '~');
        // A field the translation lacks would leave its item blank.
        if (!menuCaptions[slot][0]) {
            lstrcpyA(menuCaptions[slot], english[slot]);
            cutAt(menuCaptions[slot], '~');
        }
    }
    for (size_t i = 0; i < MENU_CAPTION_COUNT - PACKED_CAPTION_COUNT; ++i)
        lstrcpynA(menuCaptions[PACKED_CAPTION_COUNT + i], lookup(OWN_CAPTION_TEXTS[i], text),
                  MENU_CAPTION_SIZE);
}

const char* menuCaption(MenuCaption slot) { return menuCaptions[slot]; }

DWORD exportDefaultTexts()
{
    // The UI file is the host's folder (up to MAX_PATH long) with "\ui\tordel.ui" added.
    char folder[2 * MAX_PATH];
    lstrcpynA(folder, uiFilePath(), sizeof folder);
    cutToFolder(folder);
    // A fresh installation may have no "ui" folder yet.
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(folder, nullptr);
    DWORD error = ERROR_SUCCESS;
    for (int id = 0; id < TEXT_COUNT; ++id)
        writeProfileValue("DEFAULT", textKey((TextId)id), defaultText((TextId)id), uiFilePath(), &error);
    flushProfile(uiFilePath(), &error);
    return error;
}
