#include "write/scalar_writer.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/byte_lanes.hpp"
#include "text/trim.hpp"
#include "text/utf8.hpp"
#include "text/white_space.hpp"

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

// What the reader would make of one line of a literal block, measured
// against the line as given: it counts the leading spaces, trims White_Space
// off both ends of the rest and drops a line that is then empty.
WriteFault block_line_fault(std::string_view line, bool is_last) noexcept {
    if (line.empty()) return is_last ? WriteFault::final_line_feed : WriteFault::empty_line;
    std::size_t spaces = 0;
    while (spaces < line.size() && line[spaces] == ' ') ++spaces;
    const std::string_view rest = line.substr(spaces);
    if (rest.empty()) return WriteFault::white_space_line;
    // Nearly every line's text starts and ends with visible ASCII, which is
    // no White_Space: nothing to decode.
    if (is_visible_ascii(rest.front()) && is_visible_ascii(rest.back())) return WriteFault::none;
    const bool leading = white_space_length_at(rest, 0) != 0;
    const bool trailing = white_space_length_before(rest, rest.size()) != 0;
    if (!leading && !trailing) return WriteFault::none;
    if (trim_start_scanning(rest).empty()) return WriteFault::white_space_line;
    return leading ? WriteFault::leading_white_space : WriteFault::trailing_white_space;
}

// write_literal_block for a string without a comment, checking each line
// as it is written and, at the end, that some line starts without a space
// (the reader removes the indentation all lines share).
WriteFault write_literal_block_checked(std::string& out, std::uint64_t indent, std::string_view text) {
    out += "|\n";
    bool some_line_unindented = false;
    const char* piece = text.data();
    const char* const end = piece + text.size();
    for (;;) {
        const char* line_end = find_byte(piece, end, '\n');
        const std::string_view line(piece, static_cast<std::size_t>(line_end - piece));
        // Most lines start and end with visible ASCII: nothing to drop, and
        // no indentation.
        if (!line.empty() && is_visible_ascii(line.front()) && is_visible_ascii(line.back())) [[likely]] {
            some_line_unindented = true;
        } else if (const WriteFault fault = block_line_fault(line, line_end == end); fault != WriteFault::none) {
            return fault;
        } else {
            some_line_unindented = some_line_unindented || line.front() != ' ';
        }
        out.append(indent + 2, ' ');
        out += line;
        out += '\n';
        if (line_end == end) break;
        piece = line_end + 1;
    }
    return some_line_unindented ? WriteFault::none : WriteFault::common_indentation;
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
// memchr calls, which cost more than the loop on a few bytes. Chosen by the
// dumps benchmark at 2 MB: with it, short_strings went from 5.7 to 4.9-5.4 ms
// and anchors from 32.8 to 29.5-30.2 ms per call, the other shapes unchanged.
constexpr std::size_t short_scalar_bytes = 32;

// Bytes that change how a scalar is written: a line feed makes a literal
// block, a quote or backslash is escaped. A tab is written as it is, but a
// checking writer must see it, so it leaves the short path too.
constexpr std::array<bool, 256> scalar_specials = [] {
    std::array<bool, 256> table{};
    for (char c : {'\n', '"', '\\', '\t'}) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool is_short_and_plain(std::string_view text) noexcept {
    if (text.size() > short_scalar_bytes) return false;
    for (char c : text)
        if (scalar_specials[static_cast<unsigned char>(c)]) return false;
    return true;
}

// Marks that mean nothing to the reader in a plain scalar, kept to those
// that mean nothing to a person reading the document either.
constexpr std::array<bool, 128> plain_marks = [] {
    std::array<bool, 128> table{};
    for (char c = '0'; c <= '9'; ++c) table[static_cast<unsigned char>(c)] = true;
    for (char c = 'a'; c <= 'z'; ++c) table[static_cast<unsigned char>(c)] = true;
    for (char c = 'A'; c <= 'Z'; ++c) table[static_cast<unsigned char>(c)] = true;
    for (char c : {'_', '.', '/', '@', '+', '=', '%', '~', ',', '(', ')'}) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

}  // namespace

bool reads_back_plain(std::string_view text, bool after_key) noexcept {
    if (text.empty() || text.back() == ' ' || text.back() == ':') return false;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            // Inside, a blank and a hyphen too; after a key a colon as well (the
            // key ends at the first one).
            const bool inside = i > 0 && (byte == ' ' || byte == '-' || (after_key && byte == ':'));
            if (!plain_marks[byte] && !inside) return false;
            ++i;
            continue;
        }
        const DecodedChar decoded = decode_utf8(text, i);
        if (is_white_space(decoded.code_point)) return false;
        i += decoded.length;
    }
    return true;
}

