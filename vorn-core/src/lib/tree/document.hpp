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
#include <string>
#include <string_view>

#include "vorn/value.hpp"

#include "tree/arena.hpp"

namespace vorn {

struct DocNode;
struct DocEntry;

// One whole-line comment: its trimmed text (beginning with '#') and the
// spaces before it.
struct DocComment {
    std::string_view text;
    std::uint64_t indent = 0;
};

// A literal block's text, kept as the source lines it is made of instead of
// a joined copy: `first_line` (indented by `first_indent` spaces), then the
// non-blank lines after it up to `rest_end`, each written with the spaces
// it has beyond `least_indent` and joined by line feeds, `size` bytes in all.
struct BlockLines {
    std::string_view first_line;
    std::uint64_t first_indent = 0;
    const char* rest_end = nullptr;
    std::uint64_t least_indent = 0;
    std::size_t size = 0;
    // Whether each line after the first starts right after the line feed
    // that ends the one before, with nothing trimmed at either end: no
    // blank line, CR or trailing White_Space between them. Then the text is
    // the source with `least_indent` spaces taken out after each line feed,
    // and the lines need not be measured again.
    bool lines_whole = false;

    // All the source bytes the text is made from (and more: indentation and
    // line ends).
    std::string_view source() const noexcept {
        return {first_line.data(), static_cast<std::size_t>(rest_end - first_line.data())};
    }
};

// Writes the joined text of `block` to `out`, which has room for
// `block.size` bytes.
void write_block_text(const BlockLines& block, char* out) noexcept;

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
    static DocValue scalar(std::string_view text) noexcept { return {text.data(), text.size(), plain_tag}; }
    // A scalar whose text is a literal block's lines; `block` must outlive
    // the value.
    static DocValue block_scalar(const BlockLines* block) noexcept { return {block, 0, block_tag}; }
    static DocValue sequence(std::span<const DocNode> items) noexcept {
        return {items.data(), items.size(), sequence_tag};
    }
    // `entries` must be in strictly ascending byte order of their keys.
    static DocValue mapping(std::span<const DocEntry> entries) noexcept {
        return {entries.data(), entries.size(), mapping_tag};
    }
    // A sequence or mapping that a ValueSink already made into an object of
    // its caller's: `object` is the sink's handle, and the value has no
    // items or entries to read.
    static DocValue made(Kind kind, const void* object) noexcept {
        return {object, 0, kind == Kind::sequence ? made_sequence_tag : made_mapping_tag};
    }

    Kind kind() const noexcept { return kinds[tag()]; }
    bool is_scalar() const noexcept { return kind() == Kind::scalar; }
    bool is_sequence() const noexcept { return kind() == Kind::sequence; }
    bool is_mapping() const noexcept { return kind() == Kind::mapping; }

    // Whether a scalar's text is kept as a literal block's lines, to be
    // read with block(); else it is one piece, read with text().
    bool is_block_text() const noexcept { return tag() == block_tag; }

    // Whether a sink made the container: then only made_object() reads it.
    bool is_made() const noexcept { return tag() >= made_sequence_tag; }
    const void* made_object() const noexcept { return data_; }

    // Accessors require the matching kind.
    std::string_view text() const noexcept { return {static_cast<const char*>(data_), size()}; }
    const BlockLines& block() const noexcept { return *static_cast<const BlockLines*>(data_); }
    // The length of a scalar's text, in either form.
    std::size_t text_size() const noexcept { return is_block_text() ? block().size : size(); }
    std::span<const DocNode> items() const noexcept;
    std::span<const DocEntry> entries() const noexcept;

    // The node stored under `key` in a mapping, or null.
    const DocNode* find(std::string_view key) const noexcept;

private:
    // The low three bits: the three kinds in the order of `Kind`, a fourth
    // for a scalar kept as block lines, and the two kinds of made container.
    static constexpr std::uint64_t plain_tag = 0;
    static constexpr std::uint64_t sequence_tag = 1;
    static constexpr std::uint64_t mapping_tag = 2;
    static constexpr std::uint64_t block_tag = 3;
    static constexpr std::uint64_t made_sequence_tag = 4;
    static constexpr std::uint64_t made_mapping_tag = 5;
    static_assert(static_cast<std::uint64_t>(Kind::scalar) == plain_tag &&
                  static_cast<std::uint64_t>(Kind::sequence) == sequence_tag &&
                  static_cast<std::uint64_t>(Kind::mapping) == mapping_tag);
    static constexpr Kind kinds[8] = {Kind::scalar,   Kind::sequence, Kind::mapping, Kind::scalar,
                                      Kind::sequence, Kind::mapping,  Kind::scalar,  Kind::scalar};

    DocValue(const void* data, std::size_t size, std::uint64_t tag) noexcept
        : data_(data), size_and_kind_(static_cast<std::uint64_t>(size) << 3 | tag) {}
    std::uint64_t tag() const noexcept { return size_and_kind_ & 7; }
    std::size_t size() const noexcept { return static_cast<std::size_t>(size_and_kind_ >> 3); }

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
    Document(Arena arena, DocValue root, bool shares_values = false) noexcept
        : arena_(std::move(arena)), root_(root), shares_values_(shares_values) {}

    const DocValue& root() const noexcept { return root_; }
    // Whether an alias or merge made a value stand at more than one
    // position.
    bool shares_values() const noexcept { return shares_values_; }

private:
    Arena arena_;
    DocValue root_;
    bool shares_values_;
};

// A scalar's text, in either form, as one string.
std::string scalar_text(const DocValue& scalar);

// An independent Value tree with the same values and comments, every
// shared value copied at each of its positions. Walks without recursion.
Value to_value(const DocValue& value);

}  // namespace vorn
