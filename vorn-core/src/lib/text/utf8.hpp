// What a well-formed UTF-8 sequence is, in one place: the reader's and the
// writer's White_Space tests decode by it, and the binding checks text by it
// before building a str. The rule is the strict one: no overlong forms, no
// surrogates, nothing past U+10FFFF, no stray continuation bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorn {

namespace utf8 {

// What a lead byte allows: the length of its sequence (0 if no sequence
// starts with it) and the range of the second byte. Only the second byte
// needs a range of its own; every later one is a plain continuation byte.
// Padded to four bytes so that finding a lead's rule is a shift, not a
// multiplication by three.
struct alignas(4) LeadRule {
    std::uint8_t length;
    std::uint8_t second_low;
    std::uint8_t second_high;
};

inline constexpr std::array<LeadRule, 256> lead_rules = [] {
    std::array<LeadRule, 256> rules{};
    for (unsigned lead = 0; lead < 0x80; ++lead) rules[lead] = {1, 0, 0};
    // 0x80-0xBF continue a sequence, and 0xC0 and 0xC1 could only start an
    // overlong form of ASCII: none of them starts a sequence.
    for (unsigned lead = 0xC2; lead <= 0xDF; ++lead) rules[lead] = {2, 0x80, 0xBF};
    for (unsigned lead = 0xE0; lead <= 0xEF; ++lead) rules[lead] = {3, 0x80, 0xBF};
    for (unsigned lead = 0xF0; lead <= 0xF4; ++lead) rules[lead] = {4, 0x80, 0xBF};
    rules[0xE0].second_low = 0xA0;   // below, an overlong form of a code point below U+0800
    rules[0xED].second_high = 0x9F;  // above, the surrogates U+D800-U+DFFF
    rules[0xF0].second_low = 0x90;   // below, an overlong form of a BMP code point
    rules[0xF4].second_high = 0x8F;  // above, past U+10FFFF
    return rules;
}();

constexpr bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// Bytes in the well-formed sequence that starts at `bytes`, of which
// `available` (at least 1) may be read; 0 when the sequence there is
// malformed or cut short.
constexpr std::size_t sequence_length(const unsigned char* bytes, std::size_t available) noexcept {
    const LeadRule& rule = lead_rules[bytes[0]];
    if (rule.length <= 1) return rule.length;
    if (rule.length > available) return 0;
    if (bytes[1] < rule.second_low || bytes[1] > rule.second_high) return 0;
    if (rule.length >= 3 && !is_continuation(bytes[2])) return 0;
    if (rule.length == 4 && !is_continuation(bytes[3])) return 0;
    return rule.length;
}

// The code point of a sequence of `length` bytes already found well-formed:
// the lead keeps 7 - length of its bits (all 7 for ASCII), each later byte 6.
constexpr char32_t code_point(const unsigned char* bytes, std::size_t length) noexcept {
    const auto low_bits = [bytes](std::size_t i, unsigned shift) { return char32_t{bytes[i] & 0x3Fu} << shift; };
    switch (length) {
        case 1:
            return bytes[0];
        case 2:
            return char32_t{bytes[0] & 0x1Fu} << 6 | low_bits(1, 0);
        case 3:
            return char32_t{bytes[0] & 0x0Fu} << 12 | low_bits(1, 6) | low_bits(2, 0);
        default:
            return char32_t{bytes[0] & 0x07u} << 18 | low_bits(1, 12) | low_bits(2, 6) | low_bits(3, 0);
    }
}

}  // namespace utf8

struct DecodedChar {
    char32_t code_point;
    std::size_t length;  // bytes taken by the character, at least 1
};

// Decodes the character that starts at `offset` (< text.size()). Never reads
// outside `text`; a malformed or truncated sequence decodes as U+FFFD of
// length 1, so a caller always makes progress. U+FFFD is not White_Space, so
// malformed bytes are always text: an overlong form of a space (0xC0 0xA0)
// or of U+3000 is neither trimmed nor a reason to quote a key. Text from
// Python is always well-formed, so only C++ callers can see the difference.
DecodedChar decode_utf8(std::string_view text, std::size_t offset) noexcept;

// Decodes the character that ends just before `offset` (> 0), stepping back
// over at most three continuation bytes; U+FFFD of length 1 unless a
// well-formed sequence ends exactly there.
DecodedChar decode_utf8_before(std::string_view text, std::size_t offset) noexcept;

}  // namespace vorn
