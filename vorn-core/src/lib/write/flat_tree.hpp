// A tree built only to be written: nodes laid out in one array in the order
// they are written, strings borrowed. Whoever fills it keeps every string it
// points to alive until the text is emitted. It costs no allocation per node
// and nothing to take apart. The bindings build it from a caller's objects
// when writing them straight does not give a clean text: it holds the
// objects' order of arrival and every node's position, which a fault's
// report needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "vorn/value.hpp"

#include "tree/key_order.hpp"

namespace vorn {

class FlatTree {
public:
    enum class Kind : std::uint8_t { scalar, sequence, mapping };

    // One node; `key` is set for the entries of a mapping. A container's
    // nodes follow it, each child followed by its own, up to `end`.
    struct Node {
        std::string_view key;
        std::string_view text;
        std::size_t end = 0;
        // Mappings whose entries were added out of key order: 1 + where in
        // orders_ the count of their entries stands, followed by the entries'
        // positions in key order. 0 when the entries stand in key order.
        std::size_t order = 0;
        Kind kind = Kind::scalar;
    };

    const Node& root() const { return nodes_.front(); }
    // About the length of the written text: exact but for escapes, quoted
    // keys and the indentation of literal block lines.
    std::size_t expected_text_size() const noexcept { return expected_text_size_; }
    const Node& at(std::size_t position) const { return nodes_[position]; }
    std::size_t position_of(const Node& node) const { return static_cast<std::size_t>(&node - nodes_.data()); }
    // Position of the node after `position`'s and all of its children.
    std::size_t next_sibling(std::size_t position) const {
        const Node& node = nodes_[position];
        return node.kind == Kind::scalar ? position + 1 : node.end;
    }
    // For a mapping with `order` set: its entries' positions in key order.
    const std::size_t* ordered_begin(const Node& mapping) const { return orders_.data() + mapping.order; }
    const std::size_t* ordered_end(const Node& mapping) const {
        return ordered_begin(mapping) + orders_[mapping.order - 1];
    }

private:
    std::vector<Node> nodes_;
    std::vector<std::size_t> orders_;
    std::size_t expected_text_size_ = 0;
    friend class FlatTreeBuilder;
};

// The subtree at `position` as an independent Value (strings copied), keys
// in order and of equal keys the one kept by the writer. Walks without
// recursion.
Value to_value(const FlatTree& tree, std::size_t position = 0);

// Fills a FlatTree depth first, in the order the caller reads its objects.
// Children are added to the innermost open container; `key` is ignored
// outside mappings. The result holds exactly one root.
class FlatTreeBuilder {
public:
    void add_scalar(std::string_view key, std::string_view text) {
        note_key(key);
        expect_line(key.size() + text.size());
        tree_.nodes_.push_back({key, text, 0, 0, FlatTree::Kind::scalar});
    }
    // `expected_children` only sizes the storage.
    void open(FlatTree::Kind kind, std::string_view key, std::size_t expected_children = 0);
    // Finishes the innermost open container. A mapping's entries are written
    // in ascending byte order of their keys; of equal keys the last added is
    // kept.
    void close();
    FlatTree finish() { return std::move(tree_); }

private:
    struct OpenContainer {
        std::size_t position;
        bool is_mapping;
        bool in_key_order = true;  // so far, keys strictly ascending
        bool has_entries = false;
        std::string_view last_key;
    };

    void note_key(std::string_view key) {
        if (open_.empty() || !open_.back().is_mapping) return;
        OpenContainer& mapping = open_.back();
        if (mapping.in_key_order && mapping.has_entries && !key_less(mapping.last_key, key))
            mapping.in_key_order = false;
        mapping.has_entries = true;
        mapping.last_key = key;
    }

    // One line at the current depth: indentation, the node's own bytes and
    // at most five of syntax (`: ""` and the line feed, or `- ""` and it).
    void expect_line(std::size_t own_bytes) {
        const std::size_t depth = open_.empty() ? 0 : open_.size() - 1;
        tree_.expected_text_size_ += 2 * depth + own_bytes + 5;
    }

    // A mapping entry being put in key order; `prefix` holds the key's first
    // eight bytes so that most comparisons need not read the key itself.
    struct KeyedEntry {
        std::uint64_t prefix;
        std::string_view key;
        std::size_t position;
    };

    void store_key_order(const OpenContainer& mapping);

    std::vector<OpenContainer> open_;
    std::vector<KeyedEntry> sorting_;  // reused by every mapping sorted
    FlatTree tree_;
};

}  // namespace vorn
