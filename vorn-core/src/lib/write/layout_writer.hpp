// The layout walk every writer of whole trees shares: how entries, items,
// scalars and empty collections become lines, over any tree a Reader can
// walk (the value tree, the flat tree, the bindings' own objects), so that
// there is one spelling of a document however its data is held.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/assert.hpp"
#include "vorn/emit.hpp"
#include "vorn/format_version.hpp"

#include "read/merge_rule.hpp"
#include "write/emit_flat_tree.hpp"
#include "write/emit_fragment.hpp"
#include "write/scalar_writer.hpp"

namespace vorn {

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

// The room a text is given when nothing tells its size: a first guess that
// spares small documents most regrowth; larger ones grow by doubling.
inline constexpr std::size_t initial_text_capacity = 4096;

// Writes the root of any Reader's tree: a scalar, an empty collection in flow form,
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

// The root faults, found before anything is written: the reader takes only
// a mapping whose `_vorn_version` entry is a string that, trimmed of
// White_Space, is "1.0". A Reader's kept_entry looks the entry up as it
// would be written, so of equal keys the one kept counts.
template <typename Reader, typename Root>
FoundFault root_fault(const Reader& reader, const Root& root) {
    if (!reader.is_mapping_value(root)) return {WriteFault::root_not_mapping, 0};
    const std::optional<typename Reader::Child> entry = reader.kept_entry(root, version_key);
    if (!entry) return {WriteFault::missing_version, 0};
    const auto& version = reader.value(*entry);
    if (!reader.is_scalar(version)) return {WriteFault::version_not_text, reader.position(*entry)};
    if (!is_accepted_version(reader.text(version))) return {WriteFault::unsupported_version, reader.position(*entry)};
    return {};
}

// emit_checked over any Reader's tree, the text written into `room` given
// at least `capacity` at first.
template <typename Reader, typename Root>
CheckedText emit_checked_root(const Reader& reader, const Root& root, WriteChecks checks, std::size_t capacity,
                              std::string room = {}) {
    CheckedText result;
    result.text = std::move(room);
    result.text.clear();
    FoundFault found;
    if (checks == WriteChecks::keys) {
        found = emit_root<Checking::keys>(result.text, reader, root, capacity);
    } else {
        found = root_fault(reader, root);
        if (found.fault == WriteFault::none) found = emit_root<Checking::lossless>(result.text, reader, root, capacity);
    }
    if (found.fault != WriteFault::none) {
        result.text.clear();
        result.fault = found.fault;
        result.node = found.node;
    }
    return result;
}

}  // namespace vorn
