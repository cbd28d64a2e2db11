// What the line steps record of the document as written, when the reader
// records it (state.syntax is set): one record per entry, item and merge
// line. Kept apart from the steps so that they read as the reading alone.
#pragma once

#include <cstdint>
#include <string_view>

#include "read/parse_state.hpp"
#include "read/scalar_syntax.hpp"
#include "read/syntax.hpp"

namespace vorn {

// The pieces of one entry, item or merge line, as the step found them.
struct WrittenLine {
    SyntaxKind kind;
    const SourceLine& line;
    const CommentSplit& split;
    // Where the record starts on the line: its key, or the item's hyphen.
    std::string_view head_start;
    // The key as written and as read (entries and merges only).
    std::string_view key_written = {};
    std::string_view key = {};
    std::string_view value_text = {};
    ValueForm form = ValueForm::empty;
    // Whether the value is the nested block that follows the line.
    bool nested = false;
};

// The form of a quoted scalar as written, quotes included.
inline SyntaxForm quoted_form(std::string_view written) noexcept {
    return written.front() == '"' ? SyntaxForm::double_quoted : SyntaxForm::single_quoted;
}

// Records `written` under the block open now, or under `parent`; returns
// the record's index. A record whose value is the nested block that follows
// is the owner of that block.
std::uint32_t record_line(ParseState& state, const WrittenLine& written, std::uint32_t parent = no_record);

// Ends the literal block of `record` where the block just read ends.
void record_literal_block_end(ParseState& state, std::uint32_t record);

}  // namespace vorn
