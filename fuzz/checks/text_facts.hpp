// Facts about a document text that the property checks need, computed
// independently of the reading side so that they can judge its results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::fuzz {

// True when `text` is well-formed UTF-8 without surrogates or code points
// past U+10FFFF: exactly the texts a Python `str` can hand to the reader.
bool is_valid_utf8(std::string_view text) noexcept;

// The Unicode White_Space property (25 code points).
bool is_white_space(char32_t code_point) noexcept;

// Decodes the character at `offset` of valid UTF-8 text and advances
// `offset` past it.
char32_t next_code_point(std::string_view text, std::size_t& offset) noexcept;

// `text` without White_Space at either end (valid UTF-8 only).
std::string_view trim_white_space(std::string_view text) noexcept;

struct TextFacts {
    std::uint64_t physical_lines = 0;  // lines as the reader numbers them
    std::uint64_t non_blank_lines = 0;
    bool has_tab = false;
};

// Splits like the reader (at each line feed; text after the last one is a
// line only when it is not empty). Valid UTF-8 only.
TextFacts measure_text(std::string_view text) noexcept;

// The line with the 1-based `number`, without its line feed; empty past the
// last line.
std::string_view line_at(std::string_view text, std::uint64_t number) noexcept;

// Shows a text with control characters escaped, for failure reports.
std::string printable(std::string_view text);

}  // namespace vorn::fuzz