void append_spelled(std::string& out, std::string_view text, ScalarStyle style) {
    switch (style) {
        case ScalarStyle::plain:
            out += text;
            return;
        case ScalarStyle::single_quoted:
            out += '\'';
            out += text;
            out += '\'';
            return;
        case ScalarStyle::double_quoted:
            out += '"';
            append_escaped(out, text);
            out += '"';
            return;
    }
}

namespace {

// Copies a few words' worth of bytes as overlapping eight-byte words
// (four-byte ones below eight; below four the first, middle and last
// bytes), reading and writing nothing outside either range: a library call
// costs more than the copy at these sizes, and a loop over one to three
// bytes becomes one.
[[gnu::always_inline]] inline void copy_short(char* out, const char* from, std::size_t size) noexcept {
    if (size >= 8) {
        std::uint64_t word;
        for (std::size_t i = 0; i + 8 < size; i += 8) {
            std::memcpy(&word, from + i, 8);
            std::memcpy(out + i, &word, 8);
        }
        std::memcpy(&word, from + size - 8, 8);
        std::memcpy(out + size - 8, &word, 8);
    } else if (size >= 4) {
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + size - 4, 4);
        std::memcpy(out, &head, 4);
        std::memcpy(out + size - 4, &tail, 4);
    } else if (size != 0) {
        out[0] = from[0];
        out[size / 2] = from[size / 2];
        out[size - 1] = from[size - 1];
    }
}

// A line written whole by write_short_line: at most this deep, with a key
// of at most this many bytes. Deep lines are common in nested data, and
// copying their indentation by words costs less than the three appends of
// the general path: as deep as append_indent's stored run of spaces (it was
// 64, which left half the lines of the bench's trees 60 levels deep out).
constexpr std::size_t short_line_indent = 256;
constexpr std::size_t short_line_key_bytes = 64;

static_assert(short_line_room >= short_line_indent + 16 + short_line_key_bytes + short_scalar_bytes + 5,
              "a short line fits, and the indentation's last piece of 16 bytes");

// The indentation by whole pieces of spaces: the few bytes past it, all
// inside the room, are written over by what follows or left out. The empty
// asm keeps the compiler from making the loop a memset, which costs more at
// these sizes.
#if defined(__SSE2__)
void put_indentation(char* at, std::size_t indent) noexcept {
    const __m128i spaces = _mm_set1_epi8(' ');
    std::size_t done = 0;
    do {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at + done), spaces);
        done += 16;
        asm("" : "+r"(done));
    } while (done < indent);
}

// Up to 32 bytes as one or two 16-byte pieces that together hold each of
// them and nothing else but zeros, read without a byte outside [from, from
// + size): overlapping pieces of 16, 8 or 4 bytes, and below 4 the first,
// middle and last bytes. (Reading the copy just written instead would wait
// for the stores to land.) The bytes are then copied from the pieces.
class Pieces {
public:
    [[gnu::always_inline]] Pieces(const char* from, std::size_t size) noexcept : from_(from), size_(size) {
        if (size >= 16) {
            first_ = load_lanes(from);
            second_ = load_lanes(from + size - 16);
        } else if (size >= 8) {
            first_ = first_and_last_eight({from, size});
        } else {
            std::uint32_t head = 0;
            std::uint32_t tail = 0;
            if (size >= 4) {
                std::memcpy(&head, from, 4);
                std::memcpy(&tail, from + size - 4, 4);
            } else if (size != 0) {
                head = static_cast<unsigned char>(from[0]) | static_cast<unsigned char>(from[size / 2]) << 8 |
                       static_cast<unsigned char>(from[size - 1]) << 16;
            }
            first_ = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(head)),
                                        _mm_cvtsi32_si128(static_cast<int>(tail)));
        }
    }

    // The bits `found` gives for the pieces' bytes, or-ed.
    template <typename Find>
    [[gnu::always_inline]] unsigned any(Find found) const noexcept {
        return size_ >= 16 ? found(first_) | found(second_) : found(first_);
    }

    [[gnu::always_inline]] void copy_to(char* out) const noexcept {
        if (size_ >= 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first_);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size_ - 16), second_);
        } else if (size_ >= 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), first_);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + size_ - 8), _mm_unpackhi_epi64(first_, first_));
        } else {
            copy_short(out, from_, size_);
        }
    }

