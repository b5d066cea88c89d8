// Unit tests of the Win32-free core, built natively under ASan and UBSan.
// Buffers handed to the code under test are heap blocks of the exact size the
// caller in the add-in would have, so a write or read one byte too far is an
// ASan report rather than a silent pass.

#include "core/command_line.h"
#include "core/accel_edit.h"
#include "core/assembler_answer.h"
#include "core/environment.h"
#include "core/line_parse.h"
#include "core/path_text.h"
#include "core/rc_format.h"
#include "core/run_output.h"
#include "core/text_core.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A heap block of exactly n bytes filled with a byte the code never writes by
// itself, so untouched bytes are recognisable.
std::unique_ptr<char[]> exactBlock(size_t n, char fill = '\x7f')
{
    std::unique_ptr<char[]> p(new char[n]);
    memset(p.get(), fill, n);
    return p;
}

// ---------------------------------------------------------------------------
// splitIntoSlots / replaceChar

struct SplitCase {
    const char* label;
    std::string text;
    size_t stride;
    int count;
    std::vector<std::string> fields;
};

std::string repeat(char c, size_t n) { return std::string(n, c); }

std::vector<SplitCase> splitCases()
{
    const std::string f15 = repeat('a', 15), f16 = repeat('b', 16), f63 = repeat('c', 63),
                      f64 = repeat('d', 64);
    return {
        {"button captions", "OK^Cancel^Yes^No", 16, 4, {"OK", "Cancel", "Yes", "No"}},
        {"too few separators", "OK^Cancel", 16, 4, {"OK", "Cancel", "", ""}},
        {"no separator", "OK", 16, 4, {"OK", "", "", ""}},
        {"too many separators", "a^b^c^d^e^f", 16, 4, {"a", "b", "c", "d"}},
        {"trailing separator", "a^b^c^d^", 16, 4, {"a", "b", "c", "d"}},
        {"empty text", "", 16, 4, {"", "", "", ""}},
        {"only separators", "^^^", 16, 4, {"", "", "", ""}},
        {"empty first field", "^Cancel^Yes^No", 16, 4, {"", "Cancel", "Yes", "No"}},
        {"15 characters fit a 16-byte slot", f15 + "^x", 16, 4, {f15, "x", "", ""}},
        {"16 characters are cut to 15", f16 + "^x", 16, 4, {repeat('b', 15), "x", "", ""}},
        {"long last field is cut", "a^b^c^" + f16, 16, 4, {"a", "b", "c", repeat('b', 15)}},
        {"long field in the middle", "a^" + f16 + "z^c", 16, 4, {"a", repeat('b', 15), "c", ""}},
        {"menu captions",
         "&Assemble^&Build^&Run^Rc.inc^Setup",
         64,
         5,
         {"&Assemble", "&Build", "&Run", "Rc.inc", "Setup"}},
        {"63 characters fit a 64-byte slot", f63 + "^" + f63, 64, 5, {f63, f63, "", "", ""}},
        {"64 characters are cut to 63",
         "m^" + f64 + "^" + f64,
         64,
         5,
         {"m", repeat('d', 63), repeat('d', 63), "", ""}},
        {"extra menu fields ignored", "1^2^3^4^5^6^7", 64, 5, {"1", "2", "3", "4", "5"}},
        {"one-byte slots hold only the terminator", "abc^def", 1, 3, {"", "", ""}},
        {"single slot stops at the first separator", "first^second", 16, 1, {"first"}},
    };
}

TEST(SplitIntoSlots, FieldsLandInTheirSlotsTerminatedAndCut)
{
    for (const SplitCase& c : splitCases()) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(c.fields.size(), (size_t)c.count);
        const size_t size = c.stride * (size_t)c.count;
        auto slots = exactBlock(size);
        EXPECT_EQ(c.count, splitIntoSlots(c.text.c_str(), slots.get(), c.stride, c.count));
        for (int i = 0; i < c.count; ++i) {
            SCOPED_TRACE("slot " + std::to_string(i));
            const char* slot = slots.get() + (size_t)i * c.stride;
            ASSERT_NE(nullptr, memchr(slot, '\0', c.stride)) << "no terminator inside the slot";
            EXPECT_EQ(c.fields[(size_t)i], std::string(slot));
        }
    }
}

TEST(SplitIntoSlots, StaleTextFromAnEarlierLanguageIsCleared)
{
    // The add-in splits a new language's texts over the previous ones.
    const size_t stride = 16;
    auto slots = exactBlock(stride * 4);
    splitIntoSlots("OK^Abbrechen^Ja^Nein", slots.get(), stride, 4);
    splitIntoSlots("OK^Cancel", slots.get(), stride, 4);
    EXPECT_STREQ("OK", slots.get());
    EXPECT_STREQ("Cancel", slots.get() + stride);
    EXPECT_STREQ("", slots.get() + 2 * stride);
    EXPECT_STREQ("", slots.get() + 3 * stride);
}

TEST(SplitIntoSlots, NothingIsWrittenWithoutSlots)
{
    auto slots = exactBlock(16);
    EXPECT_EQ(0, splitIntoSlots("a^b", slots.get(), 16, 0));
    EXPECT_EQ(0, splitIntoSlots("a^b", slots.get(), 0, 0));
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ('\x7f', slots[i]) << "byte " << i;
}

TEST(ReplaceChar, ReplacesEveryOccurrenceInPlace)
{
    struct Case {
        const char* text;
        char from, to;
        std::string expected;  // may contain NULs
    } cases[] = {
        {"a/b/c", '/', '\\', "a\\b\\c"},
        {"no match", 'x', 'y', "no match"},
        {"", 'a', 'b', ""},
        {"aaaa", 'a', 'b', "bbbb"},
        {"same", 's', 's', "same"},
        // File dialog filters are stored with '|' and need NULs, also where
        // two '|' follow each other to end the list.
        {"Source|*.asm|All|*.*||", '|', '\0', std::string("Source\0*.asm\0All\0*.*\0\0", 22)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const size_t n = strlen(c.text) + 1;
        auto buf = exactBlock(n);
        memcpy(buf.get(), c.text, n);
        replaceChar(buf.get(), c.from, c.to);
        EXPECT_EQ(c.expected, std::string(buf.get(), n - 1));
        EXPECT_EQ('\0', buf[n - 1]);
    }
}

// ---------------------------------------------------------------------------
// parseErrorLine

struct ParseCase {
    const char* label;
    std::string line;
    bool ok;
    std::string name;
    int32_t index;
};

TEST(TextsEqual, ExactBytesOnly)
{
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"FASM", "FASM", true},
        {"", "", true},
        {"FASM", "fasm", false},
        {"FASM", "FASM ", false},
        {"FAS", "FASM", false},
        {"C:\\src\\a\xAD"
         "b.asm",
         "C:\\src\\ab.asm", false},  // a soft hyphen is not ignorable here
        {"J\xDCrgen", "J\xDCrgen", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(textsEqual(c.a, c.b), c.equal);
        EXPECT_EQ(textsEqual(c.b, c.a), c.equal);
    }
}

// A translated format is used only when it reads the default's arguments.
TEST(ConversionsMatch, SameArgumentsInTheSameOrder)
{
    struct Case {
        const char* format;
        const char* reference;
        bool match;
    };
    const Case cases[] = {
        {"Error %lu", "Error %lu", true},
        {"Fehler %lu", "Error %lu", true},
        {"Fehler %u", "Error %lu", true},     // the same 32-bit number
        {"Fehler %08lX", "Error %lu", true},  // width and flags may differ
        {"Fehler %-5d!", "Error %lu", true},
        {"no number", "Error %lu", false},  // one argument fewer
        {"%lu %lu", "Error %lu", false},    // one more
        {"Fehler %s", "Error %lu", false},  // a number read as a text pointer
        {"%s: %u / %u", "%s: command line of %u characters, the limit is %u.", true},
        {"%u: %s / %u", "%s: command line of %u characters, the limit is %u.", false},
        {"100%% %lu", "Error %lu", true},  // a literal percent sign reads nothing
        {"%lu%%", "%lu", true},
        {"%lu %", "%lu", false},   // a lone '%' at the end
        {"%lu %q", "%lu", false},  // a conversion the platform does not know
        {"%.20s", "%s", true},
        {"%ls", "%s", true},
        {"%I64u", "%lu", false},  // 64 bits: would read two arguments
        {"", "", true},
        {"plain", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " / " + c.reference);
        EXPECT_EQ(conversionsMatch(c.format, c.reference), c.match);
    }
}

