// Line-level syntax: inline comments, quoted runs, the key's colon,
// unquoting, item lines and value forms.
#include "read/scalar_syntax.hpp"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>

namespace vorn {
namespace {

struct CommentCase {
    std::string_view text;
    std::string_view entry;
    std::optional<std::string_view> comment;
};

TEST(SplitInlineComment, FindsTheCommentOutsideQuotesAfterWhiteSpace) {
    const CommentCase cases[] = {
        {"a: b # note", "a: b", "# note"},
        {"a: b#note", "a: b#note", std::nullopt},
        {"a:#x", "a:#x", std::nullopt},
        {"#whole", "", "#whole"},
        {"- #c", "-", "#c"},
        {"a: b   #  spaced ", "a: b", "#  spaced "},
        {"a: \"x # y\"", "a: \"x # y\"", std::nullopt},
        {"a: 'x' # c", "a: 'x'", "# c"},
        {"a: 'x # c' # d", "a: 'x # c'", "# d"},
        {"it's: x # c", "it's: x # c", std::nullopt},
        {"a: \"x\\\" #c", "a: \"x\\\" #c", std::nullopt},
        {"a: \"x\\\\\" # c", "a: \"x\\\\\"", "# c"},
        {"a: \"x\\", "a: \"x\\", std::nullopt},                        // backslash at the very end
        {"a: 'x\\' # c", "a: 'x\\'", "# c"},                           // no escapes inside single quotes
        {"a: \"it's\" # c", "a: \"it's\"", "# c"},                     // apostrophe inside double quotes
        {"a: x\xC2\xA0# c", "a: x", "# c"},                            // NO-BREAK SPACE before '#'
        {"a: x\xE2\x80\x8B# c", "a: x\xE2\x80\x8B# c", std::nullopt},  // ZERO WIDTH SPACE is not
        {"a: x \xE3\x80\x80 # c", "a: x", "# c"},
    };
    for (const CommentCase& c : cases) {
        const CommentSplit split = split_inline_comment(c.text);
        EXPECT_EQ(split.entry, c.entry) << c.text;
        EXPECT_EQ(split.comment, c.comment) << c.text;
    }
}

struct ColonCase {
    std::string_view text;
    std::size_t run_length;
    std::size_t colon;
};

TEST(FindEntryColon, SkipsAClosedQuotedRunAtTheStart) {
    constexpr std::size_t none = std::string_view::npos;
    const ColonCase cases[] = {
        {"a: b", 0, 1},         {"time: 12:30", 0, 4},     {": v", 0, 0},         {"no colon", 0, none},
        {"\"a:b\": c", 5, 5},   {"'a:b': c", 5, 5},        {"\"a: b\"", 6, none},  // one quoted scalar, no entry colon
        {"\"a: b", 0, 2},                                   // never closes: the first colon counts
        {"'a: b", 0, 2},        {"\"t\\\": 1\": z", 8, 8},  // the escaped quote does not close the run
        {"'t\\': 1", 4, 4},                                 // inside single quotes a backslash is text
        {"x \"a:b\": c", 0, 4},                             // a run counts only at the very start
        {"'' : v", 2, 3},
    };
    for (const ColonCase& c : cases) {
        EXPECT_EQ(closed_quoted_run_length(c.text), c.run_length) << c.text;
        EXPECT_EQ(find_entry_colon(c.text), c.colon) << c.text;
    }
}

TEST(UnquoteScalar, RemovesOneOuterPairAndTheWritersTwoEscapes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"'v'", "v"},
        {"\"v\"", "v"},
        {"''", ""},
        {"\"\"", ""},
        {"'", "'"},
        {"\"", "\""},
        {"\"abc", "\"abc"},
        {"'abc\"", "'abc\""},
        {"'it''s'", "it''s"},
        {"\"  word  \"", "  word  "},
        {"''x''", "'x'"},
        {"plain", "plain"},
        {"\"say \\\"hi\\\"\"", "say \"hi\""},
        {"\"a\\\\b\"", "a\\b"},
        {"\"a\\\\\\\"b\"", "a\\\"b"},      // \\ then \"
        {"\"a\\nb\\t\"", "a\\nb\\t"},      // other backslashes stay
        {"\"trailing\\\"", "trailing\\"},  // a lone backslash before the closing quote
        {"'x\\\"y\\\\z'", "x\\\"y\\\\z"},  // single quotes change nothing inside
        {"\"\\\\\\\\\"", "\\\\"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(unquote_scalar(text), expected) << text;
}

TEST(IsItemLine, HyphenAloneOrFollowedByTheListedBlanks) {
    for (std::string_view text : {"-", "- a", "-  a", "-\ta", "-\na", "-\fa", "-\ra", "- "})
        EXPECT_TRUE(is_item_line(text)) << text;
    for (std::string_view text : {"", "-a", "-1", "--",
                                  "-\x0b"
                                  "a",
                                  "-\xC2\xA0"
                                  "a",
                                  "a -", "#-"})
        EXPECT_FALSE(is_item_line(text)) << text;
}

TEST(ClassifyValue, DecidesTheFormByTheWholeTextOrItsFirstCharacter) {
    const std::pair<std::string_view, ValueForm> cases[] = {
        {"", ValueForm::empty},      {"|", ValueForm::literal_block},
        {"|-", ValueForm::plain},    {"[]", ValueForm::empty_sequence},
        {"[ ]", ValueForm::plain},   {"{}", ValueForm::empty_mapping},
        {"{}x", ValueForm::plain},   {"'x'", ValueForm::quoted},
        {"''", ValueForm::quoted},   {"\"x\"", ValueForm::quoted},
        {"'", ValueForm::plain},     {"'x\"", ValueForm::plain},
        {"*a", ValueForm::alias},    {"*", ValueForm::alias},
        {"&a b", ValueForm::anchor}, {"a*", ValueForm::plain},
        {"~", ValueForm::plain},
    };
    for (const auto& [text, form] : cases) EXPECT_EQ(classify_value(text), form) << text;
}

TEST(AnchorName, IsTheTrimmedRestAfterTheSigil) {
    EXPECT_EQ(anchor_name("*name"), "name");
    EXPECT_EQ(anchor_name("&  my anchor"), "my anchor");
    EXPECT_EQ(anchor_name("*"), "");
    EXPECT_EQ(anchor_name("&\xC2\xA0x\xC2\xA0"), "x");
}

}  // namespace
}  // namespace vorn

