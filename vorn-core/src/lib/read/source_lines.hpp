// Line preparation: the text read as its non-blank lines, each trimmed and
// measured. The reader takes them one at a time from a LineCursor, so no
// table of lines is ever built.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "vorn/parse_error.hpp"

#include "text/trim.hpp"

namespace vorn {

struct SourceLine {
    // The line without White_Space at either end; never empty. A view into
    // the document text.
    std::string_view text;
    // Spaces (U+0020 only) at the very start of the line.
    std::uint64_t indent = 0;
    // 1-based physical line number; blank lines are counted.
    std::uint64_t number = 0;
};

// A tab anywhere is refused before parsing starts, so the first tab of the
// whole text decides the error, whatever faults earlier lines hold.
std::optional<ParseError> find_tab(std::string_view text);

// The non-blank lines of a text, in order: it splits at LF (dropping one CR
// before it) and skips lines that are blank. Tabs must have been refused
// first. The views stay valid as long as the text does.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) noexcept
        : start_(text.data()), next_(text.data()), end_(text.data() + text.size()) {
        advance();
    }

    // The current line, or null past the last one.
    const SourceLine* peek() const noexcept { return at_end_ ? nullptr : &current_; }

    // Moves to the next non-blank line.
    void advance() noexcept;

    std::size_t text_size() const noexcept { return static_cast<std::size_t>(end_ - start_); }

    // The offset in the text of `byte`, a pointer into it.
    std::uint64_t offset_of(const char* byte) const noexcept { return static_cast<std::uint64_t>(byte - start_); }

private:
    // Moves past any line, blank or not, trimming by whole characters.
    void advance_scanning() noexcept;
    // Moves past a line with no LF among its first 32 bytes, indented by
    // `indent` spaces (fewer than 32).
    void advance_long_line(std::size_t indent) noexcept;

    // Takes the line at next_, indented by `indent` spaces and ending at
    // `feed` (null: at the end of the text), when nothing of it is left to
    // trim; else leaves it, and returns false.
    [[gnu::always_inline]] bool take_untrimmed(const char* feed, std::size_t indent) noexcept {
        const char* const stop = feed ? feed : end_;
        const char* const text = next_ + indent;
        if (text >= stop || !is_visible_ascii(*text) || !is_visible_ascii(stop[-1])) return false;
        current_ = SourceLine{std::string_view(text, static_cast<std::size_t>(stop - text)), indent, next_number_++};
        next_ = feed ? feed + 1 : end_;
        return true;
    }

    const char* start_;
    const char* next_;
    const char* end_;
    std::uint64_t next_number_ = 1;
    SourceLine current_;
    bool at_end_ = false;
};

// The number of non-blank lines.
std::uint64_t count_non_blank_lines(std::string_view text) noexcept;

}  // namespace vorn
