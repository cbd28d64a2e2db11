#include "vorn/assert.hpp"

#include "read/entry_steps.hpp"
#include "read/insert_entry.hpp"
#include "read/merge_rule.hpp"
#include "read/parse_messages.hpp"
#include "read/record_syntax.hpp"
#include "read/scalar_syntax.hpp"
#include "read/value_reading.hpp"
#include "text/trim.hpp"

namespace vorn {

namespace {

// "<<: *name" takes in the entries of the named mapping that the frame
// lacks so far. It makes no node, so the comment lines above it go to the
// next one.
// `record` is the line's syntax record, when the reader records them.
StepFailure merge_alias(MappingFrame& frame, std::string_view value_text, ParseState& state, SourcePosition at,
                        std::uint32_t record) {
    const std::string_view name = anchor_name(value_text);
    AnchorTable::Record* stored = state.anchors.lookup(name);
    if (stored == nullptr) return error_at(unknown_anchor(name), at);
    if (!stored->value.is_mapping()) return error_at(must_be_mapping("merge source"), at);
    if (record != no_record) state.syntax->made(record, stored->value);
    if (auto refused = state.anchors.charge(*stored, at)) return refused;
    frame.entries.merge(stored->value.entries());
    state.pass_on_line_comments();
    return std::nullopt;
}

// The longest entry line the one-pass read below tries: twice the item
// limit, as an entry line holds a key as well as a value (URLs and paths
// included). Past it, a '#' or backslash that sends the line to the general
// path after all grows likelier, and the pass is wasted. Chosen with the
// fast path without a recorded comparison; on the 200 KB bench shapes,
// limits from 64 to 160 give loads the same instruction count (callgrind,
// within 0.05%), so the value matters only for long lines.
constexpr std::size_t simple_entry_max_bytes = 96;

// Most entries are "key: value" with a plain key and a plain or quoted
// value, or "key:" with its block below: with no '#' or backslash on the
// line and no quote opening it, there is no comment, no quoted key and
// nothing to unescape, which one pass over the line settles.
struct SimpleEntry {
    std::string_view key;
    std::size_t colon;
    std::string_view value_text;  // as written, quotes included
    ValueForm form;

