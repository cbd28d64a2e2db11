// The tree of one load as the reader builds it. Every node, array and
// rewritten string lives in the document's arena; text that needed no
// rewriting (plain and most quoted scalars, keys, comments) is viewed in the
// source text itself. A document is therefore cheap to build and free to
// drop, but it must not outlive the text it was read from.
//
// Nodes are immutable once built, so an alias shares the value its anchor
// recorded instead of copying it: the tree may hold one value at several
// positions. Every walk of it (conversion to a Value, to Python objects)
// goes by position, so each position still becomes a value of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "vorn/arena.hpp"
#include "vorn/value.hpp"

namespace vorn {

struct DocNode;
struct DocEntry;

// One whole-line comment: its trimmed text (beginning with '#') and the
// spaces before it.
struct DocComment {
    std::string_view text;
    std::uint64_t indent = 0;
};

// The comments kept beside a node; uncommented nodes have none at all.
struct DocNotes {
    std::span<const DocComment> comments;
    std::optional<std::string_view> inline_comment;
};

// A scalar, sequence or mapping, as a view of what the arena holds.
class DocValue {
public:
    using Kind = Value::Kind;

    // The empty scalar.
    DocValue() noexcept = default;
    static DocValue scalar(std::string_view text) noexcept { return {text.data(), text.size(), Kind::scalar}; }
    static DocValue sequence(std::span<const DocNode> items) noexcept {
        return {items.data(), items.size(), Kind::sequence};
    }
    // `entries` must be in strictly ascending byte order of their keys.
    static DocValue mapping(std::span<const DocEntry> entries) noexcept {
        return {entries.data(), entries.size(), Kind::mapping};
    }

    Kind kind() const noexcept { return static_cast<Kind>(size_and_kind_ & kind_mask); }
    bool is_scalar() const noexcept { return kind() == Kind::scalar; }
    bool is_sequence() const noexcept { return kind() == Kind::sequence; }
    bool is_mapping() const noexcept { return kind() == Kind::mapping; }

    // Accessors require the matching kind.
    std::string_view text() const noexcept { return {static_cast<const char*>(data_), size()}; }
    std::span<const DocNode> items() const noexcept;
    std::span<const DocEntry> entries() const noexcept;

    // The node stored under `key` in a mapping, or null.
    const DocNode* find(std::string_view key) const noexcept;

private:
    static constexpr std::uint64_t kind_mask = 3;

    DocValue(const void* data, std::size_t size, Kind kind) noexcept
        : data_(data), size_and_kind_(static_cast<std::uint64_t>(size) << 2 | static_cast<std::uint64_t>(kind)) {}
    std::size_t size() const noexcept { return static_cast<std::size_t>(size_and_kind_ >> 2); }

    const void* data_ = nullptr;
    std::uint64_t size_and_kind_ = 0;
};

// An element of a sequence, or the value side of a mapping entry.
struct DocNode {
    DocValue value;
    const DocNotes* notes = nullptr;
};

struct DocEntry {
    std::string_view key;
    DocNode node;
};

inline std::span<const DocNode> DocValue::items() const noexcept {
    return std::span<const DocNode>(static_cast<const DocNode*>(data_), size());
}

inline std::span<const DocEntry> DocValue::entries() const noexcept {
    return std::span<const DocEntry>(static_cast<const DocEntry*>(data_), size());
}

// A whole document: the root value and the arena that holds its pieces.
class Document {
public:
    Document(Arena arena, DocValue root) noexcept : arena_(std::move(arena)), root_(root) {}

    const DocValue& root() const noexcept { return root_; }

private:
    Arena arena_;
    DocValue root_;
};

// An independent Value tree with the same values and comments, every
// shared value copied at each of its positions. Walks without recursion.
Value to_value(const DocValue& value);

}  // namespace vorn
