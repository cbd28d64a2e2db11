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

#include "vorn/assert.hpp"

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

// An element of a sequence, or the value side of a mapping entry.
struct Node {
    Value value;
    std::vector<CommentLine> comments;
    std::optional<std::string> inline_comment;

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
// array: no allocation per entry, and a lookup is a binary search.
//
// Adding an entry appends it, whatever the order of its key; the entries
// that arrived out of order are sorted once, when the mapping is next read
// (find, size, iteration), so that building a mapping of n keys costs
// n log n for any order and nothing more for keys that come in order. As
// that first read rearranges the entries, a mapping that has just been
// added to must be read by one thread before several read it at once.
class Mapping {
public:
    using Entry = std::pair<std::string, Node>;

    Mapping() = default;
    Mapping(Mapping&&) noexcept = default;
    Mapping& operator=(Mapping&&) noexcept = default;

    // Adds the entry; of entries under one key, the one added last is kept.
    void insert(std::string key, Node node);
    // Adds the entry, to be kept only if no entry under `key` was added
    // before it (one added later still replaces it).
    void insert_if_absent(std::string key, Node node);

    // Adds an entry whose key sorts after every key present (as when copying
    // another mapping in its order) and returns the stored node. The
    // reference lasts until the next entry is added.
    Node& append_in_order(std::string key, Node&& node) {
        settle();
        VORN_ASSERT(entries_.empty() || entries_.back().first < key);
        ++sorted_;
        return entries_.emplace_back(std::move(key), std::move(node)).second;
    }
    void reserve(std::size_t n) { entries_.reserve(n); }

    Node* find(std::string_view key);
    const Node* find(std::string_view key) const;

    std::size_t size() const {
        settle();
        return entries_.size();
    }
    bool empty() const noexcept { return entries_.empty(); }

    // Iteration yields (key, node) pairs in ascending key order. Keys must
    // not be changed through it.
    auto begin() {
        settle();
        return entries_.begin();
    }
    auto end() {
        settle();
        return entries_.end();
    }
    auto begin() const {
        settle();
        return std::as_const(entries_).begin();
    }
    auto end() const {
        settle();
        return std::as_const(entries_).end();
    }

private:
    bool in_order() const noexcept { return sorted_ == entries_.size(); }
    void settle() const {
        if (!in_order()) sort_arrivals();
    }
    void sort_arrivals() const;
    void append_arrival(std::string&& key, Node&& node, bool if_absent);

    // entries_[0, sorted_) are unique and in ascending key order; the rest
    // arrived since, in any order. Sorting them is no change a reader can
    // see, hence `mutable`.
    mutable std::vector<Entry> entries_;
    mutable std::size_t sorted_ = 0;
    // One flag per arrival since sorted_: whether it came by insert_if_absent.
    mutable std::vector<bool> if_absent_;

    // Takes the entries apart as they lie, without sorting them first.
    friend class TreeDismantler;
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
