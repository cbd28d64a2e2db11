#include "vorn/emit.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/format_version.hpp"

#include "write/emit_flat_tree.hpp"
#include "write/scalar_writer.hpp"

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

    static constexpr bool has_comments = true;
    static bool is_mapping(const Cursor& cursor) { return cursor.is_mapping; }
    // Only checked writing reports positions, and only of a FlatTree.
    static std::size_t position(const Child&) { return 0; }
    static std::string_view key(const Child& child) { return child.key; }
    static const Value& value(const Child& child) { return child.node->value; }
    static const std::vector<CommentLine>& comments(const Child& child) { return child.node->comments; }
    static const std::optional<std::string>& inline_comment(const Child& child) { return child.node->inline_comment; }
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

private:
    const FlatTree& tree_;
    static inline const std::vector<CommentLine> no_comments_{};
    static inline const std::optional<std::string> no_inline_comment_{};
};

// How much a LayoutWriter checks: emit checks nothing, emit_checked does
// what its WriteChecks ask.
enum class Checking { none, keys, lossless };

// The fault a checked walk stopped at, and the position of its node.
struct FoundFault {
    WriteFault fault = WriteFault::none;
    std::size_t node = 0;
};

// Writes the entries or items of one non-empty collection and everything
// below it, one open collection per level on an explicit stack, so the depth
// of the tree costs heap memory, never native stack.
template <typename Reader, Checking checking = Checking::none>
class LayoutWriter {
public:
    LayoutWriter(std::string& out, const Reader& reader) : out_(out), reader_(reader) {}

    template <typename Container>
    FoundFault write_block(const Container& container) {
        stack_.push_back({0, reader_.open(container)});
        return run();
    }

private:
    struct OpenBlock {
        std::uint64_t indent;
        typename Reader::Cursor cursor;
    };

    FoundFault run() {
        while (!stack_.empty()) {
            OpenBlock& block = stack_.back();
            typename Reader::Child child;
            if (!reader_.next(block.cursor, child)) {
                stack_.pop_back();
                continue;
            }
            const std::uint64_t indent = block.indent;
            const bool in_mapping = reader_.is_mapping(block.cursor);
            write_comment_lines(out_, reader_.comments(child), deepest_comment_);
            deepest_comment_ = UINT64_MAX;
            out_.append(indent, ' ');
            if (in_mapping) {
                const WriteFault key_fault = write_key(out_, reader_.key(child));
                if (counts(key_fault)) return {key_fault, reader_.position(child)};
                out_ += ':';
            } else {
                out_ += "- ";
            }
            // `block` may dangle once write_value opens a nested block.
            const WriteFault value_fault = write_value(child, indent, in_mapping);
            if (value_fault != WriteFault::none) return {value_fault, reader_.position(child)};
        }
        return {};
    }

    static bool counts(WriteFault key_fault) {
        if constexpr (checking == Checking::none) return false;
        if constexpr (checking == Checking::keys) return key_fault == WriteFault::line_feed_in_key;
        return key_fault != WriteFault::none;
    }

    // Writes what follows the colon or the hyphen; a non-empty collection is
    // opened as a new block two columns deeper, to be written next.
    WriteFault write_value(const typename Reader::Child& child, std::uint64_t indent, bool after_colon) {
        const auto& value = reader_.value(child);
        const std::optional<std::string>& inline_comment = reader_.inline_comment(child);
        if (reader_.is_scalar(value)) {
            if (after_colon) out_ += ' ';
            if constexpr (checking == Checking::lossless)
                return write_scalar_checked(out_, indent, reader_.text(value));
            const std::string_view text = reader_.text(value);
            write_scalar(out_, indent, text, inline_comment);
            // A comment line right below a literal block would join the
            // block if it stood deeper than the block's own line.
            if constexpr (Reader::has_comments) {
                if (text.find('\n') != std::string_view::npos) deepest_comment_ = indent + 1;
            }
            return WriteFault::none;
        }
        if (reader_.is_empty(value)) {
            if (after_colon) out_ += ' ';
            out_ += reader_.is_sequence(value) ? "[]" : "{}";
            write_inline_comment(out_, inline_comment);
            out_ += '\n';
            return WriteFault::none;
        }
        write_inline_comment(out_, inline_comment);
        out_ += '\n';
        stack_.push_back({indent + 2, reader_.open(value)});
        return WriteFault::none;
    }

    std::string& out_;
    const Reader& reader_;
    std::vector<OpenBlock> stack_;
    // How deep the next comment lines may stand.
    std::uint64_t deepest_comment_ = UINT64_MAX;
};

// Writes a root of either tree: a scalar, an empty collection in flow form,
// or the collection's block.
template <Checking checking = Checking::none, typename Reader, typename Root>
FoundFault emit_root(std::string& out, const Reader& reader, const Root& root, std::size_t capacity) {
    out.reserve(capacity);
    if (reader.is_scalar(root)) {
        write_scalar(out, 0, reader.text(root), std::nullopt);
        return {};
    }
    if (reader.is_empty(root)) {
        out += reader.is_sequence(root) ? "[]\n" : "{}\n";
        return {};
    }
    return LayoutWriter<Reader, checking>(out, reader).write_block(root);
}

// A first guess that spares small documents most regrowth; larger ones grow
// by doubling.
constexpr std::size_t initial_capacity = 4096;

std::size_t flat_tree_capacity(const FlatTree& tree) {
    // A little room over the estimate spares a final doubling for a few
    // escapes or literal block lines.
    const std::size_t expected = tree.expected_text_size();
    return std::max(initial_capacity, expected + expected / 16);
}

// The root faults, found before anything is written: the reader takes only
// a mapping whose `_vorn_version` entry is a string that, trimmed of
// White_Space, is "1.0". The entry is looked up as it would be written, so
// of equal keys the one kept counts.
FoundFault root_fault(const FlatTree& tree, const FlatTreeReader& reader) {
    const FlatTree::Node& root = tree.root();
    if (root.kind != FlatTree::Kind::mapping) return {WriteFault::root_not_mapping, 0};
    FlatTreeReader::Cursor cursor = reader.open(root);
    for (FlatTreeReader::Child child; reader.next(cursor, child);) {
        if (child->key != version_key) continue;
        const std::size_t position = tree.position_of(*child);
        if (child->kind != FlatTree::Kind::scalar) return {WriteFault::version_not_text, position};
        if (!is_accepted_version(child->text)) return {WriteFault::unsupported_version, position};
        return {};
    }
    return {WriteFault::missing_version, 0};
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
    emit_root(out, ValueTreeReader{}, value, initial_capacity);
    return out;
}

std::string emit(const FlatTree& tree) {
    std::string out;
    emit_root(out, FlatTreeReader(tree), tree.root(), flat_tree_capacity(tree));
    return out;
}

CheckedText emit_checked(const FlatTree& tree, WriteChecks checks) {
    const FlatTreeReader reader(tree);
    CheckedText result;
    FoundFault found;
    if (checks == WriteChecks::keys) {
        found = emit_root<Checking::keys>(result.text, reader, tree.root(), flat_tree_capacity(tree));
    } else {
        found = root_fault(tree, reader);
        if (found.fault == WriteFault::none)
            found = emit_root<Checking::lossless>(result.text, reader, tree.root(), flat_tree_capacity(tree));
    }
    if (found.fault != WriteFault::none) {
        result.text.clear();
        result.fault = found.fault;
        result.node = found.node;
    }
    return result;
}

}  // namespace vorn
