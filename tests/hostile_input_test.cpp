// Hostile input for the add-in: translation files with over-long, unsplit
// and binary texts, odd project files and host records, resource lists the
// host got wrong, and paths at and beyond the platform's limit. Each row
// must leave the add-in alive, every buffer the host handed over or reads
// back within its bounds, and the files on disk intact.
#include "tests/test_support.h"

#include "settings/ui_text.h"

#include <commctrl.h>

#include <iostream>
#include <map>

using hostsim::Answer;
using testing_support::AddInTest;
using testing_support::env;
using testing_support::fileExists;
using testing_support::findMenuItem;
using testing_support::menuItemAt;
using testing_support::readIni;
using testing_support::toolPath;
using testing_support::writeIni;

namespace {

// ---- long paths: built through the wide functions, which take them ----

std::wstring widen(const std::string& s)
{
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), (int)s.size(), &w[0], n);
    return w;
}
std::wstring longForm(const std::string& path) { return L"\\\\?\\" + widen(path); }

void makeParents(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryW(longForm(path.substr(0, at)).c_str(), nullptr);
}

bool writeLong(const std::string& path, const std::string& bytes)
{
    makeParents(path);
    HANDLE f = CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    BOOL ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(f);
    return ok && done == bytes.size();
}

bool existsLong(const std::string& path)
{
    return GetFileAttributesW(longForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readLong(const std::string& path)
{
    HANDLE f = CreateFileW(longForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string data(GetFileSize(f, nullptr), '\0');
    DWORD done = 0;
    ReadFile(f, &data[0], (DWORD)data.size(), &done, nullptr);
    CloseHandle(f);
    return data.substr(0, done);
}

// base\ddd...\ddd\name with exactly total characters.
std::string pathOfLength(const std::string& base, size_t total, const std::string& name)
{
    std::string folder = base;
    const size_t folderLength = total - 1 - name.size();
    while (folder.size() < folderLength) {
        size_t room = folderLength - folder.size();  // for "\" and a segment
        size_t segment = room - 1 > 100 ? 100 : room - 1;
        if (room - (segment + 1) == 1)  // a lone "\" cannot end the folder
            --segment;
        folder += "\\" + std::string(segment, 'd');
    }
    std::string path = folder + "\\" + name;
    EXPECT_EQ(path.size(), total);
    return path;
}

const std::string& tempBase()
{
    static std::string base = hostsim::tempFolder("long");
    return base;
}

// ---- texts ----

// The original keys, the ones any translation may hold.
std::vector<const char*> originalKeys()
{
    std::vector<const char*> keys;
    for (size_t i = 0; i < testing_support::ORIGINAL_TEXT_COUNT; ++i)
        keys.push_back(testing_support::UI_TEXTS[i].first);
    return keys;
}
const std::vector<const char*> KEYS = originalKeys();

std::string pattern(const std::string& seed, size_t n)
{
    std::string s;
    for (size_t i = 0; s.size() < n; ++i)
        s += seed + std::to_string(i) + "-";
    return s.substr(0, n);
}

std::string joinFields(const std::vector<std::string>& fields)
{
    std::string s;
    for (size_t i = 0; i < fields.size(); ++i)
        s += (i ? "^" : "") + fields[i];
    return s;
}

// The numbered fields key0, key1, ... keyN-1, joined by sep.
std::string numbered(const std::string& key, int count, char sep)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += (i ? std::string(1, sep) : "") + key + std::to_string(i);
    return s;
}

// What the user sees of a stored UI file.
struct Shown {
    std::string name, description;
    std::vector<std::string> menus;        // the five captions of "mn", without shortcuts
    std::string message, caption, status;  // the f3 box text, its f2 caption, the s4 status text
    std::string ok, cancel;                // the setup dialog's buttons
};

// Every value is read up to its first NUL and cut to 255 characters; a
// caption then to its slot (63 characters for menus, 15 for buttons).
struct TextRow {
    const char* label;
    std::vector<std::pair<std::string, std::string>> values;  // key, stored bytes
    Shown shown;
};

std::vector<TextRow> textRows()
{
    std::vector<TextRow> rows;
    TextRow huge{"10,000-character values", {}};
    for (const char* key : KEYS) {
        if (!lstrcmpA(key, "mn"))
            huge.values.push_back(
                {key, joinFields({pattern("a", 2000), pattern("b", 2000), pattern("c~", 2000),
                                  pattern("d", 2000), pattern("e", 2000)})});
        else if (!lstrcmpA(key, "ok"))
            huge.values.push_back({key, joinFields({pattern("O", 2500), pattern("C", 2500),
                                                    pattern("Y", 2500), pattern("N", 2499)})});
        else
            huge.values.push_back({key, pattern(key, 10000)});
    }
    huge.shown = {
        pattern("fn", 255),
        pattern("ds", 255),
        {pattern("a", 63), "BATCH compilation", "Redirect OUT", "Execute first BAT", "Execute ASM as BAT"},
        pattern("f3", 255),
        pattern("f2", 255),
        pattern("s4", 255),
        pattern("O", 15),
        ""};
    rows.push_back(huge);

    TextRow unsplit{"no '^' at all", {}};
    for (const char* key : KEYS)
        unsplit.values.push_back({key, pattern(std::string(key) + "~", 10000)});
    unsplit.shown = {pattern("fn~", 255),
                     pattern("ds~", 255),
                     // What follows a '~' is left out; missing fields show in English.
                     {"mn", "BATCH compilation", "Redirect OUT", "Execute first BAT", "Execute ASM as BAT"},
                     pattern("f3~", 255),
                     pattern("f2~", 255),
                     pattern("s4~", 255),
                     pattern("ok~", 15),
                     ""};
    rows.push_back(unsplit);

    TextRow carets{"50 '^'", {}};
    for (const char* key : KEYS) {
        std::vector<std::string> fields;
        for (int i = 0; i <= 50; ++i)
            fields.push_back(std::string(key) + std::to_string(i));
        carets.values.push_back({key, joinFields(fields)});
    }
    carets.shown = {numbered("fn", 51, '^').substr(0, 255),
                    numbered("ds", 51, '^').substr(0, 255),
                    {"mn0", "mn1", "mn2", "mn3", "mn4"},
                    numbered("f3", 51, '\r').substr(0, 255),
                    numbered("f2", 51, '^').substr(0, 255),
                    numbered("s4", 51, '^').substr(0, 255),
                    "ok0",
                    "ok1"};
    rows.push_back(carets);

    TextRow binary{"binary bytes, NUL included", {}};
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n' && b != '^')
            bytes += (char)b;
    binary.values.push_back({"fn", bytes});
    binary.values.push_back({"ds", std::string("before\0after", 12)});
    binary.values.push_back({"mn", std::string("M0^M1\0M1 rest^M2^M3^M4", 22)});
    binary.values.push_back({"ok", std::string("\x01\x02^\x7f\x80\xff^\x1a^\t", 11)});
    binary.values.push_back({"f3", std::string("before\x1a"
                                               "after EOF char^\x08\x07",
                                               24)});
    binary.values.push_back({"s4", std::string(300, '\xff')});
    binary.shown = {bytes,
                    "before",
                    {"M0", "M1", "Redirect OUT", "Execute first BAT", "Execute ASM as BAT"},
                    std::string("before\x1a"
                                "after EOF char\r\x08\x07"),
                    "Compilation not allowed!",
                    std::string(255, '\xff'),
                    "\x01\x02",
                    "\x7f\x80\xff"};
    rows.push_back(binary);
    return rows;
}

class HostileTextTest : public AddInTest {};

UINT_PTR itemData(HMENU menu, UINT id, bool byPosition = false)
{
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA;
    GetMenuItemInfoA(menu, id, byPosition, &info);
    return info.dwItemData;
}

TEST_F(HostileTextTest, TranslationsOfEveryShapeStayInsideTheirBuffers)
{
    for (const TextRow& row : textRows()) {
        SCOPED_TRACE(row.label);
        TearDown();
        SetUp();
        std::string file = "[Hostile]\r\n";
        for (const auto& kv : row.values)
            file += kv.first + "=" + kv.second + "\r\n";
        file += "d3=after the binary lines\r\n";
        CreateDirectoryA(inst.uiDir.c_str(), nullptr);
        ASSERT_TRUE(hostsim::writeFile(inst.uiFile, file));
        setLanguage("Hostile");
        std::string project = makeProject("FASM");
        load();
        host->openProject(project);

        // Name and description: into host buffers of 256 bytes between guard bytes.
        std::vector<char> buffers(2 * (32 + 256 + 32), (char)0xA5);
        char* name = &buffers[32];
        char* description = &buffers[32 + 256 + 32 + 32];
        LRESULT length = host->getData(name, description);
        for (size_t i = 0; i < buffers.size(); ++i) {
            bool inName = i >= 32 && i < 32 + 256, inDesc = i >= 352 && i < 352 + 256;
            if (!inName && !inDesc)
                ASSERT_EQ((unsigned char)buffers[i], 0xA5u) << "guard byte " << i << " overwritten";
        }
        EXPECT_EQ(std::string(name), row.shown.name);
        EXPECT_EQ(std::string(description), row.shown.description);
        EXPECT_EQ(length, lstrlenA(description));

        // The captions, read where the host reads them: through the item data
        // of the owner-drawn items, which point into the add-in, and the
        // popup's item texts, each with its shortcut.
        HMENU owner;
        int at;
        ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
        MENUITEMINFOA popupItem = menuItemAt(owner, at - 1);
        MENUITEMINFOA assembleItem = {};
        assembleItem.cbSize = sizeof assembleItem;
        assembleItem.fMask = MIIM_DATA | MIIM_ID;
        ASSERT_TRUE(GetMenuItemInfoA(host->mainMenu(), assembleCurrentId(), FALSE, &assembleItem));
        ASSERT_EQ(row.shown.menus.size(), 5u);
        for (const char* data : {(const char*)assembleItem.dwItemData, (const char*)popupItem.dwItemData})
            ASSERT_NE(memchr(data, 0, MENU_CAPTION_SIZE), nullptr) << "caption without terminator";
        EXPECT_EQ(std::string((const char*)assembleItem.dwItemData), row.shown.menus[0]);
        EXPECT_EQ(std::string((const char*)popupItem.dwItemData), row.shown.menus[1]);
        const char* keys[] = {"\tShift+Ctrl+R", "\tShift+Ctrl+G", "\tShift+Ctrl+A"};
        for (int i = 2; i < 5; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(testing_support::menuText(popupItem.hSubMenu,
                                                GetMenuItemID(popupItem.hSubMenu, i == 2 ? 0 : i - 1)),
                      row.shown.menus[(size_t)i] + keys[i - 2]);
        }

        // A message box (f3, caption f2) and a status text (s4), all cut to 255.
        host->answer(Answer::press(IDOK));
        host->command(assembleItem.wID);
        ASSERT_EQ(host->dialogs.size(), 1u);
        EXPECT_EQ(host->dialogs[0].text, row.shown.message);
        EXPECT_EQ(host->dialogs[0].caption, row.shown.caption);
        host->command(GetMenuItemID(popupItem.hSubMenu, 0));
        EXPECT_EQ(host->statusText(4), row.shown.status);

        // The setup dialog's buttons: slots of 16 bytes.
        std::string okText, cancelText;
        host->answer(Answer::run([&](HWND dialog) {
            char text[256];
            GetDlgItemTextA(dialog, IDOK, text, sizeof text);
            okText = text;
            GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
            cancelText = text;
            SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
        }));
        host->config(&host->handles, 0);
        EXPECT_EQ(okText, row.shown.ok);
        EXPECT_EQ(cancelText, row.shown.cancel);
        EXPECT_EQ(host->unexpectedDialogs, 0);
        // The UI file is read, never written.
        EXPECT_EQ(hostsim::readFile(inst.uiFile), file);
        std::cout << "[" << row.label << "] name=" << std::string(name).substr(0, 40)
                  << " description=" << description << " ok=" << okText << " cancel=" << cancelText << "\n";
    }
}

// The language name is read into 60 bytes: a name of 500 characters is
// cut to its first 59, and that section is the one whose texts show. No
// section of the whole name is ever read.
TEST_F(HostileTextTest, LanguageNameOfFiveHundredCharactersIsCutToFiftyNine)
{
    std::string language = pattern("Lang", 500);
    setLanguage(language.c_str());
    translate(language.c_str(), "fn", "Whole name");
    translate(language.substr(0, 59).c_str(), "fn", "First 59 characters");
    translate(language.substr(0, 59).c_str(), "mn", "A^B^C~X^D^E");
    load();
    char name[256], description[256];
    host->getData(name, description);
    EXPECT_STREQ(name, "First 59 characters");
    // Switching to it and back renames the items and keeps each shortcut once.
    size_t entries = host->accelerators().size();
    host->changeLanguage("Other");
    host->changeLanguage(language);
    host->getData(name, description);
    EXPECT_STREQ(name, "First 59 characters");
    EXPECT_EQ(host->accelerators().size(), entries);
    HMENU owner;
    int at;
    ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
    HMENU popup = menuItemAt(owner, at - 1).hSubMenu;
    EXPECT_EQ(testing_support::menuText(popup, GetMenuItemID(popup, 0)), "C\tShift+Ctrl+R");
}

// ---- project files and host records ----

TEST_F(AddInTest, OddProjectFilesLeaveTheAddInPassive)
{
    struct Row {
        const char* label;
        std::string content;  // "<none>": no file at all
        std::string status;
    } rows[] = {
        {"no PROJECT section", "[OTHER]\r\nCompiler=FASM\r\n", "MASM"},
        {"PROJECT without Compiler", "[PROJECT]\r\nName=x\r\n", "MASM"},
        {"1,000-character Compiler", "[PROJECT]\r\nCompiler=" + pattern("C", 1000) + "\r\n",
         pattern("C", 1000).substr(0, 126)},
        {"FASM followed by 996 characters", "[PROJECT]\r\nCompiler=FASM" + std::string(996, 'x') + "\r\n",
         "FASM" + std::string(122, 'x')},
        {"binary file", std::string("\0\x01\xff[PROJECT\0]\r\nCompiler=\0FASM\r\n", 29), "MASM"},
        {"no file", "<none>", "MASM"},
    };
    load();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        std::string folder = hostsim::tempFolder("odd");
        std::string file = folder + "\\odd.prj";
        if (row.content != "<none>")
            ASSERT_TRUE(hostsim::writeFile(file, row.content));
        host->openProject(file);
        EXPECT_EQ(host->statusText(4), row.status);
        host->hostCommands.clear();
        EXPECT_EQ(host->command(HC_ASSEMBLE), 0);
        EXPECT_EQ(host->hostCommands, std::vector<UINT>{HC_ASSEMBLE});
        if (row.content != "<none>")
            EXPECT_EQ(hostsim::readFile(file), row.content);
        else
            EXPECT_FALSE(fileExists(file));
    }
}

TEST_F(AddInTest, NullProjectFieldsAreEmptyTexts)
{
    std::string project = makeProject("FASM");
    setAssembler(toolPath("childproc.exe"));
    load();
    host->openProject(project, nullptr, nullptr);
    // The quoted source is a childproc step that proves the child ran.
    host->openChild("out:ran", FILE_TYPE_ASSEMBLY, "");
    EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
    EXPECT_EQ(host->outputText(), "\r\n" + toolPath("childproc.exe") + " \"out:ran\" \r\n\r\nran");
    EXPECT_EQ(host->command(HC_BUILD), 1);
    EXPECT_EQ(host->outputText(), "\r\n" + toolPath("childproc.exe") + " \"out:ran\" \r\n\r\nran");

    // A record whose project file field is null although the host says a
    // project is open: passive, and the export of rc.inc writes nothing.
    setKeepRc("1");
    host->unloadAddIn();
    load();
    host->openProject(project);
    host->projectInfo().field[PROJECT_FIELD_PROJECT_FILE] = nullptr;
    host->frameMessage(HN_PROJECT_CHANGED, 0, 0);
    EXPECT_EQ(host->statusText(4), "MASM");
    host->setResourceScript((hostsim::tempFolder("nullfield") + "\\app.rc").c_str());
    host->setDefinitions({{"IDD_MAIN", 100}});
    EXPECT_EQ(host->command(HC_EXPORT_RESOURCE_DEFINITIONS), 1);
    EXPECT_EQ(host->command(HC_ASSEMBLE), 0);
    EXPECT_TRUE(host->dialogs.empty());
}

// ---- output lines with brackets anywhere ----

TEST_F(AddInTest, BracketsInEveryPositionOfAnOutputLine)
{
    load();
    const std::string source = "C:\\src dir\\main file.asm: error x";
    const size_t width = source.size();
    struct Line {
        std::string text;
        LRESULT result;
        std::string name;  // the document that must get the mark
        int index;
    };
    std::vector<Line> lines;
    for (size_t p = 0; p <= width; ++p) {
        std::string before = source.substr(0, p), after = source.substr(p);
        std::string name = p > 0 ? before.substr(0, p - 1) : "";
        lines.push_back({before + "[7]" + after, 1, name, 6});
        lines.push_back({before + "[]" + after, 1, name, -1});
        lines.push_back({before + "[", 0, "", 0});
        lines.push_back({before + "[7" + after, after.empty() || (after[0] != ']') ? 0 : 1, "", 0});
        lines.push_back({before + "]" + after, 0, "", 0});
        lines.push_back({before + "[[7]" + after, 0, "", 0});
    }
    std::string all;
    for (const Line& l : lines)
        all += l.text + "\r\n";
    host->setOutputText(all);
    std::map<std::string, HWND> documents;
    for (const Line& l : lines)
        if (l.result == 1 && !l.name.empty() && !documents.count(l.name))
            documents[l.name] =
                host->openChild(l.name, FILE_TYPE_ASSEMBLY, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n");
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        SCOPED_TRACE(l.text);
        std::map<HWND, size_t> eventsBefore;
        for (const auto& d : documents)
            eventsBefore[d.second] = host->editorEvents(d.second).size();
        EXPECT_EQ(host->doubleClickOutputLine((int)i), l.result);
        EXPECT_EQ(host->highlightedOutputLine(), l.result ? (int)i : -1);
        for (const auto& d : documents) {
            const std::vector<hostsim::EditorEvent>& events = host->editorEvents(d.second);
            bool marked = events.size() > eventsBefore[d.second];
            EXPECT_EQ(marked, l.result == 1 && d.first == l.name) << d.first;
            if (marked) {
                EXPECT_EQ(events.back().message, (UINT)HEM_SETLINEMARK);
                EXPECT_EQ((int)events.back().wParam, l.index);
                if (l.index >= 0)
                    EXPECT_EQ(host->caretLine(d.second), l.index);
                EXPECT_EQ(host->activeChild(), d.second);
            }
        }
    }
    EXPECT_EQ(host->outputText(), all.substr(0, all.size()));
}

// Names in output lines that no file can have, or that reach a device, a
// pipe or a server when opened: an open document with the same file name
// makes the add-in look at each, and none may be opened as a file, match,
// or stop the click from being handled.
TEST_F(AddInTest, OutputLinesNamingDevicesPipesAndNoFile)
{
    load();
    std::string project = makeProject("FASM", "devices");
    std::string folder = project.substr(0, project.rfind('\\'));
    host->openProject(project);
    const char* names[] = {"x.asm", "COM1", "aux.asm", "nul.asm", "con", "a.asm"};
    std::vector<HWND> documents;
    for (const char* name : names) {
        std::string path = folder + "\\" + name;
        hostsim::writeFile(path, "1\r\n2\r\n3\r\n");  // fails for the device names, as it should
        documents.push_back(host->openChild(path, FILE_TYPE_ASSEMBLY, "1\r\n2\r\n3\r\n"));
    }
    std::vector<std::string> lines = {
        "COM1 [1]:",
        "aux.asm [1]:",
        "NUL.asm [1]:",
        "CON [1]:",
        "\\\\.\\COM1 [1]:",
        "\\\\.\\pipe\\x.asm [1]:",
        "\\\\?\\" + folder + "\\X.ASM [1]:",  // the file itself, but through the device namespace
        "\\\\nosuchserver\\share\\x.asm [1]:",
        "*.asm [1]:",
        "?.asm [1]:",
        "x.asm:stream [1]:",
        "\"x.asm\" [1]:",
        std::string(240, 'd') + "\\x.asm [1]:",  // made absolute, longer than a path may be
        "..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x.asm [1]:",
    };
    std::string all;
    for (const std::string& l : lines)
        all += l + "\r\n";
    host->setOutputText(all);
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        std::vector<size_t> before;
        for (HWND d : documents)
            before.push_back(host->editorEvents(d).size());
        EXPECT_EQ(host->doubleClickOutputLine((int)i), 1);
        EXPECT_EQ(host->highlightedOutputLine(), (int)i);
        for (size_t d = 0; d < documents.size(); ++d)
            EXPECT_EQ(host->editorEvents(documents[d]).size(), before[d]) << names[d];
    }
    EXPECT_TRUE(host->dialogs.empty());
    // The same file by its plain name is still found.
    host->setOutputText("X.ASM [2]:");
    EXPECT_EQ(host->doubleClickOutputLine(0), 1);
    EXPECT_EQ(host->caretLine(documents[0]), 1);
    EXPECT_EQ(host->activeChild(), documents[0]);
}

