#include "scalar_writer.hpp"

#include <array>
#include <cstring>

#include "white_space.hpp"

namespace vorn {

namespace {

// Position of the first `byte` in [from, end), or `end`.
const char* find_byte(const char* from, const char* end, char byte) noexcept {
    if (from == end) return end;
    const void* found = std::memchr(from, byte, static_cast<std::size_t>(end - from));
    return found ? static_cast<const char*>(found) : end;
}

// Copies `text` with a backslash before every '"' and '\'. Runs between the
// two characters are copied whole; each is located with memchr so that text
// without them costs two scans and one append.
void append_escaped(std::string& out, std::string_view text) {
    const char* run = text.data();
    const char* const end = run + text.size();
    const char* next_quote = find_byte(run, end, '"');
    const char* next_backslash = find_byte(run, end, '\\');
    for (;;) {
        const char* special = next_quote < next_backslash ? next_quote : next_backslash;
        out.append(run, static_cast<std::size_t>(special - run));
        if (special == end) return;
        out += '\\';
        out += *special;
        run = special + 1;
        if (special == next_quote)
            next_quote = find_byte(run, end, '"');
        else
            next_backslash = find_byte(run, end, '\\');
    }
}

void write_literal_block(std::string& out, std::uint64_t indent, std::string_view text,
                         const std::optional<std::string>& inline_comment) {
    out += '|';
    write_inline_comment(out, inline_comment);
    out += '\n';
    // k line feeds give k + 1 content lines, empty ones included.
    const char* piece = text.data();
    const char* const end = piece + text.size();
    for (;;) {
        const char* line_end = find_byte(piece, end, '\n');
        out.append(indent + 2, ' ');
        out.append(piece, static_cast<std::size_t>(line_end - piece));
        out += '\n';
        if (line_end == end) return;
        piece = line_end + 1;
    }
}

// ASCII bytes that force a key into quotes: White_Space would be trimmed or
// end the key, '#' could start a comment, ':' would split the entry, '?' is
// reserved, and a quote character would either be stripped as the key's own
// quotes or open a quoted stretch that hides a later comment marker.
constexpr std::array<bool, 128> ascii_key_specials = [] {
    std::array<bool, 128> table{};
    for (char c : {'\t', '\n', '\v', '\f', '\r', ' ', '#', ':', '?', '"', '\''})
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool key_needs_quotes(std::string_view key) noexcept {
    for (std::size_t i = 0; i < key.size();) {
        const auto byte = static_cast<unsigned char>(key[i]);
        if (byte < 0x80) {
            if (ascii_key_specials[byte]) return true;
            ++i;
            continue;
        }
        const DecodedChar decoded = decode_utf8(key, i);
        if (is_white_space(decoded.code_point)) return true;
        i += decoded.length;
    }
    return false;
}

// Scalars up to this length are checked with one byte loop rather than three
// memchr calls, which cost more than the loop on a few bytes.
constexpr std::size_t short_scalar_bytes = 32;

// Bytes that change how a scalar is written: a line feed makes a literal
// block, a quote or backslash is escaped.
constexpr std::array<bool, 256> scalar_specials = [] {
    std::array<bool, 256> table{};
    for (char c : {'\n', '"', '\\'}) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool is_short_and_plain(std::string_view text) noexcept {
    if (text.size() > short_scalar_bytes) return false;
    for (char c : text)
        if (scalar_specials[static_cast<unsigned char>(c)]) return false;
    return true;
}

}  // namespace

void write_scalar(std::string& out, std::uint64_t indent, std::string_view text,
                  const std::optional<std::string>& inline_comment) {
    if (is_short_and_plain(text)) {
        out += '"';
        out += text;
        out += '"';
        write_inline_comment(out, inline_comment);
        out += '\n';
        return;
    }
    if (!text.empty() && std::memchr(text.data(), '\n', text.size()) != nullptr) {
        write_literal_block(out, indent, text, inline_comment);
        return;
    }
    out += '"';
    append_escaped(out, text);
    out += '"';
    write_inline_comment(out, inline_comment);
    out += '\n';
}

void write_key(std::string& out, std::string_view key) {
    if (!key_needs_quotes(key)) {
        out += key;
        return;
    }
    out += '"';
    append_escaped(out, key);
    out += '"';
}

void write_comment_lines(std::string& out, const std::vector<CommentLine>& comments) {
    for (const CommentLine& comment : comments) {
        out.append(comment.indent, ' ');
        out += comment.text;
        out += '\n';
    }
}

}  // namespace vorn
