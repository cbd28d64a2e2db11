#include "str_from_utf8.hpp"

namespace vorn::binding {

namespace {

// What the first pass learns: the number of code points, the widest
// storage they need (1, 2 or 4 bytes each, or 0 for malformed text), and
// whether every one is ASCII after all.
struct Measure {
    Py_ssize_t length = 0;
    int kind = 0;
    bool ascii = true;
};

bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// Checks every sequence as strictly as CPython's decoder does: no overlong
// forms, no surrogates, nothing past U+10FFFF, no stray continuation bytes.
Measure measure(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    Measure result{0, 1, true};
    while (p < end) {
        const unsigned char lead = *p;
        std::size_t length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            result.ascii = false;
            if (lead >= 0xC4 && result.kind < 2) result.kind = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
            if (result.kind < 2) result.kind = 2;
            result.ascii = false;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
            result.kind = 4;
            result.ascii = false;
        } else {
            return {};
        }
        if (static_cast<std::size_t>(end - p) < length) return {};
        if (length > 1 && (p[1] < low || p[1] > high)) return {};
        for (std::size_t i = 2; i < length; ++i) {
            if (!is_continuation(p[i])) return {};
        }
        p += length;
        ++result.length;
    }
    return result;
}

template <typename Unit>
void decode_into(std::string_view text, Unit* out) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        char32_t code_point;
        if (lead < 0x80) {
            code_point = lead;
            p += 1;
        } else if (lead < 0xE0) {
            code_point = (char32_t{lead} & 0x1F) << 6 | (p[1] & 0x3F);
            p += 2;
        } else if (lead < 0xF0) {
            code_point = (char32_t{lead} & 0x0F) << 12 | char32_t{p[1] & 0x3Fu} << 6 | (p[2] & 0x3F);
            p += 3;
        } else {
            code_point = (char32_t{lead} & 0x07) << 18 | char32_t{p[1] & 0x3Fu} << 12 | char32_t{p[2] & 0x3Fu} << 6 |
                         (p[3] & 0x3F);
            p += 4;
        }
        *out++ = static_cast<Unit>(code_point);
    }
}

}  // namespace

PyObject* str_from_non_ascii_utf8(std::string_view text) noexcept {
    const Measure found = measure(text);
    if (found.kind == 0) return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    // A caller may only have guessed that the text is not ASCII; an ASCII
    // str stored one byte wide but as Latin-1 would compare unequal.
    if (found.ascii) return ascii_str(text);
    // The widest lead byte decides the kind exactly, as CPython requires:
    // leads up to 0xC3 are Latin-1, 0xC4 to 0xEF need two bytes, and 0xF0
    // and above four.
    const Py_UCS4 max_char = found.kind == 1 ? 0xFF : found.kind == 2 ? 0xFFFF : 0x10FFFF;
    PyObject* object = PyUnicode_New(found.length, max_char);
    if (object == nullptr) return nullptr;
    switch (found.kind) {
        case 1:
            decode_into(text, PyUnicode_1BYTE_DATA(object));
            break;
        case 2:
            decode_into(text, PyUnicode_2BYTE_DATA(object));
            break;
        default:
            decode_into(text, PyUnicode_4BYTE_DATA(object));
            break;
    }
    return object;
}

}  // namespace vorn::binding
