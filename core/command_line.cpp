#include "core/command_line.h"

#include <string.h>

static size_t textLength(const char* s) { return s ? strlen(s) : 0; }

size_t assemblerCommandLength(const char* assembler, const char* source, const char* output,
                              const char* extra)
{
    size_t n = textLength(assembler) + 2 + textLength(source) + 2 + textLength(extra);
    if (textLength(output) > 0)
        n += 2 + textLength(output) + 2;
    return n;
}

namespace {
struct Writer {
    char* p;
    void text(const char* s)
    {
        size_t n = textLength(s);
        memcpy(p, s ? s : "", n);
        p += n;
    }
};
}  // namespace

size_t composeAssemblerCommand(char* out, size_t outSize, const char* assembler, const char* source,
                               const char* output, const char* extra)
{
    if (outSize == 0)
        return 0;
    size_t length = assemblerCommandLength(assembler, source, output, extra);
    if (length + 1 > outSize) {
        out[0] = '\0';
        return 0;
    }
    Writer w{out};
    w.text(assembler);
    w.text(" \"");
    w.text(source);
    w.text("\" ");
    if (textLength(output) > 0) {
        w.text(" \"");
        w.text(output);
        w.text("\" ");
    }
    w.text(extra);
    *w.p = '\0';
    return length;
}
