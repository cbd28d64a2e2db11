#include "read/value_reading.hpp"

#include <algorithm>
#include <new>

namespace vorn {

[[gnu::hot]] std::string_view unquoted_text(std::string_view text, Arena& arena) {
    if (const auto same = unquoted_in_place(text)) return *same;
    const std::string_view inner = text.substr(1, text.size() - 2);
    char* room = arena.allocate_text(inner.size());
    return {room, write_unescaped(inner, room)};
}

// The block's lines are text, '#' lines too: they are read from the lines
// themselves, not through the parser's step over comment lines.
[[gnu::hot]] DocValue read_block_scalar(ParseState& state, std::uint64_t threshold) {
    const SourceLine* line = state.lines.peek();
    if (line == nullptr || line->indent <= threshold) return {};
    BlockLines block{line->text, line->indent, nullptr, UINT64_MAX, 0, true};
    std::size_t size = 0;
    std::size_t count = 0;
    for (; line != nullptr && line->indent > threshold; state.lines.advance(), line = state.lines.peek()) {
        block.least_indent = std::min(block.least_indent, line->indent);
        size += line->indent + line->text.size() + 1;
        // A line starts right after the previous one's text only if one
        // line feed and its own indentation lie between them.
        if (count != 0 && line->text.data() != block.rest_end + 1 + line->indent) block.lines_whole = false;
        block.rest_end = line->text.data() + line->text.size();
        ++count;
    }
    // Each line's spaces and text, then a line feed between lines.
    block.size = size - block.least_indent * count - 1;

    // A short text takes less room than the record of its lines.
    if (block.size <= sizeof(BlockLines)) {
        char* const text = state.arena.allocate_text(block.size);
        write_block_text(block, text);
        return DocValue::scalar({text, block.size});
    }
    void* const place = state.arena.allocate(sizeof(BlockLines), alignof(BlockLines));
    return DocValue::block_scalar(new (place) BlockLines(block));
}

[[gnu::hot]] StepFailure read_value(ValueForm form, std::string_view text, ParseState& state,
                                    std::uint64_t block_threshold, SourcePosition at, DocValue& out) {
    switch (form) {
        case ValueForm::literal_block:
            out = read_block_scalar(state, block_threshold);
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
            Result<DocValue> shared = state.anchors.resolve(anchor_name(text), at);
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
