#include "read/record_syntax.hpp"

#include "vorn/assert.hpp"

#include "text/trim.hpp"

namespace vorn {

namespace {

SyntaxForm written_form(const WrittenLine& written) noexcept {
    if (written.nested) return SyntaxForm::nested_block;
    switch (written.form) {
        case ValueForm::empty:
            return SyntaxForm::empty;
        case ValueForm::literal_block:
            return SyntaxForm::literal_block;
        case ValueForm::empty_sequence:
            return SyntaxForm::empty_sequence;
        case ValueForm::empty_mapping:
            return SyntaxForm::empty_mapping;
        case ValueForm::quoted:
            return quoted_form(written.value_text);
        case ValueForm::alias:
            return SyntaxForm::alias;
        case ValueForm::anchor:  // always before a nested block
            return SyntaxForm::nested_block;
        case ValueForm::plain:
            break;
    }
    return SyntaxForm::plain;
}

}  // namespace

std::uint32_t record_line(ParseState& state, const WrittenLine& written, std::uint32_t parent) {
    SyntaxRecorder& syntax = *state.syntax;
    const SourceLine& line = written.line;
    // Filled in place: a record built aside and copied in cost a stall at
    // each copy, as the copy read back the narrow stores just made.
    const std::uint32_t index = syntax.add(parent);
    SyntaxRecord& record = syntax.at(index);
    record.kind = written.kind;
    record.form = written_form(written);
    record.line = static_cast<std::uint32_t>(line.number);
    record.indent = static_cast<std::uint32_t>(line.indent + (written.head_start.data() - line.text.data()));
    const ByteSpan line_text = syntax.span_of(line.text);
    record.head = {syntax.span_of(written.head_start).begin, line_text.end};
    // The first entry of an inline mapping shares its item's comment lines.
    const char* first = parent == no_record ? state.first_byte_above(line) : written.head_start.data();
    record.lines = {syntax.span_of({first, 0}).begin, line_text.end};
    if (written.kind != SyntaxKind::item) record.key = syntax.span_of(written.key_written);
    record.key_text = written.key;
    if (written.split.comment) record.inline_comment = syntax.span_of(*written.split.comment);

    record.value = syntax.span_of(written.value_text);
    switch (record.form) {
        case SyntaxForm::nested_block:
            if (written.form == ValueForm::anchor) {
                record.anchor = syntax.span_of(anchor_name(written.value_text));
            } else {
                // Marks the start as not known yet: the block's first line
                // gives it once the whole text is read.
                record.value = {record.head.end, record.head.end};
            }
            break;
        case SyntaxForm::alias:
            record.target = syntax.anchored(anchor_name(written.value_text));
            break;
        default:
            break;
    }
    // "- <<: &name" merges the block it anchors: its own.
    if (record.kind == SyntaxKind::merge && record.form == SyntaxForm::nested_block) record.target = index;
    if (record.form == SyntaxForm::nested_block) syntax.await_block(index);
    return index;
}

void record_literal_block_end(ParseState& state, std::uint32_t record) {
    // The block's lines were read up to the next line (or the end): its
    // last line ends where the line breaks and blank lines before that
    // begin. Found here, so the reader for values alone does no more.
    const SourceLine* next = state.lines.peek();
    std::string_view before = state.syntax->text();
    if (next != nullptr) before = before.substr(0, state.lines.offset_of(next->text.data()) - next->indent);
    // The blank lines before the next are White_Space alone, whatever kind.
    const std::size_t end = trim_end(before).size();
    SyntaxRecord& written = state.syntax->at(record);
    // A block without lines leaves the value at the "|".
    if (end <= written.head.end) return;
    written.value.end = static_cast<std::uint32_t>(end);
    written.lines.end = written.value.end;
}

}  // namespace vorn
