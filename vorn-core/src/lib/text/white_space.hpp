// The Unicode White_Space property and the UTF-8 decoding needed to test it
// on whole characters. Shared by the reading side (trimming, comment
// detection) and the writing side (key quoting).
#pragma once

#include <cstddef>
#include <string_view>

namespace vorn {

// True for exactly the 25 code points with the White_Space property.
// U+200B and U+FEFF are not among them.
constexpr bool is_white_space(char32_t c) noexcept {
    if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    if (c < 0x85) return false;
    switch (c) {
        case 0x85:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

struct DecodedChar {
    char32_t code_point;
    std::size_t length;  // bytes taken by the character, at least 1
};

// Decodes the character that starts at `offset` (< text.size()). Never reads
// outside `text`; a malformed or truncated sequence decodes as U+FFFD of
// length 1, so a caller always makes progress.
DecodedChar decode_utf8(std::string_view text, std::size_t offset) noexcept;

// Decodes the character that ends just before `offset` (> 0), stepping back
// over at most three continuation bytes.
DecodedChar decode_utf8_before(std::string_view text, std::size_t offset) noexcept;

}  // namespace vorn
