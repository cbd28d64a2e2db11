#include "scalar_syntax.hpp"

#include "trim.hpp"

namespace vorn {

namespace {

// The offset of the '"' that closes a double-quoted stretch whose content
// starts at `from`, or npos. A backslash hides the character after it.
std::size_t find_closing_double_quote(std::string_view text, std::size_t from) noexcept {
    // Most quoted text holds no backslash: then the first '"' closes it.
    const std::size_t quote = text.find('"', from);
    if (quote == std::string_view::npos) return quote;
    const std::size_t slash = text.substr(0, quote).find('\\', from);
    if (slash == std::string_view::npos) return quote;
    for (std::size_t i = slash; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

std::size_t find_closing_single_quote(std::string_view text, std::size_t from) noexcept {
    return text.find('\'', from);
}

// Appends the inside of a double-quoted scalar, turning \" and \\ into the
// character they protect; any other backslash stays with what follows it.
void append_unescaped(std::string& out, std::string_view inner) {
    std::size_t copied = 0;
    std::size_t slash = inner.find('\\');
    while (slash != std::string_view::npos && slash + 1 < inner.size()) {
        const char next = inner[slash + 1];
        if (next == '"' || next == '\\') {
            out.append(inner.substr(copied, slash - copied));
            out += next;
            copied = slash + 2;
            slash = inner.find('\\', copied);
        } else {
            slash = inner.find('\\', slash + 1);
        }
    }
    out.append(inner.substr(copied));
}

}  // namespace

CommentSplit split_inline_comment(std::string_view text) noexcept {
    // Without a '#' there is no comment, whatever the quotes hold.
    if (text.find('#') == std::string_view::npos) return {trim_end(text), std::nullopt};
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        switch (text[i]) {
            case '\'': {
                const std::size_t close = find_closing_single_quote(text, i + 1);
                if (close == std::string_view::npos) return {trim_end(text), std::nullopt};
                i = close;
                break;
            }
            case '"': {
                const std::size_t close = find_closing_double_quote(text, i + 1);
                if (close == std::string_view::npos) return {trim_end(text), std::nullopt};
                i = close;
                break;
            }
            case '#':
                if (i == 0 || white_space_length_before(text, i) > 0)
                    return {trim_end(text.substr(0, i)), text.substr(i)};
                break;
            default:
                break;
        }
    }
    return {trim_end(text), std::nullopt};
}

std::size_t closed_quoted_run_length(std::string_view text) noexcept {
    if (text.empty()) return 0;
    std::size_t close = std::string_view::npos;
    if (text[0] == '\'') {
        close = find_closing_single_quote(text, 1);
    } else if (text[0] == '"') {
        close = find_closing_double_quote(text, 1);
    }
    return close == std::string_view::npos ? 0 : close + 1;
}

std::size_t find_entry_colon(std::string_view text) noexcept {
    return text.find(':', closed_quoted_run_length(text));
}

std::string unquote_scalar(std::string_view text) {
    std::string out;
    unquote_scalar_into(out, text);
    return out;
}

void unquote_scalar_into(std::string& out, std::string_view text) {
    if (text.size() >= 2 && text.front() == text.back()) {
        const std::string_view inner = text.substr(1, text.size() - 2);
        if (text.front() == '\'') {
            out.assign(inner);
            return;
        }
        if (text.front() == '"') {
            out.clear();
            if (inner.find('\\') == std::string_view::npos) {
                out.assign(inner);
                return;
            }
            out.reserve(inner.size());
            append_unescaped(out, inner);
            return;
        }
    }
    out.assign(text);
}

bool is_item_line(std::string_view text) noexcept {
    if (text.empty() || text[0] != '-') return false;
    if (text.size() == 1) return true;
    const char second = text[1];
    return second == ' ' || second == '\t' || second == '\n' || second == '\f' || second == '\r';
}

ValueForm classify_value(std::string_view text) noexcept {
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

std::string_view anchor_name(std::string_view text) noexcept { return trim(text.substr(1)); }

}  // namespace vorn
