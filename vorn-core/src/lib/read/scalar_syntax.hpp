// The character-level rules inside one line: inline comments, quoted runs,
// the colon that ends a key, unquoting, item lines and the forms a value
// text can take. Views returned point into the text given.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vorn {

struct CommentSplit {
    // The text before the comment, without trailing White_Space.
    std::string_view entry;
    // From the '#' to the end of the text, when a comment was found.
    std::optional<std::string_view> comment;
};

// A '#' outside quotes starts a comment when it opens the text or follows
// White_Space. Quotes are tracked from the first character; inside double
// quotes a backslash hides the next character.
CommentSplit split_inline_comment(std::string_view text) noexcept;

// The length of the quoted run that opens `text` (from its opening quote
// through its closing one), or 0 when `text` does not begin with a quote
// or the quote never closes.
std::size_t closed_quoted_run_length(std::string_view text) noexcept;

// The offset of the colon that ends the key of an entry or of an inline
// mapping item: the first ':' after the quoted run that opens the text, if
// one does, else the first ':' at all. npos when there is none.
std::size_t find_entry_colon(std::string_view text) noexcept;

// Removes one matching pair of enclosing quotes. Inside double quotes, \"
// and \\ stand for " and \ (which is how the writer spells them); every
// other character stays as it is. Text without such a pair is returned
// unchanged.
std::string unquote_scalar(std::string_view text);

// The unquoted text when it is a piece of `text` itself: always, except for
// double-quoted text that holds a backslash, which must be rewritten.
std::optional<std::string_view> unquoted_in_place(std::string_view text) noexcept;

// Writes the inside of a double-quoted scalar with \" and \\ turned into the
// character they protect to `out`, which has room for `inner.size()` bytes;
// returns the number written.
std::size_t write_unescaped(std::string_view inner, char* out) noexcept;

// True when `text` holds none of '#', ':' and '\\'.
bool lacks_comment_colon_and_backslash(std::string_view text) noexcept;
// The offset of the first ':' in `text` when it holds neither '#' nor
// '\\', else npos (also when it holds no ':'): an entry line read in one pass.
std::size_t first_colon_lacking_marks(std::string_view text) noexcept;

// "-" alone, or "-" followed by one of U+0020, U+0009, U+000A, U+000C, U+000D.
// Inline, as classify_value: the reader asks both of nearly every line.
inline bool is_item_line(std::string_view text) noexcept {
    if (text.empty() || text[0] != '-') return false;
    if (text.size() == 1) return true;
    const char second = text[1];
    return second == ' ' || second == '\t' || second == '\n' || second == '\f' || second == '\r';
}

enum class ValueForm {
    empty,
    literal_block,   // "|"
    empty_sequence,  // "[]"
    empty_mapping,   // "{}"
    quoted,          // a quote, and the same quote as the last of 2+ bytes
    alias,           // "*name"
    anchor,          // "&name"
    plain,
};

// The form of a value text that has no White_Space at either end.
inline ValueForm classify_value(std::string_view text) noexcept {
    if (text.empty()) return ValueForm::empty;
    switch (text[0]) {
        case '|':
            if (text.size() == 1) return ValueForm::literal_block;
            break;
        case '[':
            if (text == "[]") return ValueForm::empty_sequence;
            break;
        case '{':
            if (text == "{}") return ValueForm::empty_mapping;
            break;
        case '\'':
        case '"':
            if (text.size() >= 2 && text.back() == text.front()) return ValueForm::quoted;
            break;
        case '*':
            return ValueForm::alias;
        case '&':
            return ValueForm::anchor;
        default:
            break;
    }
    return ValueForm::plain;
}

// The name after the leading '*' or '&' of an alias or anchor, trimmed.
std::string_view anchor_name(std::string_view text) noexcept;

}  // namespace vorn
