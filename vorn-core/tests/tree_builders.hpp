// Terse construction of value trees for tests.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vorn/value.hpp"

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

}  // namespace vorn::testing