TEST(ParseErrorLine, NameAndIndexFromTheFirstBracket)
{
    const ParseCase cases[] = {
        {"colon separator", "C:\\src\\app.asm:[12] error: illegal instruction.", true, "C:\\src\\app.asm",
         11},
        {"separator is whatever precedes the bracket", "C:\\src\\app.asm [3]", true, "C:\\src\\app.asm", 2},
        {"without separator the last name character is lost", "C:\\src\\app.asm[12]", true, "C:\\src\\app.as",
         11},
        {"first line", "a.asm:[1]", true, "a.asm", 0},
        {"no digits", "C:\\src\\app.asm:[]", true, "C:\\src\\app.asm", -1},
        {"line zero", "C:\\src\\app.asm:[0]", true, "C:\\src\\app.asm", -1},
        {"leading zeros", "a:[007]", true, "a", 6},
        {"first bracket wins", "a.asm:[3] b.inc:[5]", true, "a.asm", 2},
        {"first bracket wins even when it is bad", "a.asm:[x] b.inc:[5]", false, "", 0},
        {"bracket directly after bracket", "a[[1]", false, "", 0},
        {"bracket at the start", "[7] something", true, "", 6},
        {"bracket after one character", "x[7]", true, "", 6},
        {"letter inside", "C:\\src\\app.asm:[12a]", false, "", 0},
        {"not closed", "C:\\src\\app.asm:[12", false, "", 0},
        {"bracket at the end", "C:\\src\\app.asm:[", false, "", 0},
        {"sign is not a digit", "a:[-1]", false, "", 0},
        {"space is not a digit", "a:[ 1]", false, "", 0},
        // The bytes on either side of '0'..'9'.
        {"slash is not a digit", "a:[1/]", false, "", 0},
        {"colon is not a digit", "a:[1:]", false, "", 0},
        {"all ten digits", "a:[1234567890]", true, "a", 1234567889},
        {"no bracket", "flat assembler  version 1.73", false, "", 0},
        {"empty line", "", false, "", 0},
        {"closing bracket alone", "a.asm:12]", false, "", 0},
        {"high byte in the name", "C:\\caf\xe9\\m.asm:[5]", true, "C:\\caf\xe9\\m.asm", 4},
        // A Latin-1 superscript two is no digit, whatever signedness char has.
        {"high byte among the digits", "a:[1\xb2]", false, "", 0},
        {"NUL byte in the name is just a byte", std::string("a\0b:[9]", 7), true, std::string("a\0b", 3), 8},
        {"largest int32 index", "a:[2147483648]", true, "a", INT32_MAX},
        // 2147483649 - 1 = 2^31, which reads back as INT32_MIN.
        {"index past int32 turns negative", "a:[2147483649]", true, "a", INT32_MIN},
        {"uint32 maximum", "a:[4294967295]", true, "a", -2},
        {"2^32 wraps to zero", "a:[4294967296]", true, "a", -1},
        {"2^32 + 13 wraps to 13", "a:[4294967309]", true, "a", 12},
        // 10^20 mod 2^32 = 1661992960.
        {"many digits", "a:[100000000000000000000]", true, "a", 1661992959},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        // Not NUL-terminated: the parser has only the length to go by.
        std::unique_ptr<char[]> line(new char[c.line.size() ? c.line.size() : 1]);
        memcpy(line.get(), c.line.data(), c.line.size());
        ErrorLinePlace place{};
        const bool ok = parseErrorLine(line.get(), c.line.size(), &place);
        ASSERT_EQ(c.ok, ok);
        if (!ok)
            continue;
        ASSERT_LT(place.nameLength, c.line.size());
        EXPECT_EQ(c.name, std::string(line.get(), place.nameLength));
        EXPECT_EQ(c.index, place.lineIndex);
    }
}

TEST(ParseErrorLine, OnlyTheGivenLengthCounts)
{
    // The list box text may go on past what the handler passes.
    const std::string full = "C:\\a.asm:[12] error";
    struct Case {
        size_t length;
        bool ok;
        int32_t index;
    } cases[] = {
        {full.size(), true, 11}, {13, true, 11},  // up to and including ']'
        {12, false, 0},                           // ']' cut off
        {11, false, 0},                           // "[1" only
        {10, false, 0},                           // '[' is the last character
        {9, false, 0},                            // no '[' at all
        {0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length));
        std::unique_ptr<char[]> line(new char[c.length ? c.length : 1]);
        memcpy(line.get(), full.data(), c.length);
        ErrorLinePlace place{};
        ASSERT_EQ(c.ok, parseErrorLine(line.get(), c.length, &place));
        if (c.ok) {
            EXPECT_EQ(8u, place.nameLength);
            EXPECT_EQ(c.index, place.lineIndex);
        }
    }
}

TEST(ParseErrorLine, LongestLineTheHandlerPasses)
{
    // 255 characters: the bracketed number at the very end.
    std::string text = std::string(250, 'p') + ":[42]";
    ASSERT_EQ(255u, text.size());
    std::unique_ptr<char[]> line(new char[text.size()]);
    memcpy(line.get(), text.data(), text.size());
    ErrorLinePlace place{};
    ASSERT_TRUE(parseErrorLine(line.get(), text.size(), &place));
    EXPECT_EQ(250u, place.nameLength);
    EXPECT_EQ(41, place.lineIndex);
}

