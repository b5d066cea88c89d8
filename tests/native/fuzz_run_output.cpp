// A captured run's tail: bytes pushed in pieces of any size into a ring of
// any capacity, checked against the plain reading (the last capacity bytes,
// then from the first whole line when bytes were lost and a line
// break lies in the first half). The first byte of the
// input picks the capacity, each following byte pair a piece's size.

#include "core/run_output.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t capacity = data[0] % 48;
    std::unique_ptr<char[]> ring(new char[capacity ? capacity : 1]);
    OutputTail tail;
    tailInit(&tail, ring.get(), capacity);
    std::string all;
    size_t at = 1;
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
    std::string expected = all.size() > capacity ? all.substr(all.size() - capacity) : all;
    if (all.size() > capacity) {
        size_t lineEnd = expected.find('\n');
        if (lineEnd != std::string::npos && lineEnd < capacity / 2)
            expected = expected.substr(lineEnd + 1);
    }
    size_t length = 0;
    const char* start = tailInOrder(&tail, &length);
    if (length != expected.size() || (length && memcmp(start, expected.data(), length) != 0))
        abort();
    if (start < ring.get() || start + length > ring.get() + (capacity ? capacity : 1))
        abort();
    return 0;
}
