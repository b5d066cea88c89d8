// The translatable texts as the host and the user see them: the add-in's
// name and description, and the menu captions, in the host's language.
#include "tests/test_support.h"

using testing_support::AddInTest;
using testing_support::findMenuItem;
using testing_support::menuItemAt;

namespace {

const char DEFAULT_NAME[] = "FASM support 0.8";
const char DEFAULT_DESCRIPTION[] = "Supports compilation using FASM or single BAT";

class TextTest : public AddInTest {
protected:
    std::string name, description;
    LRESULT descriptionLength = -1;

    void queryData()
    {
        char n[256], d[256];
        memset(n, 'x', sizeof n);
        memset(d, 'x', sizeof d);
        descriptionLength = host->getData(n, d);
        n[255] = d[255] = '\0';
        name = n;
        description = d;
    }

    // The menu captions as the host draws or shows them: the owner-drawn
    // items from their item data ("Assemble current", the popup, "Next
    // error", "Previous error"), the popup's items from their text.
    std::string makeMenuCaption(MakeMenuItem which)
    {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_DATA;
        UINT id = makeMenuItemId(which);
        if (!id || !GetMenuItemInfoA(host->mainMenu(), id, FALSE, &item) || !item.dwItemData)
            return "<absent>";
        return (const char*)item.dwItemData;
    }
    std::vector<std::string> menuCaptions()
    {
        std::vector<std::string> captions = {makeMenuCaption(ASSEMBLE_CURRENT_ITEM)};
        HMENU owner;
        int at;
        EXPECT_TRUE(findMenuItem(host->mainMenu(), HC_MENU_BEFORE_POPUP, &owner, &at));
        MENUITEMINFOA popupItem = menuItemAt(owner, at - 1);
        EXPECT_TRUE(popupItem.hSubMenu);
        captions.push_back(popupItem.dwItemData ? (const char*)popupItem.dwItemData : "<none>");
        for (int position : {0, 2, 3}) {
            char text[256] = "";
            GetMenuStringA(popupItem.hSubMenu, position, text, sizeof text, MF_BYPOSITION);
            captions.push_back(text);
        }
        captions.push_back(makeMenuCaption(NEXT_ERROR_ITEM));
        captions.push_back(makeMenuCaption(PREVIOUS_ERROR_ITEM));
        return captions;
    }

    void loadWithFasmProject()
    {
        load();
        host->openProject(makeProject("FASM"));
    }
};

TEST_F(TextTest, WithoutUiFileEveryTextIsTheBuiltInDefault)
{
    ASSERT_FALSE(testing_support::fileExists(inst.uiFile));
    setLanguage("Deutsch");
    loadWithFasmProject();
    queryData();
    EXPECT_EQ(name, DEFAULT_NAME);
    EXPECT_EQ(description, DEFAULT_DESCRIPTION);
    EXPECT_EQ(descriptionLength, (LRESULT)strlen(DEFAULT_DESCRIPTION));
    std::vector<std::string> expected = {"Assemble current",
                                         "BATCH compilation",
                                         "Redirect OUT\tShift+Ctrl+R",
                                         "Execute first BAT\tShift+Ctrl+G",
                                         "Execute ASM as BAT\tShift+Ctrl+A",
                                         "Next error\tF4",
                                         "Previous error\tShift+F4"};
    EXPECT_EQ(menuCaptions(), expected);
}

TEST_F(TextTest, LanguageSectionDefiningOnlyMenusLeavesOtherTextsAtDefault)
{
    setLanguage("Test");
    translate("Test", "mn", "A^B^C~X^D~Y^E~Z");
    translate("Test", "m1", "F");
    translate("Test", "m2", "G");
    loadWithFasmProject();
    // The shortcuts are the add-in's, whatever the fields name after their '~'.
    std::vector<std::string> expected = {
        "A", "B", "C\tShift+Ctrl+R", "D\tShift+Ctrl+G", "E\tShift+Ctrl+A", "F\tF4", "G\tShift+F4"};
    EXPECT_EQ(menuCaptions(), expected);
    queryData();
    EXPECT_EQ(name, DEFAULT_NAME);
    EXPECT_EQ(description, DEFAULT_DESCRIPTION);
}

TEST_F(TextTest, TranslatedNameAndDescriptionFollowTheHostLanguageAtEachQuery)
{
    setLanguage("Deutsch");
    translate("Deutsch", "fn", "FASM-Unterstützung");
    translate("Deutsch", "ds", "Übersetzen mit FASM");
    translate("English", "fn", "Plain");
    load();
    queryData();
    EXPECT_EQ(name, "FASM-Unterstützung");
    EXPECT_EQ(description, "Übersetzen mit FASM");
    EXPECT_EQ(descriptionLength, (LRESULT)description.size());
    // The language is read again at every query, without a notification.
    setLanguage("English");
    queryData();
    EXPECT_EQ(name, "Plain");
    EXPECT_EQ(description, DEFAULT_DESCRIPTION);
}

TEST_F(TextTest, EmptyValuesAndEmptyLanguageFallBackToDefaults)
{
    struct Case {
        const char* language;
        const char* section;
        const char* value;
        const char* expected;
    } cases[] = {
        {"Test", "Test", "", DEFAULT_NAME},            // present but empty
        {"", "", "Ignored", DEFAULT_NAME},             // section "" always gives the default
        {"Test", "Other", "Elsewhere", DEFAULT_NAME},  // missing section
        {"Test", "Test", "Named", "Named"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("language '") + c.language + "' value '" + c.value + "'");
        DeleteFileA(inst.uiFile.c_str());
        setLanguage(c.language);
        if (c.section[0])
            translate(c.section, "fn", c.value);
        if (!host->addIn())
            load();
        queryData();
        EXPECT_EQ(name, c.expected);
    }
}

TEST_F(TextTest, LanguageNameIsReadUpTo59Characters)
{
    std::string exact(59, 'L');
    std::string longer(75, 'L');
    translate(exact.c_str(), "fn", "Fifty-nine");
    load();
    for (const std::string& language : {exact, longer}) {
        SCOPED_TRACE(language.size());
        setLanguage(language.c_str());
        queryData();
        // A longer name is cut to its first 59 characters by the 60-byte buffer.
        EXPECT_EQ(name, "Fifty-nine");
    }
}

TEST_F(TextTest, OverlongAndMissingMenuFieldsStayInsideTheirSlots)
{
    std::string field63(63, 'm');
    std::string field64(64, 'n');
    std::string field300(300, 'o');
    // A field that is empty or missing shows the English caption.
    const char* E[] = {"Assemble current", "BATCH compilation", "Redirect OUT", "Execute first BAT",
                       "Execute ASM as BAT"};
    struct Case {
        std::string mn;
        std::vector<std::string> fields;
    } cases[] = {
        {field63 + "^" + field64 + "^C^D^E", {field63, field64.substr(0, 63), "C", "D", "E"}},
        {"Only one", {"Only one", E[1], E[2], E[3], E[4]}},
        {"1^2^3^4^5^6^7^8", {"1", "2", "3", "4", "5"}},
        // A value longer than the 255 characters one lookup reads.
        {field300, {field300.substr(0, 63), E[1], E[2], E[3], E[4]}},
        {"^^^^", {E[0], E[1], E[2], E[3], E[4]}},
        {"~x^~y^~z^^", {E[0], E[1], E[2], E[3], E[4]}},
    };
    setLanguage("Test");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mn.substr(0, 40));
        translate("Test", "mn", c.mn.c_str());
        host = std::make_unique<hostsim::Host>();
        loadWithFasmProject();
        std::vector<std::string> expected = c.fields;
        expected[2] += "\tShift+Ctrl+R";
        expected[3] += "\tShift+Ctrl+G";
        expected[4] += "\tShift+Ctrl+A";
        expected.push_back("Next error\tF4");
        expected.push_back("Previous error\tShift+F4");
        EXPECT_EQ(menuCaptions(), expected);
    }
}

