// How one scalar, one mapping key and a node's comment lines are spelled in
// document text. Each writer appends to the emitter's output buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/value.hpp"

#include "write/emit_flat_tree.hpp"

namespace vorn {

// Appends the scalar and, when present, one space and `inline_comment`, then
// ends the line. Text with a line feed becomes a literal block whose content
// lines sit at `indent` + 2; any other text is double-quoted with only two
// escapes (\" and \\).
void write_scalar(std::string& out, std::uint64_t indent, std::string_view text,
                  const std::optional<std::string>& inline_comment);

// Like write_scalar without a comment, for a string of a tree checked for
// losses: returns the first fault of the text and then may have written
// only part of it.
WriteFault write_scalar_checked(std::string& out, std::uint64_t indent, std::string_view text);

// Appends the key bare, or double-quoted when the reading side would
// otherwise split, trim, comment out or unquote it. Writes no colon.
// Returns line_feed_in_key or tab_in_key for a key holding one (a line feed
// first), none otherwise; only a key that needs quotes is looked at again.
WriteFault write_key(std::string& out, std::string_view key);

// How a one-line scalar is spelled.
enum class ScalarStyle : std::uint8_t { plain, single_quoted, double_quoted };

// Whether `text` reads back as itself written bare after an entry's colon
// (`after_key`) or an item's hyphen, on a line whose key write_key spelled
// and that has no inline comment. The rule is narrow on purpose: letters,
// digits, blanks inside and a few marks that mean nothing to the reader, and
// nothing a reader of the document could take for a quote, comment, alias,
// anchor, block or collection.
bool reads_back_plain(std::string_view text, bool after_key) noexcept;

// Appends `text` in `style`: as it is, between single quotes, or between
// double quotes with the writer's two escapes. The caller makes sure that it
// reads back.
void append_spelled(std::string& out, std::string_view text, ScalarStyle style);

// When `text` is short and holds no line feed, tab, quote or backslash,
// appends it double-quoted (after a blank, `after_blank`) and ends the line,
// as write_scalar and write_scalar_checked would, and returns true; else
// appends nothing and returns false. One append, for the common case.
bool append_short_quoted_line(std::string& out, std::string_view text, bool after_blank);

// Room that write_short_line may use at its `at`.
inline constexpr std::size_t short_line_room = 416;

// The whole line of a short scalar at `indent`, after its key (a mapping
// entry's) or a hyphen (key null), as append_short_quoted_line and write_key
// would write it, put at `at`, which has short_line_room bytes of room,
// when the first would take the scalar and the second would write the key
// bare: returns its length. Else returns 0, and what it put at `at` means
// nothing.
std::size_t write_short_line(char* at, std::uint64_t indent, const std::string_view* key,
                             std::string_view text) noexcept;

// The line that opens a block below it, "key:" or "- ", as write_key and
// append_indented_hyphen would write it, put at `at` as write_short_line
// puts its line: returns its length, or 0 when the key needs quotes or the
// line is too deep or its key too long.
std::size_t write_open_line(char* at, std::uint64_t indent, const std::string_view* key) noexcept;

// Appends `indent` spaces; then, for the second, "- ".
void append_indent(std::string& out, std::uint64_t indent);
void append_indented_hyphen(std::string& out, std::uint64_t indent);

// Appends one line per comment, each at its own recorded indentation but
// no deeper than `deepest`.
void write_comment_lines(std::string& out, const std::vector<CommentLine>& comments,
                         std::uint64_t deepest = UINT64_MAX);

// Appends one space and the comment, if there is one; nothing otherwise.
inline void write_inline_comment(std::string& out, const std::optional<std::string>& inline_comment) {
    if (!inline_comment) return;
    out += ' ';
    out += *inline_comment;
}

}  // namespace vorn
