// The in-memory tree of one document: string scalars, sequences and
// byte-ordered mappings, with the comments the reader kept beside each node.
//
// Trees are strict: every node has exactly one owner, values move without
// copying, and the only copies are explicit (`deep_copy`). Destruction,
// copying and comparison never recurse on the depth of the tree, so a tree
// of any depth that fits in memory can be built, copied and dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vorn {

class Sequence;
class Mapping;

// One whole-line comment as it stood in the source: its trimmed text (which
// begins with '#') and the number of spaces before it.
struct CommentLine {
    std::string text;
    std::uint64_t indent = 0;

    friend bool operator==(const CommentLine&, const CommentLine&) = default;
};

class Value {
public:
    enum class Kind : std::uint8_t { scalar, sequence, mapping };

    // The empty scalar.
    Value() = default;
    explicit Value(std::string text) : data_(std::move(text)) {}
    explicit Value(Sequence items);
    explicit Value(Mapping entries);

    static Value empty_sequence();
    static Value empty_mapping();

    Value(Value&&) noexcept = default;
    Value& operator=(Value&& other) noexcept;
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    ~Value();

    Kind kind() const noexcept { return static_cast<Kind>(data_.index()); }
    bool is_scalar() const noexcept { return kind() == Kind::scalar; }
    bool is_sequence() const noexcept { return kind() == Kind::sequence; }
    bool is_mapping() const noexcept { return kind() == Kind::mapping; }

    // Accessors require the matching kind.
    const std::string& scalar() const { return std::get<std::string>(data_); }
    std::string& scalar() { return std::get<std::string>(data_); }
    const Sequence& sequence() const { return *std::get<SequencePtr>(data_); }
    Sequence& sequence() { return *std::get<SequencePtr>(data_); }
    const Mapping& mapping() const { return *std::get<MappingPtr>(data_); }
    Mapping& mapping() { return *std::get<MappingPtr>(data_); }

private:
    void release_container() noexcept;

    using SequencePtr = std::unique_ptr<Sequence>;
    using MappingPtr = std::unique_ptr<Mapping>;
    // Alternatives in the order of `Kind`. A moved-from container value holds
    // a null pointer; it may only be destroyed or assigned to.
    std::variant<std::string, SequencePtr, MappingPtr> data_;

    friend class TreeDismantler;
    friend class TreeCopier;
};

// The whole-line comments above a node. Most nodes have none, so the lines
// live out of line and an uncommented node carries one null pointer. Reads
// see a std::vector<CommentLine> (an empty one when there are none).
class CommentLines {
public:
    CommentLines() noexcept = default;
    CommentLines(std::vector<CommentLine> lines) { *this = std::move(lines); }
    CommentLines(CommentLines&&) noexcept = default;
    CommentLines& operator=(CommentLines&&) noexcept = default;
    CommentLines(const CommentLines& other) { *this = other; }
    CommentLines& operator=(const CommentLines& other) {
        if (this != &other) lines_ = other.lines_ ? std::make_unique<std::vector<CommentLine>>(*other.lines_) : nullptr;
        return *this;
    }
    CommentLines& operator=(std::vector<CommentLine>&& lines) {
        if (lines.empty()) {
            lines_.reset();
        } else {
            lines_ = std::make_unique<std::vector<CommentLine>>(std::move(lines));
        }
        return *this;
    }

    const std::vector<CommentLine>& get() const noexcept { return lines_ ? *lines_ : no_lines(); }
    operator const std::vector<CommentLine>&() const noexcept { return get(); }

    bool empty() const noexcept { return !lines_; }
    std::size_t size() const noexcept { return lines_ ? lines_->size() : 0; }
    auto begin() const noexcept { return get().begin(); }
    auto end() const noexcept { return get().end(); }
    // In-place edits of the lines present; none are added this way.
    CommentLine* begin() noexcept { return lines_ ? lines_->data() : nullptr; }
    CommentLine* end() noexcept { return lines_ ? lines_->data() + lines_->size() : nullptr; }
    CommentLine& operator[](std::size_t i) { return (*lines_)[i]; }
    const CommentLine& operator[](std::size_t i) const { return (*lines_)[i]; }

    friend bool operator==(const CommentLines& a, const CommentLines& b) { return a.get() == b.get(); }
    friend bool operator==(const CommentLines& a, const std::vector<CommentLine>& b) { return a.get() == b; }

private:
    static const std::vector<CommentLine>& no_lines() noexcept;
    std::unique_ptr<std::vector<CommentLine>> lines_;
};

// The comment at the end of a node's line, if any: a null pointer when there
// is none. Reads see a std::optional<std::string>.
class InlineComment {
public:
    InlineComment() noexcept = default;
    InlineComment(std::optional<std::string> text) { *this = std::move(text); }
    InlineComment(InlineComment&&) noexcept = default;
    InlineComment& operator=(InlineComment&&) noexcept = default;
    InlineComment(const InlineComment& other) { *this = other; }
    InlineComment& operator=(const InlineComment& other) {
        if (this != &other) text_ = other.text_ ? std::make_unique<std::optional<std::string>>(*other.text_) : nullptr;
        return *this;
    }
    InlineComment& operator=(std::optional<std::string>&& text) {
        if (text) {
            text_ = std::make_unique<std::optional<std::string>>(std::move(text));
        } else {
            text_.reset();
        }
        return *this;
    }