TEST(ParsePlaceChain, EveryPlaceOfAHeadingOutermostFirst)
{
    struct Place {
        std::string name;
        int32_t index;
    };
    struct Case {
        const char* label;
        std::string line;
        std::vector<Place> places;
    } cases[] = {
        {"fasm g: an included file",
         "C:\\p\\main.asm [3] C:\\p\\sub/x.inc [2]:",
         {{"C:\\p\\main.asm", 2}, {"C:\\p\\sub/x.inc", 1}}},
        {"fasm 1: a macro",
         "C:\\p\\inc/macros.inc [3] mymac [2]:",
         {{"C:\\p\\inc/macros.inc", 2}, {"mymac", 1}}},
        {"macro frames between files, names with spaces",
         "C:\\my p\\main.asm [6] macro m [2] C:\\my p\\x y.inc [4] mov? [0]:",
         {{"C:\\my p\\main.asm", 5}, {"macro m", 1}, {"C:\\my p\\x y.inc", 3}, {"mov?", -1}}},
        {"a single heading", "C:\\p\\main.asm [5]:", {{"C:\\p\\main.asm", 4}}},
        {"a place with a message after it", "C:\\src\\app.asm [12]: error text", {{"C:\\src\\app.asm", 11}}},
        {"any separator before the first bracket",
         "C:\\src\\app.asm:[12] b [3]:",
         {{"C:\\src\\app.asm", 11}, {"b", 2}}},
        // Lines that do not go on as a chain keep their first place alone.
        {"no colon at the end", "a [1] b [2]", {{"a", 0}}},
        {"a space after the colon", "a [1] b [2]: ", {{"a", 0}}},
        {"text after the last place", "a [1] b [2]: c", {{"a", 0}}},
        {"a bad number further on", "a [1] b [x]:", {{"a", 0}}},
        {"two spaces between places", "a [1]  b [2]:", {{"a", 0}}},
        {"a place without a name", "a [1]  [2]:", {{"a", 0}}},
        {"no space before a bracket", "a [1] b[2]:", {{"a", 0}}},
        {"an echoed source line", "  mov eax,[12] x [3]", {{"  mov eax", 11}}},
        {"no place at all", "flat assembler  version g.l8vn", {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<char[]> line = exactBlock(c.line.size() ? c.line.size() : 1);
        memcpy(line.get(), c.line.data(), c.line.size());
        ChainPlace places[PLACE_CHAIN_MAX];
        size_t count = parsePlaceChain(line.get(), c.line.size(), places, PLACE_CHAIN_MAX);
        ASSERT_EQ(count, c.places.size());
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(std::string(line.get() + places[i].nameStart, places[i].nameLength), c.places[i].name);
            EXPECT_EQ(places[i].lineIndex, c.places[i].index);
        }
    }
}

TEST(ParsePlaceChain, AChainLongerThanTheRoomLeftIsReadAsItsFirstPlace)
{
    const std::string text = "a [1] b [2] c [3]:";
    ChainPlace places[3];
    for (size_t capacity : {3u, 2u, 1u}) {
        SCOPED_TRACE(capacity);
        EXPECT_EQ(parsePlaceChain(text.data(), text.size(), places, capacity), capacity == 3 ? 3u : 1u);
        EXPECT_EQ(places[0].nameLength, 1u);
        EXPECT_EQ(places[0].lineIndex, 0);
    }
    EXPECT_EQ(parsePlaceChain(text.data(), text.size(), places, 0), 0u);
}

// ---------------------------------------------------------------------------
// classifyOutputLine / isPlaceHeading / visitLinePlaces / visitErrorPlaces

TEST(ClassifyOutputLine, PlacesErrorMessagesAndTheRest)
{
    struct Case {
        const char* label;
        std::string line;
        OutputLineKind kind;
        size_t nameLength;  // for a place
        int32_t index;
    } cases[] = {
        {"place heading", "C:\\p\\main.asm [5]:", OUTPUT_LINE_PLACE, 13, 4},
        {"nested heading", "C:\\p\\inc/macros.inc [3] mymac [2]:", OUTPUT_LINE_PLACE, 19, 2},
        {"place with a message after it", "C:\\p\\a.asm [3]: error: bad.", OUTPUT_LINE_PLACE, 10, 2},
        {"echoed source with brackets", "  mov eax,[12]", OUTPUT_LINE_PLACE, 9, 11},
        {"error message", "error: illegal instruction.", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"error message in capitals", "ERROR: out of memory.", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"mixed case", "Error: x", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"marker inside the line", "fasm: error: x", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"marker before the brackets", "error: value [12] out of range.", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"marker cut by the separator", "error:[3]", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"marker directly before the separator", "xerror: [3]", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"marker with a bad bracket", "error: [x]", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"marker at the very end", "last error:", OUTPUT_LINE_ERROR_MESSAGE, 0, 0},
        {"processed line", "processed: movv ebx,2", OUTPUT_LINE_OTHER, 0, 0},
        {"echoed source", "  movv ebx, 2", OUTPUT_LINE_OTHER, 0, 0},
        {"marker without its colon", "error illegal", OUTPUT_LINE_OTHER, 0, 0},
        {"marker with a space", "error : x", OUTPUT_LINE_OTHER, 0, 0},
        {"marker cut short", "erro", OUTPUT_LINE_OTHER, 0, 0},
        {"usage text", "usage: fasm <source> [output]", OUTPUT_LINE_OTHER, 0, 0},
        {"empty", "", OUTPUT_LINE_OTHER, 0, 0},
        // 0xC5 is not 'E' + 0x80 for the comparison.
        {"high byte that folds to no letter", "\xC5rror: x", OUTPUT_LINE_OTHER, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<char[]> line = exactBlock(c.line.size() ? c.line.size() : 1);
        memcpy(line.get(), c.line.data(), c.line.size());
        ErrorLinePlace place{99, 99};
        EXPECT_EQ(classifyOutputLine(line.get(), c.line.size(), &place), c.kind);
        if (c.kind == OUTPUT_LINE_PLACE) {
            EXPECT_EQ(place.nameLength, c.nameLength);
            EXPECT_EQ(place.lineIndex, c.index);
        } else {
            EXPECT_EQ(place.nameLength, 99u);  // untouched
        }
    }
}

TEST(IsPlaceHeading, OnlyPlacesEndingWithBracketColon)
{
    struct Case {
        std::string line;
        bool heading;
    } cases[] = {
        {"C:\\p\\main.asm [5]:", true},
        {"C:\\p\\inc/macros.inc [3] mymac [2]:", true},
        {"[]:", true},
        {"a [1]:", true},
        {"  mov eax,[12]", false},         // echoed source line
        {"  mov eax,[12]:", true},         // would be taken: ends like a heading
        {"C:\\p\\main.asm [5]: ", false},  // a trailing space is not the assembler's form
        {"C:\\p\\main.asm [5]", false},
        {"C:\\p\\main.asm [5]:x", false},
        {"C:\\p\\main.asm [5:]:", false},  // the first bracket decides
        {"label]:", false},                // no '['
        {"error: [3]:", false},            // a message, not a place
        {"]:", false},
        {":", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::unique_ptr<char[]> line = exactBlock(c.line.size() ? c.line.size() : 1);
        memcpy(line.get(), c.line.data(), c.line.size());
        EXPECT_EQ(isPlaceHeading(line.get(), c.line.size()), c.heading);
    }
}

// Output lines as the reader hands them over; a line longer than the buffer
// is refused, as the output control's reader refuses it.
struct Lines {
    std::vector<std::string> text;
    std::vector<int32_t> asked;
};

bool readLine(void* context, int32_t index, char* buffer, size_t size, size_t* length)
{
    Lines* lines = static_cast<Lines*>(context);
    lines->asked.push_back(index);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, (int32_t)lines->text.size());
    const std::string& line = lines->text[(size_t)index];
    if (line.size() >= size)
        return false;
    memcpy(buffer, line.c_str(), line.size() + 1);
    *length = line.size();
    return true;
}

// Places as a visitor gets them: "name:index", in the order visited.
struct Visits {
    std::vector<std::string> seen;
    std::string takes;  // the name of the place to take, if any
};

bool recordPlace(void* context, const char* name, int32_t lineIndex)
{
    Visits* visits = static_cast<Visits*>(context);
    visits->seen.push_back(std::string(name) + ":" + std::to_string(lineIndex));
    return visits->takes == name;
}

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : " | ") + item;
    return text;
}

