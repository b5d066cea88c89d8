// What a captured run's pane keeps: bytes pushed in pieces of any size into a
// ring of any capacity, then the part to show below a head of any size with
// any room for lines, checked against a plain reading of the rules; and the
// head's prefix and the line count on the same bytes. The first three bytes
// of the input pick the capacity, the head's size and the line room, each
// following byte a piece's size.

#include "core/run_output.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

namespace {

bool breaksAt(const std::string& s, size_t i)
{
    return s[i] == '\n' || (s[i] == '\r' && i + 1 < s.size() && s[i + 1] != '\n');
}

size_t breaks(const std::string& s)
{
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i)
        n += breaksAt(s, i);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const size_t capacity = data[0] % 48, headBytes = data[1] % 64, lineRoom = data[2] % 8;
    std::unique_ptr<char[]> ring(new char[capacity ? capacity : 1]);
    OutputTail tail;
    tailInit(&tail, ring.get(), capacity);
    std::string all;
    size_t at = 3;
    while (at < size) {
        size_t piece = data[at] % 64;
        ++at;
        if (piece > size - at)
            piece = size - at;
        // Exactly the piece, so that a read past it is an ASan report.
        std::unique_ptr<char[]> bytes(new char[piece ? piece : 1]);
        memcpy(bytes.get(), data + at, piece);
        tailPush(&tail, bytes.get(), piece);
        all.append((const char*)data + at, piece);
        at += piece;
    }
    if (tail.received != all.size())
        abort();

    // The line count, and the head's prefix: the most bytes within both rooms.
    std::unique_ptr<char[]> exact(new char[all.size() ? all.size() : 1]);
    memcpy(exact.get(), all.data(), all.size());
    if (countLineBreaks(exact.get(), all.size()) != breaks(all))
        abort();
    size_t prefix = fittingPrefix(exact.get(), all.size(), headBytes, lineRoom);
    size_t longest = 0;
    for (size_t n = 0; n <= all.size() && n <= headBytes; ++n) {
        std::string p = all.substr(0, n);
        size_t b = 0;
        for (size_t i = 0; i < n; ++i)  // a '\r' at the prefix's end counts as its bytes say
            b += all[i] == '\n' || (all[i] == '\r' && i + 1 < all.size() && all[i + 1] != '\n');
        if (b <= lineRoom && (lineRoom > 0 || n == 0))
            longest = n;
    }
    if (prefix > longest)
        abort();

    // The part shown below the head.
    const size_t start = all.size() > capacity ? all.size() - capacity : 0;
    std::string expected;
    if (start >= headBytes) {
        expected = all.substr(start);
        size_t lineEnd = expected.find('\n');
        if (start > headBytes && lineEnd < expected.size() / 2)
            expected = expected.substr(lineEnd + 1);
    } else if (headBytes < all.size()) {
        expected = all.substr(headBytes);
    }
    size_t cut = 0, seen = 0;
    for (size_t i = expected.size(); i-- > 0;)
        if (breaksAt(expected, i) && ++seen > lineRoom) {
            cut = i + 1;
            break;
        }
    expected = expected.substr(cut);
    size_t length = 0;
    const char* shown = tailToShow(&tail, headBytes, lineRoom, &length);
    if (length != expected.size() || (length && memcmp(shown, expected.data(), length) != 0))
        abort();
    if (length && (shown < ring.get() || shown + length > ring.get() + capacity))
        abort();
    return 0;
}