// An error message below thousands of lines with no blank line and no
// heading: only the lines within reach are read, and the click is refused.
TEST_F(AddInTest, ErrorMessageBelowALongBlockWithoutAPlace)
{
    load();
    HWND doc = host->openChild("C:\\src\\far.asm", FILE_TYPE_ASSEMBLY, "1\r\n2\r\n");
    std::string text = "C:\\src\\far.asm [1]:\r\n";
    for (int i = 0; i < 5000; ++i)
        text += "  line [" + std::to_string(i) + "] echoed\r\n";
    text += "error: far below.";
    host->setOutputText(text);
    EXPECT_EQ(host->doubleClickOutputLine(5001), 0);
    EXPECT_TRUE(host->editorEvents(doc).empty());
    EXPECT_EQ(host->highlightedOutputLine(), -1);
}

// ---- resource lists and rc.inc targets ----

class HostileRcTest : public AddInTest {
protected:
    std::string folder, script, rcInc;
    const std::string previous = "OLD equ 1\r\n";

    void SetUp() override
    {
        AddInTest::SetUp();
        setKeepRc("1");
        std::string project = makeProject("FASM");
        folder = project.substr(0, project.rfind('\\'));
        script = folder + "\\app.rc";
        rcInc = folder + "\\rc.inc";
        load();
        host->openProject(project);
        host->setResourceScript(script.c_str());
    }
    // The failure names the file and, where the system failed, its reason.
    void expectFailureShown(const std::string& path, const std::string& reason)
    {
        ASSERT_EQ(host->dialogs.size(), 1u);
        EXPECT_EQ(host->dialogs[0].text,
                  "Failed exporting rc.inc\r" + path + (reason.empty() ? "" : "\r" + reason));
        EXPECT_EQ(host->unexpectedDialogs, 0);
        host->dialogs.clear();
    }
};

