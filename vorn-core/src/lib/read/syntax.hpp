// The document as written: one record per entry, item and merge line, in
// the order they stand in the text, each with the bytes it spans. The tree
// keeps only the values (sorted, later keys replacing earlier ones, aliases
// shared); these records keep where each value was written, which is what
// positions in messages, lints and edits need. The reader fills them only
// when asked to (read_document with a SyntaxRecorder), so reading for
// values alone pays nothing for them.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vorn/assert.hpp"

#include "tree/document.hpp"

namespace vorn {

// A run of bytes of the document text: [begin, end). Offsets take four
// bytes, which halves the records of long lists; SyntaxRecorder refuses
// texts too long for them.
struct ByteSpan {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;

    bool empty() const noexcept { return begin == end; }
};

enum class SyntaxKind : std::uint8_t {
    entry,  // "key: value", in a block mapping or an item's inline mapping
    item,   // "- value"
    // An entry that merges a mapping in and makes no entry of its own:
    // "<<: *name", or "<<" first on an item's line (is_merge).
    merge,
};

// How a value was written.
enum class SyntaxForm : std::uint8_t {
    empty,           // nothing after the colon or hyphen
    plain,           // text as it is
    single_quoted,   // '...'
    double_quoted,   // "..."
    literal_block,   // "|" and the deeper lines after it
    empty_sequence,  // "[]"
    empty_mapping,   // "{}"
    nested_block,    // the deeper lines after the entry or item line
    alias,           // "*name"
    inline_mapping,  // "- key: value", the item's mapping starting on its line
};

inline constexpr std::uint32_t no_record = std::numeric_limits<std::uint32_t>::max();

struct SyntaxRecord {
    SyntaxKind kind = SyntaxKind::entry;
    SyntaxForm form = SyntaxForm::empty;
    // The record whose value holds this one: the entry or item of the
    // enclosing block, the item of an inline mapping; no_record at the root.
    std::uint32_t parent = no_record;
    // For an alias: the record whose block its anchor named when it was
    // read. For a merge: the record whose block it merges in (its own for
    // "- <<: &name"); no_record for "- <<: {}" and for any other form.
    std::uint32_t target = no_record;
    // The 1-based line of the entry or item, and the column (0-based, in
    // bytes) where its key or hyphen starts.
    std::uint32_t line = 0;
    std::uint32_t indent = 0;
    // Its own line, from the key or hyphen to the end (inline comment
    // included), and all its lines: from the first of the comment lines
    // above it to the end of the last line of its value, nested lines
    // included.
    ByteSpan head;
    ByteSpan lines;
    // The key as written (with its quotes), and the same key as read.
    ByteSpan key;
    std::string_view key_text;
    // The value as written: the text after the colon or hyphen, a literal
    // block from "|" through its last line, a nested block from its anchor
    // (or its first line) through its last line, an inline mapping from
    // its first key through its last line.
    ByteSpan value;
    // "&name" of an anchored nested block, as the name alone.
    ByteSpan anchor;
    ByteSpan inline_comment;
    // The value the record made, as read: for an alias the copy, for a merge
    // the mapping it merges, for an entry that a later one replaced its own.
    // A view of the document's tree, which must outlive it.
    DocValue value_as_read;
};

// Whether the record has an anchor, is an alias or is a merge: what ties a
// value to lines far from it.
inline bool ties_to_copies(const SyntaxRecord& written) noexcept {
    return written.kind == SyntaxKind::merge || written.form == SyntaxForm::alias ||
           written.anchor.end > written.anchor.begin;
}

// Collects the records while the reader reads. The reader calls it at
// every line that makes a record and whenever a nested block opens or
// closes, so that each record knows the record holding it.
class SyntaxRecorder {
public:
    // The longest text whose records fit their offsets.
    static constexpr std::size_t max_text_size = std::numeric_limits<std::uint32_t>::max();

    // `text` must be at most max_text_size bytes long. The records are
    // kept in `storage`, emptied first: a caller that reads one document
    // after another can hand back the room of the last one's.
    explicit SyntaxRecorder(std::string_view text, std::vector<SyntaxRecord> storage = {});

    // A new, empty record held by the block open now (or by `parent` when
    // given), to be filled in through at(); returns its index.
    std::uint32_t add(std::uint32_t parent = no_record);
    // A record of "- scalar" on one line, held by the block open now, made
    // whole in one go: most lines of a long list are such items.
    std::uint32_t add_scalar_item(SyntaxForm form, std::uint32_t line, std::uint32_t indent, ByteSpan head,
                                  std::uint32_t lines_begin, ByteSpan value, DocValue value_as_read);
    SyntaxRecord& at(std::uint32_t index) noexcept {
        VORN_ASSERT(index < records_.size());
        return records_[index];
    }
    std::size_t size() const noexcept { return records_.size(); }

    // The nested block that opens next is the value of `owner` (the root's
    // block has none).
    void await_block(std::uint32_t owner) noexcept { awaiting_ = owner; }
    // The awaited block opens, or the innermost closes.
    void open_block() {
        owners_.push_back(awaiting_);
        awaiting_ = no_record;
    }
    void close_block() noexcept {
        VORN_ASSERT(!owners_.empty());
        last_closed_ = owners_.back();
        owners_.pop_back();
    }
    // The record whose block closed last.
    std::uint32_t last_closed() const noexcept { return last_closed_; }
    // The record `index` made `value`.
    void made(std::uint32_t index, const DocValue& value) noexcept { at(index).value_as_read = value; }

    // The block that closed last was recorded under its anchor: aliases and
    // merges read from now on take it.
    void anchor_recorded();
    // The record whose block `name` stands for now, or no_record.
    std::uint32_t anchored(std::string_view name) const noexcept;

    std::string_view text() const noexcept { return text_; }

    ByteSpan span_of(std::string_view piece) const noexcept {
        VORN_ASSERT(piece.data() >= text_.data() && piece.data() + piece.size() <= text_.data() + text_.size());
        const auto begin = static_cast<std::uint32_t>(piece.data() - text_.data());
        return {begin, static_cast<std::uint32_t>(begin + piece.size())};
    }

    // Ends each record's lines and nested value where its last nested line
    // ends, once the whole text is read; returns the records.
    std::vector<SyntaxRecord> finish() &&;

private:
    // The record whose block is open now: it holds the records added.
    std::uint32_t open_owner() const noexcept { return owners_.empty() ? no_record : owners_.back(); }

    std::string_view text_;
    std::vector<SyntaxRecord> records_;
    std::vector<std::uint32_t> owners_;
    std::uint32_t awaiting_ = no_record;
    std::uint32_t last_closed_ = no_record;
    std::unordered_map<std::string_view, std::uint32_t> anchors_;
};

}  // namespace vorn
