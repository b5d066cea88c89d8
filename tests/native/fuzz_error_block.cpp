// An output pane's text as the error-block search sees it: any bytes split
// into lines at '\n', the last line taken for the double-clicked one, each
// line handed over through a buffer whose size comes from the first byte.
// The places visited are checked against a plain reading of the rule: where
// the error starts (a blank line, the banner, the previous error's message),
// every readable heading below that, nearest first, each one's places
// innermost first, nothing beyond ERROR_BLOCK_REACH lines up, and the visit
// ending at the place the visitor takes (the second byte picks which). The
// same text is walked through its error messages from a point the second
// byte picks, each way, against a plain reading of that rule.

#include "core/line_parse.h"

#include <ctype.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Output {
    std::vector<std::string> lines;
};

bool readLine(void* context, int32_t index, char* buffer, size_t size, size_t* length)
{
    const Output* output = static_cast<const Output*>(context);
    if (index < 0 || (size_t)index >= output->lines.size())
        abort();
    const std::string& line = output->lines[(size_t)index];
    if (line.size() >= size)
        return false;
    memcpy(buffer, line.data(), line.size());
    buffer[line.size()] = '\0';
    *length = line.size();
    return true;
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

bool endsLikeHeading(const std::string& line)
{
    return line.size() >= 2 && line.compare(line.size() - 2, 2, "]:") == 0;
}

bool startsWithIgnoringCase(const std::string& line, const std::string& start)
{
    if (line.size() < start.size())
        return false;
    for (size_t i = 0; i < start.size(); ++i)
        if (tolower((unsigned char)line[i]) != start[i])
            return false;
    return true;
}

struct Visits {
    std::vector<std::string> seen;
    size_t takeAt;  // the visit that takes its place
};

bool visitPlace(void* context, const char* name, int32_t lineIndex)
{
    Visits* visits = static_cast<Visits*>(context);
    visits->seen.push_back(std::string(name) + '\n' + std::to_string(lineIndex));
    return visits->seen.size() == visits->takeAt;
}

// The error messages of text: where each line starts that starts with a
// message and is not directly below a heading (both read without a CR at
// the line's end).
std::vector<size_t> errorMessages(const std::string& text)
{
    std::vector<size_t> found;
    bool belowHeading = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!belowHeading &&
            (startsWithIgnoringCase(line, "error:") || startsWithIgnoringCase(line, "custom error:")))
            found.push_back(start);
        belowHeading = isPlaceHeading(line.data(), line.size());
        start = end + 1;
    }
    return found;
}

void checkErrorWalk(const uint8_t* data, size_t size, uint8_t pick)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<size_t> errors = errorMessages(text);
    const size_t from = pick & 1 ? NO_POSITION : (size_t)pick % (size + 1);
    for (ErrorDirection direction : {ERROR_FIRST, ERROR_NEXT, ERROR_PREVIOUS}) {
        std::unique_ptr<char[]> exact(new char[size ? size : 1]);
        memcpy(exact.get(), data, size);
        const ErrorStep step = stepToError(exact.get(), size, from, direction);
        if (step.count != errors.size())
            abort();
        if (errors.empty()) {
            if (step.ordinal != 0)
                abort();
            continue;
        }
        size_t expected = 0;  // index into errors
        if (direction == ERROR_NEXT) {
            while (from != NO_POSITION && expected < errors.size() && errors[expected] <= from)
                ++expected;
            if (from == NO_POSITION || expected == errors.size())
                expected = 0;
        } else if (direction == ERROR_PREVIOUS) {
            expected = errors.size() - 1;
            if (from != NO_POSITION) {
                size_t before = 0;
                while (before < errors.size() && errors[before] < from)
                    ++before;
                if (before > 0)
                    expected = before - 1;
            }
        }
        if (step.ordinal != expected + 1 || step.position != errors[expected])
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t bufferSize = 1 + data[0] % 64;
    Output output;
    std::string line;
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == '\n') {
            output.lines.push_back(line);
            line.clear();
        } else {
            line += (char)data[i];
        }
    }
    output.lines.push_back(line);

    // Every line sorts one way, and a place's name lies inside the line.
    for (const std::string& l : output.lines) {
        std::unique_ptr<char[]> exact(new char[l.size() ? l.size() : 1]);
        memcpy(exact.get(), l.data(), l.size());
        ErrorLinePlace place{};
        OutputLineKind kind = classifyOutputLine(exact.get(), l.size(), &place);
        if (kind == OUTPUT_LINE_PLACE && place.nameLength >= l.size())
            abort();
        if (isPlaceHeading(exact.get(), l.size()) && (kind != OUTPUT_LINE_PLACE || !endsLikeHeading(l)))
            abort();
    }

    const int32_t errorLine = (int32_t)output.lines.size() - 1;
    const size_t reach = (size_t)(errorLine < ERROR_BLOCK_REACH ? errorLine : ERROR_BLOCK_REACH);
    auto readable = [&](int32_t i) { return output.lines[(size_t)i].size() < bufferSize; };
    auto heading = [&](int32_t i) {
        return i >= errorLine - (int32_t)reach && i < errorLine && readable(i) &&
               isPlaceHeading(output.lines[(size_t)i].data(), output.lines[(size_t)i].size());
    };
    // Where the error starts: the lines above `first` are not its own.
    int32_t first = errorLine - (int32_t)reach;
    for (int32_t i = errorLine - 1; i >= errorLine - (int32_t)reach; --i) {
        const std::string& l = output.lines[(size_t)i];
        if (!readable(i))
            continue;
        const bool previousMessage =
            (startsWithIgnoringCase(l, "error:") || startsWithIgnoringCase(l, "custom error:")) &&
            heading(i + 1) && !heading(i - 1);
        if (blank(l) || startsWithIgnoringCase(l, "flat assembler ") || previousMessage) {
            first = i + 1;
            break;
        }
    }
    std::vector<std::string> expected;
    for (int32_t i = errorLine - 1; i >= first; --i) {
        if (!heading(i))
            continue;
        const std::string& l = output.lines[(size_t)i];
        ChainPlace places[PLACE_CHAIN_MAX];
        const size_t count = parsePlaceChain(l.data(), l.size(), places, PLACE_CHAIN_MAX);
        for (size_t p = count; p-- > 0;)
            // The visitor gets the name up to a NUL it may hold.
            expected.push_back(
                l.substr(places[p].nameStart, strnlen(l.data() + places[p].nameStart, places[p].nameLength)) +
                '\n' + std::to_string(places[p].lineIndex));
    }

    Visits visits{{}, size > 1 ? (size_t)data[1] % 8 : 0};
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    const PlaceVisit result =
        visitErrorPlaces(errorLine, readLine, &output, buffer.get(), bufferSize, visitPlace, &visits);
    const bool taken = visits.takeAt >= 1 && visits.takeAt <= expected.size();
    if (taken)
        expected.resize(visits.takeAt);
    if (visits.seen != expected)
        abort();
    const PlaceVisit expectedResult = taken              ? PLACE_TAKEN
                                      : expected.empty() ? PLACES_NONE
                                                         : PLACES_NONE_TAKEN;
    if (result != expectedResult)
        abort();
    return 0;
}
