// The translatable texts: a fixed table of keys and English defaults, looked
// up at each use in the UI file's section for the host's current language.
#include "settings/ui_text.h"

#include "core/text_core.h"
#include "host/addin_state.h"
#include "settings/paths.h"

namespace {

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
    DWORD n =
        GetPrivateProfileStringA(g.languageName, e.key, e.defaultText, out, WORK_BUFFER_SIZE, uiFilePath());
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
    splitIntoSlots(lookup(TEXT_MENUS, text), g.menuCaptions[0], MENU_CAPTION_SIZE, MENU_CAPTION_COUNT);
    for (char* caption : g.menuCaptions)
        replaceChar(caption, '~', '\t');
}
