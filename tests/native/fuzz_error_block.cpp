// An output pane's text as the error-block search sees it: any bytes split
// into lines at '\n', the last line taken for the double-clicked one, each
// line handed over through a buffer whose size comes from the first byte.
// The verdict is checked against a plain reading of the rule: the nearest
// line above that is a heading, no blank line or unreadable line skipped
// wrongly, nothing beyond 32 lines up.

#include "core/line_parse.h"

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
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    size_t length = 0;
    const int32_t found = placeHeadingAbove(errorLine, readLine, &output, buffer.get(), bufferSize, &length);

    int32_t expected = -1;
    for (int32_t step = 1; step <= ERROR_BLOCK_REACH && step <= errorLine; ++step) {
        const std::string& l = output.lines[(size_t)(errorLine - step)];
        if (l.size() >= bufferSize)
            continue;
        if (blank(l))
            break;
        ErrorLinePlace place{};
        if (endsLikeHeading(l) && classifyOutputLine(l.data(), l.size(), &place) == OUTPUT_LINE_PLACE) {
            expected = errorLine - step;
            break;
        }
    }
    if (found != expected)
        abort();
    if (found >= 0 && (length != output.lines[(size_t)found].size() ||
                       memcmp(buffer.get(), output.lines[(size_t)found].data(), length) != 0))
        abort();
    return 0;
}
