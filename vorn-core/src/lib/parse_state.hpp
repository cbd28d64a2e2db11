// What the line steps share during one load: the prepared lines, the
// position of the next unread one, the anchor table, and where the tree's
// pieces are collected and kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "anchors.hpp"
#include "source_lines.hpp"
#include "vorn/document.hpp"
#include "vorn/parse_error.hpp"

namespace vorn {

// What a step returns: nothing when it went well, else the error that ends
// the load.
using StepFailure = std::optional<ParseError>;

struct ParseState {
    LineCursor lines;
    AnchorTable& anchors;
    Arena& arena;
    // The entries and items of the open mappings and sequences.
    std::vector<DocEntry>& entry_stack;
    std::vector<DocNode>& item_stack;

    // The next unread line, or null at the end.
    const SourceLine* peek() const noexcept { return lines.peek(); }

    // The next line, which must exist, now read.
    SourceLine take() noexcept {
        const SourceLine line = *lines.peek();
        lines.advance();
        return line;
    }

    // The next line, if there is one and it is indented deeper than
    // `threshold`: the first line of a nested block.
    const SourceLine* next_deeper_than(std::uint64_t threshold) const noexcept {
        const SourceLine* line = peek();
        return line != nullptr && line->indent > threshold ? line : nullptr;
    }
};

}  // namespace vorn
