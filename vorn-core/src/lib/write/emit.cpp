#include "vorn/emit.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/format_version.hpp"

#include "read/merge_rule.hpp"
#include "write/emit_flat_tree.hpp"
#include "write/emit_fragment.hpp"
#include "write/scalar_writer.hpp"

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
    LayoutWriter(std::string& out, const Reader& reader, LayoutStyle style = {})
        : out_(out), reader_(reader), style_(style) {}

    template <typename Container>
    FoundFault write_block(const Container& container) {
        stack_.push_back({0, reader_.open(container)});
        return run();
    }

    // One child at `indent`, its line and everything below it.
    FoundFault write_child(const typename Reader::Child& child, std::uint64_t indent, bool in_mapping) {
        if (const FoundFault fault = write_line(child, indent, in_mapping); fault.fault != WriteFault::none)
            return fault;
        return run();
    }

    // What follows the colon or hyphen of `child`, and everything below it.
    FoundFault write_value_of(const typename Reader::Child& child, std::uint64_t indent, bool after_colon) {
        if (const WriteFault fault = write_value(child, indent, after_colon); fault != WriteFault::none)
            return {fault, reader_.position(child)};
        return run();
    }

    // The key or index of each open block's last child, from the outermost:
    // where a fault found by the walk stands below the value written first.
    std::vector<FragmentStep> open_steps() const {
        std::vector<FragmentStep> steps;
        for (const OpenBlock& block : stack_) steps.push_back(Reader::step_of(block.cursor));
        return steps;
    }

