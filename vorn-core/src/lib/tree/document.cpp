#include "tree/document.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "read/source_lines.hpp"

namespace vorn {

[[gnu::hot]] void write_block_text(const BlockLines& block, char* out) noexcept {
    const auto write_line = [&out, &block](std::string_view text, std::uint64_t indent) {
        const std::size_t spaces = indent - block.least_indent;
        std::memset(out, ' ', spaces);
        out += spaces;
        std::memcpy(out, text.data(), text.size());
        out += text.size();
    };
    if (block.lines_whole) {
        // Only the common indentation after each line feed is left out.
        std::memset(out, ' ', block.first_indent - block.least_indent);
        out += block.first_indent - block.least_indent;
        const char* piece = block.first_line.data();
        for (;;) {
            const auto left = static_cast<std::size_t>(block.rest_end - piece);
            const auto* feed = static_cast<const char*>(std::memchr(piece, '\n', left));
            if (feed == nullptr) {
                std::memcpy(out, piece, left);
                return;
            }
            const auto through_feed = static_cast<std::size_t>(feed + 1 - piece);
            std::memcpy(out, piece, through_feed);
            out += through_feed;
            piece = feed + 1 + block.least_indent;
        }
    }
    write_line(block.first_line, block.first_indent);
    const char* const rest = block.first_line.data() + block.first_line.size();
    // What is left of the first line is White_Space, which the cursor
    // skips as a blank line.
    for (LineCursor lines({rest, static_cast<std::size_t>(block.rest_end - rest)});
         const SourceLine* line = lines.peek(); lines.advance()) {
        *out++ = '\n';
        write_line(line->text, line->indent);
    }
}

[[gnu::hot]] std::string scalar_text(const DocValue& scalar) {
    if (!scalar.is_block_text()) return std::string(scalar.text());
    std::string text(scalar.block().size, '\0');
    write_block_text(scalar.block(), text.data());
    return text;
}

[[gnu::hot]] const DocNode* DocValue::find(std::string_view key) const noexcept {
    const std::span<const DocEntry> all = entries();
    const auto found = std::lower_bound(
        all.begin(), all.end(), key, [](const DocEntry& entry, std::string_view wanted) { return entry.key < wanted; });
    return found != all.end() && found->key == key ? &found->node : nullptr;
}

namespace {

void copy_notes(const DocNotes* notes, Node& node) {
    if (notes == nullptr) return;
    if (!notes->comments.empty()) {
        std::vector<CommentLine> lines;
        lines.reserve(notes->comments.size());
        for (const DocComment& comment : notes->comments) lines.push_back({std::string(comment.text), comment.indent});
        node.comments = std::move(lines);
    }
    if (notes->inline_comment) node.inline_comment = std::string(*notes->inline_comment);
}

// A container being copied: where its values come from, where they go, and
// how many are done. Scalars are copied at once; a nested container becomes
// the next frame and is stored in its parent when complete.
struct CopyFrame {
    DocValue source;
    Value target;
    std::size_t next = 0;
};

CopyFrame open_frame(const DocValue& source) {
    if (source.is_sequence()) {
        Sequence items;
        items.reserve(source.items().size());
        return {source, Value(std::move(items))};
    }
    Mapping entries;
    entries.reserve(source.entries().size());
    return {source, Value(std::move(entries))};
}

// The node for the frame's next child, its value still to be filled in.
Node& add_child(CopyFrame& frame) {
    if (frame.source.is_sequence()) {
        const DocNode& from = frame.source.items()[frame.next++];
        Node& node = frame.target.sequence().append_empty();
        copy_notes(from.notes, node);
        return node;
    }
    const DocEntry& from = frame.source.entries()[frame.next++];
    Node& node = frame.target.mapping().append_in_order(std::string(from.key), Node());
    copy_notes(from.node.notes, node);
    return node;
}

const DocValue& child_value(const CopyFrame& frame, std::size_t index) {
    return frame.source.is_sequence() ? frame.source.items()[index].value : frame.source.entries()[index].node.value;
}

std::size_t child_count(const DocValue& container) {
    return container.is_sequence() ? container.items().size() : container.entries().size();
}

}  // namespace

Value to_value(const DocValue& value) {
    if (value.is_scalar()) return Value(scalar_text(value));
    std::vector<CopyFrame> open;
    open.push_back(open_frame(value));
    // Children are filled in from a nested frame's result through this
    // slot; the slot's node stays put because its container is not added
    // to until the nested frame closes.
    std::vector<Node*> waiting;
    for (;;) {
        CopyFrame& top = open.back();
        if (top.next < child_count(top.source)) {
            const DocValue& child = child_value(top, top.next);
            Node& node = add_child(top);
            if (child.is_scalar()) {
                node.value.scalar() = scalar_text(child);
            } else {
                waiting.push_back(&node);
                open.push_back(open_frame(child));
            }
            continue;
        }
        Value complete = std::move(top.target);
        open.pop_back();
        if (open.empty()) return complete;
        waiting.back()->value = std::move(complete);
        waiting.pop_back();
    }
}

}  // namespace vorn
