// What the line steps share during one load: the prepared lines, the
// position of the next unread one, the comment lines waiting for a node,
// the anchor table, and where the tree's pieces are collected and kept.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "vorn/parse_error.hpp"

#include "read/anchor_table.hpp"
#include "read/source_lines.hpp"
#include "read/syntax.hpp"
#include "tree/document.hpp"
#include "tree/value_sink.hpp"

namespace vorn {

// What a step returns: nothing when it went well, else the error that ends
// the load.
using StepFailure = std::optional<ParseError>;

// Whole-line comments never shape the tree: the reader steps over them
// wherever they stand and gives them to the next entry or item it reads, so
// adding or removing one changes no value.
struct ParseState {
    LineCursor lines;
    AnchorTable& anchors;
    Arena& arena;
    // The entries and items of the open mappings and sequences.
    std::vector<DocEntry>& entry_stack;
    std::vector<DocNode>& item_stack;
    // Whether every node keeps its comments. When only values are wanted,
    // nodes inside an anchored block still keep theirs: their size counts
    // towards the cost of copying that block, so both ways of reading charge
    // the same.
    bool keep_comments = true;
    std::size_t open_anchored_blocks = 0;
    // Where the document as written is recorded, when it is; null when
    // only the values are wanted.
    SyntaxRecorder* syntax = nullptr;
    // What makes the containers that are not read again, when the caller
    // wants its own objects; null when the tree is built whole.
    ValueSink* sink = nullptr;

    // The comment lines stepped over and not yet given to a node: first
    // those above the line read last (`line_comment_count` of them), then
    // those after it. Most lines have none, which costs one count.
    std::vector<DocComment> comment_lines = {};
    std::size_t line_comment_count = 0;
    // Of those, how many a merge line's record spans already: they stand
    // above the "<<" line, though the node after it takes them.
    std::size_t merge_comment_count = 0;

    // The next line that is not a comment line, or null at the end; the
    // comment lines before it are set aside for the node of that line.
    const SourceLine* peek() {
        const SourceLine* line = lines.peek();
        for (; line != nullptr && line->text[0] == '#'; lines.advance(), line = lines.peek())
            comment_lines.push_back(DocComment{line->text, line->indent});
        return line;
    }

    // The sink for a container finished while the open blocks stay open:
    // none inside an anchored block, which is built as a tree.
    ValueSink* sink_here() const noexcept { return open_anchored_blocks == 0 ? sink : nullptr; }

    // The line that peek() returned, now read; the comment lines above it
    // are now its own.
    SourceLine take() noexcept {
        const SourceLine* next = lines.peek();
        assert(next != nullptr && next->text[0] != '#');
        const SourceLine line = *next;
        lines.advance();
        // Asked first, as most lines have none: a size divides by 24.
        line_comment_count = comment_lines.empty() ? 0 : comment_lines.size();
        return line;
    }

    // The first byte of the comment lines above the line read last, or of
    // the line itself when none is above it.
    const char* first_byte_above(const SourceLine& line) const noexcept {
        return line_comment_count <= merge_comment_count ? line.text.data()
                                                         : comment_lines[merge_comment_count].text.data();
    }

    // A line read that makes no node (a merge entry) leaves its comment
    // lines for the next one.
    void pass_on_line_comments() noexcept {
        merge_comment_count = line_comment_count;
        line_comment_count = 0;
    }

    // The comment lines of the line read last, kept in the arena for a node
    // made later (when its nested block closes), or none when they are not
    // kept.
    std::span<const DocComment> keep_line_comments() {
        std::span<const DocComment> kept;
        if (line_comment_count == 0) return kept;
        if (keeps_comments()) kept = arena.copy(std::span<const DocComment>(comment_lines.data(), line_comment_count));
        drop_line_comments();
        return kept;
    }

    // A node of the line read last: the comment lines above it, and the
    // comment at the end of its own line.
    DocNode node(const DocValue& value, std::optional<std::string_view> inline_comment) {
        if (line_comment_count == 0 && !inline_comment) return DocNode{value, nullptr};
        return node(value, keep_line_comments(), inline_comment);
    }

    // A node with the comment lines given.
    DocNode node(const DocValue& value, std::span<const DocComment> comments,
                 std::optional<std::string_view> inline_comment) {
        DocNode node{value, nullptr};
        if ((comments.empty() && !inline_comment) || !keeps_comments()) return node;
        void* place = arena.allocate(sizeof(DocNotes), alignof(DocNotes));
        node.notes = new (place) DocNotes{comments, inline_comment};
        return node;
    }

    // The indentation of the nested block that follows the line read last,
    // when it belongs there: its next line that is not a comment line is
    // deeper than `threshold`. A block of comment lines alone that starts
    // deeper than `threshold` is a nested block too, and an empty mapping.
    std::optional<std::uint64_t> nested_block_indent(std::uint64_t threshold) {
        const SourceLine* line = peek();
        if (line != nullptr && line->indent > threshold) return line->indent;
        // The first comment line after the line read last.
        if (comment_lines.size() > line_comment_count && comment_lines[line_comment_count].indent > threshold)
            return comment_lines[line_comment_count].indent;
        return std::nullopt;
    }

    // The next line that is not a comment line, if it is indented deeper
    // than `threshold`.
    const SourceLine* next_deeper_than(std::uint64_t threshold) {
        const SourceLine* line = peek();
        return line != nullptr && line->indent > threshold ? line : nullptr;
    }

private:
    bool keeps_comments() const noexcept { return keep_comments || open_anchored_blocks > 0; }

    void drop_line_comments() {
        comment_lines.erase(comment_lines.begin(),
                            comment_lines.begin() + static_cast<std::ptrdiff_t>(line_comment_count));
        line_comment_count = 0;
        merge_comment_count = 0;
    }
};

}  // namespace vorn
