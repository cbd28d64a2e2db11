#include "vorn/emit.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "write/emit_flat_tree.hpp"
#include "write/emit_fragment.hpp"
#include "write/layout_writer.hpp"

namespace vorn {

namespace {

// How the layout walk reads a Value tree: a child is a node with its key (if
// in a mapping); a cursor runs over one container's children.
struct ValueTreeReader {
    using EntryIterator = decltype(std::declval<const Mapping&>().begin());

    // A fragment's own value has no node: no comments.
    struct Child {
        std::string_view key;
        const Value* value;
        const Node* node;
    };

    struct Cursor {
        bool is_mapping;
        EntryIterator next_entry;
        EntryIterator end_entry;
        const Sequence* items;
        std::size_t next_item;
    };

    static Cursor open(const Value& value) {
        if (value.is_mapping()) return {true, value.mapping().begin(), value.mapping().end(), nullptr, 0};
        return {false, {}, {}, &value.sequence(), 0};
    }

    bool next(Cursor& cursor, Child& child) const {
        if (cursor.is_mapping) {
            if (cursor.next_entry == cursor.end_entry) return false;
            const auto& [key, node] = *cursor.next_entry++;
            child = {key, &node.value, &node};
            return true;
        }
        if (cursor.next_item == cursor.items->size()) return false;
        const Node& node = (*cursor.items)[cursor.next_item++];
        child = {{}, &node.value, &node};
        return true;
    }

    static constexpr bool has_comments = true;
    static bool is_mapping(const Cursor& cursor) { return cursor.is_mapping; }
    // Only checked writing reports positions, and only of a FlatTree.
    static std::size_t position(const Child&) { return 0; }
    static std::string_view key(const Child& child) { return child.key; }
    static const Value& value(const Child& child) { return *child.value; }
    static const std::vector<CommentLine>& comments(const Child& child) {
        return child.node != nullptr ? child.node->comments : no_comments_;
    }
    static const std::optional<std::string>& inline_comment(const Child& child) {
        return child.node != nullptr ? child.node->inline_comment : no_inline_comment_;
    }
    static bool is_scalar(const Value& value) { return value.is_scalar(); }
    static bool is_sequence(const Value& value) { return value.is_sequence(); }
    static std::string_view text(const Value& value) { return value.scalar(); }
    static bool is_empty(const Value& value) {
        return value.is_sequence() ? value.sequence().empty() : value.mapping().empty();
    }

    // Where the child a cursor gave last stands: its key or index.
    static FragmentStep step_of(const Cursor& cursor) {
        if (cursor.is_mapping) return std::string(std::prev(cursor.next_entry)->first);
        return cursor.next_item - 1;
    }

private:
    static inline const std::vector<CommentLine> no_comments_{};
    static inline const std::optional<std::string> no_inline_comment_{};
};

// How the layout walk reads a FlatTree: no comments anywhere. A mapping
// whose entries were added out of key order is read through its key order.
class FlatTreeReader {
public:
    using Child = const FlatTree::Node*;

    struct Cursor {
        bool is_mapping;
        std::size_t next;  // children in place: position of the next one
        std::size_t end;
        const std::size_t* next_in_order;  // reordered: position of the next one's position
        const std::size_t* end_of_order;
    };

    explicit FlatTreeReader(const FlatTree& tree) : tree_(tree) {}

    Cursor open(const FlatTree::Node& container) const {
        const bool is_mapping = container.kind == FlatTree::Kind::mapping;
        if (container.order != 0)
            return {is_mapping, 0, 0, tree_.ordered_begin(container), tree_.ordered_end(container)};
        return {is_mapping, tree_.position_of(container) + 1, container.end, nullptr, nullptr};
    }

    bool next(Cursor& cursor, Child& child) const {
        if (cursor.next_in_order != nullptr) {
            if (cursor.next_in_order == cursor.end_of_order) return false;
            child = &tree_.at(*cursor.next_in_order++);
            return true;
        }
        if (cursor.next == cursor.end) return false;
        child = &tree_.at(cursor.next);
        cursor.next = tree_.next_sibling(cursor.next);
        return true;
    }

