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
// are short: up to 128 bytes are looked at inline, sparing such a line the
// library call (about fifty instructions), which takes the rest of a
// longer one.
[[gnu::always_inline]] inline const char* line_feed_from(const char* start, const char* end) noexcept {
#if defined(__SSE2__)
    for (const char* const inline_end = start + 128; start < inline_end && end - start >= 16; start += 16) {
        if (const unsigned feeds = lane_mask(lanes_equal_any(load_lanes(start), '\n')); feeds != 0)
            return start + std::countr_zero(feeds);
    }
#endif
    return static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
}

#if defined(__SSE2__)
// The first 32 bytes of a line, asked one bit a byte for its LFs and for
// the bytes that are not spaces. An LF is not a space, so with one among
// them the indentation ends at it at the latest.
class FirstLook {
public:
    explicit FirstLook(const char* start) noexcept : low_(load_lanes(start)), high_(load_lanes(start + 16)) {}
    std::uint32_t feeds() const noexcept { return equal_to('\n'); }
    std::uint32_t others() const noexcept { return ~equal_to(' '); }

private:
    std::uint32_t equal_to(char byte) const noexcept {
        return lane_mask(lanes_equal_any(low_, byte)) | lane_mask(lanes_equal_any(high_, byte)) << 16;
    }
    __m128i low_;
    __m128i high_;
};
#endif

}  // namespace

[[gnu::hot]] std::optional<ParseError> find_tab(std::string_view text) {
    const void* tab = std::memchr(text.data(), '\t', text.size());
    if (tab == nullptr) return std::nullopt;
    const auto offset = static_cast<std::size_t>(static_cast<const char*>(tab) - text.data());
    // Only a refused document counts its line feeds.
    const auto line = 1 + static_cast<std::uint64_t>(std::count(text.begin(), text.begin() + offset, '\n'));
    return ParseError{"tabs are not allowed; use spaces for indentation", line, 1, offset};
}

// Lines are taken one of three ways. Nearly every line is shorter than 32
// bytes with its LF, has fewer than 32 spaces of indentation and a visible
// ASCII byte at either end of its text, so nothing is left to trim: one
// look at its first 32 bytes gives its indentation and its end (advance).
// A longer line has its end sought sixteen bytes at a time
// (advance_long_line), and a line indented deeper, blank or with
// White_Space to trim takes the general way (advance_scanning). Each is a
// function of its own, so that the first needs no registers saved.
[[gnu::hot]] void LineCursor::advance() noexcept {
#if defined(__SSE2__)
    if (end_ - next_ >= 32) {
        const FirstLook look(next_);
        if (const std::uint32_t feeds = look.feeds(); feeds != 0) {
            const auto indent = static_cast<std::size_t>(std::countr_zero(look.others()));
            if (take_untrimmed(next_ + std::countr_zero(feeds), indent)) return;
        } else if (const std::uint32_t others = look.others(); others != 0) {
            return advance_long_line(static_cast<std::size_t>(std::countr_zero(others)));
        }
    }
#endif
    advance_scanning();
}

[[gnu::hot]] void LineCursor::advance_long_line(std::size_t indent) noexcept {
    if (!take_untrimmed(line_feed_from(next_ + 32, end_), indent)) advance_scanning();
}

[[gnu::hot]] void LineCursor::advance_scanning() noexcept {
    while (next_ < end_) {
        const char* const start = next_;
#if defined(__SSE2__)
        if (end_ - start >= 32) {
            const FirstLook look(start);
            const std::uint32_t others = look.others();
            const std::uint32_t feeds = look.feeds();
            const std::size_t indent =
                others != 0 ? static_cast<std::size_t>(std::countr_zero(others))
                            : 32 + count_leading_spaces({start + 32, static_cast<std::size_t>(end_ - start - 32)});
            const char* const feed = feeds != 0 ? start + std::countr_zero(feeds)
                                                : line_feed_from(start + std::max<std::size_t>(indent, 32), end_);
            if (take_untrimmed(feed, indent)) return;
        }
#endif
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
