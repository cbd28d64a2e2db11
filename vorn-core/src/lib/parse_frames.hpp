// The open blocks of the parser stack. A frame below the top always awaits
// the block above it through its pending entry or item.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "mapping_builder.hpp"
#include "vorn/value.hpp"

namespace vorn {

// Where a pending record's errors are reported: the line that made it and
// the column of its colon (or 1 for a bare item).
struct SourcePosition {
    std::uint64_t line = 0;
    std::uint64_t column = 1;
};

// A mapping entry whose value is the nested block that follows.
struct PendingEntry {
    std::string key;
    std::optional<std::string> inline_comment;
    std::optional<std::string> anchor;
    std::uint64_t child_indent = 0;
    SourcePosition position;
};

// "-" or "- &name" followed by a deeper block.
struct NestedItem {
    std::optional<std::string> inline_comment;
    std::optional<std::string> anchor;
    std::uint64_t child_indent = 0;
    SourcePosition position;
};

// "- key: value" whose mapping goes on in the deeper lines that follow.
struct InlineContinuation {
    std::optional<std::string> inline_comment;
    MappingBuilder entries;
    std::uint64_t child_indent = 0;
    SourcePosition position;
};

// "- key: &name" whose value is the deeper block that follows.
struct InlineNestedValue {
    std::string key;
    std::string anchor;
    std::optional<std::string> inline_comment;
    MappingBuilder entries;
    std::uint64_t child_indent = 0;
    SourcePosition position;
};

using PendingItem = std::variant<NestedItem, InlineContinuation, InlineNestedValue>;

struct MappingFrame {
    std::vector<CommentLine> pending_comments;
    std::optional<PendingEntry> pending_entry;
    std::uint64_t indent = 0;
    MappingBuilder entries;
};

struct SequenceFrame {
    Sequence items;
    std::vector<CommentLine> pending_comments;
    std::optional<PendingItem> pending_item;
    std::uint64_t indent = 0;
};

using Frame = std::variant<MappingFrame, SequenceFrame>;

// An inline comment leaves the line's text when it enters a node or a
// pending record.
inline std::optional<std::string> owned_comment(std::optional<std::string_view> comment) {
    if (!comment) return std::nullopt;
    return std::string(*comment);
}

// A node read in a frame takes the comment lines the frame collected since
// its last entry or item.
inline void annotate(Node& node, std::vector<CommentLine>& pending_comments,
                     std::optional<std::string> inline_comment) {
    node.comments = std::move(pending_comments);
    pending_comments.clear();
    node.inline_comment = std::move(inline_comment);
}

inline Node node_with_comments(Value&& value, std::vector<CommentLine>& pending_comments,
                               std::optional<std::string> inline_comment) {
    Node node(std::move(value));
    annotate(node, pending_comments, std::move(inline_comment));
    return node;
}

}  // namespace vorn