namespace vorn {
namespace {

// The searches 16 bytes or a word at a time must see a mark at every
// position of texts of every length around their piece sizes, and nothing
// in texts without one.
TEST(LacksMarks, SeesAMarkAtEveryPosition) {
    for (std::size_t size = 0; size <= 33; ++size) {
        const std::string plain(size, 'a');
        EXPECT_TRUE(lacks_comment_colon_and_backslash(plain)) << size;
        for (std::size_t at = 0; at < size; ++at) {
            for (char mark : {'#', ':', '\\'}) {
                std::string marked = plain;
                marked[at] = mark;
                EXPECT_FALSE(lacks_comment_colon_and_backslash(marked)) << size << " " << at << " " << mark;
            }
        }
    }
    // Bytes next to the marks in value, and UTF-8 bytes, are not marks.
    EXPECT_TRUE(lacks_comment_colon_and_backslash("\"$;[]\x22\xC3\xA9\xE2\x80\xA8 - \"x\"\x7F\x80\xFF"));
}

// The entry line's one pass: the first of two colons placed anywhere, or
// none at all, and npos whenever a '#' or backslash is anywhere else.
TEST(FirstColonLackingMarks, IsTheFirstColonOfALineWithoutMarks) {
    constexpr std::size_t none = std::string_view::npos;
    for (std::size_t size = 0; size <= 40; ++size) {
        for (std::size_t first = 0; first <= size; ++first) {
            for (std::size_t second = first; second <= size; ++second) {
                std::string line(size, 'k');
                if (first < size) line[first] = ':';
                if (second < size) line[second] = ':';
                const std::size_t expected = first < size ? first : none;
                EXPECT_EQ(first_colon_lacking_marks(line), expected) << line;
                if (second != size) continue;
                for (std::size_t at = 0; at < size; ++at) {
                    if (at == first) continue;
                    for (char mark : {'#', '\\'}) {
                        std::string marked = line;
                        marked[at] = mark;
                        EXPECT_EQ(first_colon_lacking_marks(marked), none) << marked;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace vorn
