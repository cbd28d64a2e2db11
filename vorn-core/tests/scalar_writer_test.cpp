#include "write/scalar_writer.hpp"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace vorn {
namespace {

struct ScalarCase {
    std::string text;
    std::uint64_t indent;
    std::optional<std::string> inline_comment;
    std::string expected;
};

TEST(WriteScalar, QuotedOrLiteralBlock) {
    using namespace std::string_literals;
    const ScalarCase cases[] = {
        {"plain", 0, {}, "\"plain\"\n"},
        {"", 0, {}, "\"\"\n"},
        {"a\"b", 0, {}, "\"a\\\"b\"\n"},
        {"a\\b", 0, {}, "\"a\\\\b\"\n"},
        {"\\\"\"\\", 0, {}, "\"\\\\\\\"\\\"\\\\\"\n"},
        {"tab\there", 0, {}, "\"tab\there\"\n"},
        {"cr\rhere", 0, {}, "\"cr\rhere\"\n"},
        {"nul\0here"s, 0, {}, "\"nul\0here\"\n"s},
        {"\xE2\x80\xA8 caf\xC3\xA9", 0, {}, "\"\xE2\x80\xA8 caf\xC3\xA9\"\n"},
        {"  padded # not a comment  ", 0, {}, "\"  padded # not a comment  \"\n"},
        {"[]", 0, {}, "\"[]\"\n"},
        {"|", 0, {}, "\"|\"\n"},
        {"say hi", 0, "#greeting", "\"say hi\" #greeting\n"},
        {"one\ntwo", 0, {}, "|\n  one\n  two\n"},
        {"ends\n", 0, {}, "|\n  ends\n  \n"},
        {"\n", 0, {}, "|\n  \n  \n"},
        {"\nstarts", 2, {}, "|\n    \n    starts\n"},
        {"a\r\nb", 0, {}, "|\n  a\r\n  b\n"},
        {"deep\nblock", 4, {}, "|\n      deep\n      block\n"},
        {"keeps \"quotes\" and \\\n as is", 0, {}, "|\n  keeps \"quotes\" and \\\n   as is\n"},
        {"x\ny", 0, "# c", "| # c\n  x\n  y\n"},
        // Both sides of the length up to which scalars take the one-loop check.
        {std::string(31, 'a') + "\"", 0, {}, "\"" + std::string(31, 'a') + "\\\"\"\n"},
        {std::string(32, 'a') + "\\", 0, {}, "\"" + std::string(32, 'a') + "\\\\\"\n"},
        {std::string(31, 'a') + "\n", 0, {}, "|\n  " + std::string(31, 'a') + "\n  \n"},
        {std::string(33, 'a'), 0, "#c", "\"" + std::string(33, 'a') + "\" #c\n"},
    };
    for (const auto& c : cases) {
        std::string out = "prefix";
        write_scalar(out, c.indent, c.text, c.inline_comment);
        EXPECT_EQ(out, "prefix" + c.expected) << c.text;
    }
}

struct KeyCase {
    std::string key;
    std::string expected;
};

TEST(WriteKey, QuotedOnlyWhenTheReaderWouldChangeIt) {
    const KeyCase cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a-b", "a-b"},
        {"-x", "-x"},
        {"-", "-"},
        {"&x", "&x"},
        {"*x", "*x"},
        {"<<", "<<"},
        {"[]", "[]"},
        {"{}", "{}"},
        {"|", "|"},
        {"a\\b", "a\\b"},
        {"\xE2\x80\x8B", "\xE2\x80\x8B"},        // U+200B is not White_Space
        {"\xEF\xBB\xBFkey", "\xEF\xBB\xBFkey"},  // nor is U+FEFF
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"a b", "\"a b\""},
        {"a\xC2\xA0"
         "b",
         "\"a\xC2\xA0"
         "b\""},                                 // U+00A0
        {"\xE3\x80\x80", "\"\xE3\x80\x80\""},    // U+3000
        {"x\xE2\x80\xA8", "\"x\xE2\x80\xA8\""},  // U+2028
        {"\xC2\x85", "\"\xC2\x85\""},            // U+0085
        {"\xE1\x9A\x80", "\"\xE1\x9A\x80\""},    // U+1680
        {"a#b", "\"a#b\""},
        {"#", "\"#\""},
        {"a:b", "\"a:b\""},
        {"why?", "\"why?\""},
        {"tab\there", "\"tab\there\""},
        {"line\nfeed", "\"line\nfeed\""},
        {"cr\r", "\"cr\r\""},
        {"\"quoted\"", "\"\\\"quoted\\\"\""},
        {"'single'", "\"'single'\""},
        {"\"", "\"\\\"\""},
        {"'", "\"'\""},
        {"it's", "\"it's\""},
        {"a\"b", "\"a\\\"b\""},
        {"a \"b", "\"a \\\"b\""},
        {"a\\ b", "\"a\\\\ b\""},
    };
    for (const auto& c : cases) {
        std::string out;
        write_key(out, c.key);
        EXPECT_EQ(out, c.expected) << c.key;
    }
}

TEST(WriteCommentLines, EachAtItsOwnIndentation) {
    std::string out;
    write_comment_lines(out, {});
    EXPECT_EQ(out, "");
    write_comment_lines(out, {{"#four", 4}, {"#zero", 0}, {"# two words", 2}});
    EXPECT_EQ(out, "    #four\n#zero\n  # two words\n");
}

}  // namespace
}  // namespace vorn
