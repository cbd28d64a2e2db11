#include "value_reading.hpp"

#include <algorithm>
#include <cstring>

namespace vorn {

std::string_view unquoted_text(std::string_view text, Arena& arena) {
    if (const auto same = unquoted_in_place(text)) return *same;
    const std::string_view inner = text.substr(1, text.size() - 2);
    char* room = arena.allocate_text(inner.size());
    return {room, write_unescaped(inner, room)};
}

// Measures the block's lines in a first pass, then reads them again from a
// copy of the cursor to write the text.
std::string_view read_block_scalar(ParseState& state, std::uint64_t threshold) {
    const LineCursor first = state.lines;
    std::uint64_t least_indent = UINT64_MAX;
    std::size_t size = 0;
    std::size_t count = 0;
    for (const SourceLine* line; (line = state.peek()) != nullptr && line->indent > threshold; state.lines.advance()) {
        least_indent = std::min(least_indent, line->indent);
        size += line->indent + line->text.size() + 1;
        ++count;
    }
    if (count == 0) return {};

    // Each line's spaces and text, then a line feed between lines.
    const std::size_t total = size - least_indent * count - 1;
    char* const text = state.arena.allocate_text(total);
    char* next = text;
    LineCursor again = first;
    for (std::size_t i = 0; i < count; ++i, again.advance()) {
        const SourceLine& line = *again.peek();
        if (i != 0) *next++ = '\n';
        const std::size_t spaces = line.indent - least_indent;
        std::memset(next, ' ', spaces);
        next += spaces;
        std::memcpy(next, line.text.data(), line.text.size());
        next += line.text.size();
    }
    return {text, total};
}

StepFailure read_value(ValueForm form, std::string_view text, ParseState& state, std::uint64_t block_threshold,
                       SourcePosition at, DocValue& out) {
    switch (form) {
        case ValueForm::literal_block:
            out = DocValue::scalar(read_block_scalar(state, block_threshold));
            return std::nullopt;
        case ValueForm::empty_sequence:
            out = DocValue::sequence({});
            return std::nullopt;
        case ValueForm::empty_mapping:
            out = DocValue::mapping({});
            return std::nullopt;
        case ValueForm::quoted:
            out = DocValue::scalar(unquoted_text(text, state.arena));
            return std::nullopt;
        case ValueForm::alias: {
            Result<DocValue> shared = state.anchors.resolve(anchor_name(text), at.line, at.column);
            if (!shared) return std::move(shared).error();
            out = shared.value();
            return std::nullopt;
        }
        case ValueForm::empty:
            return std::nullopt;
        case ValueForm::anchor:  // opens a nested block; the steps never pass it here
        case ValueForm::plain:
            break;
    }
    out = DocValue::scalar(text);
    return std::nullopt;
}

}  // namespace vorn
