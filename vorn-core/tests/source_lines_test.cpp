// Line preparation: splitting, line ends, trimming, indentation, numbering
// and the tab check that runs before any parsing.
#include "read/source_lines.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "vorn/result.hpp"

#include "text/trim.hpp"

namespace vorn {
namespace {

// Every non-blank line at once, after the tab check, as the reader takes
// them one by one.
Result<std::vector<SourceLine>> prepare_lines(std::string_view text) {
    if (auto tab = find_tab(text)) return std::move(*tab);
    std::vector<SourceLine> lines;
    for (LineCursor cursor(text); const SourceLine* line = cursor.peek(); cursor.advance()) lines.push_back(*line);
    return lines;
}

struct Expected {
    std::string_view text;
    std::uint64_t indent;
    std::uint64_t number;
};

void expect_lines(std::string_view document, const std::vector<Expected>& expected) {
    Result<std::vector<SourceLine>> prepared = prepare_lines(document);
    ASSERT_TRUE(prepared.ok()) << prepared.error().render();
    const std::vector<SourceLine>& lines = prepared.value();
    ASSERT_EQ(lines.size(), expected.size()) << document;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].text, expected[i].text) << document << " line " << i;
        EXPECT_EQ(lines[i].indent, expected[i].indent) << document << " line " << i;
        EXPECT_EQ(lines[i].number, expected[i].number) << document << " line " << i;
    }
}

TEST(PrepareLines, BlankTextsHaveNoLines) {
    for (std::string_view text : {"", "\n", "\n\n\n", "   \n \n", "\r\n\r\n", " \xC2\xA0 \n\xE3\x80\x80"})
        expect_lines(text, {});
}

TEST(PrepareLines, SplitsAtLineFeedsAndCountsBlankLines) {
    expect_lines("a: 1\n\n  b: 2\n", {{"a: 1", 0, 1}, {"b: 2", 2, 3}});
    expect_lines("a\r\nb\r\n\r\nc", {{"a", 0, 1}, {"b", 0, 2}, {"c", 0, 4}});
    expect_lines("x\n", {{"x", 0, 1}});
}

TEST(PrepareLines, CarriageReturnInsideALineStays) { expect_lines("a\rb\nc\r", {{"a\rb", 0, 1}, {"c", 0, 2}}); }

TEST(PrepareLines, IndentCountsOnlyLeadingSpaces) {
    expect_lines("   k  \n\xC2\xA0k\n  \xC2\xA0 k\n \xEF\xBB\xBFk\n",
                 {{"k", 3, 1}, {"k", 0, 2}, {"k", 2, 3}, {"\xEF\xBB\xBFk", 1, 4}});
}

// The cursor takes a short line whole from its first 32 bytes, a longer or
// deeper one sixteen bytes at a time, and anything with White_Space to
// trim the general way. Whatever the way, each line must be what the
// definition gives: split at LF, trimmed by whole White_Space characters,
// indented by its leading spaces, and skipped when nothing is left.
std::vector<SourceLine> lines_by_definition(std::string_view text) {
    std::vector<SourceLine> lines;
    std::uint64_t number = 0;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        const std::size_t feed = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, feed - start);
        start = feed + 1;
        const std::string_view trimmed = trim_start_scanning(trim_end_scanning(line));
        if (!trimmed.empty()) lines.push_back({trimmed, line.find_first_not_of(' '), number + 1});
    }
    return lines;
}

TEST(PrepareLines, EveryLineIsWhatTheDefinitionGives) {
    // Pieces of a line's text: visible ASCII, spaces, and White_Space that
    // has to be trimmed (CR, NBSP, the ideographic space).
    const std::string_view pieces[] = {"a", "key:", "  ", " ", "#", "\r", "\xC2\xA0", "\xE3\x80\x80", "\"x\""};
    std::mt19937 random(20261210);
    for (int round = 0; round < 300; ++round) {
        std::string document;
        const int line_count = std::uniform_int_distribution<int>(1, 12)(random);
        for (int line = 0; line < line_count; ++line) {
            document += std::string(std::uniform_int_distribution<std::size_t>(0, 80)(random), ' ');
            // Mostly lines under 32 bytes, some far longer.
            const int piece_count = std::uniform_int_distribution<int>(0, random() % 4 == 0 ? 90 : 8)(random);
            for (int piece = 0; piece < piece_count; ++piece)
                document += pieces[random() % (random() % 3 == 0 ? std::size(pieces) : 2)];
            if (line + 1 < line_count || random() % 2 == 0) document += random() % 5 == 0 ? "\r\n" : "\n";
        }
        Result<std::vector<SourceLine>> prepared = prepare_lines(document);
        ASSERT_TRUE(prepared.ok());
        const std::vector<SourceLine> expected = lines_by_definition(document);
        ASSERT_EQ(prepared.value().size(), expected.size()) << document;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(prepared.value()[i].text.data(), expected[i].text.data()) << document << " line " << i;
            EXPECT_EQ(prepared.value()[i].text.size(), expected[i].text.size()) << document << " line " << i;
            EXPECT_EQ(prepared.value()[i].indent, expected[i].indent) << document << " line " << i;
            EXPECT_EQ(prepared.value()[i].number, expected[i].number) << document << " line " << i;
        }
    }
}

TEST(PrepareLines, ViewsPointIntoTheText) {
    const std::string text = "  key: v  \n";
    Result<std::vector<SourceLine>> prepared = prepare_lines(text);
    ASSERT_TRUE(prepared.ok());
    EXPECT_EQ(prepared.value()[0].text.data(), text.data() + 2);
}

TEST(PrepareLines, TheFirstTabAnywhereFailsAtItsLine) {
    // (text, line, offset of its first tab); the column stays 1.
    const std::tuple<std::string_view, std::uint64_t, std::uint64_t> cases[] = {
        {"\t", 1, 0},
        {"a: 1\n\tb: 2\n", 2, 5},
        {"a: 1\nbroken\n\n\nk: \"a\tb\"\nx: \t\n", 5, 19},
        {"a\r\n\r\n# c\tc\r\n", 3, 8},
        {"a\n\n   \t   \n", 3, 6},
    };
    for (const auto& [text, line, offset] : cases) {
        Result<std::vector<SourceLine>> prepared = prepare_lines(text);
        ASSERT_FALSE(prepared.ok()) << text;
        EXPECT_EQ(prepared.error(), (ParseError{"tabs are not allowed; use spaces for indentation", line, 1, offset}))
            << text;
    }
}

}  // namespace
}  // namespace vorn
