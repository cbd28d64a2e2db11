#include "text/trim.hpp"

#include "text/utf8.hpp"
#include "text/white_space.hpp"

namespace vorn {

namespace {

// The ASCII members of White_Space, tested without decoding: nearly every
// byte the reader trims or checks is one of these or plain ASCII text.
bool is_ascii_white_space(unsigned char byte) noexcept { return byte == ' ' || (byte >= 0x09 && byte <= 0x0D); }

}  // namespace

[[gnu::hot]] std::size_t white_space_length_at(std::string_view text, std::size_t offset) noexcept {
    if (offset >= text.size()) return 0;
    const auto byte = static_cast<unsigned char>(text[offset]);
    if (byte < 0x80) return is_ascii_white_space(byte) ? 1 : 0;
    const DecodedChar decoded = decode_utf8(text, offset);
    return is_white_space(decoded.code_point) ? decoded.length : 0;
}

[[gnu::hot]] std::size_t white_space_length_before(std::string_view text, std::size_t offset) noexcept {
    if (offset == 0 || offset > text.size()) return 0;
    const auto byte = static_cast<unsigned char>(text[offset - 1]);
    if (byte < 0x80) return is_ascii_white_space(byte) ? 1 : 0;
    const DecodedChar decoded = decode_utf8_before(text, offset);
    return is_white_space(decoded.code_point) ? decoded.length : 0;
}

[[gnu::hot]] std::string_view trim_start_scanning(std::string_view text) noexcept {
    std::size_t start = 0;
    while (std::size_t length = white_space_length_at(text, start)) start += length;
    return text.substr(start);
}

[[gnu::hot]] std::string_view trim_end_scanning(std::string_view text) noexcept {
    std::size_t end = text.size();
    while (std::size_t length = white_space_length_before(text, end)) end -= length;
    return text.substr(0, end);
}

}  // namespace vorn
