#include "text/utf8.hpp"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace vorn {
namespace {

// The shortest encoding of a code point, written out longhand.
std::string encode(char32_t c) {
    const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (c < 0x80) return {byte(c)};
    if (c < 0x800) return {byte(0xC0 | c >> 6), byte(0x80 | (c & 0x3F))};
    if (c < 0x10000) return {byte(0xE0 | c >> 12), byte(0x80 | (c >> 6 & 0x3F)), byte(0x80 | (c & 0x3F))};
    return {byte(0xF0 | c >> 18), byte(0x80 | (c >> 12 & 0x3F)), byte(0x80 | (c >> 6 & 0x3F)), byte(0x80 | (c & 0x3F))};
}

// Every scalar value decodes from its encoding; and a lead byte with any
// second byte (the rest continuation bytes) is taken exactly when the two
// begin the encoding of some scalar value, else it is U+FFFD of length 1.
TEST(Utf8, TakesExactlyTheEncodingsOfScalarValues) {
    std::array<std::uint8_t, 0x10000> length_by_first_two{};  // 0: begins none
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::string bytes = encode(c);
        const DecodedChar decoded = decode_utf8(bytes, 0);
        ASSERT_EQ(decoded.code_point, c);
        ASSERT_EQ(decoded.length, bytes.size());
        const unsigned first = static_cast<unsigned char>(bytes[0]);
        const unsigned second = bytes.size() == 1 ? 0 : static_cast<unsigned char>(bytes[1]);
        length_by_first_two[first << 8 | second] = static_cast<std::uint8_t>(bytes.size());
    }
    for (unsigned first_two = 0; first_two < 0x10000; ++first_two) {
        const unsigned first = first_two >> 8;
        const std::string bytes{static_cast<char>(first), static_cast<char>(first_two & 0xFF), '\x80', '\x80'};
        const std::size_t length = length_by_first_two[first < 0x80 ? first << 8 : first_two];
        const DecodedChar decoded = decode_utf8(bytes, 0);
        ASSERT_EQ(decoded.length, length == 0 ? 1 : length) << std::hex << first_two;
        if (length == 0) ASSERT_EQ(decoded.code_point, 0xFFFDu) << std::hex << first_two;
    }
}

struct DecodeCase {
    std::string text;
    std::size_t offset;
    char32_t code_point;
    std::size_t length;
};

TEST(Utf8, DecodesWholeSequencesOnly) {
    const DecodeCase forward[] = {
        {"\xC0\xA0", 0, 0xFFFD, 1},          // overlong space
        {"\xE0\x80\xA0", 0, 0xFFFD, 1},      // overlong, three bytes
        {"\xF0\x80\x80\xA0", 0, 0xFFFD, 1},  // overlong, four bytes
        {"\xED\xA0\x80", 0, 0xFFFD, 1},      // surrogate
        {"\xF4\x90\x80\x80", 0, 0xFFFD, 1},  // past U+10FFFF
        {"\xBF", 0, 0xFFFD, 1},              // stray continuation byte
        {"\xE3\x80!", 0, 0xFFFD, 1},         // third byte not a continuation
        {"\xF0\x9F\x98!", 0, 0xFFFD, 1},     // fourth byte not a continuation
        {"a\xF0\x9F\x98", 1, 0xFFFD, 1},     // cut short by the end
    };
    for (const auto& c : forward) {
        const DecodedChar decoded = decode_utf8(c.text, c.offset);
        EXPECT_EQ(decoded.code_point, c.code_point) << c.text;
        EXPECT_EQ(decoded.length, c.length) << c.text;
    }
    const DecodeCase backward[] = {
        {"\xC0\xA0", 2, 0xFFFD, 1},          // overlong space
        {"\xED\xA0\x80", 3, 0xFFFD, 1},      // surrogate
        {"\xE3\x80\x80\x80", 4, 0xFFFD, 1},  // one continuation byte too many
        {"\x80\xE3\x80\x80", 4, 0x3000, 3},  // a stray byte before is not part of it
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF, 4},
    };
    for (const auto& c : backward) {
        const DecodedChar decoded = decode_utf8_before(c.text, c.offset);
        EXPECT_EQ(decoded.code_point, c.code_point) << c.text;
        EXPECT_EQ(decoded.length, c.length) << c.text;
    }
}

}  // namespace
}  // namespace vorn