    static constexpr bool has_comments = false;
    static bool is_mapping(const Cursor& cursor) { return cursor.is_mapping; }
    std::size_t position(Child child) const { return tree_.position_of(*child); }
    static std::string_view key(Child child) { return child->key; }
    static const FlatTree::Node& value(Child child) { return *child; }
    static const std::vector<CommentLine>& comments(Child) { return no_comments_; }
    static const std::optional<std::string>& inline_comment(Child) { return no_inline_comment_; }
    static bool is_scalar(const FlatTree::Node& node) { return node.kind == FlatTree::Kind::scalar; }
    static bool is_sequence(const FlatTree::Node& node) { return node.kind == FlatTree::Kind::sequence; }
    static std::string_view text(const FlatTree::Node& node) { return node.text; }
    bool is_empty(const FlatTree::Node& node) const { return node.end == tree_.position_of(node) + 1; }
    static bool is_mapping_value(const FlatTree::Node& node) { return node.kind == FlatTree::Kind::mapping; }
    // The entry under `key` that the mapping writes, if any.
    std::optional<Child> kept_entry(const FlatTree::Node& mapping, std::string_view key) const {
        Cursor cursor = open(mapping);
        for (Child child; next(cursor, child);)
            if (child->key == key) return child;
        return std::nullopt;
    }

private:
    const FlatTree& tree_;
    static inline const std::vector<CommentLine> no_comments_{};
    static inline const std::optional<std::string> no_inline_comment_{};
};

std::size_t flat_tree_capacity(const FlatTree& tree) {
    // Room over the estimate spares a doubling for escapes and the
    // indentation of literal block lines, which the estimate leaves out: a
    // text of megabytes that outgrows its room is copied into pages fresh
    // from the system. Room never written is never resident.
    const std::size_t expected = tree.expected_text_size();
    return std::max(initial_text_capacity, expected + expected / 4);
}

}  // namespace

const std::string* find_unwritable_key(const Value& value) {
    // The same cursors as the layout walk, so keys are met in written order.
    const ValueTreeReader reader;
    if (value.is_scalar()) return nullptr;
    std::vector<ValueTreeReader::Cursor> open{reader.open(value)};
    while (!open.empty()) {
        ValueTreeReader::Child child;
        if (!reader.next(open.back(), child)) {
            open.pop_back();
            continue;
        }
        if (ValueTreeReader::is_mapping(open.back()) && !is_writable_key(child.key))
            return &std::prev(open.back().next_entry)->first;
        const Value& nested = ValueTreeReader::value(child);
        if (!nested.is_scalar()) open.push_back(reader.open(nested));
    }
    return nullptr;
}

std::string emit(const Value& value) {
    std::string out;
    emit_root(out, ValueTreeReader{}, value, initial_text_capacity);
    return out;
}

std::string emit(const FlatTree& tree) {
    std::string out;
    emit_root(out, FlatTreeReader(tree), tree.root(), flat_tree_capacity(tree));
    return out;
}

namespace {

// Writes `write` into a Fragment, split after its first line.
template <Checking checking, typename Write>
Fragment fragment_of(LayoutStyle style, Write&& write) {
    Fragment fragment;
    std::string out;
    const ValueTreeReader reader;
    LayoutWriter<ValueTreeReader, checking> writer(out, reader, style);
    const FoundFault found = write(writer);
    if (found.fault != WriteFault::none) {
        fragment.fault = found.fault;
        fragment.fault_steps = writer.open_steps();
        return fragment;
    }
    const std::size_t line_end = out.find('\n');
    fragment.line = out.substr(0, line_end);
    fragment.below = out.substr(line_end + 1);
    fragment.open_threshold = writer.open_threshold_;
    return fragment;
}

}  // namespace

Fragment write_entry_fragment(std::uint64_t indent, const std::optional<std::string_view>& key, const Value& value,
                              LayoutStyle style, bool lossless) {
    const ValueTreeReader::Child child{key.value_or(std::string_view()), &value, nullptr};
    const auto write = [&](auto& writer) { return writer.write_child(child, indent, key.has_value()); };
    return lossless ? fragment_of<Checking::lossless>(style, write) : fragment_of<Checking::keys>(style, write);
}

Fragment write_value_fragment(std::uint64_t indent, bool after_colon, const Value& value, LayoutStyle style,
                              bool lossless) {
    const ValueTreeReader::Child child{{}, &value, nullptr};
    const auto write = [&](auto& writer) { return writer.write_value_of(child, indent, after_colon); };
    return lossless ? fragment_of<Checking::lossless>(style, write) : fragment_of<Checking::keys>(style, write);
}

CheckedText emit_checked(const FlatTree& tree, WriteChecks checks) {
    return emit_checked_root(FlatTreeReader(tree), tree.root(), checks, flat_tree_capacity(tree));
}

}  // namespace vorn