// A format text is filled with numbers and texts; a translation that would
// read them differently is not used. Shown through the line that refuses a
// command line too long for process creation.
TEST_F(TextTest, TranslatedFormatsAreUsedOnlyWithTheDefaultsConversions)
{
    struct Case {
        const char* translation;  // r5 in [Deutsch]; nullptr: none
        const char* shown;        // the line, with the r3 text, the length and the limit filled in
    } cases[] = {
        {nullptr, "Creation process error: command line of 40000 characters, the limit is 32766."},
        {"%s: Befehlszeile mit %u Zeichen, erlaubt sind %u.",
         "Creation process error: Befehlszeile mit 40000 Zeichen, erlaubt sind 32766."},
        {"%.8s! %lu > %04u", "Creation! 40000 > 32766"},  // other widths, the same arguments
        {"100%% %s %u %u", "100% Creation process error 40000 32766"},
        // A number read as a text would crash, a missing one shows another
        // argument: both fall back to the English text.
        {"%s %s %s", "Creation process error: command line of 40000 characters, the limit is 32766."},
        {"%u: %s", "Creation process error: command line of 40000 characters, the limit is 32766."},
        {"%s %u %u %u", "Creation process error: command line of 40000 characters, the limit is 32766."},
        {"Zu lang: %", "Creation process error: command line of 40000 characters, the limit is 32766."},
    };
    std::string project = makeProject("FASM");
    std::string folder = project.substr(0, project.rfind('\\'));
    std::string source = folder + "\\main.asm";
    ASSERT_TRUE(hostsim::writeFile(source, "nop\r\n"));
    std::string assembler = testing_support::toolPath("fasm.exe");
    setAssembler(assembler);
    setLanguage("Deutsch");
    std::string prefix = assembler + " \"" + source + "\" ";
    std::string extra(40000 - prefix.size(), 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.translation ? c.translation : "(none)");
        DeleteFileA(inst.uiFile.c_str());
        if (c.translation)
            translate("Deutsch", "r5", c.translation);
        load();
        host->openProject(project, extra.c_str(), "");
        host->openChild(source, FILE_TYPE_ASSEMBLY, "nop\r\n");
        EXPECT_EQ(host->command(HC_ASSEMBLE), 1);
        EXPECT_EQ(host->outputText(), "\r\n" + std::string(c.shown) + "\r\n");
        host->unloadAddIn();
        host = std::make_unique<hostsim::Host>();
    }
}

TEST_F(TextTest, NullBuffersAreRefused)
{
    load();
    char buffer[256];
    EXPECT_EQ(host->getData(nullptr, buffer), 0);
    EXPECT_EQ(host->getData(buffer, nullptr), 0);
}

}  // namespace
