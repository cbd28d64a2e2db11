// Trimming by whole White_Space characters, at both ends.
#include "text/trim.hpp"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace vorn {
namespace {

struct TrimCase {
    std::string_view text;
    std::string_view trimmed;
    std::string_view start_trimmed;
    std::string_view end_trimmed;
};

TEST(Trim, RemovesWhiteSpaceCharactersAtEachEnd) {
    const TrimCase cases[] = {
        {"", "", "", ""},
        {"   ", "", "", ""},
        {" a b ", "a b", "a b ", " a b"},
        {"\r\x0b\x0c\n x \r", "x", "x \r", "\r\x0b\x0c\n x"},
        {"\xC2\xA0x\xC2\x85", "x", "x\xC2\x85", "\xC2\xA0x"},
        {"\xE3\x80\x80\xE2\x80\x8A"
         "x"
         "\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F\xE1\x9A\x80",
         "x", "x\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAF\xE2\x81\x9F\xE1\x9A\x80", "\xE3\x80\x80\xE2\x80\x8Ax"},
        // Not White_Space: zero width space, byte-order mark, a non-space
        // character whose last byte looks like NO-BREAK SPACE's.
        {"\xE2\x80\x8Bx\xE2\x80\x8B", "\xE2\x80\x8Bx\xE2\x80\x8B", "\xE2\x80\x8Bx\xE2\x80\x8B",
         "\xE2\x80\x8Bx\xE2\x80\x8B"},
        {"\xEF\xBB\xBFx", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx"},
        {"x\xE2\x82\xA0", "x\xE2\x82\xA0", "x\xE2\x82\xA0", "x\xE2\x82\xA0"},
        // Truncated sequences are not White_Space and are never read past.
        {"\xC2", "\xC2", "\xC2", "\xC2"},
        {"\xA0", "\xA0", "\xA0", "\xA0"},
    };
    for (const TrimCase& c : cases) {
        EXPECT_EQ(trim(c.text), c.trimmed) << c.text;
        EXPECT_EQ(trim_start(c.text), c.start_trimmed) << c.text;
        EXPECT_EQ(trim_end(c.text), c.end_trimmed) << c.text;
    }
}

TEST(Trim, ReturnsViewsIntoTheText) {
    const std::string text = "  key  ";
    const std::string_view trimmed = trim(text);
    EXPECT_EQ(trimmed.data(), text.data() + 2);
}

TEST(Trim, MeasuresTheCharacterAtAndBeforeAnOffset) {
    const std::string_view text =
        "a\xE3\x80\x80"
        "b ";
    EXPECT_EQ(white_space_length_at(text, 0), 0u);
    EXPECT_EQ(white_space_length_at(text, 1), 3u);
    EXPECT_EQ(white_space_length_at(text, 5), 1u);
    EXPECT_EQ(white_space_length_at(text, 6), 0u);  // the end
    EXPECT_EQ(white_space_length_before(text, 4), 3u);
    EXPECT_EQ(white_space_length_before(text, 5), 0u);
    EXPECT_EQ(white_space_length_before(text, 0), 0u);
}

}  // namespace
}  // namespace vorn