private:
    const char* from_;
    std::size_t size_;
    __m128i first_;
    __m128i second_ = _mm_setzero_si128();
};

// The bytes of scalar_specials.
unsigned scalar_specials_in(__m128i chunk) noexcept { return lane_mask(lanes_equal_any(chunk, '\n', '"', '\\', '\t')); }

// The ASCII bytes of key_needs_quotes' table; \t \n \v \f \r are 9 to 13.
unsigned key_specials_in(__m128i chunk) noexcept {
    const __m128i in_controls = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(chunk, _mm_set1_epi8(9)), chunk),
                                              _mm_cmpeq_epi8(_mm_min_epu8(chunk, _mm_set1_epi8(13)), chunk));
    return lane_mask(in_controls | lanes_equal_any(chunk, ' ', '#', ':', '?', '"', '\''));
}

unsigned above_ascii_in(__m128i chunk) noexcept { return lane_mask(chunk); }

// As is_short_and_plain, for a scalar of at most short_scalar_bytes, which
// it copies to `out` when it is.
[[gnu::always_inline]] inline bool copy_plain_scalar(char* out, std::string_view text) noexcept {
    const Pieces pieces(text.data(), text.size());
    if (pieces.any(scalar_specials_in) != 0) return false;
    pieces.copy_to(out);
    return true;
}

// As !key_needs_quotes, 16 bytes a step, asking it only about a key with a
// byte above ASCII; copies the key to `out` when it is bare.
[[gnu::always_inline]] inline bool copy_bare_key(char* out, std::string_view key) noexcept {
    unsigned above_ascii = 0;
    std::size_t done = 0;
    for (; done + 32 < key.size(); done += 16) {
        const __m128i chunk = load_lanes(key.data() + done);
        if (key_specials_in(chunk) != 0) return false;
        above_ascii |= above_ascii_in(chunk);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), chunk);
    }
    const Pieces pieces(key.data() + done, key.size() - done);
    if (pieces.any(key_specials_in) != 0) return false;
    if ((above_ascii | pieces.any(above_ascii_in)) != 0 && key_needs_quotes(key)) return false;
    pieces.copy_to(out + done);
    return true;
}
#else
void put_indentation(char* at, std::size_t indent) noexcept {
    constexpr std::uint64_t eight_spaces = 0x2020202020202020ULL;
    for (std::size_t i = 0; i < indent; i += 8) std::memcpy(at + i, &eight_spaces, 8);
}
bool copy_plain_scalar(char* out, std::string_view text) noexcept {
    if (!is_short_and_plain(text)) return false;
    copy_short(out, text.data(), text.size());
    return true;
}
bool copy_bare_key(char* out, std::string_view key) noexcept {
    if (key_needs_quotes(key)) return false;
    copy_short(out, key.data(), key.size());
    return true;
}
#endif

// The indentation and then the key and its colon, or the hyphen, of a line
// that write_short_line or write_open_line puts at `at`; null when the line
// is too deep or the key too long or in need of quotes.
[[gnu::always_inline]] inline char* put_line_head(char* at, std::uint64_t indent,
                                                  const std::string_view* key) noexcept {
    if (indent > short_line_indent) return nullptr;
    put_indentation(at, indent);
    char* next = at + indent;
    if (key == nullptr) {
        *next++ = '-';
        return next;
    }
    if (key->size() > short_line_key_bytes || !copy_bare_key(next, *key)) return nullptr;
    next += key->size();
    *next++ = ':';
    return next;
}

}  // namespace

