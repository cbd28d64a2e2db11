#include "read/scalar_syntax.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#include "text/byte_lanes.hpp"
#include "text/trim.hpp"

namespace vorn {

namespace {

// The offset of the '"' that closes a double-quoted stretch whose content
// starts at `from`, or npos. A backslash hides the character after it.
[[gnu::hot]] std::size_t find_closing_double_quote(std::string_view text, std::size_t from) noexcept {
    // Most quoted text holds no backslash: then the first '"' closes it.
    const std::size_t quote = text.find('"', from);
    if (quote == std::string_view::npos) return quote;
    const std::size_t slash = text.substr(0, quote).find('\\', from);
    if (slash == std::string_view::npos) return quote;
    for (std::size_t i = slash; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

std::size_t find_closing_single_quote(std::string_view text, std::size_t from) noexcept {
    return text.find('\'', from);
}

}  // namespace

[[gnu::hot]] CommentSplit split_inline_comment(std::string_view text) noexcept {
    // Without a '#' there is no comment, whatever the quotes hold.
    if (text.find('#') == std::string_view::npos) return {trim_end(text), std::nullopt};
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        switch (text[i]) {
            case '\'': {
                const std::size_t close = find_closing_single_quote(text, i + 1);
                if (close == std::string_view::npos) return {trim_end(text), std::nullopt};
                i = close;
                break;
            }
            case '"': {
                const std::size_t close = find_closing_double_quote(text, i + 1);
                if (close == std::string_view::npos) return {trim_end(text), std::nullopt};
                i = close;
                break;
            }
            case '#':
                if (i == 0 || white_space_length_before(text, i) > 0)
                    return {trim_end(text.substr(0, i)), text.substr(i)};
                break;
            default:
                break;
        }
    }
    return {trim_end(text), std::nullopt};
}

[[gnu::hot]] std::size_t closed_quoted_run_length(std::string_view text) noexcept {
    if (text.empty()) return 0;
    std::size_t close = std::string_view::npos;
    if (text[0] == '\'') {
        close = find_closing_single_quote(text, 1);
    } else if (text[0] == '"') {
        close = find_closing_double_quote(text, 1);
    }
    return close == std::string_view::npos ? 0 : close + 1;
}

[[gnu::hot]] std::size_t find_entry_colon(std::string_view text) noexcept {
    return text.find(':', closed_quoted_run_length(text));
}

std::string unquote_scalar(std::string_view text) {
    if (const auto same = unquoted_in_place(text)) return std::string(*same);
    const std::string_view inner = text.substr(1, text.size() - 2);
    std::string out(inner.size(), '\0');
    out.resize(write_unescaped(inner, out.data()));
    return out;
}

[[gnu::hot]] std::optional<std::string_view> unquoted_in_place(std::string_view text) noexcept {
    if (text.size() < 2 || text.front() != text.back()) return text;
    const std::string_view inner = text.substr(1, text.size() - 2);
    if (text.front() == '\'') return inner;
    if (text.front() == '"') {
        if (inner.find('\\') == std::string_view::npos) return inner;
        return std::nullopt;
    }
    return text;
}

// Any backslash but those of \" and \\ stays with what follows it.
std::size_t write_unescaped(std::string_view inner, char* out) noexcept {
    char* next = out;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '\\' && i + 1 < inner.size() && (inner[i + 1] == '"' || inner[i + 1] == '\\')) ++i;
        *next++ = inner[i];
    }
    return static_cast<std::size_t>(next - out);
}