TEST_F(HostileRcTest, NameWithoutTerminatorIsCutAtSixtyFourCharacters)
{
    std::string full = pattern("N", 80);
    host->setDefinitions({{full, 42}, {"NEXT", -7}});
    host->answer(Answer::press(IDOK));
    EXPECT_EQ(host->command(HC_EXPORT_RESOURCE_DEFINITIONS), 1);
    EXPECT_EQ(hostsim::readFile(rcInc), full.substr(0, 64) + " equ 42\r\nNEXT equ -7\r\n");
    ASSERT_EQ(host->dialogs.size(), 1u);
    EXPECT_EQ(host->dialogs[0].text, "Resources definitions exported into rc.inc");
}

// A null list start is no list at all (the host has not read the script
// yet, or lost it): the previous rc.inc, which the sources include, must
// survive, and the user is told the export failed.
TEST_F(HostileRcTest, NullListKeepsThePreviousFile)
{
    ASSERT_TRUE(hostsim::writeFile(rcInc, previous));
    host->setNullDefinitions();
    host->answer(Answer::press(IDOK));
    EXPECT_EQ(host->command(HC_EXPORT_RESOURCE_DEFINITIONS), 1);
    expectFailureShown(rcInc, "");  // no list is no error of the system's
    EXPECT_EQ(hostsim::readFile(rcInc), previous)
        << "rc.inc was emptied by a null list and reported as failed";
}