    const std::optional<std::string>& get() const noexcept { return text_ ? *text_ : no_text(); }
    operator const std::optional<std::string>&() const noexcept { return get(); }

    explicit operator bool() const noexcept { return text_ != nullptr; }
    const std::string& operator*() const { return **text_; }
    const std::string* operator->() const { return &**text_; }

    friend bool operator==(const InlineComment& a, const InlineComment& b) { return a.get() == b.get(); }
    template <typename Other>
    friend bool operator==(const InlineComment& a, const Other& b) {
        return a.get() == b;
    }

private:
    static const std::optional<std::string>& no_text() noexcept;
    std::unique_ptr<std::optional<std::string>> text_;
};

// An element of a sequence, or the value side of a mapping entry.
struct Node {
    Value value;
    CommentLines comments;
    InlineComment inline_comment;

    Node() = default;
    explicit Node(Value v) : value(std::move(v)) {}
};

class Sequence {
public:
    Node& append(Node&& node) { return items_.emplace_back(std::move(node)); }
    // Adds a node holding the empty scalar, for a caller that builds the
    // value in place (no temporary node to move from and destroy).
    Node& append_empty() { return items_.emplace_back(); }
    void reserve(std::size_t n) { items_.reserve(n); }
    std::size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }

    auto begin() noexcept { return items_.begin(); }
    auto end() noexcept { return items_.end(); }
    auto begin() const noexcept { return items_.begin(); }
    auto end() const noexcept { return items_.end(); }
    Node& operator[](std::size_t i) { return items_[i]; }
    const Node& operator[](std::size_t i) const { return items_[i]; }

private:
    std::vector<Node> items_;
};

// Unique string keys kept in ascending byte order (which is code point order
// for UTF-8); insertion order is not remembered. The entries lie in one
// sorted array: no allocation per entry, and a lookup is a binary search.
// Adding a key out of order shifts the entries after it (linear time); the
// reader therefore collects a block's entries in a MappingBuilder, which
// sorts them once when the block closes.
class Mapping {
public:
    using Entry = std::pair<std::string, Node>;

    Mapping() = default;
    Mapping(Mapping&&) noexcept = default;
    Mapping& operator=(Mapping&&) noexcept = default;

    // Adds the entry, or replaces the node stored under `key` and hands the
    // previous node back.
    std::optional<Node> insert(std::string key, Node node);
    // Adds the entry only if `key` is absent; returns whether it was added.
    bool insert_if_absent(std::string key, Node&& node);

    // Adds an entry whose key sorts after every key present (as when copying
    // another mapping in its order) and returns the stored node. The
    // reference lasts until the next entry is added.
    Node& append_in_order(std::string key, Node&& node) {
        return entries_.emplace_back(std::move(key), std::move(node)).second;
    }
    void reserve(std::size_t n) { entries_.reserve(n); }

    Node* find(std::string_view key);
    const Node* find(std::string_view key) const;

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }

    // Iteration yields (key, node) pairs in ascending key order. Keys must
    // not be changed through it.
    auto begin() noexcept { return entries_.begin(); }
    auto end() noexcept { return entries_.end(); }
    auto begin() const noexcept { return entries_.begin(); }
    auto end() const noexcept { return entries_.end(); }

    // Removes every entry, handing each to `sink` in key order; used to move
    // a whole mapping into another one without copying.
    template <typename Sink>
    void drain(Sink&& sink) {
        std::vector<Entry> taken = std::move(entries_);
        entries_.clear();
        for (Entry& entry : taken) sink(std::move(entry.first), std::move(entry.second));
    }

private:
    // Entries already in strictly ascending key order.
    explicit Mapping(std::vector<Entry> sorted_entries) noexcept : entries_(std::move(sorted_entries)) {}
    std::vector<Entry>::iterator lower_bound(std::string_view key);

    std::vector<Entry> entries_;

    friend class MappingBuilder;
};

// Scalars, by far the most values, are freed inline; a container is taken
// apart without recursion.
inline Value::~Value() {
    if (!is_scalar()) release_container();
}

// An independent copy of `value`, comments of every node included.
Value deep_copy(const Value& value);
Node deep_copy(const Node& node);

// The number of values in the tree (the root included), counting at most up
// to `limit + 1` so that a caller can refuse a huge tree without walking it.
std::uint64_t count_values(const Value& value, std::uint64_t limit);

// Structural equality of values, comments and inline comments included.
bool operator==(const Value& a, const Value& b);
bool operator==(const Node& a, const Node& b);
// Structural equality of the values alone, as a Python caller sees them.
bool same_values(const Value& a, const Value& b);

}  // namespace vorn
