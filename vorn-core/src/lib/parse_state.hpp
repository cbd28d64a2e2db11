// What the line steps share during one load: the prepared lines, the
// position of the next unread one, the anchor table, and where the tree's
// pieces are collected and kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
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
    // Whether every node keeps its comments. When only values are wanted,
    // nodes inside an anchored block still keep theirs: their size counts
    // towards the cost of copying that block, found when it closes.
    bool keep_comments = true;
    std::size_t open_anchored_blocks = 0;

    // A node read in a frame: it takes the comment lines the frame
    // collected since its last entry or item, and the comment at the end of
    // its own line.
    DocNode node(const DocValue& value, std::vector<DocComment>& pending_comments,
                 std::optional<std::string_view> inline_comment) {
        DocNode node{value, nullptr};
        if (pending_comments.empty() && !inline_comment) return node;
        if (keep_comments || open_anchored_blocks > 0) {
            void* place = arena.allocate(sizeof(DocNotes), alignof(DocNotes));
            node.notes = new (place) DocNotes{arena.copy(std::span<const DocComment>(pending_comments)), inline_comment};
        }
        pending_comments.clear();
        return node;
    }

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
