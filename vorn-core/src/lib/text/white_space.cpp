#include "text/white_space.hpp"

namespace vorn {

namespace {

constexpr DecodedChar malformed{0xFFFD, 1};

bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

}  // namespace

DecodedChar decode_utf8(std::string_view text, std::size_t offset) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + offset;
    const std::size_t available = text.size() - offset;
    const unsigned char lead = bytes[0];
    if (lead < 0x80) return {lead, 1};

    std::size_t length;
    char32_t code_point;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code_point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code_point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code_point = lead & 0x07;
    } else {
        return malformed;
    }
    if (length > available) return malformed;
    for (std::size_t i = 1; i < length; ++i) {
        if (!is_continuation(bytes[i])) return malformed;
        code_point = (code_point << 6) | (bytes[i] & 0x3F);
    }
    return {code_point, length};
}

DecodedChar decode_utf8_before(std::string_view text, std::size_t offset) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t start = offset - 1;
    while (start > 0 && offset - start < 4 && is_continuation(bytes[start])) --start;
    const DecodedChar decoded = decode_utf8(text, start);
    // Only a sequence that ends exactly at `offset` is the character before it.
    if (start + decoded.length != offset) return malformed;
    return decoded;
}

}  // namespace vorn
