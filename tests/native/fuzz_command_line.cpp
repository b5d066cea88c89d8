// Four arbitrary texts (the input split on NUL bytes; a missing one is passed
// as null) composed into heap buffers of exactly the size given, from far too
// small to roomy. The result is all or nothing: the full line or "".

#include "core/command_line.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

namespace {

void check(size_t outSize, const char* const t[4], const std::string& expected)
{
    std::unique_ptr<char[]> out(new char[outSize ? outSize : 1]);
    memset(out.get(), 0x7f, outSize ? outSize : 1);
    const size_t n = composeAssemblerCommand(out.get(), outSize, t[0], t[1], t[2], t[3]);
    if (outSize == 0) {
        if (n != 0)
            abort();
        return;
    }
    if (expected.size() + 1 <= outSize) {
        if (n != expected.size() || memcmp(out.get(), expected.c_str(), n + 1) != 0)
            abort();
    } else if (n != 0 || out[0] != '\0') {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t slack = data[0];
    std::unique_ptr<char[]> text(new char[size]);
    memcpy(text.get(), data + 1, size - 1);
    text[size - 1] = '\0';

    const char* t[4] = {nullptr, nullptr, nullptr, nullptr};
    const char* p = text.get();
    const char* end = text.get() + size - 1;
    for (int i = 0; i < 4 && p <= end; ++i) {
        t[i] = p;
        p += strlen(p) + 1;
    }

    std::string expected = std::string(t[0] ? t[0] : "") + " \"" + (t[1] ? t[1] : "") + "\" ";
    if (t[2] && *t[2])
        expected += std::string(" \"") + t[2] + "\" ";
    expected += t[3] ? t[3] : "";

    const size_t length = assemblerCommandLength(t[0], t[1], t[2], t[3]);
    if (length != expected.size())
        abort();

    const size_t sizes[] = {
        0, 1, length, length + 1, length + 2 + slack % 8, (size_t)slack, length > slack ? length - slack : 0};
    for (size_t s : sizes)
        check(s, t, expected);
    return 0;
}
