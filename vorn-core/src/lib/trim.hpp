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

std::string_view trim_start(std::string_view text) noexcept;
std::string_view trim_end(std::string_view text) noexcept;
std::string_view trim(std::string_view text) noexcept;

}  // namespace vorn