    std::string_view value() const noexcept {
        return form == ValueForm::quoted ? value_text.substr(1, value_text.size() - 2) : value_text;
    }
};

// Inlined by force, as simple_item_text is: two copies of the steps
// exhaust the compiler's own inlining budget.
[[gnu::always_inline]] inline std::optional<SimpleEntry> simple_entry(std::string_view text) noexcept {
    if (text.size() > simple_entry_max_bytes || text[0] == '"' || text[0] == '\'') return std::nullopt;
    const std::size_t colon = first_colon_lacking_marks(text);
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view value_text = trim_start(text.substr(colon + 1));
    const ValueForm form = classify_value(value_text);
    if (form != ValueForm::plain && form != ValueForm::quoted && form != ValueForm::empty) return std::nullopt;
    return SimpleEntry{trim(text.substr(0, colon)), colon, value_text, form};
}

template <bool kRecording>
void put_simple_entry(MappingFrame& frame, const SourceLine& line, const SimpleEntry& entry, ParseState& state) {
    const DocValue value = DocValue::scalar(entry.value());
    if constexpr (kRecording) {
        const CommentSplit whole{line.text, std::nullopt};
        const std::uint32_t record = record_line(
            state, {SyntaxKind::entry, line, whole, entry.key, entry.key, entry.key, entry.value_text, entry.form});
        state.syntax->made(record, value);
    }
    frame.entries.put(entry.key, state.node(value, std::nullopt));
}

// The entry of `written` awaits the nested block at `child_indent`; the
// block, once closed, becomes its value.
template <bool kRecording>
void await_entry_block(MappingFrame& frame, WrittenLine written, std::optional<std::string_view> anchor,
                       std::uint64_t child_indent, SourcePosition at, ParseState& state) {
    written.nested = true;
    if constexpr (kRecording) record_line(state, written);
    frame.pending_entry =
        PendingEntry{written.key, written.split.comment, anchor, child_indent, at, state.keep_line_comments()};
}

// "key:" with its block on the lines below, read in the one pass: the
// entry awaits the block. False, with nothing done, when no deeper line
// follows.
template <bool kRecording>
bool await_nested_block(MappingFrame& frame, const SourceLine& line, const SimpleEntry& entry, ParseState& state) {
    VORN_ASSERT(entry.form == ValueForm::empty);
    const auto child_indent = state.nested_block_indent(frame.indent);
    if (!child_indent) return false;
    const CommentSplit whole{line.text, std::nullopt};
    const SourcePosition at{line.number, entry.colon + 1, state.lines.offset_of(line.text.data() + entry.colon)};
    await_entry_block<kRecording>(
        frame, {SyntaxKind::entry, line, whole, entry.key, entry.key, entry.key, entry.value_text, entry.form},
        std::nullopt, *child_indent, at, state);
    return true;
}

// Any entry line: its comment, a quoted key, a merge, a nested block or a
// value of any form.
template <bool kRecording>
StepFailure read_general_entry(MappingFrame& frame, const SourceLine& line, ParseState& state) {
    const CommentSplit split = split_inline_comment(line.text);
    const std::size_t colon = find_entry_colon(split.entry);
    if (colon == std::string_view::npos)
        return ParseError{"expected ':' in mapping entry", line.number, 1, state.lines.offset_of(line.text.data())};

    const SourcePosition at{line.number, colon + 1, state.lines.offset_of(split.entry.data() + colon)};
    const std::string_view key_written = trim(split.entry.substr(0, colon));
    const std::string_view key = unquoted_text(key_written, state.arena);
    const std::string_view value_text = trim_start(split.entry.substr(colon + 1));
    const ValueForm form = classify_value(value_text);
    WrittenLine written{SyntaxKind::entry, line, split, key_written, key_written, key, value_text, form};

    if (is_merge(key, form, EntryPlace::block_mapping)) {
        written.kind = SyntaxKind::merge;
        std::uint32_t record = no_record;
        if constexpr (kRecording) record = record_line(state, written);
        return merge_alias(frame, value_text, state, at, record);
    }

    if (form == ValueForm::empty || form == ValueForm::anchor) {
        if (const auto child_indent = state.nested_block_indent(frame.indent)) {
            std::optional<std::string_view> anchor;
            if (form == ValueForm::anchor) anchor = anchor_name(value_text);
            await_entry_block<kRecording>(frame, written, anchor, *child_indent, at, state);
            return std::nullopt;
        }
        if (form == ValueForm::anchor) return error_at(std::string(anchor_without_nested_value), at);
    }

    std::uint32_t record = no_record;
    if constexpr (kRecording) record = record_line(state, written);
    DocValue value;
    if (auto failure = read_value(form, value_text, state, frame.indent + 1, at, value)) return failure;
    if constexpr (kRecording) {
        if (form == ValueForm::literal_block) record_literal_block_end(state, record);
        state.syntax->made(record, value);
    }
    frame.entries.put(key, state.node(value, split.comment));
    return std::nullopt;
}

}  // namespace

template <bool kRecording>
[[gnu::hot]] StepFailure read_mapping_entry(MappingFrame& frame, ParseState& state) {
    SourceLine line = state.take();
    // Records are mostly simple entries: the lines that follow at this
    // indentation are read here, sparing the parser's dispatch of each,
    // until one needs the general path (an item line there is the parser's
    // to refuse).
    for (auto entry = simple_entry(line.text); entry; entry = simple_entry(line.text)) {
        if (entry->form == ValueForm::empty) {
            if (await_nested_block<kRecording>(frame, line, *entry, state)) return std::nullopt;
            break;
        }
        put_simple_entry<kRecording>(frame, line, *entry, state);
        const SourceLine* next = state.peek();
        if (next == nullptr || next->indent != frame.indent || is_item_line(next->text)) return std::nullopt;
        line = state.take();
    }
    return read_general_entry<kRecording>(frame, line, state);
}

template StepFailure read_mapping_entry<false>(MappingFrame& frame, ParseState& state);
template StepFailure read_mapping_entry<true>(MappingFrame& frame, ParseState& state);

}  // namespace vorn