std::size_t write_short_line(char* at, std::uint64_t indent, const std::string_view* key,
                             std::string_view text) noexcept {
    if (text.size() > short_scalar_bytes) return 0;
    char* next = put_line_head(at, indent, key);
    if (next == nullptr) return 0;
    *next++ = ' ';
    *next++ = '"';
    if (!copy_plain_scalar(next, text)) return 0;
    next += text.size();
    *next++ = '"';
    *next++ = '\n';
    return static_cast<std::size_t>(next - at);
}

std::size_t write_open_line(char* at, std::uint64_t indent, const std::string_view* key) noexcept {
    char* next = put_line_head(at, indent, key);
    if (next == nullptr) return 0;
    // The hyphen's blank stays, as append_indented_hyphen writes it.
    if (key == nullptr) *next++ = ' ';
    *next++ = '\n';
    return static_cast<std::size_t>(next - at);
}

bool append_short_quoted_line(std::string& out, std::string_view text, bool after_blank) {
    if (!is_short_and_plain(text)) return false;
    // ' "' + text + '"' + line feed, at most short_scalar_bytes + 4.
    char line[short_scalar_bytes + 4];
    char* next = line;
    if (after_blank) *next++ = ' ';
    *next++ = '"';
    std::memcpy(next, text.data(), text.size());
    next += text.size();
    *next++ = '"';
    *next++ = '\n';
    out.append(line, static_cast<std::size_t>(next - line));
    return true;
}

namespace {

// Indentation comes from here in one copy, "- " after it included, up to
// this depth; deeper lines take two appends.
constexpr std::size_t stored_indent = 256;
constexpr std::array<char, stored_indent + 2> spaces_then_hyphen = [] {
    std::array<char, stored_indent + 2> bytes{};
    bytes.fill(' ');
    bytes[stored_indent] = '-';
    return bytes;
}();

}  // namespace

void append_indent(std::string& out, std::uint64_t indent) {
    if (indent <= stored_indent) {
        out.append(spaces_then_hyphen.data(), indent);
    } else {
        out.append(indent, ' ');
    }
}

void append_indented_hyphen(std::string& out, std::uint64_t indent) {
    if (indent <= stored_indent) {
        out.append(spaces_then_hyphen.data() + stored_indent - indent, indent + 2);
    } else {
        out.append(indent, ' ');
        out += "- ";
    }
}

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

WriteFault write_scalar_checked(std::string& out, std::uint64_t indent, std::string_view text) {
    if (is_short_and_plain(text)) {
        out += '"';
        out += text;
        out += "\"\n";
        return WriteFault::none;
    }
    const char* const end = text.data() + text.size();
    // The first tab or line feed: a tab is a fault, a line feed makes a
    // literal block, whose lines are searched for tabs as they are written.
    // memchr runs through text many bytes at a time: two calls cost less
    // than one pass that looks for both bytes.
    if (find_byte(text.data(), end, '\t') != end) return WriteFault::tab_in_text;
    if (find_byte(text.data(), end, '\n') != end) return write_literal_block_checked(out, indent, text);
    out += '"';
    append_escaped(out, text);
    out += "\"\n";
    return WriteFault::none;
}

WriteFault write_key(std::string& out, std::string_view key) {
    if (!key_needs_quotes(key)) {
        out += key;
        return WriteFault::none;
    }
    out += '"';
    append_escaped(out, key);
    out += '"';
    // Both bytes make a key need quotes, so a bare key holds neither.
    if (!is_writable_key(key)) return WriteFault::line_feed_in_key;
    if (std::memchr(key.data(), '\t', key.size()) != nullptr) return WriteFault::tab_in_key;
    return WriteFault::none;
}

void write_comment_lines(std::string& out, const std::vector<CommentLine>& comments, std::uint64_t deepest) {
    for (const CommentLine& comment : comments) {
        out.append(std::min(comment.indent, deepest), ' ');
        out += comment.text;
        out += '\n';
    }
}

}  // namespace vorn
