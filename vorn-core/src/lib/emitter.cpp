#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

#include "scalar_writer.hpp"
#include "vorn/emit.hpp"

namespace vorn {

namespace {

// How the layout walk reads a Value tree: a child is a node with its key (if
// in a mapping); a cursor runs over one container's children.
struct ValueTreeReader {
    using EntryIterator = decltype(std::declval<const Mapping&>().begin());

    struct Child {
        std::string_view key;
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
            child = {key, &node};
            return true;
        }
        if (cursor.next_item == cursor.items->size()) return false;
        child = {{}, &(*cursor.items)[cursor.next_item++]};
        return true;
    }

    static bool is_mapping(const Cursor& cursor) { return cursor.is_mapping; }
    static std::string_view key(const Child& child) { return child.key; }
    static const Value& value(const Child& child) { return child.node->value; }
    static const std::vector<CommentLine>& comments(const Child& child) { return child.node->comments; }
    static const std::optional<std::string>& inline_comment(const Child& child) {
        return child.node->inline_comment;
    }
    static bool is_scalar(const Value& value) { return value.is_scalar(); }
    static bool is_sequence(const Value& value) { return value.is_sequence(); }
    static std::string_view text(const Value& value) { return value.scalar(); }
    static bool is_empty(const Value& value) {
        return value.is_sequence() ? value.sequence().empty() : value.mapping().empty();
    }
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

    static bool is_mapping(const Cursor& cursor) { return cursor.is_mapping; }
    static std::string_view key(Child child) { return child->key; }
    static const FlatTree::Node& value(Child child) { return *child; }
    static const std::vector<CommentLine>& comments(Child) { return no_comments_; }
    static const std::optional<std::string>& inline_comment(Child) { return no_inline_comment_; }
    static bool is_scalar(const FlatTree::Node& node) { return node.kind == FlatTree::Kind::scalar; }
    static bool is_sequence(const FlatTree::Node& node) { return node.kind == FlatTree::Kind::sequence; }
    static std::string_view text(const FlatTree::Node& node) { return node.text; }
    bool is_empty(const FlatTree::Node& node) const { return node.end == tree_.position_of(node) + 1; }

private:
    const FlatTree& tree_;
    static inline const std::vector<CommentLine> no_comments_{};
    static inline const std::optional<std::string> no_inline_comment_{};
};

// Writes the entries or items of one non-empty collection and everything
// below it, one open collection per level on an explicit stack, so the depth
// of the tree costs heap memory, never native stack.
template <typename Reader>
class LayoutWriter {
public:
    LayoutWriter(std::string& out, const Reader& reader) : out_(out), reader_(reader) {}

    template <typename Container>
    void write_block(const Container& container) {
        stack_.push_back({0, reader_.open(container)});
        run();
    }

private:
    struct OpenBlock {
        std::uint64_t indent;
        typename Reader::Cursor cursor;
    };

    void run() {
        while (!stack_.empty()) {
            OpenBlock& block = stack_.back();
            typename Reader::Child child;
            if (!reader_.next(block.cursor, child)) {
                stack_.pop_back();
                continue;
            }
            const std::uint64_t indent = block.indent;
            const bool in_mapping = reader_.is_mapping(block.cursor);
            write_comment_lines(out_, reader_.comments(child));
            out_.append(indent, ' ');
            if (in_mapping) {
                write_key(out_, reader_.key(child));
                out_ += ':';
            } else {
                out_ += "- ";
            }
            // `block` may dangle once write_value opens a nested block.
            write_value(child, indent, in_mapping);
        }
    }

    // Writes what follows the colon or the hyphen; a non-empty collection is
    // opened as a new block two columns deeper, to be written next.
    void write_value(const typename Reader::Child& child, std::uint64_t indent, bool after_colon) {
        const auto& value = reader_.value(child);
        const std::optional<std::string>& inline_comment = reader_.inline_comment(child);
        if (reader_.is_scalar(value)) {
            if (after_colon) out_ += ' ';
            write_scalar(out_, indent, reader_.text(value), inline_comment);
            return;
        }
        if (reader_.is_empty(value)) {
            if (after_colon) out_ += ' ';
            out_ += reader_.is_sequence(value) ? "[]" : "{}";
            write_inline_comment(out_, inline_comment);
            out_ += '\n';
            return;
        }
        write_inline_comment(out_, inline_comment);
        out_ += '\n';
        stack_.push_back({indent + 2, reader_.open(value)});
    }

    std::string& out_;
    const Reader& reader_;
    std::vector<OpenBlock> stack_;
};

// Writes a root of either tree: a scalar, an empty collection in flow form,
// or the collection's block.
template <typename Reader, typename Root>
std::string emit_root(const Reader& reader, const Root& root, std::size_t capacity) {
    std::string out;
    out.reserve(capacity);
    if (reader.is_scalar(root)) {
        write_scalar(out, 0, reader.text(root), std::nullopt);
    } else if (reader.is_empty(root)) {
        out += reader.is_sequence(root) ? "[]\n" : "{}\n";
    } else {
        LayoutWriter<Reader>(out, reader).write_block(root);
    }
    return out;
}

// A first guess that spares small documents most regrowth; larger ones grow
// by doubling.
constexpr std::size_t initial_capacity = 4096;

}  // namespace

std::string emit(const Value& value) { return emit_root(ValueTreeReader{}, value, initial_capacity); }

std::string emit(const FlatTree& tree) {
    // A little room over the estimate spares a final doubling for a few
    // escapes or literal block lines.
    const std::size_t expected = tree.expected_text_size();
    return emit_root(FlatTreeReader(tree), tree.root(), std::max(initial_capacity, expected + expected / 16));
}

}  // namespace vorn
