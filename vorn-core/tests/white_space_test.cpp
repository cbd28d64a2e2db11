#include "text/white_space.hpp"

#include <gtest/gtest.h>
#include <string>

#include "text/utf8.hpp"

namespace vorn {
namespace {

TEST(WhiteSpace, ExactlyTheTwentyFiveCodePoints) {
    int count = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c)
        if (is_white_space(c)) ++count;
    EXPECT_EQ(count, 25);
    for (char32_t c : {0x09, 0x0D, 0x20, 0x85, 0xA0, 0x1680, 0x2000, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000})
        EXPECT_TRUE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
    for (char32_t c : {0x08, 0x0E, 0x1F, 0x21, 0x84, 0x86, 0x200B, 0x2027, 0x202A, 0xFEFF, 0x180E})
        EXPECT_FALSE(is_white_space(c)) << std::hex << static_cast<unsigned>(c);
}

struct DecodeCase {
    std::string text;
    std::size_t offset;
    char32_t code_point;
    std::size_t length;
};

TEST(WhiteSpace, DecodesForwardAndRefusesMalformedBytes) {
    const DecodeCase cases[] = {
        {"a", 0, U'a', 1},
        {"\xC2\xA0", 0, 0xA0, 2},
        {"x\xE3\x80\x80", 1, 0x3000, 3},
        {"\xF0\x9F\x98\x80", 0, 0x1F600, 4},
        {"\xE3\x80", 0, 0xFFFD, 1},  // truncated at the end of the text
        {"\xC2"
         "a",
         0, 0xFFFD, 1},          // lead byte without continuation
        {"\x80", 0, 0xFFFD, 1},  // stray continuation byte
        {"\xFF", 0, 0xFFFD, 1},
    };
    for (const auto& c : cases) {
        const DecodedChar decoded = decode_utf8(c.text, c.offset);
        EXPECT_EQ(decoded.code_point, c.code_point) << c.text;
        EXPECT_EQ(decoded.length, c.length) << c.text;
    }
}

TEST(WhiteSpace, DecodesTheCharacterBeforeAnOffset) {
    const DecodeCase cases[] = {
        {"ab", 2, U'b', 1},
        {"a\xC2\xA0#", 3, 0xA0, 2},
        {"\xE3\x80\x80", 3, 0x3000, 3},
        {"\xF0\x9F\x98\x80z", 4, 0x1F600, 4},
        {"\x80\x80\x80\x80\x80", 5, 0xFFFD, 1},  // no lead byte within reach
    };
    for (const auto& c : cases) {
        const DecodedChar decoded = decode_utf8_before(c.text, c.offset);
        EXPECT_EQ(decoded.code_point, c.code_point) << c.text;
        EXPECT_EQ(decoded.length, c.length) << c.text;
    }
}

}  // namespace
}  // namespace vorn
