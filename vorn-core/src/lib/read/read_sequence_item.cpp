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

// "- key: value": the item is a mapping whose first entry is on the item
// line; deeper lines that follow continue it.
// `item_record` is the item's syntax record, when the reader records them.
template <bool kRecording>
StepFailure read_inline_mapping(SequenceFrame& frame, std::string_view item_text, std::size_t colon,
                                const SourceLine& line, const CommentSplit& split, std::uint32_t item_record,
                                ParseState& state) {
    const std::optional<std::string_view> comment = split.comment;
    const SourcePosition at{line.number, colon + 1, state.lines.offset_of(item_text.data() + colon)};
    const std::string_view key_written = trim(item_text.substr(0, colon));
    const std::string_view key = unquoted_text(key_written, state.arena);
    const std::string_view value_text = trim_start(item_text.substr(colon + 1));
    const ValueForm form = classify_value(value_text);
    std::uint32_t record = no_record;
    if constexpr (kRecording) {
        const SyntaxKind kind = is_merge(key, form, EntryPlace::item_line) ? SyntaxKind::merge : SyntaxKind::entry;
        record = record_line(
            state, {kind, line, split, key_written, key_written, key, value_text, form, form == ValueForm::anchor},
            item_record);
    }

    if (form == ValueForm::anchor) {
        // The nested value must sit deeper than the key after "- ", not
        // merely deeper than the hyphen.
        const auto child_indent = state.nested_block_indent(frame.indent + 1);
        if (!child_indent) return error_at(std::string(anchor_without_nested_value), at);
        frame.pending_item =
            InlineNestedValue{key, anchor_name(value_text),   comment, MappingBuilder(state.entry_stack), *child_indent,
                              at,  state.keep_line_comments()};
        return std::nullopt;
    }

    DocValue value;
    if (auto failure = read_value(form, value_text, state, frame.indent + 2, at, value)) return failure;
    if constexpr (kRecording) {
        if (form == ValueForm::literal_block) record_literal_block_end(state, record);
        state.syntax->made(record, value);
    }
    MappingBuilder entries(state.entry_stack);
    if (auto failure = insert_entry(entries, key, DocNode{value}, at)) return failure;

    // Comment lines between the item line and its continuation go to the
    // continuation's first entry.
    if (const SourceLine* child = state.next_deeper_than(frame.indent)) {
        if constexpr (kRecording) state.syntax->await_block(item_record);
        frame.pending_item =
            InlineContinuation{comment, std::move(entries), child->indent, at, state.keep_line_comments()};
        return std::nullopt;
    }
    const DocValue mapping = std::move(entries).finish(state.arena, state.sink_here());
    if constexpr (kRecording) state.syntax->made(item_record, mapping);
    frame.items.append(state.node(mapping, comment));
    return std::nullopt;
}

// The longest item line the one-pass read below tries. The pass is wasted
// on a line that turns out to need the general path, and the longer the
// line the likelier that is (a '#' or ':' in prose); list items of
// configurations are short names and hosts. Chosen with the fast path
// without a recorded comparison; on the 200 KB bench shapes, whose items
// are short, limits from 32 to 80 give loads the same instruction count
// (callgrind, within 0.01%), so the value matters only for long lines.
constexpr std::size_t simple_item_max_bytes = 48;

// Most items in long lists are one short plain or quoted scalar: with no
// '#', ':' or backslash on the line there is no comment, no inline mapping
// and nothing to unescape, which one pass over the line settles. Returns
// the scalar's text when the item is one.
// Inlined by force, as the block parser's awaited_block is: two copies of
// the steps exhaust the compiler's own inlining budget.
[[gnu::always_inline]] inline std::optional<std::string_view> simple_item_text(const SourceLine& line) {
    if (line.text.size() > simple_item_max_bytes || !lacks_comment_colon_and_backslash(line.text)) return std::nullopt;
    const std::string_view item_text = trim_start(line.text.substr(1));
    const ValueForm form = classify_value(item_text);
    if (form == ValueForm::plain) return item_text;
    if (form == ValueForm::quoted) return item_text.substr(1, item_text.size() - 2);
    return std::nullopt;
}

// Records an item that simple_item_text read: `text` is its scalar's text,
// inside the quotes if it has them.
void record_simple_item(ParseState& state, const SourceLine& line, std::string_view text) {
    const char* const line_end = line.text.data() + line.text.size();
    const bool quoted = text.data() + text.size() != line_end;
    const std::string_view written = quoted ? std::string_view(text.data() - 1, text.size() + 2) : text;
    SyntaxRecorder& syntax = *state.syntax;
    const SyntaxForm form = quoted ? quoted_form(written) : SyntaxForm::plain;
    syntax.add_scalar_item(form, static_cast<std::uint32_t>(line.number), static_cast<std::uint32_t>(line.indent),
                           syntax.span_of(line.text), syntax.span_of({state.first_byte_above(line), 0}).begin,
                           syntax.span_of(written), DocValue::scalar(text));
}

