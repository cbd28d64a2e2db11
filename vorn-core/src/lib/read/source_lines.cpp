#include "read/source_lines.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#include "text/byte_lanes.hpp"
#include "text/trim.hpp"

namespace vorn {

namespace {

// Sixteen bytes at a time where SSE2 is, then eight: deeply nested lines
// start with long runs of spaces.
std::uint64_t count_leading_spaces(std::string_view text) noexcept {
    constexpr std::uint64_t spaces = 0x2020202020202020ULL;
    std::size_t count = 0;
#if defined(__SSE2__)
    for (; count + 16 <= text.size(); count += 16) {
        const __m128i chunk = load_lanes(text.data() + count);
        if (const unsigned others = ~lane_mask(lanes_equal_any(chunk, ' ')) & 0xFFFFU; others != 0)
            return count + static_cast<std::size_t>(std::countr_zero(others));
    }
#endif
    for (std::uint64_t word; count + 8 <= text.size(); count += 8) {
        std::memcpy(&word, text.data() + count, 8);
        if (const std::uint64_t differs = word ^ spaces; differs != 0) {
            // The lowest differing byte is the first one in memory order.
            if constexpr (std::endian::native == std::endian::little) {
                return count + static_cast<std::size_t>(std::countr_zero(differs)) / 8;
            }
            break;
        }
    }
    while (count < text.size() && text[count] == ' ') ++count;
    return count;
}

// The first LF at or after `start`, or null. Most lines of a configuration
// are short: the first 16 bytes are looked at inline, sparing such a line
// the library call, which takes the rest of a longer one.
[[gnu::always_inline]] inline const char* line_feed_from(const char* start, const char* end) noexcept {
#if defined(__SSE2__)
    if (end - start >= 32) {
        const __m128i low = load_lanes(start);
        const __m128i high = load_lanes(start + 16);
        const unsigned feeds = lane_mask(lanes_equal_any(low, '\n')) | lane_mask(lanes_equal_any(high, '\n')) << 16;
        if (feeds != 0) return start + std::countr_zero(feeds);
        start += 32;
    }
#endif
    return static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
}

}  // namespace

[[gnu::hot]] std::optional<ParseError> find_tab(std::string_view text) {
    const void* tab = std::memchr(text.data(), '\t', text.size());
    if (tab == nullptr) return std::nullopt;
    const auto offset = static_cast<std::size_t>(static_cast<const char*>(tab) - text.data());
    // Only a refused document counts its line feeds.
    const auto line = 1 + static_cast<std::uint64_t>(std::count(text.begin(), text.begin() + offset, '\n'));
    return ParseError{"tabs are not allowed; use spaces for indentation", line, 1, offset};
}

[[gnu::hot]] void LineCursor::advance() noexcept {
    while (next_ < end_) {
        const char* const start = next_;
        const char* const feed = line_feed_from(start, end_);
        const char* const stop = feed ? feed : end_;
        next_ = feed ? feed + 1 : end_;
        const std::uint64_t number = next_number_++;
        // A CR before the LF ends the line with it; a lone CR is trailing
        // White_Space here anyway.
        const std::string_view trimmed_end = trim_end(std::string_view(start, static_cast<std::size_t>(stop - start)));
        if (trimmed_end.empty()) continue;
        const std::uint64_t indent = count_leading_spaces(trimmed_end);
        current_ = SourceLine{trim_start(trimmed_end.substr(indent)), indent, number};
        return;
    }
    at_end_ = true;
}

std::uint64_t count_non_blank_lines(std::string_view text) noexcept {
    std::uint64_t count = 0;
    for (LineCursor cursor(text); cursor.peek() != nullptr; cursor.advance()) ++count;
    return count;
}

}  // namespace vorn
