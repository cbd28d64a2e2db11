#include "entry_steps.hpp"
#include "merge_entries.hpp"
#include "parse_messages.hpp"
#include "scalar_syntax.hpp"
#include "trim.hpp"
#include "value_reading.hpp"

namespace vorn {

namespace {

// "- key: value": the item is a mapping whose first entry is on the item
// line; deeper lines that follow continue it.
StepFailure read_inline_mapping(SequenceFrame& frame, std::string_view item_text, std::size_t colon,
                                std::optional<std::string_view> comment, std::uint64_t line_number,
                                ParseState& state) {
    const SourcePosition at{line_number, colon + 1};
    const std::string_view key = unquoted_text(trim(item_text.substr(0, colon)), state.arena);
    const std::string_view value_text = trim_start(item_text.substr(colon + 1));
    const ValueForm form = classify_value(value_text);

    if (form == ValueForm::anchor) {
        // The nested value must sit deeper than the key after "- ", not
        // merely deeper than the hyphen.
        const SourceLine* child = state.next_deeper_than(frame.indent + 1);
        if (child == nullptr) return ParseError{std::string(anchor_without_nested_value), at.line, at.column};
        frame.pending_item = InlineNestedValue{key,           anchor_name(value_text),
                                               comment,       MappingBuilder(state.entry_stack),
                                               child->indent, at};
        return std::nullopt;
    }

    DocValue value;
    if (auto failure = read_value(form, value_text, state, frame.indent + 2, at, value)) return failure;
    MappingBuilder entries(state.entry_stack);
    if (auto failure = insert_entry(entries, key, DocNode{value}, at.line, at.column)) return failure;

    if (const SourceLine* child = state.next_deeper_than(frame.indent)) {
        frame.pending_item = InlineContinuation{comment, std::move(entries), child->indent, at};
        return std::nullopt;
    }
    const DocValue mapping = std::move(entries).finish(state.arena);
    frame.items.append(state.node(mapping, frame.pending_comments, comment));
    return std::nullopt;
}

// Most items in long lists are one short plain or quoted scalar: with no
// '#', ':' or backslash on the line there is no comment, no inline mapping
// and nothing to unescape, which one pass over the line settles. Returns
// whether the item was read that way.
bool read_simple_item(SequenceFrame& frame, const SourceLine& line, ParseState& state) {
    constexpr std::size_t longest_checked = 48;
    if (line.text.size() > longest_checked || !lacks_comment_colon_and_backslash(line.text)) return false;
    const std::string_view item_text = trim_start(line.text.substr(1));
    const ValueForm form = classify_value(item_text);
    if (form != ValueForm::plain && form != ValueForm::quoted) return false;
    const std::string_view text = form == ValueForm::quoted ? item_text.substr(1, item_text.size() - 2) : item_text;
    frame.items.append(state.node(DocValue::scalar(text), frame.pending_comments, std::nullopt));
    return true;
}

}  // namespace

StepFailure read_sequence_item(SequenceFrame& frame, ParseState& state) {
    const SourceLine line = state.take();
    if (read_simple_item(frame, line, state)) {
        // Long lists are mostly such items: the ones that follow at this
        // indentation are read here, sparing the parser's dispatch of each.
        for (const SourceLine* next; (next = state.peek()) != nullptr && next->indent == frame.indent &&
                                     is_item_line(next->text) && read_simple_item(frame, *next, state);)
            state.lines.advance();
        return std::nullopt;
    }
    const CommentSplit split = split_inline_comment(line.text);
    // The entry text starts with the item's "-".
    const std::string_view item_text = trim_start(split.entry.substr(1));
    const ValueForm form = classify_value(item_text);
    const SourcePosition at{line.number, 1};

    // An item text holding a colon is a mapping, unless it is just one
    // quoted scalar (a quoted run that reaches the end).
    const bool whole_form = form == ValueForm::empty || form == ValueForm::literal_block ||
                            form == ValueForm::empty_sequence || form == ValueForm::empty_mapping;
    // Most items hold no colon at all, which one search settles.
    if (!whole_form && item_text.find(':') != std::string_view::npos) {
        const std::size_t colon = find_entry_colon(item_text);
        if (colon != std::string_view::npos)
            return read_inline_mapping(frame, item_text, colon, split.comment, line.number, state);
    }

    if (form == ValueForm::empty || form == ValueForm::anchor) {
        if (const SourceLine* child = state.next_deeper_than(frame.indent)) {
            std::optional<std::string_view> anchor;
            if (form == ValueForm::anchor) anchor = anchor_name(item_text);
            frame.pending_item = NestedItem{split.comment, anchor, child->indent, at};
            return std::nullopt;
        }
        if (form == ValueForm::anchor) return ParseError{std::string(anchor_without_nested_value), at.line, at.column};
    }

    DocValue value;
    if (auto failure = read_value(form, item_text, state, frame.indent + 1, at, value)) return failure;
    frame.items.append(state.node(value, frame.pending_comments, split.comment));
    return std::nullopt;
}

}  // namespace vorn
