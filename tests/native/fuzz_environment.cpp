// A variable put in front in an arbitrary environment block: the input is
// the name, a NUL, the value, a NUL, then the block's bytes (given its
// final NULs here). The result must hold every other entry in its order and
// the variable once, with the value first; a buffer a byte short gets
// nothing.

#include "core/environment.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return s;
}

std::string nameOf(const std::string& entry)
{
    size_t equals = entry.empty() ? std::string::npos : entry.find('=', 1);
    return entry.substr(0, equals);
}

std::vector<std::string> entries(const char* block)
{
    std::vector<std::string> list;
    for (const char* e = block; *e; e += strlen(e) + 1)
        list.push_back(e);
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input((const char*)data, size);
    size_t first = input.find('\0');
    if (first == std::string::npos)
        return 0;
    size_t second = input.find('\0', first + 1);
    if (second == std::string::npos)
        return 0;
    const std::string name = input.substr(0, first), value = input.substr(first + 1, second - first - 1);
    const std::string block = input.substr(second + 1) + std::string(2, '\0');

    const size_t room = prefixedBlockSize(block.data(), name.c_str(), value.c_str());
    std::unique_ptr<char[]> out(new char[room]);
    const size_t n = prefixVariable(block.data(), name.c_str(), value.c_str(), out.get(), room);
    if (name.empty() || name.find('=') != std::string::npos) {
        if (n != 0)
            abort();
        return 0;
    }
    if (n == 0 || n > room || out[n - 1] != '\0' || (n >= 2 && out[n - 2] != '\0'))
        abort();

    std::string trimmed = value;
    while (!trimmed.empty() && trimmed.back() == ';')
        trimmed.pop_back();
    std::vector<std::string> before = entries(block.data()), after = entries(out.get());
    std::string inherited;
    bool found = false;
    std::vector<std::string> others;
    for (const std::string& e : before) {
        if (e[0] != '=' && upper(nameOf(e)) == upper(name)) {
            if (!found && e.size() > name.size())
                inherited = e.substr(name.size() + 1);
            found = true;
        } else {
            others.push_back(e);
        }
    }
    std::string expected = name + "=" + trimmed + (inherited.empty() ? "" : ";" + inherited);
    std::vector<std::string> rest;
    int seen = 0;
    for (const std::string& e : after) {
        if (e[0] != '=' && upper(nameOf(e)) == upper(name)) {
            if (e != expected)
                abort();
            ++seen;
        } else {
            rest.push_back(e);
        }
    }
    if (seen != 1 || rest != others)
        abort();

    std::unique_ptr<char[]> small(new char[n]);
    if (prefixVariable(block.data(), name.c_str(), value.c_str(), small.get(), n - 1) != 0)
        abort();
    return 0;
}