TEST_F(HostileRcTest, TargetsThatCannotBeReplacedKeepTheirContent)
{
    host->setDefinitions({{"IDD_MAIN", 100}});
    struct Row {
        const char* label;
        std::function<void()> arrange, release;
        std::function<void()> check;
        std::string path;  // the file the message names
        const char* reason;
    };
    HANDLE lock = INVALID_HANDLE_VALUE;
    std::string vanished = folder + "\\gone";
    Row rows[] = {
        {"read-only rc.inc",
         [&] {
             hostsim::writeFile(rcInc, previous);
             SetFileAttributesA(rcInc.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         [&] { SetFileAttributesA(rcInc.c_str(), FILE_ATTRIBUTE_NORMAL); },
         [&] { EXPECT_EQ(hostsim::readFile(rcInc), previous); }, rcInc, "Access denied."},
        {"rc.inc held open without sharing",
         [&] {
             hostsim::writeFile(rcInc, previous);
             lock = CreateFileA(rcInc.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
             ASSERT_NE(lock, INVALID_HANDLE_VALUE);
         },
         [&] { CloseHandle(lock); }, [&] { EXPECT_EQ(hostsim::readFile(rcInc), previous); }, rcInc,
         "Access denied."},
        {"rc.inc is a folder", [&] { CreateDirectoryA(rcInc.c_str(), nullptr); },
         [&] { RemoveDirectoryA(rcInc.c_str()); },
         [&] { EXPECT_TRUE(GetFileAttributesA(rcInc.c_str()) & FILE_ATTRIBUTE_DIRECTORY); }, rcInc,
         "Access denied."},
        {"resource script's folder vanished",
         [&] { host->setResourceScript((vanished + "\\app.rc").c_str()); },
         [&] { host->setResourceScript(script.c_str()); }, [&] { EXPECT_FALSE(fileExists(vanished)); },
         vanished + "\\rc.inc", "Path not found."},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.label);
        row.arrange();
        host->answer(Answer::press(IDOK));
        EXPECT_EQ(host->command(HC_EXPORT_RESOURCE_DEFINITIONS), 1);
        expectFailureShown(row.path, row.reason);
        row.release();
        row.check();
        EXPECT_FALSE(fileExists(rcInc.substr(0, rcInc.size() - 1) + "~"));
        DeleteFileA(rcInc.c_str());
    }
}

// ---- paths at and beyond the limit ----

const char PROBE_VARIABLE[] = "TORDEL_HOSTILE_PROBE";  // "dll|result file", in probe mode

std::string selfPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// Inside a host EXE placed at a chosen path: loads the add-in and writes
// what it saw to the result file.
TEST(HostileProbe, LoadInsideTheHost)
{
    std::string probe = env(PROBE_VARIABLE);
    if (probe.empty())
        GTEST_SKIP() << "runs only as the host of a laid-out installation";
    std::string dll = probe.substr(0, probe.find('|')), result = probe.substr(probe.find('|') + 1);
    hostsim::Host host;
    bool loaded = host.loadAddIn(dll);
    DWORD error = GetLastError();
    char name[256] = "", description[256] = "";
    if (loaded)
        host.getData(name, description);
    std::string line = loaded ? std::string("loaded name=") + name : "refused error=" + std::to_string(error);
    hostsim::writeFile(result, line);
}

// Runs the probe from a copy of this EXE at hostExe; returns what it wrote.
std::string runProbe(const std::string& hostExe)
{
    std::string folder = hostsim::tempFolder("probe");
    std::string dll = folder + "\\tordel.dll", result = folder + "\\result.txt";
    EXPECT_TRUE(CopyFileA(env("TORDEL_DLL").c_str(), dll.c_str(), FALSE));
    makeParents(hostExe);
    if (!CopyFileW(longForm(selfPath()).c_str(), longForm(hostExe).c_str(), FALSE))
        return "cannot copy the host EXE: error " + std::to_string(GetLastError());
    SetEnvironmentVariableA(PROBE_VARIABLE, (dll + "|" + result).c_str());
    std::wstring command = L"\"" + widen(hostExe) + L"\" --gtest_filter=HostileProbe.* --gtest_brief=1";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process);
    DWORD startError = GetLastError();
    SetEnvironmentVariableA(PROBE_VARIABLE, nullptr);
    if (!started)
        return "host EXE cannot start: error " + std::to_string(startError);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 255);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return hostsim::readFile(result);
}