TEST(VisitLinePlaces, InnermostFirstEachNameWhole)
{
    struct Case {
        std::string line;
        std::string takes;
        PlaceVisit result;
        std::vector<std::string> seen;
    } cases[] = {
        {"C:\\p\\main.asm [7] macro m [1] C:\\p\\inc/X.inc [2]:",
         "",
         PLACES_NONE_TAKEN,
         {"C:\\p\\inc/X.inc:1", "macro m:0", "C:\\p\\main.asm:6"}},
        {"C:\\p\\main.asm [7] macro m [1] C:\\p\\inc/X.inc [2]:",
         "macro m",
         PLACE_TAKEN,
         {"C:\\p\\inc/X.inc:1", "macro m:0"}},
        {"C:\\src\\app.asm [12]: error text", "", PLACES_NONE_TAKEN, {"C:\\src\\app.asm:11"}},
        {"flat assembler  version g.l8vn", "", PLACES_NONE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::unique_ptr<char[]> line = exactBlock(c.line.size());
        memcpy(line.get(), c.line.data(), c.line.size());
        Visits visits{{}, c.takes};
        EXPECT_EQ(visitLinePlaces(line.get(), c.line.size(), recordPlace, &visits), c.result);
        EXPECT_EQ(joined(visits.seen), joined(c.seen));
    }
}

// What the assemblers print, paths as on Windows: the last line of each case
// is the message double-clicked, and the places its error leads through.
TEST(VisitErrorPlaces, EveryPlaceOfTheErrorInnermostFirst)
{
    const std::string app = "C:\\p\\app.asm", header = "C:\\fasm\\INCLUDE/macro/proc32.inc";
    const std::string structInc = "C:\\fasm\\INCLUDE/macro/struct.inc";
    const std::string longLine(300, 'x');  // longer than the buffer below
    struct Case {
        const char* label;
        std::vector<std::string> lines;
        PlaceVisit result;
        std::vector<std::string> seen;
    } cases[] = {
        {"fasm 1: invoke, a heading per level of macros",
         {"flat assembler  version 1.73.34  (16384 kilobytes memory)", app + " [6]:",
          "\tinvoke\tMessageBox,HWND_DESKTOP,msg,msg,MB_OKK", header + " [17] invoke [3]:", "     pushd arg",
          "processed: pushd MB_OKK", "error: undefined symbol 'MB_OKK'."},
         PLACES_NONE_TAKEN,
         {"invoke:2", header + ":16", app + ":5"}},
        {"fasm 1: struct, six levels",
         {app + " [8]:", "ends", structInc + " [86] ends [6]:", "\t\tmake@struct name,fields",
          structInc + " [86] match [6]:", "\t\tmake@struct name,fields",
          structInc + " [86] match [1]:", "\t\tmake@struct name,fields",
          structInc + " [106] make@struct [13]:", "    match fields, define \\{ define@struct fields \\} }",
          structInc + " [106] match [0]:", "    match fields, define \\{ define@struct fields \\} }",
          structInc + " [114] define@struct [5]:", "     name#field type def", "processed: PT.y dd ?,?,",
          "error: invalid argument."},
         PLACES_NONE_TAKEN,
         {"define@struct:4", structInc + ":113", "match:-1", structInc + ":105", "make@struct:12",
          structInc + ":105", "match:0", structInc + ":85", "match:5", structInc + ":85", "ends:5",
          structInc + ":85", app + ":7"}},
        {"fasm g: a macro frame heading below the file's",
         {"flat assembler  version g.l8vn", app + " [6]:", "\tinvoke MessageBox,HWND_DESKTOP,msg,msg,MB_OKK",
          "macro invoke? [1] macro stdcall? [56]:", "\tif arg eqtype ''", "Processed: if MB_OKK eqtype ''",
          "Error: symbol 'MB_OKK' is undefined or out of scope."},
         PLACES_NONE_TAKEN,
         {"macro stdcall?:55", "macro invoke?:0", app + ":5"}},
        {"fasm g: the second of two blocks, frames without a colon",
         {app + " [6]:", "\tinvoke MessageBox,0,0,0,MB_OKK",
          "macro invoke? [1] macro stdcall? [56]:", "\tif arg eqtype ''", "Processed: if MB_OKK eqtype ''",
          "Error: symbol 'MB_OKK' is undefined.", app + " [6]:", "\tinvoke MessageBox,0,0,0,MB_OKK",
          "macro invoke? [1] macro stdcall? [59] push? [29] x86.parse_operand@src [32] (CALM)",
          "Processed: push dword MB_OKK", "Error: symbol 'MB_OKK' is undefined."},
         PLACES_NONE_TAKEN,
         {app + ":5"}},
        {"fasm g: after a custom error",
         {app + " [2]:", "\tcall [x]", "macro call? [61]", "Processed: call [x]",
          "Custom error: operand size not specified.", app + " [3]:", "\tfoo", "Error: illegal instruction."},
         PLACES_NONE_TAKEN,
         {app + ":2"}},
        {"fasm 1: an echoed line that starts like a message, between two headings",
         {app + " [4]:", "error: mymac", "C:\\p\\m.inc [2] mymac [1]:", "  movv eax",
          "error: illegal instruction."},
         PLACES_NONE_TAKEN,
         {"mymac:0", "C:\\p\\m.inc:1", app + ":3"}},
        {"a message right above a heading, an unreadable line above it",
         {app + " [4]:", longLine, "error: x.", app + " [5]:", "error: y."},
         PLACES_NONE_TAKEN,
         {app + ":4"}},
        {"a heading too long to read is passed over",
         {app + " [4]:", app + " [9] " + longLine + " [1]:", "\tx", "error: x."},
         PLACES_NONE_TAKEN,
         {app + ":3"}},
        {"a message that is no heading's neighbour does not end the error",
         {app + " [4]:", "  x", "error: x.", "error: y."},
         PLACES_NONE_TAKEN,
         {app + ":3"}},
        {"a blank line ends the error", {app + " [4]:", " \t ", "error: x."}, PLACES_NONE, {}},
        {"the banner ends the error",
         {app + " [4]:", "flat assembler  version 1.73.34", "error: x."},
         PLACES_NONE,
         {}},
        {"an echoed line with brackets is no heading", {"  mov eax,[12]", "error: x."}, PLACES_NONE, {}},
        {"the message first of all", {"error: x."}, PLACES_NONE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Lines lines{c.lines, {}};
        std::unique_ptr<char[]> buffer = exactBlock(256);
        Visits visits;
        const int32_t errorLine = (int32_t)c.lines.size() - 1;
        EXPECT_EQ(visitErrorPlaces(errorLine, readLine, &lines, buffer.get(), 256, recordPlace, &visits),
                  c.result);
        EXPECT_EQ(joined(visits.seen), joined(c.seen));
        for (int32_t asked : lines.asked)
            EXPECT_LT(asked, errorLine);
    }
}

TEST(VisitErrorPlaces, TheTakenPlaceEndsTheVisitAndNothingAboveIsRead)
{
    const std::vector<std::string> text = {"C:\\p\\a.asm [1]:", "  x", "C:\\p\\m.inc [3] m [2]:", "  y",
                                           "error: z."};
    Lines lines{text, {}};
    char buffer[64];
    Visits visits{{}, "C:\\p\\m.inc"};
    EXPECT_EQ(visitErrorPlaces(4, readLine, &lines, buffer, sizeof buffer, recordPlace, &visits),
              PLACE_TAKEN);
    EXPECT_EQ(joined(visits.seen), "m:1 | C:\\p\\m.inc:2");
    for (int32_t asked : lines.asked)
        EXPECT_GE(asked, 2);
}

TEST(VisitErrorPlaces, ReachesSixtyFourLinesAndNoFurther)
{
    for (int32_t between : {0, 62, 63, 64, 80}) {
        SCOPED_TRACE("lines between heading and message: " + std::to_string(between));
        Lines lines;
        lines.text.push_back("C:\\p\\a.asm [1]:");
        for (int32_t i = 0; i < between; ++i)
            lines.text.push_back("  echoed " + std::to_string(i));
        lines.text.push_back("error: x.");
        char buffer[256];
        Visits visits;
        // The heading is between + 1 lines up.
        const bool reached = between + 1 <= ERROR_BLOCK_REACH;
        EXPECT_EQ(
            visitErrorPlaces(between + 1, readLine, &lines, buffer, sizeof buffer, recordPlace, &visits),
            reached ? PLACES_NONE_TAKEN : PLACES_NONE);
        EXPECT_EQ(visits.seen.size(), reached ? 1u : 0u);
        EXPECT_LE(lines.asked.size(), (size_t)ERROR_BLOCK_REACH);
    }
}

TEST(VisitErrorPlaces, LinesAtTheStartOfTheOutput)
{
    for (int32_t errorLine : {0, -1, INT32_MIN}) {
        SCOPED_TRACE(errorLine);
        Lines lines;
        char buffer[16];
        Visits visits;
        EXPECT_EQ(visitErrorPlaces(errorLine, readLine, &lines, buffer, sizeof buffer, recordPlace, &visits),
                  PLACES_NONE);
        EXPECT_TRUE(lines.asked.empty());
    }
}

TEST(StepToError, WalksTheErrorMessagesBothWaysAndRound)
{
    // fasm g's blocks, a custom error, a fasm 1 echo that starts like a
    // message (below its heading), and text that only holds "error:".
    const std::string text = "flat assembler  version g.l8vn\r\n"    // 0
                             "C:\\p\\a.asm [3]:\r\n"                 // 1
                             "\tmov eax,ebx,ecx\r\n"                 // 2
                             "Error: extra characters on line.\r\n"  // 3: error 1
                             "C:\\p\\a.asm [4]:\r\n"                 // 4
                             "error: mymac\r\n"                      // 5: echoed, no error
                             "processed: x error: y\r\n"             // 6
                             "Custom error: operand size.\r\n"       // 7: error 2
                             "ERROR: out of memory.\n"               // 8: error 3 (LF alone)
                             "last line without a break: error:";    // 9
    std::vector<size_t> starts;
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
        starts.push_back(at);
        if (text.find('\n', at) == std::string::npos)
            break;
    }
    const size_t errors[] = {starts[3], starts[7], starts[8]};
    struct Case {
        const char* label;
        size_t from;
        ErrorDirection direction;
        size_t ordinal;  // 1-based, of errors[]
    } cases[] = {
        {"next, before the first step", NO_POSITION, ERROR_NEXT, 1},
        {"previous, before the first step", NO_POSITION, ERROR_PREVIOUS, 3},
        {"first, wherever the walk stands", starts[7], ERROR_FIRST, 1},
        {"next from the first", starts[3], ERROR_NEXT, 2},
        {"next from a line between", starts[5], ERROR_NEXT, 2},
        {"next from the last goes round", starts[8], ERROR_NEXT, 1},
        {"next from the last line goes round", starts[9], ERROR_NEXT, 1},
        {"previous from the last", starts[8], ERROR_PREVIOUS, 2},
        {"previous from the first goes round", starts[3], ERROR_PREVIOUS, 3},
        {"previous from the top goes round", 0, ERROR_PREVIOUS, 3},
        {"next from the top", 0, ERROR_NEXT, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<char[]> exact = exactBlock(text.size());
        memcpy(exact.get(), text.data(), text.size());
        ErrorStep step = stepToError(exact.get(), text.size(), c.from, c.direction);
        EXPECT_EQ(step.count, 3u);
        EXPECT_EQ(step.ordinal, c.ordinal);
        EXPECT_EQ(step.position, errors[c.ordinal - 1]);
    }
}

TEST(StepToError, AnOutputWithoutErrorMessagesHasNone)
{
    for (const std::string& text :
         {std::string(), std::string("2 passes, 1024 bytes.\r\n"),
          std::string("usage: fasm <source> [output]\r\n"),
          std::string("C:\\p\\a.asm [1]:\r\nerror: echoed below its heading\r\n")}) {
        SCOPED_TRACE(text);
        std::unique_ptr<char[]> exact = exactBlock(text.size() ? text.size() : 1);
        memcpy(exact.get(), text.data(), text.size());
        for (ErrorDirection direction : {ERROR_FIRST, ERROR_NEXT, ERROR_PREVIOUS}) {
            ErrorStep step = stepToError(exact.get(), text.size(), NO_POSITION, direction);
            EXPECT_EQ(step.count, 0u);
            EXPECT_EQ(step.ordinal, 0u);
        }
    }
}

// ---------------------------------------------------------------------------
// run output

TEST(RunOutputFileName, TheProjectsNameAndAHashOfItsPlace)
{
    struct Case {
        const char* project;
        const char* expected;
    } cases[] = {
        {"C:\\p\\hello.prj", "hello-"},
        {"C:\\p\\two.dots.prj", "two.dots-"},
        {"C:\\p\\noext", "noext-"},
        {"C:\\p\\.prj", ".prj-"},
        {"", "output-"},
        {"C:\\p\\", "output-"},
        {"C:/p/bad\x01\x7fname.prj", "bad__name-"},  // control bytes become '_'
        {"C:\\p\\caf\xe9.prj", "caf\xe9-"},          // other bytes stay
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.project);
        char out[128];
        ASSERT_TRUE(runOutputFileName(c.project, ".txt", out, sizeof out));
        std::string name = out;
        ASSERT_EQ(name.size(), strlen(c.expected) + 8 + 4) << name;
        EXPECT_EQ(name.substr(0, strlen(c.expected)), c.expected);
        EXPECT_EQ(name.find_first_not_of("0123456789abcdef", strlen(c.expected)), name.size() - 4) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    }
    // The same file however its path is spelled in ASCII letter case or
    // separators; another folder is another file.
    char a[64], b[64], c[64];
    ASSERT_TRUE(runOutputFileName("C:\\Work\\Hello.prj", ".txt", a, sizeof a));
    ASSERT_TRUE(runOutputFileName("c:/work/hello.PRJ", ".txt", b, sizeof b));
    ASSERT_TRUE(runOutputFileName("C:\\Other\\Hello.prj", ".txt", c, sizeof c));
    EXPECT_STREQ(strchr(a, '-'), strchr(b, '-'));
    EXPECT_STRNE(a, c);
    // 64 characters of the name at most; a buffer one short of the result refuses.
    std::string longName = "C:\\" + std::string(100, 'n') + ".prj";
    char out[128];
    ASSERT_TRUE(runOutputFileName(longName.c_str(), ".txt", out, 64 + 1 + 8 + 4 + 1));
    EXPECT_EQ(strlen(out), 77u);
    EXPECT_FALSE(runOutputFileName(longName.c_str(), ".txt", out, 64 + 1 + 8 + 4));
}

// ---------------------------------------------------------------------------
// path text

TEST(FinalPathComponent, TextAfterTheLastSeparatorOfEitherKind)
{
    struct Case {
        const char* path;
        size_t at;
    } cases[] = {
        {"C:\\p\\inc\\macros.inc", 9},
        {"C:\\p\\inc/macros.inc", 9},
        {"C:/p/inc\\macros.inc", 9},
        {"macros.inc", 0},
        {"C:macros.inc", 0},  // a drive-relative name keeps its drive: a name the system resolves first
        {"C:\\p\\", 5},
        {"\\\\server\\share\\x.asm", 15},
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(finalPathComponent(c.path), c.path + c.at);
    }
}

TEST(MayBeShortAlias, ATildeAnywhere)
{
    EXPECT_TRUE(mayBeShortAlias("MACROS~1.INC"));
    EXPECT_TRUE(mayBeShortAlias("EXP1~QEE"));
    EXPECT_TRUE(mayBeShortAlias("~"));
    EXPECT_FALSE(mayBeShortAlias("macros.inc"));
    EXPECT_FALSE(mayBeShortAlias("MACROS.INC"));
    EXPECT_FALSE(mayBeShortAlias(""));
}

TEST(PathText, FolderAndNameWithoutExtension)
{
    struct Case {
        std::string path, folder, withoutExtension;
    } cases[] = {
        {"C:\\ide\\ide.exe", "C:\\ide", "C:\\ide\\ide"},
        {"C:\\ide.exe", "C:\\", "C:\\ide"},
        {"C:/p/x.tar.gz", "C:/p", "C:/p/x.tar"},
        {"\\\\server\\share\\p.prj", "\\\\server\\share", "\\\\server\\share\\p"},
        {"\\top.asm", "\\", "\\top"},
        {"C:\\dotted.dir\\noext", "C:\\dotted.dir", "C:\\dotted.dir\\noext"},
        {"C:\\p\\", "C:\\p", "C:\\p\\"},
        {"name.asm", "", "name"},
        {".asm", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::unique_ptr<char[]> folder = exactBlock(c.path.size() + 1), name = exactBlock(c.path.size() + 1);
        memcpy(folder.get(), c.path.c_str(), c.path.size() + 1);
        memcpy(name.get(), c.path.c_str(), c.path.size() + 1);
        cutToFolder(folder.get());
        removeExtension(name.get());
        EXPECT_EQ(std::string(folder.get()), c.folder);
        EXPECT_EQ(std::string(name.get()), c.withoutExtension);
    }
}

TEST(PathText, ANameInThePlaceOfTheFileName)
{
    struct Case {
        std::string path;
        size_t size;
        bool fits;
        std::string result;
    } cases[] = {
        {"C:\\p\\app.rc", 64, true, "C:\\p\\rc.inc"},
        {"C:\\app.rc", 64, true, "C:\\rc.inc"},
        {"C:/p/app.rc", 64, true, "C:/p\\rc.inc"},
        {"app.rc", 64, true, "rc.inc"},
        // Exactly the room: "C:\p\" and "rc.inc" and the terminator.
        {"C:\\p\\app.rc", 12, true, "C:\\p\\rc.inc"},
        {"C:\\p\\a.rc", 11, false, "C:\\p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " in " + std::to_string(c.size));
        ASSERT_LT(c.path.size(), c.size);
        std::unique_ptr<char[]> path = exactBlock(c.size);
        memcpy(path.get(), c.path.c_str(), c.path.size() + 1);
        EXPECT_EQ(replaceFileName(path.get(), c.size, "rc.inc"), c.fits);
        EXPECT_EQ(std::string(path.get()), c.result);
    }
}

TEST(IsPlainFilePath, DrivesAndSharesButNoDeviceNamespace)
{
    struct Case {
        const char* path;
        bool plain;
    } cases[] = {
        {"C:\\p\\a.asm", true},
        {"z:/p/a.asm", true},
        {"C:\\", true},
        {"\\\\server\\share\\a.asm", true},
        {"//server/share/a.asm", true},
        {"\\\\server\\share", true},  // the share itself: opening it finds no file
        {"\\\\server\\", false},
        {"\\\\server", false},
        {"\\\\\\share\\a", false},  // no server name
        {"\\\\.\\CON", false},
        {"\\\\.\\pipe\\x", false},
        {"//./COM1", false},
        {"\\\\?\\C:\\p\\a.asm", false},
        {"\\\\?\\GLOBALROOT\\Device\\x", false},
        {"\\\\.", false},
        {"\\\\..\\share\\a", true},  // a server named ".." is a name, not the namespace
        {"C:a.asm", false},
        {"C:", false},
        {"1:\\a", false},
        {"a.asm", false},
        {"\\p\\a.asm", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(isPlainFilePath(c.path), c.plain);
    }
}

// ---------------------------------------------------------------------------
// composeAssemblerCommand

struct CommandCase {
    const char* label;
    const char *assembler, *source, *output, *extra;
    std::string expected;
};

const CommandCase commandCases[] = {
    {"with output", "C:\\fasm\\fasm.exe", "C:\\p\\main.asm", "C:\\p\\main.exe", "",
     "C:\\fasm\\fasm.exe \"C:\\p\\main.asm\"  \"C:\\p\\main.exe\" "},
    {"without output", "C:\\fasm\\fasm.exe", "C:\\p\\main.asm", "", "",
     "C:\\fasm\\fasm.exe \"C:\\p\\main.asm\" "},
    {"null output", "C:\\fasm\\fasm.exe", "C:\\p\\main.asm", nullptr, "",
     "C:\\fasm\\fasm.exe \"C:\\p\\main.asm\" "},
    {"extra options", "C:\\fasm\\fasm.exe", "C:\\p\\main.asm", "C:\\p\\main.exe", "-m 65536",
     "C:\\fasm\\fasm.exe \"C:\\p\\main.asm\"  \"C:\\p\\main.exe\" -m 65536"},
    {"extra options without output", "fasm", "a.asm", "", "-s a.fas", "fasm \"a.asm\" -s a.fas"},
    {"null extra", "fasm", "a.asm", "a.bin", nullptr, "fasm \"a.asm\"  \"a.bin\" "},
    {"null assembler and source", nullptr, nullptr, nullptr, nullptr, " \"\" "},
    {"assembler path with spaces stays unquoted", "\"C:\\Program Files\\fasm\\fasm.exe\"",
     "C:\\my src\\a.asm", "", "", "\"C:\\Program Files\\fasm\\fasm.exe\" \"C:\\my src\\a.asm\" "},
};

TEST(ComposeAssemblerCommand, LayoutOfTheLine)
{
    for (const CommandCase& c : commandCases) {
        SCOPED_TRACE(c.label);
        auto out = exactBlock(COMMAND_LINE_MAX + 1);
        const size_t n = composeAssemblerCommand(out.get(), COMMAND_LINE_MAX + 1, c.assembler, c.source,
                                                 c.output, c.extra);
        EXPECT_EQ(c.expected, std::string(out.get()));
        EXPECT_EQ(c.expected.size(), n);
        EXPECT_EQ(c.expected.size(), assemblerCommandLength(c.assembler, c.source, c.output, c.extra));
    }
}

TEST(ComposeAssemblerCommand, ExactFitAndOneByteShort)
{
    for (const CommandCase& c : commandCases) {
        SCOPED_TRACE(c.label);
        const size_t length = c.expected.size();
        {
            SCOPED_TRACE("length + 1 bytes");
            auto out = exactBlock(length + 1);
            EXPECT_EQ(length, composeAssemblerCommand(out.get(), length + 1, c.assembler, c.source, c.output,
                                                      c.extra));
            EXPECT_EQ(c.expected, std::string(out.get(), length));
            EXPECT_EQ('\0', out[length]);
        }
        {
            SCOPED_TRACE("length bytes");
            auto out = exactBlock(length);
            EXPECT_EQ(0u,
                      composeAssemblerCommand(out.get(), length, c.assembler, c.source, c.output, c.extra));
            EXPECT_EQ('\0', out[0]);
        }
        {
            SCOPED_TRACE("one byte");
            auto out = exactBlock(1);
            EXPECT_EQ(0u, composeAssemblerCommand(out.get(), 1, c.assembler, c.source, c.output, c.extra));
            EXPECT_EQ('\0', out[0]);
        }
    }
}

TEST(ComposeAssemblerCommand, ZeroSizedBufferIsNotTouched)
{
    std::unique_ptr<char[]> out(new char[1]);
    out[0] = 'x';
    EXPECT_EQ(0u, composeAssemblerCommand(out.get(), 0, "fasm", "a.asm", "", ""));
    EXPECT_EQ('x', out[0]);
}

TEST(ComposeAssemblerCommand, AtTheProcessCommandLineLimit)
{
    // fasm "a.asm"  + extra: 4 + 2 + 5 + 2 = 13 characters before extra.
    struct Case {
        size_t extraLength;
        size_t expected;
    } cases[] = {
        {COMMAND_LINE_MAX - 13, COMMAND_LINE_MAX},
        {COMMAND_LINE_MAX - 12, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("extra of " + std::to_string(c.extraLength));
        const std::string extra(c.extraLength, 'x');
        auto out = exactBlock(COMMAND_LINE_MAX + 1);
        EXPECT_EQ(c.expected, composeAssemblerCommand(out.get(), COMMAND_LINE_MAX + 1, "fasm", "a.asm", "",
                                                      extra.c_str()));
        EXPECT_EQ(c.expected, strlen(out.get()));
    }
}

// ---------------------------------------------------------------------------
// formatDefinitionLine

// A record as the resource editor stores it; the unused bytes and the name
// field past its terminator hold garbage, as they may in the host's memory.
std::vector<unsigned char> makeRecord(const std::string& name, int32_t id)
{
    std::vector<unsigned char> r(DEFINITION_RECORD_SIZE, 0xEE);
    EXPECT_LE(name.size(), (size_t)DEFINITION_NAME_FIELD);
    memcpy(r.data(), name.data(), name.size());
    if (name.size() < DEFINITION_NAME_FIELD)
        r[name.size()] = 0;
    const uint32_t u = (uint32_t)id;
    r[65] = (unsigned char)u;
    r[66] = (unsigned char)(u >> 8);
    r[67] = (unsigned char)(u >> 16);
    r[68] = (unsigned char)(u >> 24);
    return r;
}

TEST(FormatDefinitionLine, NameEquId)
{
    const std::string name64 = "ID_" + repeat('X', 61);
    struct Case {
        const char* label;
        std::vector<unsigned char> record;
        std::string expected;
    } cases[] = {
        {"dialog", makeRecord("IDD_MAIN", 100), "IDD_MAIN equ 100\r\n"},
        {"negative", makeRecord("IDI_APP", -1), "IDI_APP equ -1\r\n"},
        {"zero", makeRecord("IDC_STATIC", 0), "IDC_STATIC equ 0\r\n"},
        {"int32 maximum", makeRecord("MAX", INT32_MAX), "MAX equ 2147483647\r\n"},
        {"int32 minimum", makeRecord("MIN", INT32_MIN), "MIN equ -2147483648\r\n"},
        {"little-endian id", makeRecord("LE", 0x01020304), "LE equ 16909060\r\n"},
        {"percent signs are text", makeRecord("A%s%n%d%%", 7), "A%s%n%d%% equ 7\r\n"},
        {"high bytes pass unchanged", makeRecord("N\xe4me", 5), "N\xe4me equ 5\r\n"},
        {"64 characters with terminator", makeRecord(name64, 12), name64 + " equ 12\r\n"},
        // No NUL anywhere in the name field: the 65th byte must not appear.
        {"65 characters without terminator", makeRecord(name64 + "Z", -42), name64 + " equ -42\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto record = std::make_unique<unsigned char[]>(DEFINITION_RECORD_SIZE);
        memcpy(record.get(), c.record.data(), DEFINITION_RECORD_SIZE);
        auto out = exactBlock(DEFINITION_LINE_MAX);
        const size_t n = formatDefinitionLine(out.get(), record.get());
        EXPECT_EQ(c.expected, std::string(out.get()));
        EXPECT_EQ(c.expected.size(), n);
    }
}

TEST(FormatDefinitionLine, LongestLineFitsTheBuffer)
{
    auto record = std::make_unique<unsigned char[]>(DEFINITION_RECORD_SIZE);
    const std::vector<unsigned char> r = makeRecord(repeat('L', 65), INT32_MIN);
    memcpy(record.get(), r.data(), r.size());
    auto out = exactBlock(DEFINITION_LINE_MAX);
    const size_t n = formatDefinitionLine(out.get(), record.get());
    EXPECT_EQ(64u + 5u + 11u + 2u, n);
    EXPECT_LT(n, (size_t)DEFINITION_LINE_MAX);
    EXPECT_EQ(n, strlen(out.get()));
}

TEST(IsListEnd, EmptyNameEndsTheList)
{
    EXPECT_TRUE(isListEnd(makeRecord("", 100).data()));
    EXPECT_FALSE(isListEnd(makeRecord("A", 0).data()));
}

// ---------------------------------------------------------------------------
// accelerator table

const uint32_t CTRL_SHIFT_G = 0x0047000D;  // FVIRTKEY|FSHIFT|FCONTROL, 'G'
const uint32_t CTRL_F9 = 0x00780009;       // FVIRTKEY|FCONTROL, VK_F9

AccelEntry entry(uint8_t flags, uint16_t key, uint16_t command, uint8_t pad = 0)
{
    AccelEntry e;
    e.flags = flags;
    e.pad = pad;
    e.key = key;
    e.command = command;
    return e;
}

std::string describe(const std::vector<AccelEntry>& v, size_t count)
{
    std::string s;
    for (size_t i = 0; i < count; ++i)
        s += std::to_string(v[i].flags) + "/" + std::to_string(v[i].key) + "/" +
             std::to_string(v[i].command) + " ";
    return s;
}

TEST(AppendAccel, WritesTheSlotAfterTheLast)
{
    std::vector<AccelEntry> table(3);
    table[0] = entry(0x01, 'A', 1, 0x55);
    memset(&table[1], 0xCC, sizeof(AccelEntry));
    memset(&table[2], 0xCC, sizeof(AccelEntry));

    EXPECT_EQ(2u, appendAccel(table.data(), 1, CTRL_SHIFT_G, 40001));
    EXPECT_EQ(0x0D, table[1].flags);
    EXPECT_EQ('G', table[1].key);
    EXPECT_EQ(40001, table[1].command);
    EXPECT_EQ(0, table[1].pad) << "the new entry must not carry old memory in its pad byte";

    // Neighbours untouched.
    EXPECT_EQ(0x01, table[0].flags);
    EXPECT_EQ(0x55, table[0].pad);
    EXPECT_EQ('A', table[0].key);
    EXPECT_EQ(1, table[0].command);
    const unsigned char* after = reinterpret_cast<const unsigned char*>(&table[2]);
    for (size_t i = 0; i < sizeof(AccelEntry); ++i)
        EXPECT_EQ(0xCC, after[i]) << "byte " << i;
}

TEST(FindAccel, MatchesFlagsKeyAndCommand)
{
    const std::vector<AccelEntry> table = {
        entry(0x09, 0x78, 40010),       // Ctrl+F9
        entry(0x0D, 'G', 40001, 0xA5),  // Ctrl+Shift+G, garbage pad
        entry(0x0D, 'G', 40002),        // same keys, other command
        entry(0x0D, 'G', 40001),        // duplicate of index 1
    };
    struct Case {
        const char* label;
        size_t count;
        uint32_t packed;
        uint16_t command;
        long expected;
    } cases[] = {
        {"first entry", 4, CTRL_F9, 40010, 0},
        {"pad byte is not compared", 4, CTRL_SHIFT_G, 40001, 1},
        {"pad bits of the packed value are not compared", 4, CTRL_SHIFT_G | 0xFF00, 40001, 1},
        {"command tells equal keys apart", 4, CTRL_SHIFT_G, 40002, 2},
        {"other command", 4, CTRL_SHIFT_G, 40003, -1},
        {"other flags", 4, 0x00470009, 40001, -1},
        {"other key", 4, 0x0048000D, 40001, -1},
        {"entries past count are not searched", 2, CTRL_SHIFT_G, 40002, -1},
        {"empty table", 0, CTRL_F9, 40010, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.expected, findAccel(table.data(), c.count, c.packed, c.command));
    }
}

TEST(RemoveAccelAt, ClosesTheGap)
{
    const AccelEntry a = entry(1, 'A', 1), b = entry(2, 'B', 2), c = entry(3, 'C', 3), d = entry(4, 'D', 4);
    struct Case {
        const char* label;
        size_t index;
        size_t expectedCount;
        std::vector<AccelEntry> expected;
    } cases[] = {
        {"first", 0, 3, {b, c, d}},
        {"middle", 2, 3, {a, b, d}},
        {"last", 3, 3, {a, b, c}},
        {"index past the end changes nothing", 4, 4, {a, b, c, d}},
        {"far past the end changes nothing", (size_t)-1, 4, {a, b, c, d}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.label);
        std::vector<AccelEntry> table = {a, b, c, d};  // exactly four on the heap
        const size_t n = removeAccelAt(table.data(), table.size(), t.index);
        ASSERT_EQ(t.expectedCount, n);
        EXPECT_EQ(describe(t.expected, n), describe(table, n));
    }
}

TEST(RemoveAccelAt, OnlyEntry)
{
    std::vector<AccelEntry> table = {entry(0x0D, 'G', 40001)};
    EXPECT_EQ(0u, removeAccelAt(table.data(), 1, 0));
    EXPECT_EQ(0u, removeAccelAt(table.data(), 0, 0));
}

TEST(AccelTable, AppendThenFindThenRemove)
{
    std::vector<AccelEntry> table(3);
    size_t n = 0;
    n = appendAccel(table.data(), n, CTRL_F9, 40010);
    n = appendAccel(table.data(), n, CTRL_SHIFT_G, 40001);
    n = appendAccel(table.data(), n, 0x0041000D, 40002);
    ASSERT_EQ(3u, n);
    const long at = findAccel(table.data(), n, CTRL_SHIFT_G, 40001);
    ASSERT_EQ(1, at);
    n = removeAccelAt(table.data(), n, (size_t)at);
    EXPECT_EQ(2u, n);
    EXPECT_EQ(-1, findAccel(table.data(), n, CTRL_SHIFT_G, 40001));
    EXPECT_EQ(0, findAccel(table.data(), n, CTRL_F9, 40010));
    EXPECT_EQ(1, findAccel(table.data(), n, 0x0041000D, 40002));
}

// ---------------------------------------------------------------------------
// replaceText

TEST(ReplaceText, EveryOccurrenceAndCutToFit)
{
    struct Case {
        const char* label;
        const char *text, *from, *to;
        size_t outSize;
        const char* expected;
    } cases[] = {
        {"the system's insert", "Bad EXE format for %1.", "%1", "fasm.txt", 64,
         "Bad EXE format for fasm.txt."},
        {"twice", "%1 and %1", "%1", "x", 64, "x and x"},
        {"none", "File not found.", "%1", "x", 64, "File not found."},
        {"a replacement holding the pattern", "%1", "%1", "%1%1", 64, "%1%1"},
        {"cut inside the replacement", "ab%1", "%1", "cdef", 5, "abcd"},
        {"room for the terminator only", "abc", "%1", "x", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto out = exactBlock(c.outSize);
        EXPECT_STREQ(replaceText(c.text, c.from, c.to, out.get(), c.outSize), c.expected);
    }
}

// ---------------------------------------------------------------------------
// prefixVariable

// A block from its entries, each NUL-terminated, and the final NUL.
std::string block(const std::vector<std::string>& entries)
{
    std::string b;
    for (const std::string& e : entries)
        b += e + '\0';
    return b + '\0';
}

TEST(PrefixVariable, TheValueGoesFirstAndEverythingElseStays)
{
    struct Case {
        const char* label;
        std::vector<std::string> entries;
        const char* value;
        std::vector<std::string> expected;
    } cases[] = {
        {"before the inherited value",
         {"=C:=C:\\p", "A=1", "INCLUDE=C:\\mine", "Z=2"},
         "C:\\fasm\\INCLUDE",
         {"=C:=C:\\p", "A=1", "INCLUDE=C:\\fasm\\INCLUDE;C:\\mine", "Z=2"}},
        {"a name in another letter case",
         {"A=1", "include=C:\\mine"},
         "C:\\h",
         {"A=1", "INCLUDE=C:\\h;C:\\mine"}},
        {"its place kept in an unsorted block",
         {"WINEPREFIX=/p", "INCLUDE=C:\\mine", "A=1"},
         "C:\\h",
         {"WINEPREFIX=/p", "INCLUDE=C:\\h;C:\\mine", "A=1"}},
        {"an empty inherited value", {"INCLUDE=", "Z=1"}, "C:\\h", {"INCLUDE=C:\\h", "Z=1"}},
        {"an entry without '='", {"INCLUDE", "Z=1"}, "C:\\h", {"INCLUDE=C:\\h", "Z=1"}},
        {"later entries of the name dropped",
         {"INCLUDE=a", "Include=b", "Z=1"},
         "C:\\h",
         {"INCLUDE=C:\\h;a", "Z=1"}},
        {"none: in sorted place, after the drives' entries",
         {"=C:=C:\\p", "=D:=D:\\", "INC=1", "INCLUDEX=2", "PATH=C:\\w"},
         "C:\\h",
         {"=C:=C:\\p", "=D:=D:\\", "INC=1", "INCLUDE=C:\\h", "INCLUDEX=2", "PATH=C:\\w"}},
        {"none: at the end", {"A=1", "B=2"}, "C:\\h", {"A=1", "B=2", "INCLUDE=C:\\h"}},
        {"an empty block", {}, "C:\\h", {"INCLUDE=C:\\h"}},
        {"trailing ';' of the value left out", {"INCLUDE=old"}, "C:\\a;C:\\b;;", {"INCLUDE=C:\\a;C:\\b;old"}},
        {"a drive entry named like it is not it",
         {"=INCLUDE=x", "INCLUDE=old"},
         "C:\\h",
         {"=INCLUDE=x", "INCLUDE=C:\\h;old"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string in = block(c.entries), expected = block(c.expected);
        const size_t size = prefixedBlockSize(in.data(), "INCLUDE", c.value);
        ASSERT_GE(size, expected.size());
        auto out = exactBlock(size);
        const size_t n = prefixVariable(in.data(), "INCLUDE", c.value, out.get(), size);
        EXPECT_EQ(std::string(out.get(), n), expected);

        // One byte short of what it writes is refused whole; no write lands
        // past the buffer (ASan).
        for (size_t shorter : {expected.size() - 1, (size_t)1, (size_t)0}) {
            auto small = exactBlock(shorter ? shorter : 1);
            EXPECT_EQ(prefixVariable(in.data(), "INCLUDE", c.value, small.get(), shorter), 0u) << shorter;
        }
    }
}

TEST(PrefixVariable, NamesThatNoVariableCanHaveAreRefused)
{
    const std::string in = block({"A=1"});
    auto out = exactBlock(64);
    for (const char* name : {"", "IN=CLUDE", "="}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(prefixVariable(in.data(), name, "C:\\h", out.get(), 64), 0u);
    }
    // No block at all counts as an empty one.
    EXPECT_EQ(prefixVariable(nullptr, "INCLUDE", "C:\\h", out.get(), 64), block({"INCLUDE=C:\\h"}).size());
}

// ---------------------------------------------------------------------------
// programOfCommand / firstPrintedLine / isFlatAssemblerBanner / isFasmgProgram

TEST(ProgramOfCommand, ThePathInsideQuotesOrTheWholeText)
{
    const size_t room = 260;  // the platform's MAX_PATH, which the dialog gives it
    const std::string longest(room - 1, 'p');
    struct Case {
        std::string command;
        std::string expected;
    } cases[] = {
        {"C:\\fasm\\FASM.EXE", "C:\\fasm\\FASM.EXE"},
        {"C:\\Program Files\\fasm\\FASM.EXE", "C:\\Program Files\\fasm\\FASM.EXE"},
        {"\"C:\\Program Files\\fasm\\FASM.EXE\"", "C:\\Program Files\\fasm\\FASM.EXE"},
        {"\"C:\\a b\\fasm.exe\" -m 65536", "C:\\a b\\fasm.exe"},
        {"  C:\\fasm\\fasm.exe \t", "C:\\fasm\\fasm.exe"},
        {"\"C:\\unclosed\\fasm.exe", "C:\\unclosed\\fasm.exe"},
        {"\"\"", ""},
        {"   ", ""},
        {"", ""},
        {longest, longest},
        {longest + "q", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        auto out = exactBlock(room);
        EXPECT_EQ(programOfCommand(c.command.c_str(), out.get(), room), c.expected.size());
        EXPECT_EQ(std::string(out.get()), c.expected);
    }
}

TEST(FirstPrintedLine, TheFirstLineWithTextAndWhetherItEnded)
{
    struct Case {
        const char* label;
        std::string bytes;
        size_t outSize;
        const char* expected;
        bool complete;
    } cases[] = {
        {"fasm 1 on Windows", "flat assembler  version 1.73.34\r\nusage: fasm <source> [output]\r\n", 64,
         "flat assembler  version 1.73.34", true},
        {"fasm g", "flat assembler  version g.l8vn\nUsage: fasmg source [output]\n", 64,
         "flat assembler  version g.l8vn", true},
        {"no line break yet", "flat assembler  vers", 64, "flat assembler  vers", false},
        {"blank lines first", "\r\n  \r\n\t\nflat assembler\r\n", 64, "flat assembler", true},
        {"a lone CR ends it", "first\rsecond", 64, "first", true},
        {"control characters shown as blanks", std::string("a\x1b[1mb\x7f", 7) + "\n", 64, "a [1mb ", true},
        {"NUL bytes in a line", std::string("\0\0ab\0c\n", 7), 64, "  ab c", true},
        {"only NUL bytes and blanks", std::string("\0 \0\r\n", 5), 64, "", false},
        {"cut to the buffer", "abcdefgh\n", 5, "abcd", true},
        {"nothing", "", 64, "", false},
        {"only line breaks", "\r\n\r\n\n", 64, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto out = exactBlock(c.outSize);
        bool complete = !c.complete;
        EXPECT_EQ(firstPrintedLine(c.bytes.data(), c.bytes.size(), out.get(), c.outSize, &complete),
                  strlen(c.expected));
        EXPECT_STREQ(out.get(), c.expected);
        EXPECT_EQ(complete, c.complete);
    }
}

TEST(IsFlatAssemblerBanner, AnyVersionButNothingElse)
{
    for (const char* yes : {"flat assembler  version 1.73.34", "flat assembler  version g.l8vn",
                            "flat assembler  version 1.73.32  (stand-in)", "Flat Assembler version 1.0"})
        EXPECT_TRUE(isFlatAssemblerBanner(yes)) << yes;
    for (const char* no : {"", "flat assemble", "flat-assembler", " flat assembler", "usage: fasm <source>",
                           "Microsoft (R) Macro Assembler", "The flat assembler"})
        EXPECT_FALSE(isFlatAssemblerBanner(no)) << no;
}

TEST(IsFasmgProgram, ItsNameWithOrWithoutExe)
{
    for (const char* yes : {"fasmg.exe", "FASMG.EXE", "fasmg", "FasmG"})
        EXPECT_TRUE(isFasmgProgram(yes)) << yes;
    for (const char* no : {"fasm.exe", "fasm2.cmd", "fasmg.exe.bak", "xfasmg.exe", "fasmg.ex", "fasmgg", ""})
        EXPECT_FALSE(isFasmgProgram(no)) << no;
}

}  // namespace
