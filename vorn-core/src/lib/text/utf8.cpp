#include "text/utf8.hpp"

namespace vorn {

DecodedChar decode_utf8(std::string_view text, std::size_t offset) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + offset;
    const std::size_t length = utf8::sequence_length(bytes, text.size() - offset);
    if (length == 0) return {0xFFFD, 1};
    return {utf8::code_point(bytes, length), length};
}

DecodedChar decode_utf8_before(std::string_view text, std::size_t offset) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t start = offset - 1;
    while (start > 0 && offset - start < 4 && utf8::is_continuation(bytes[start])) --start;
    const DecodedChar decoded = decode_utf8(text, start);
    if (start + decoded.length != offset) return {0xFFFD, 1};
    return decoded;
}

}  // namespace vorn
