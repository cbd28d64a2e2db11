// Terse construction of value trees for tests.
#pragma once

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/value.hpp"

#include "tree/document.hpp"

namespace vorn::testing {

inline Value scalar(std::string text) { return Value(std::move(text)); }

inline Node to_node(Value value) { return Node(std::move(value)); }
inline Node to_node(Node node) { return node; }

// A node with whole-line comments above it and an optional inline comment.
inline Node annotated(Value value, std::vector<CommentLine> comments,
                      std::optional<std::string> inline_comment = std::nullopt) {
    Node node(std::move(value));
    node.comments = std::move(comments);
    node.inline_comment = std::move(inline_comment);
    return node;
}

template <typename... Items>
Value seq(Items&&... items) {
    Sequence sequence;
    (sequence.append(to_node(std::forward<Items>(items))), ...);
    return Value(std::move(sequence));
}

template <typename Child>
std::pair<std::string, Node> entry(std::string key, Child&& child) {
    return {std::move(key), to_node(std::forward<Child>(child))};
}

template <typename... Entries>
Value map(Entries&&... entries) {
    Mapping mapping;
    (mapping.insert(std::move(entries.first), std::move(entries.second)), ...);
    return Value(std::move(mapping));
}

// The same tree as the reader's arena tree, with its text copied into
// `arena` too. Recursive: test trees are shallow.
inline DocValue in_arena(const Value& value, Arena& arena);

inline std::string_view arena_text(std::string_view text, Arena& arena) {
    char* room = arena.allocate_text(text.size());
    std::copy(text.begin(), text.end(), room);
    return {room, text.size()};
}

inline DocNode in_arena(const Node& node, Arena& arena) {
    DocNode copied{in_arena(node.value, arena)};
    if (node.comments.empty() && !node.inline_comment) return copied;
    std::vector<DocComment> comments;
    for (const CommentLine& line : node.comments) comments.push_back({arena_text(line.text, arena), line.indent});
    std::optional<std::string_view> inline_comment;
    if (node.inline_comment) inline_comment = arena_text(*node.inline_comment, arena);
    void* place = arena.allocate(sizeof(DocNotes), alignof(DocNotes));
    copied.notes = new (place) DocNotes{arena.copy(std::span<const DocComment>(comments)), inline_comment};
    return copied;
}

inline DocValue in_arena(const Value& value, Arena& arena) {
    if (value.is_scalar()) return DocValue::scalar(arena_text(value.scalar(), arena));
    if (value.is_sequence()) {
        std::vector<DocNode> items;
        for (const Node& node : value.sequence()) items.push_back(in_arena(node, arena));
        return DocValue::sequence(arena.copy(std::span<const DocNode>(items)));
    }
    std::vector<DocEntry> entries;
    for (const auto& [key, node] : value.mapping()) entries.push_back({arena_text(key, arena), in_arena(node, arena)});
    return DocValue::mapping(arena.copy(std::span<const DocEntry>(entries)));
}

}  // namespace vorn::testing
