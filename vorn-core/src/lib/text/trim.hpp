// Removal of White_Space at the ends of a piece of line text, by whole
// characters. Every view returned points into the text given.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorn {

// Bytes taken by the White_Space character that starts at `offset`, or 0
// when the character there is something else (or `offset` is at the end).
std::size_t white_space_length_at(std::string_view text, std::size_t offset) noexcept;

// Bytes taken by the White_Space character that ends just before `offset`,
// or 0 when the character there is something else (or `offset` is 0).
std::size_t white_space_length_before(std::string_view text, std::size_t offset) noexcept;

// The general cases, decoding characters at the ends.
std::string_view trim_start_scanning(std::string_view text) noexcept;
std::string_view trim_end_scanning(std::string_view text) noexcept;

// A visible ASCII byte (which nearly every end of a trimmed piece is) is
// never White_Space nor part of a longer character: nothing to remove there.
inline bool is_visible_ascii(char byte) noexcept {
    const auto value = static_cast<unsigned char>(byte);
    return value > 0x20 && value < 0x80;
}

inline std::string_view trim_start(std::string_view text) noexcept {
    // Most often one space stands after a colon or a hyphen, before
    // visible ASCII: that needs no loop.
    if (text.size() >= 2 && text[0] == ' ' && is_visible_ascii(text[1])) return text.substr(1);
    // Plain spaces are skipped here; only a piece that then starts with
    // something other than visible ASCII needs the decoding scan.
    std::size_t spaces = 0;
    while (spaces < text.size() && text[spaces] == ' ') ++spaces;
    text.remove_prefix(spaces);
    if (text.empty() || is_visible_ascii(text.front())) return text;
    return trim_start_scanning(text);
}

inline std::string_view trim_end(std::string_view text) noexcept {
    if (!text.empty() && is_visible_ascii(text.back())) return text;
    return trim_end_scanning(text);
}

inline std::string_view trim(std::string_view text) noexcept { return trim_start(trim_end(text)); }

}  // namespace vorn