TEST(HostilePaths, HostExecutableAtTheLimitAndBeyond)
{
    struct Row {
        size_t length;
        const char* expected;  // how the result starts
    } rows[] = {
        // The host INI fits; the UI file behind it does not, so the texts are the built-in ones.
        {259, "loaded name=FASM support 0.8"},
        // The module path comes back cut, and the add-in refuses to load
        // (error 1114) rather than use settings files that are not its host's.
        {300, "refused error=1114"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        std::string exe = pathOfLength(tempBase(), row.length, "host.exe");
        std::string result = runProbe(exe);
        std::cout << row.length << "-character host EXE: " << result << "\n";
        // Wine starts no program by a path beyond MAX_PATH: 32-bit Wine says
        // error 2, 64-bit Wine error 3. The add-in is never asked to load then.
        if (row.length > MAX_PATH &&
            (result == "host EXE cannot start: error 2" || result == "host EXE cannot start: error 3")) {
            std::cout << "  this system cannot start a program by a " << row.length
                      << "-character path, so the add-in's refusal is not reached here\n";
            continue;
        }
        EXPECT_EQ(result.rfind(row.expected, 0), 0u) << result;
    }
}

class HostilePathTest : public AddInTest {};

TEST_F(HostilePathTest, AddInFolderAtTheLimitAndBeyond)
{
    // 259: the DLL loads, but its settings file beside it would be longer
    // than any path the profile functions take. OK must say so, not close as saved.
    std::string dll259 = pathOfLength(tempBase(), 259, "tordel.dll");
    makeParents(dll259);
    ASSERT_TRUE(CopyFileW(longForm(env("TORDEL_DLL")).c_str(), longForm(dll259).c_str(), FALSE));
    ASSERT_TRUE(host->loadAddIn(dll259));
    std::string settings = dll259.substr(0, dll259.rfind('\\')) + "\\ZIVevUde.Ini";
    std::string shown;
    bool stayedOpen = false;
    host->answer(Answer::run([&](HWND dialog) {
        SetDlgItemTextA(dialog, 1002, "C:\\fasm\\fasm.exe");
        SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);  // the error message comes and goes in here
        stayedOpen = IsWindowVisible(dialog) != 0;
        SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
    }));
    host->answer(Answer::press(IDOK));  // the error message, if there is one
    host->config(&host->handles, 0);
    // No settings file can have so long a name: the user is told in the
    // system's words, and the dialog stays open instead of closing as saved.
    EXPECT_EQ(settings.size(), 261u);
    EXPECT_FALSE(existsLong(settings));
    ASSERT_EQ(host->dialogs.size(), 2u);
    EXPECT_TRUE(host->dialogs[1].isMessageBox);
    EXPECT_EQ(host->dialogs[1].text.rfind("File name is too long.", 0), 0u) << host->dialogs[1].text;
    EXPECT_EQ(host->dialogs[1].caption, settings);
    EXPECT_TRUE(stayedOpen);
    host->unloadAddIn();

    // 300: not even a load by the wide function gets past the cut module path.
    std::string dll300 = pathOfLength(tempBase(), 300, "tordel.dll");
    makeParents(dll300);
    ASSERT_TRUE(CopyFileW(longForm(env("TORDEL_DLL")).c_str(), longForm(dll300).c_str(), FALSE));
    SetLastError(0);
    EXPECT_FALSE(LoadLibraryA(dll300.c_str()));
    DWORD errorA = GetLastError();
    HMODULE wide = LoadLibraryW(longForm(dll300).c_str());
    DWORD errorW = GetLastError();
    // The ANSI loader takes no such path; the wide one loads the file, and the
    // add-in refuses the attach rather than work with a cut module path.
    EXPECT_EQ(errorA, (DWORD)ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(wide, nullptr);
    EXPECT_EQ(errorW, (DWORD)ERROR_DLL_INIT_FAILED);
    if (wide)
        FreeLibrary(wide);
}

TEST_F(HostilePathTest, ProjectFileAtTheLimitAndBeyond)
{
    load();
    std::string normal = makeProject("MASM");
    for (size_t length : {259u, 300u}) {
        SCOPED_TRACE(length);
        host->openProject(normal);
        char before[MAX_PATH];
        GetCurrentDirectoryA(sizeof before, before);
        std::string file = pathOfLength(tempBase(), length, "p.prj");
        std::string content = "[PROJECT]\r\nCompiler=FASM\r\n";
        ASSERT_TRUE(writeLong(file, content));
        host->openProject(file);
        char now[MAX_PATH];
        GetCurrentDirectoryA(sizeof now, now);
        std::string folder = file.substr(0, file.rfind('\\'));
        // The compiler is read, through the short form of a name too long for
        // the profile functions.
        EXPECT_EQ(host->statusText(4), "FASM");
        // The project's folder becomes current (batch files run there, never
        // in the previous project's folder); a folder too long to be current
        // by its name becomes current by its short form.
        std::string expected = folder;
        if (folder.size() >= MAX_PATH) {
            wchar_t shortWide[MAX_PATH + 8];
            DWORD n = GetShortPathNameW(longForm(folder).c_str(), shortWide, MAX_PATH + 8);
            ASSERT_TRUE(n > 0 && n < MAX_PATH + 8);
            const wchar_t* plain = wcsncmp(shortWide, L"\\\\?\\", 4) == 0 ? shortWide + 4 : shortWide;
            char shortFolder[MAX_PATH];
            ASSERT_GT(
                WideCharToMultiByte(CP_ACP, 0, plain, -1, shortFolder, sizeof shortFolder, nullptr, nullptr),
                0);
            expected = shortFolder;
        }
        EXPECT_STRCASEEQ(now, expected.c_str()) << "the previous project's folder was " << before;
        EXPECT_EQ(readLong(file), content);
    }
}

TEST_F(HostilePathTest, SourcesAtTheLimitAndBeyond)
{
    std::string project = makeProject("FASM");
    std::string folder = project.substr(0, project.rfind('\\'));
    setAssembler(toolPath("childproc.exe"));
    load();
    // The quoted long source is no step childproc knows: it says so and
    // exits, which is enough to see the command line it was given.
    host->openProject(project, "", nullptr);
    for (size_t length : {259u, 300u}) {
        SCOPED_TRACE(length);
        std::string source = pathOfLength(tempBase(), length, "s.asm");
        ASSERT_TRUE(writeLong(source, "; source\r\n"));
        HWND child = host->openChild(source, FILE_TYPE_ASSEMBLY, "a\r\nb\r\nc\r\nd\r\n");
        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
        std::string out = host->outputText();
        EXPECT_EQ(out.rfind("\r\n" + toolPath("childproc.exe") + " \"" + source + "\" \r\n\r\n", 0), 0u)
            << out;

        // Its error line is longer than the 255 characters a double-click reads.
        host->setOutputText(source + " [3]: error: x\r\n");
        EXPECT_EQ(host->doubleClickOutputLine(0), 0);
        for (const hostsim::EditorEvent& e : host->editorEvents(child))
            EXPECT_NE(e.message, (UINT)HEM_SETLINEMARK);

        // Execute ASM as BAT: a batch path beyond the limit is refused with a message.
        HMENU owner;
        int at;
        ASSERT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
        HMENU popup = menuItemAt(owner, at - 1).hSubMenu;
        host->dialogs.clear();
        host->answer(Answer::press(IDNO));
        EXPECT_EQ(host->command(GetMenuItemID(popup, 3)), 1);
        ASSERT_EQ(host->dialogs.size(), 1u);
        EXPECT_EQ(host->dialogs[0].caption, source);
        if (length >= MAX_PATH) {
            host->dialogs.clear();
            host->answer(Answer::press(IDYES));
            host->answer(Answer::press(IDOK));
            EXPECT_EQ(host->command(GetMenuItemID(popup, 3)), 1);
            ASSERT_EQ(host->dialogs.size(), 2u);
            EXPECT_EQ(host->dialogs[1].text.rfind("File name is too long.", 0), 0u) << host->dialogs[1].text;
            EXPECT_FALSE(existsLong(source.substr(0, source.size() - 4) + ".bat"));
        }
        EXPECT_EQ(host->unexpectedDialogs, 0);
        host->closeChild(child);
        EXPECT_EQ(readLong(source), "; source\r\n");
    }
}

// The stored path is read into 256 bytes. Read back cut it could name
// another program (the system even adds ".exe": a 259-character path cut to
// 255 that ends in "\\fasm" still starts fasm.exe, by luck). A path that
// does not fit counts as none: the user is asked for one, and the setup
// dialog shows an empty edit rather than a cut path it would store on OK.
TEST_F(HostilePathTest, AssemblerPathAtTheLimitAndBeyond)
{
    std::string project = makeProject("FASM");
    for (size_t length : {255u, 259u, 300u}) {
        SCOPED_TRACE(length);
        std::string assembler = pathOfLength(tempBase(), length, "fasm.exe");
        makeParents(assembler);
        CopyFileW(longForm(env("TORDEL_TOOLS") + "\\childproc.exe").c_str(), longForm(assembler).c_str(),
                  FALSE);
        setAssembler(assembler);
        host.reset(new hostsim::Host());
        load();
        host->openProject(project, "", nullptr);
        host->openChild("out:ran", FILE_TYPE_ASSEMBLY, "");
        std::string editText = "<not opened>";
        if (length >= 256) {
            host->answer(Answer::press(IDYES));
            host->answer(Answer::run([&](HWND dialog) {
                char text[1024];
                GetDlgItemTextA(dialog, 1002, text, sizeof text);
                editText = text;
                SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
            }));
            host->answer(Answer::press(IDNO));
        }
        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
        std::string out = host->outputText();
        if (length < 256) {
            EXPECT_EQ(out, "\r\n" + assembler + " \"out:ran\" \r\n\r\nran");
            EXPECT_TRUE(host->dialogs.empty());
        } else {
            ASSERT_EQ(host->dialogs.size(), 3u);
            EXPECT_EQ(host->dialogs[0].text, "No path to FASM specified!\rDo you wish specify?");
            EXPECT_EQ(editText, "");
            EXPECT_EQ(out, "");
        }
        EXPECT_EQ(host->unexpectedDialogs, 0);
        // The stored value is the user's; nothing rewrote it.
        EXPECT_EQ(readIni(inst.addInsIni, "FASM", "PATH"), assembler);
    }
}

class HostileScriptPathTest : public AddInTest {
protected:
    // Exports for a resource script of the given length; returns the message shown.
    std::string exportFor(size_t length, std::string* rcInc)
    {
        setKeepRc("1");
        std::string project = makeProject("FASM");
        load();
        host->openProject(project);
        host->setDefinitions({{"IDD_MAIN", 100}});
        std::string script = pathOfLength(tempBase(), length, "app.rc");
        EXPECT_TRUE(writeLong(script, "// rc\r\n"));
        *rcInc = script.substr(0, script.rfind('\\')) + "\\rc.inc";
        host->setResourceScript(script.c_str());
        host->answer(Answer::press(IDOK));
        EXPECT_EQ(host->command(HC_EXPORT_RESOURCE_DEFINITIONS), 1);
        EXPECT_EQ(readLong(script), "// rc\r\n");
        EXPECT_EQ(host->dialogs.size(), 1u);
        return host->dialogs.empty() ? "" : host->dialogs[0].text;
    }
};

TEST_F(HostileScriptPathTest, ResourceScriptBeyondTheLimitFailsVisibly)
{
    std::string rcInc;
    std::string text = exportFor(300, &rcInc);
    std::string script = rcInc.substr(0, rcInc.rfind('\\')) + "\\app.rc";
    EXPECT_EQ(text, "Failed exporting rc.inc\r" + script + "\rFile name is too long.");
    EXPECT_FALSE(existsLong(rcInc));
}

// rc.inc beside a 259-character resource script has 259 characters and fits,
// and so must the file the lines go to first.
TEST_F(HostileScriptPathTest, ResourceScriptAtTheLimitIsExported)
{
    std::string rcInc;
    EXPECT_EQ(exportFor(259, &rcInc), "Resources definitions exported into rc.inc");
    ASSERT_EQ(rcInc.size(), 259u);
    EXPECT_EQ(readLong(rcInc), "IDD_MAIN equ 100\r\n");
}

}  // namespace
