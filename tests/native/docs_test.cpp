// The documents give the output pane's limits as the code has them: every
// figure in KB they name, and every count of lines beside one, is one of the
// pane's, and each document that describes the pane names all it should.

#include "core/run_output.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readDocument(const std::string& relative)
{
    std::ifstream in(std::string(TORDEL_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs of lines between blank lines; each list item starts one, and each
// table row stands alone.
std::vector<std::string> paragraphs(const std::string& text)
{
    std::vector<std::string> result(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        bool row = !line.empty() && line[0] == '|';
        if (line.empty() || row || line.compare(0, 2, "- ") == 0)
            result.emplace_back();
        result.back() += line + "\n";
        if (row)
            result.emplace_back();
    }
    return result;
}

std::vector<unsigned long> figuresBefore(const std::string& text, const char* unit)
{
    std::vector<unsigned long> figures;
    const std::regex figure(std::string("(^|[^0-9.,])([0-9]+) ") + unit + "\\b");
    for (auto m = std::sregex_iterator(text.begin(), text.end(), figure); m != std::sregex_iterator(); ++m)
        figures.push_back(std::stoul((*m)[2].str()));
    return figures;
}

std::string kilobytes(unsigned long bytes) { return std::to_string(bytes / 1024) + " KB"; }

TEST(Documents, GiveThePaneLimitsOfTheCode)
{
    const std::set<unsigned long> paneKilobytes = {PANE_LIMIT / 1024, PANE_HEAD / 1024, PANE_TAIL / 1024};
    const std::set<unsigned long> paneLines = {PANE_LINES, HEAD_LINES, TAIL_LINES};
    const std::string whole = kilobytes(PANE_LIMIT), lines = std::to_string(PANE_LINES) + " lines",
                      head = kilobytes(PANE_HEAD), tail = kilobytes(PANE_TAIL);
    struct Document {
        const char* file;
        std::vector<std::string> names;  // what it must name
        bool currentVersionOnly;         // CHANGES.md: only this version's section
    } documents[] = {
        {"README.md", {whole, lines, head, tail}, false},
        {"docs/README.txt", {whole, lines, head, tail}, false},
        {"docs/bad-input.md", {head, tail}, false},
        {"docs/translating.md", {whole, lines}, false},
        {"CHANGES.md", {whole, lines, head, tail}, true},
    };
    for (const Document& d : documents) {
        SCOPED_TRACE(d.file);
        std::string text = readDocument(d.file);
        ASSERT_FALSE(text.empty()) << "cannot read " << d.file;
        if (d.currentVersionOnly) {
            size_t first = text.find("\n## "), second = text.find("\n## ", first + 1);
            ASSERT_NE(first, std::string::npos);
            text = text.substr(first, second == std::string::npos ? std::string::npos : second - first);
        }
        for (const std::string& name : d.names)
            EXPECT_NE(text.find(name), std::string::npos) << "does not say \"" << name << "\"";
        for (const std::string& paragraph : paragraphs(text)) {
            std::vector<unsigned long> sizes = figuresBefore(paragraph, "KB");
            for (unsigned long figure : sizes)
                EXPECT_TRUE(paneKilobytes.count(figure)) << figure << " KB in:\n" << paragraph;
            if (sizes.empty())
                continue;
            for (unsigned long figure : figuresBefore(paragraph, "lines"))
                EXPECT_TRUE(paneLines.count(figure)) << figure << " lines in:\n" << paragraph;
        }
    }
}

}  // namespace
