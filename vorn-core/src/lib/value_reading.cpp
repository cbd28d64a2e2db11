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

std::string_view read_block_scalar(ParseState& state, std::uint64_t threshold) {
    const std::size_t first = state.next_line;
    std::size_t last = first;
    std::uint64_t least_indent = UINT64_MAX;
    std::size_t size = 0;
    while (last < state.lines.size() && state.lines[last].indent > threshold) {
        least_indent = std::min(least_indent, state.lines[last].indent);
        size += state.lines[last].indent + state.lines[last].text.size() + 1;
        ++last;
    }
    state.next_line = last;
    if (first == last) return {};

    // Each line's spaces and text, then a line feed between lines.
    const std::size_t total = size - least_indent * (last - first) - 1;
    char* const text = state.arena.allocate_text(total);
    char* next = text;
    for (std::size_t i = first; i < last; ++i) {
        if (i != first) *next++ = '\n';
        const std::size_t spaces = state.lines[i].indent - least_indent;
        std::memset(next, ' ', spaces);
        next += spaces;
        std::memcpy(next, state.lines[i].text.data(), state.lines[i].text.size());
        next += state.lines[i].text.size();
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
