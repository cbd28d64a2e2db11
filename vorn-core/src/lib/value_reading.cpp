#include "value_reading.hpp"

#include <algorithm>

namespace vorn {

std::string read_block_scalar(ParseState& state, std::uint64_t threshold) {
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

    std::string text;
    if (first == last) return text;
    text.reserve(size - least_indent * (last - first));
    for (std::size_t i = first; i < last; ++i) {
        if (i != first) text += '\n';
        text.append(state.lines[i].indent - least_indent, ' ');
        text.append(state.lines[i].text);
    }
    return text;
}

StepFailure read_value(ValueForm form, std::string_view text, ParseState& state, std::uint64_t block_threshold,
                       SourcePosition at, Value& out) {
    switch (form) {
        case ValueForm::literal_block:
            out.scalar() = read_block_scalar(state, block_threshold);
            return std::nullopt;
        case ValueForm::empty_sequence:
            out = Value::empty_sequence();
            return std::nullopt;
        case ValueForm::empty_mapping:
            out = Value::empty_mapping();
            return std::nullopt;
        case ValueForm::quoted:
            unquote_scalar_into(out.scalar(), text);
            return std::nullopt;
        case ValueForm::alias: {
            Result<Value> copied = state.anchors.resolve(anchor_name(text), at.line, at.column);
            if (!copied) return std::move(copied).error();
            out = std::move(copied).value();
            return std::nullopt;
        }
        case ValueForm::empty:
            return std::nullopt;
        case ValueForm::anchor:  // opens a nested block; the steps never pass it here
        case ValueForm::plain:
            break;
    }
    out.scalar().assign(text);
    return std::nullopt;
}

}  // namespace vorn
