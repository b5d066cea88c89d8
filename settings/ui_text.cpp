// The translatable texts: a fixed table of keys and English defaults, looked
// up at each use in the UI file's section for the host's current language.
#include "settings/ui_text.h"

#include <shlwapi.h>

#include "core/text_core.h"
#include "settings/paths.h"

namespace {

enum : size_t {
    LANGUAGE_NAME_SIZE = 60,
    MENU_CAPTION_SIZE = 64,
    MENU_CAPTION_COUNT = 5,
};

char languageName[LANGUAGE_NAME_SIZE];
char menuCaptions[MENU_CAPTION_COUNT][MENU_CAPTION_SIZE];

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

namespace {

const char* formatTextInto(char* out, size_t size, TextId id, va_list arguments)
{
    char format[WORK_BUFFER_SIZE];
    lookup(id, format);
    if (!conversionsMatch(format, TEXTS[id].defaultText))
        lstrcpynA(format, TEXTS[id].defaultText, sizeof format);
    // The platform's formatter writes at most 1024 bytes; what it made is
    // cut to the caller's buffer.
    char made[LONG_TEXT_SIZE];
    wvsprintfA(made, format, arguments);
    lstrcpynA(out, made, (int)size);
    return out;
}

}  // namespace

const char* formatText(char* out, TextId id, ...)
{
    va_list arguments;
    va_start(arguments, id);
    formatTextInto(out, WORK_BUFFER_SIZE, id, arguments);
    va_end(arguments);
    return out;
}

const char* formatLongText(char* out, TextId id, ...)
{
    va_list arguments;
    va_start(arguments, id);
    formatTextInto(out, LONG_TEXT_SIZE, id, arguments);
    va_end(arguments);
    return out;
}

void loadMenuCaptions()
{
    char text[WORK_BUFFER_SIZE];
    splitIntoSlots(lookup(TEXT_MENUS, text), menuCaptions[0], MENU_CAPTION_SIZE, MENU_CAPTION_COUNT);
    for (char* caption : menuCaptions)
        replaceChar(caption, '~', '\t');
}

const char* menuCaption(MenuCaption slot) { return menuCaptions[slot]; }

DWORD exportDefaultTexts()
{
    // The UI file is the host's folder (up to MAX_PATH long) with "\ui\tordel.ui" added.
    char folder[2 * MAX_PATH];
    lstrcpynA(folder, uiFilePath(), sizeof folder);
    PathRemoveFileSpecA(folder);
    // A fresh installation may have no "ui" folder yet.
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(folder, nullptr);
    DWORD error = ERROR_SUCCESS;
    for (int id = 0; id < TEXT_COUNT; ++id)
        writeProfileValue("DEFAULT", textKey((TextId)id), defaultText((TextId)id), uiFilePath(), &error);
    flushProfile(uiFilePath(), &error);
    return error;
}