namespace {

// Whether any byte of `word` equals the byte repeated in `pattern`: the
// classic test for a zero byte, applied to their difference.
bool holds_byte(std::uint64_t word, std::uint64_t pattern) noexcept {
    const std::uint64_t v = word ^ pattern;
    return ((v - 0x0101010101010101ULL) & ~v & 0x8080808080808080ULL) != 0;
}

// '#' and '\\', and ':' when it counts.
template <bool colon_counts>
bool holds_mark(std::uint64_t word) noexcept {
    // Combined without branches, as numbers.
    const int colon = colon_counts ? static_cast<int>(holds_byte(word, 0x3A3A3A3A3A3A3A3AULL)) : 0;
    return (static_cast<int>(holds_byte(word, 0x2323232323232323ULL)) |
            static_cast<int>(holds_byte(word, 0x5C5C5C5C5C5C5C5CULL)) | colon) != 0;
}

#if defined(__SSE2__)
// '#' and '\\', and ':' when it counts, among 16 bytes.
template <bool colon_counts>
bool holds_mark(__m128i chunk) noexcept {
    if constexpr (colon_counts) return lane_mask(lanes_equal_any(chunk, '#', '\\', ':')) != 0;
    return lane_mask(lanes_equal_any(chunk, '#', '\\')) != 0;
}

// Calls `visit(piece, offset)` for the 16-byte pieces that cover a text of
// at least 16 bytes, in order; the last overlaps the one before it rather
// than reading past the text.
template <typename Visit>
[[gnu::always_inline]] inline void visit_pieces(std::string_view text, Visit visit) {
    for (std::size_t offset = 0; offset + 16 <= text.size(); offset += 16)
        visit(load_lanes(text.data() + offset), offset);
    visit(load_lanes(text.data() + text.size() - 16), text.size() - 16);
}
#endif

// Sixteen bytes at a time where SSE2 is (or two overlapping eight), else
// eight; the last piece overlaps the one before it rather than reading past
// the text.
template <bool colon_counts>
bool lacks_marks(std::string_view text) noexcept {
    const std::size_t size = text.size();
#if defined(__SSE2__)
    if (size >= 16) {
        bool found = false;
        visit_pieces(text, [&found](__m128i piece, std::size_t) { found |= holds_mark<colon_counts>(piece); });
        return !found;
    }
    if (size >= 8) return !holds_mark<colon_counts>(first_and_last_eight(text));
#endif
    if (size < 8) {
        if (size < 4) {
            for (const char c : text) {
                if (c == '#' || c == '\\' || (colon_counts && c == ':')) return false;
            }
            return true;
        }
        // Two overlapping four-byte pieces side by side in one word.
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, text.data(), 4);
        std::memcpy(&tail, text.data() + size - 4, 4);
        return !holds_mark<colon_counts>(std::uint64_t{head} | std::uint64_t{tail} << 32);
    }
    bool found = false;
    std::uint64_t word;
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::memcpy(&word, text.data() + i, 8);
        found |= holds_mark<colon_counts>(word);
    }
    std::memcpy(&word, text.data() + size - 8, 8);
    return !(found | holds_mark<colon_counts>(word));
}

}  // namespace

[[gnu::hot]] bool lacks_comment_colon_and_backslash(std::string_view text) noexcept { return lacks_marks<true>(text); }

[[gnu::hot]] std::size_t first_colon_lacking_marks(std::string_view text) noexcept {
    constexpr std::size_t none = std::string_view::npos;
    const std::size_t size = text.size();
#if defined(__SSE2__)
    // As lacks_marks, with the colons' lanes kept apart: the first colon is
    // in the first piece that has one, the last piece overlapping only
    // bytes whose colons an earlier piece would have shown.
    const auto first_colon = [](__m128i chunk, std::size_t base) {
        const unsigned colons = lane_mask(lanes_equal_any(chunk, ':'));
        return colons == 0 ? none : base + static_cast<std::size_t>(std::countr_zero(colons));
    };
    if (size >= 16) {
        bool found = false;
        std::size_t colon = none;
        visit_pieces(text, [&](__m128i piece, std::size_t offset) {
            found |= holds_mark<false>(piece);
            if (colon == none) colon = first_colon(piece, offset);
        });
        return found ? none : colon;
    }
    if (size >= 8) {
        const __m128i both = first_and_last_eight(text);
        if (holds_mark<false>(both)) return none;
        const unsigned colons = lane_mask(lanes_equal_any(both, ':'));
        if (colons == 0) return none;
        const auto lane = static_cast<std::size_t>(std::countr_zero(colons));
        return lane < 8 ? lane : size - 16 + lane;
    }
#endif
    if (!lacks_marks<false>(text)) return none;
    return text.find(':');
}

std::string_view anchor_name(std::string_view text) noexcept { return trim(text.substr(1)); }

}  // namespace vorn
