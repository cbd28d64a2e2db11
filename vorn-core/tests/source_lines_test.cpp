// Line preparation: splitting, line ends, trimming, indentation, numbering
// and the tab check that runs before any parsing.
#include "read/source_lines.hpp"

#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "vorn/result.hpp"

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

// Line ends are found inline within the first 32 bytes and by the library
// after them: lines of every length around that, each indented differently.
TEST(PrepareLines, FindsEveryLineEndAroundTheInlineWindow) {
    std::string document;
    std::vector<std::string> texts;
    texts.reserve(70);  // the expected views point into them
    std::vector<Expected> expected;
    for (std::uint64_t length = 1; length <= 70; ++length) {
        const std::uint64_t indent = (length * 7) % 41;
        texts.push_back(std::string(length, static_cast<char>('a' + length % 26)));
        document += std::string(indent, ' ') + texts.back() + (length % 5 == 0 ? "\r\n" : "\n");
        expected.push_back({texts.back(), indent, length});
    }
    expect_lines(document, expected);
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
