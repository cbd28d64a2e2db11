#include "source_lines.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

#include "trim.hpp"

namespace vorn {

namespace {

// One memchr per line is far cheaper than testing every byte.
std::size_t count_line_feeds(std::string_view text) noexcept {
    std::size_t count = 0;
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); p < end; ++count) {
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (p == nullptr) break;
        ++p;
    }
    return count;
}

// A tab anywhere is refused before parsing starts, so the first tab of the
// whole text decides the error, whatever faults earlier lines hold.
std::optional<ParseError> find_tab(std::string_view text) {
    const void* tab = std::memchr(text.data(), '\t', text.size());
    if (tab == nullptr) return std::nullopt;
    const auto offset = static_cast<std::size_t>(static_cast<const char*>(tab) - text.data());
    const auto line = 1 + static_cast<std::uint64_t>(count_line_feeds(text.substr(0, offset)));
    return ParseError{"tabs are not allowed; use spaces for indentation", line, 1};
}

std::uint64_t count_leading_spaces(std::string_view text) noexcept {
    std::uint64_t count = 0;
    while (count < text.size() && text[count] == ' ') ++count;
    return count;
}

}  // namespace

Result<std::vector<SourceLine>> prepare_lines(std::string_view text) {
    if (text.empty()) return std::vector<SourceLine>{};
    if (auto tab = find_tab(text)) return std::move(*tab);

    std::vector<SourceLine> lines;
    lines.reserve(1 + count_line_feeds(text));

    const char* const end = text.data() + text.size();
    const char* start = text.data();
    std::uint64_t number = 1;
    while (start < end) {
        const auto* feed = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
        const char* stop = feed ? feed : end;
        // A CR before the LF ends the line with it; a lone CR is trailing
        // White_Space here anyway.
        const std::string_view trimmed_end = trim_end(std::string_view(start, static_cast<std::size_t>(stop - start)));
        if (!trimmed_end.empty()) {
            const std::uint64_t indent = count_leading_spaces(trimmed_end);
            lines.push_back(SourceLine{trim_start(trimmed_end.substr(indent)), indent, number});
        }
        if (feed == nullptr) break;
        start = feed + 1;
        ++number;
    }
    return lines;
}

}  // namespace vorn
