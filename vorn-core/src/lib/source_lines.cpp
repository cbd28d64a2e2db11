#include "source_lines.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "trim.hpp"

namespace vorn {

namespace {

// Sixteen bytes at a time where SSE2 is there: lines are short, so this
// beats one library search per line.
std::size_t count_line_feeds(std::string_view text) noexcept {
    std::size_t count = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i feeds = _mm_set1_epi8('\n');
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        // Few blocks hold more than one line feed: clearing bits one by one
        // is cheaper than a population count without the instruction for it.
        for (auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, feeds))); found != 0;
             found &= found - 1)
            ++count;
    }
#endif
    return count + static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), '\n'));
}

// Eight bytes at a time: deeply nested lines start with long runs of
// spaces.
std::uint64_t count_leading_spaces(std::string_view text) noexcept {
    constexpr std::uint64_t spaces = 0x2020202020202020ULL;
    std::size_t count = 0;
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

}  // namespace

std::optional<ParseError> find_tab(std::string_view text) {
    const void* tab = std::memchr(text.data(), '\t', text.size());
    if (tab == nullptr) return std::nullopt;
    const auto offset = static_cast<std::size_t>(static_cast<const char*>(tab) - text.data());
    const auto line = 1 + static_cast<std::uint64_t>(count_line_feeds(text.substr(0, offset)));
    return ParseError{"tabs are not allowed; use spaces for indentation", line, 1};
}

void LineCursor::advance() noexcept {
    while (next_ < end_) {
        const char* const start = next_;
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end_ - start)));
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

Result<std::vector<SourceLine>> prepare_lines(std::string_view text) {
    if (auto tab = find_tab(text)) return std::move(*tab);
    std::vector<SourceLine> lines;
    for (LineCursor cursor(text); const SourceLine* line = cursor.peek(); cursor.advance()) lines.push_back(*line);
    return lines;
}

std::uint64_t count_non_blank_lines(std::string_view text) noexcept {
    std::uint64_t count = 0;
    for (LineCursor cursor(text); cursor.peek() != nullptr; cursor.advance()) ++count;
    return count;
}

}  // namespace vorn
