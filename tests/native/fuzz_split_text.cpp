// Any text split into the slot layouts the add-in uses. The slots are a heap
// block of exactly stride * count bytes, so a write past the last slot is an
// ASan report; inside the block every slot must hold its own terminated field.

#include "core/text_core.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

namespace {

void check(const char* text, size_t stride, int count)
{
    const size_t size = stride * (size_t)count;
    std::unique_ptr<char[]> slots(new char[size]);
    memset(slots.get(), 0x7f, size);
    if (splitIntoSlots(text, slots.get(), stride, count) != count)
        abort();

    const char* field = text;  // start of field i in text, or null past the last
    for (int i = 0; i < count; ++i) {
        const char* slot = slots.get() + (size_t)i * stride;
        const char* end = static_cast<const char*>(memchr(slot, '\0', stride));
        if (!end)
            abort();
        const size_t got = (size_t)(end - slot);
        size_t want = 0;
        if (field) {
            const char* sep = strchr(field, '^');
            want = sep ? (size_t)(sep - field) : strlen(field);
            if (want > stride - 1)
                want = stride - 1;
            if (got != want || memcmp(slot, field, want) != 0)
                abort();
            field = sep ? sep + 1 : nullptr;
        } else if (got != 0) {
            abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<char[]> text(new char[size + 1]);
    memcpy(text.get(), data, size);
    text[size] = '\0';

    // A translated format against the texts' defaults: never reads past the
    // end, and agrees with itself.
    const char* formats[] = {"Error %lu", "%s: command line of %u characters, the limit is %u.", ""};
    for (const char* reference : formats)
        (void)conversionsMatch(text.get(), reference);
    if (!conversionsMatch(text.get(), text.get()) && !strchr(text.get(), '%'))
        abort();
    check(text.get(), 16, 4);  // button captions
    check(text.get(), 64, 5);  // menu captions
    // Small odd layouts too, picked by the first two bytes, to reach the edges
    // of the cut (one-byte slots, a single slot) more often.
    if (size >= 2)
        check(text.get() + 2, 1 + data[0] % 24, 1 + data[1] % 8);
    return 0;
}