// The item of `line` awaits the nested block at `child_indent`; the block,
// once closed, becomes the item.
template <bool kRecording>
void await_item_block(SequenceFrame& frame, const SourceLine& line, const CommentSplit& split,
                      std::string_view item_text, ValueForm form, std::optional<std::string_view> anchor,
                      std::uint64_t child_indent, ParseState& state) {
    if constexpr (kRecording)
        record_line(state, {SyntaxKind::item, line, split, line.text, {}, {}, item_text, form, true});
    const SourcePosition at{line.number, 1, state.lines.offset_of(line.text.data())};
    frame.pending_item = NestedItem{split.comment, anchor, child_indent, at, state.keep_line_comments()};
}

// "-" alone with its block on the lines below (a list of records), read
// without the general step: the item awaits the block. False, with nothing
// done, when no deeper line follows.
template <bool kRecording>
bool await_nested_item(SequenceFrame& frame, const SourceLine& line, ParseState& state) {
    VORN_ASSERT(line.text == "-");
    const auto child_indent = state.nested_block_indent(frame.indent);
    if (!child_indent) return false;
    const CommentSplit whole{line.text, std::nullopt};
    await_item_block<kRecording>(frame, line, whole, line.text.substr(1), ValueForm::empty, std::nullopt, *child_indent,
                                 state);
    return true;
}

}  // namespace

template <bool kRecording>
[[gnu::hot]] StepFailure read_sequence_item(SequenceFrame& frame, ParseState& state) {
    const SourceLine line = state.take();
    if (line.text.size() == 1 && await_nested_item<kRecording>(frame, line, state)) return std::nullopt;
    if (auto text = simple_item_text(line)) {
        if constexpr (kRecording) record_simple_item(state, line, *text);
        frame.items.append(state.node(DocValue::scalar(*text), std::nullopt));
        // Long lists are mostly such items: the ones that follow at this
        // indentation are read here, sparing the parser's dispatch of each.
        for (const SourceLine* next; (next = state.peek()) != nullptr && next->indent == frame.indent &&
                                     is_item_line(next->text) && (text = simple_item_text(*next));) {
            if constexpr (kRecording) {
                record_simple_item(state, state.take(), *text);
            } else {
                state.take();
            }
            frame.items.append(state.node(DocValue::scalar(*text), std::nullopt));
        }
        return std::nullopt;
    }
    const CommentSplit split = split_inline_comment(line.text);
    // The entry text starts with the item's "-".
    const std::string_view item_text = trim_start(split.entry.substr(1));
    const ValueForm form = classify_value(item_text);
    const SourcePosition at{line.number, 1, state.lines.offset_of(line.text.data())};

    // An item text holding a colon is a mapping, unless it is just one
    // quoted scalar (a quoted run that reaches the end).
    const bool whole_form = form == ValueForm::empty || form == ValueForm::literal_block ||
                            form == ValueForm::empty_sequence || form == ValueForm::empty_mapping;
    // Most items hold no colon at all, which one search settles.
    if (!whole_form && item_text.find(':') != std::string_view::npos) {
        const std::size_t colon = find_entry_colon(item_text);
        if (colon != std::string_view::npos) {
            std::uint32_t record = no_record;
            if constexpr (kRecording) {
                record = record_line(state, {SyntaxKind::item, line, split, line.text, {}, {}, item_text, form});
                state.syntax->at(record).form = SyntaxForm::inline_mapping;
            }
            return read_inline_mapping<kRecording>(frame, item_text, colon, line, split, record, state);
        }
    }

    if (form == ValueForm::empty || form == ValueForm::anchor) {
        if (const auto child_indent = state.nested_block_indent(frame.indent)) {
            std::optional<std::string_view> anchor;
            if (form == ValueForm::anchor) anchor = anchor_name(item_text);
            await_item_block<kRecording>(frame, line, split, item_text, form, anchor, *child_indent, state);
            return std::nullopt;
        }
        if (form == ValueForm::anchor) return error_at(std::string(anchor_without_nested_value), at);
    }

    std::uint32_t record = no_record;
    if constexpr (kRecording)
        record = record_line(state, {SyntaxKind::item, line, split, line.text, {}, {}, item_text, form});
    DocValue value;
    if (auto failure = read_value(form, item_text, state, frame.indent + 1, at, value)) return failure;
    if constexpr (kRecording) {
        if (form == ValueForm::literal_block) record_literal_block_end(state, record);
        state.syntax->made(record, value);
    }
    frame.items.append(state.node(value, split.comment));
    return std::nullopt;
}

template StepFailure read_sequence_item<false>(SequenceFrame& frame, ParseState& state);
template StepFailure read_sequence_item<true>(SequenceFrame& frame, ParseState& state);

}  // namespace vorn
