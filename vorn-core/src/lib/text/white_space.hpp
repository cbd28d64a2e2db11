// The Unicode White_Space property, tested on whole characters as
// decode_utf8 (text/utf8.hpp) gives them. Shared by the reading side
// (trimming, comment detection) and the writing side (key quoting).
#pragma once

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

}  // namespace vorn
