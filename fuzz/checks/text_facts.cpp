#include "text_facts.hpp"

#include <string>

namespace vorn::fuzz {

namespace {

// Bytes in the sequence that `lead` starts, or 0 for a byte that cannot
// start one (a continuation byte, 0xC0/0xC1, or 0xF5 and above).
int sequence_length(unsigned char lead) noexcept {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

bool is_valid_utf8(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = sequence_length(lead);
        if (length == 0 || text.size() - i < static_cast<std::size_t>(length)) return false;
        char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if ((byte & 0xC0) != 0x80) return false;
            code_point = (code_point << 6) | (byte & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point.
        static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code_point < smallest[length] || code_point > 0x10FFFF) return false;
        if (code_point >= 0xD800 && code_point <= 0xDFFF) return false;
        i += length;
    }
    return true;
}

bool is_white_space(char32_t c) noexcept {
    switch (c) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
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

char32_t next_code_point(std::string_view text, std::size_t& offset) noexcept {
    const auto lead = static_cast<unsigned char>(text[offset]);
    const int length = sequence_length(lead);
    char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k)
        code_point = (code_point << 6) | (static_cast<unsigned char>(text[offset + k]) & 0x3F);
    offset += length;
    return code_point;
}

std::string_view trim_white_space(std::string_view text) noexcept {
    std::size_t first = 0;
    std::size_t last = 0;  // end of the last character that is not White_Space
    bool seen_content = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        if (!is_white_space(next_code_point(text, i))) {
            if (!seen_content) first = start;
            seen_content = true;
            last = i;
        }
    }
    return seen_content ? text.substr(first, last - first) : std::string_view();
}

TextFacts measure_text(std::string_view text) noexcept {
    TextFacts facts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        ++facts.physical_lines;
        if (line.find('\t') != std::string_view::npos) facts.has_tab = true;
        if (!trim_white_space(line).empty()) ++facts.non_blank_lines;
        start = end + 1;
    }
    return facts;
}

std::string_view line_at(std::string_view text, std::uint64_t number) noexcept {
    std::size_t start = 0;
    for (std::uint64_t line = 1; line < number; ++line) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return {};
        start = end + 1;
    }
    return text.substr(start, text.find('\n', start) - start);
}

// Shows a text with control characters escaped, for failure reports.
std::string printable(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string shown = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\\' || c == '"') {
            shown += '\\';
            shown += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += hex[byte >> 4];
            shown += hex[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown + "\"";
}

}  // namespace vorn::fuzz