private:
    struct OpenBlock {
        std::uint64_t indent;
        typename Reader::Cursor cursor;
    };

    FoundFault run() {
        FoundFault fault;
        while (!stack_.empty()) {
            OpenBlock& block = stack_.back();
            typename Reader::Child child;
            if (!reader_.next(block.cursor, child)) {
                stack_.pop_back();
                continue;
            }
            // `block` may dangle once the line opens a nested block.
            fault = write_line(child, block.indent, reader_.is_mapping(block.cursor));
            if (fault.fault != WriteFault::none) break;
        }
        flush_pending();
        return fault;
    }

    // Short lines are put together in `pending_` and appended to `out_` in
    // one piece, before anything else is written and when the walk ends:
    // an append per line cost more than putting the line together.
    void flush_pending() {
        if constexpr (!Reader::has_comments) {
            out_.append(pending_.bytes.data(), pending_.used);
            pending_.used = 0;
        }
    }

    // The comment lines, key or hyphen and value of one child; a nested
    // block is opened on the stack, to be written next.
    FoundFault write_line(const typename Reader::Child& child, std::uint64_t indent, bool in_mapping) {
        // A tree without comments, in the default style: most lines are a
        // short scalar or the head of a block, after a bare key or a hyphen,
        // and each is put together whole among the pending lines.
        if constexpr (!Reader::has_comments) {
            if (style_ == LayoutStyle{}) {
                const auto& value = reader_.value(child);
                if (pending_.size - pending_.used < short_line_room) flush_pending();
                char* const at = pending_.bytes.data() + pending_.used;
                const std::string_view key = reader_.key(child);
                const std::string_view* const key_or_hyphen = in_mapping ? &key : nullptr;
                const bool is_scalar = reader_.is_scalar(value);
                const bool opens_block = !is_scalar && !reader_.is_empty(value);
                const std::size_t written = is_scalar ? write_short_line(at, indent, key_or_hyphen, reader_.text(value))
                                            : opens_block ? write_open_line(at, indent, key_or_hyphen)
                                                          : 0;
                if (written != 0) {
                    pending_.used += written;
                    open_threshold_ = UINT32_MAX;
                    if (opens_block) stack_.push_back({indent + 2, reader_.open(value)});
                    return {};
                }
            }
            flush_pending();
        }
        if constexpr (Reader::has_comments) {
            write_comment_lines(out_, reader_.comments(child), deepest_comment_);
            deepest_comment_ = UINT64_MAX;
        }
        if (in_mapping) {
            append_indent(out_, indent);
            const WriteFault key_fault = write_key(out_, reader_.key(child));
            if (counts(key_fault)) return {key_fault, reader_.position(child)};
            out_ += ':';
        } else {
            append_indented_hyphen(out_, indent);
        }
        const WriteFault value_fault = write_value(child, indent, in_mapping);
        if (value_fault != WriteFault::none) return {value_fault, reader_.position(child)};
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
        open_threshold_ = UINT32_MAX;
        if (reader_.is_scalar(value)) {
            // Most scalars: short, one line, nothing to escape or check, no
            // comment, so the line ends as one piece and no literal block
            // needs noting.
            if (!style_.plain_scalars && !inline_comment &&
                append_short_quoted_line(out_, reader_.text(value), after_colon))
                return WriteFault::none;
            if (after_colon) out_ += ' ';
            if (style_.plain_scalars && reads_back_plain(reader_.text(value), after_colon)) {
                out_ += reader_.text(value);
                write_inline_comment(out_, inline_comment);
                out_ += '\n';
                return WriteFault::none;
            }
            if constexpr (checking == Checking::lossless) {
                note_literal_block(reader_.text(value), indent);
                return write_scalar_checked(out_, indent, reader_.text(value));
            }
            const std::string_view text = reader_.text(value);
            write_scalar(out_, indent, text, inline_comment);
            note_literal_block(text, indent);
            return WriteFault::none;
        }
        if (reader_.is_empty(value)) {
            if (after_colon) out_ += ' ';
            out_ += reader_.is_sequence(value) ? "[]" : "{}";
            write_inline_comment(out_, inline_comment);
            out_ += '\n';
            return WriteFault::none;
        }
        if (style_.compact_items && !after_colon && !inline_comment && !reader_.is_sequence(value))
            return write_compact_item(value, indent);
        if (style_.bare_hyphens && !after_colon && !out_.empty() && out_.back() == ' ') out_.pop_back();
        write_inline_comment(out_, inline_comment);
        out_ += '\n';
        stack_.push_back({indent + 2, reader_.open(value)});
        return WriteFault::none;
    }

    // After a literal block, a deeper line would be read as its text: a
    // comment line of the tree is kept no deeper than the block's own line,
    // and a fragment tells its caller how deep its last line is open.
    void note_literal_block(std::string_view text, std::uint64_t indent) {
        if (text.find('\n') == std::string_view::npos) return;
        // First on an item's line, the block's lines need only stand deeper
        // than the key (which is two past the hyphen).
        open_threshold_ = static_cast<std::uint32_t>(on_item_line_ ? indent : indent + 1);
        if constexpr (Reader::has_comments) deepest_comment_ = indent + 1;
    }

    // An item's mapping starting on the item's line ("- key: value") when its
    // first entry fits there: no comment lines or inline comment, a value of
    // one line, and a key that makes no merge on an item's line. Otherwise
    // the mapping goes below a "-" alone.
    template <typename Mapping>
    WriteFault write_compact_item(const Mapping& mapping, std::uint64_t indent) {
        typename Reader::Cursor cursor = reader_.open(mapping);
        typename Reader::Child first{};
        [[maybe_unused]] const bool has_first = reader_.next(cursor, first);
        VORN_ASSERT(has_first);
        const auto& first_value = reader_.value(first);
        const bool fits =
            reader_.comments(first).empty() && !reader_.inline_comment(first) && reader_.key(first) != merge_key &&
            (reader_.is_scalar(first_value) ? reader_.text(first_value).find('\n') == std::string_view::npos
                                            : reader_.is_empty(first_value));
        if (!fits) {
            if (style_.bare_hyphens && !out_.empty() && out_.back() == ' ') out_.pop_back();
            out_ += '\n';
            stack_.push_back({indent + 2, reader_.open(mapping)});
            return WriteFault::none;
        }
        // Open first, so that a fault in the first entry is placed in it.
        stack_.push_back({indent + 2, cursor});
        const WriteFault key_fault = write_key(out_, reader_.key(first));
        if (counts(key_fault)) return key_fault;
        out_ += ':';
        on_item_line_ = true;
        const WriteFault fault = write_value(first, indent + 2, true);
        on_item_line_ = false;
        return fault;
    }

    // Lines not yet appended to `out_`.
    struct PendingLines {
        static constexpr std::size_t size = Reader::has_comments ? 0 : 4096;
        std::array<char, size> bytes;
        std::size_t used = 0;
    };

    std::string& out_;
    const Reader& reader_;
    LayoutStyle style_;
    PendingLines pending_;
    std::vector<OpenBlock> stack_;
    // Whether the value written now is the first entry on an item's line.
    bool on_item_line_ = false;
    // How deep the next comment lines may stand.
    std::uint64_t deepest_comment_ = UINT64_MAX;

public:
    // See Fragment::open_threshold: of the value written last.
    std::uint32_t open_threshold_ = UINT32_MAX;
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
    // Room over the estimate spares a doubling for escapes and the
    // indentation of literal block lines, which the estimate leaves out: a
    // text of megabytes that outgrows its room is copied into pages fresh
    // from the system. Room never written is never resident.
    const std::size_t expected = tree.expected_text_size();
    return std::max(initial_capacity, expected + expected / 4);
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
