// What a program printed, as arbitrary bytes, and an assembler path as
// arbitrary text: the first line and the program are taken from them within
// exact buffers; the line holds no control character or line break, and a
// quoted program no quote.

#include "core/assembler_answer.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t room = data[0] % 64 + 1;
    const char* bytes = (const char*)data + 1;
    const size_t count = size - 1;

    std::unique_ptr<char[]> line(new char[room]);
    bool complete = false;
    const size_t n = firstPrintedLine(bytes, count, line.get(), room, &complete);
    if (n >= room || strlen(line.get()) != n || (n == 0 && complete))
        abort();
    for (size_t i = 0; i < n; ++i)
        if ((unsigned char)line[i] < 0x20 || line[i] == 0x7F)
            abort();
    if (isFlatAssemblerBanner(line.get()) && n < strlen("flat assembler"))
        abort();

    std::unique_ptr<char[]> command(new char[count + 1]);
    memcpy(command.get(), bytes, count);
    command[count] = '\0';
    std::unique_ptr<char[]> program(new char[room]);
    const size_t length = programOfCommand(command.get(), program.get(), room);
    const char* start = command.get() + strspn(command.get(), " \t");
    if (length >= room || strlen(program.get()) != length || (*start == '"' && strchr(program.get(), '"')))
        abort();
    if (*start != '"' && length > 0 && (strchr(" \t", program[0]) || strchr(" \t", program[length - 1])))
        abort();
    if (isFasmgProgram(program.get()) && length != strlen("fasmg") && length != strlen("fasmg.exe"))
        abort();
    return 0;
}
