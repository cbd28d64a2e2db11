#include "str_from_utf8.hpp"

#include <algorithm>
#include <string>

#include "text/utf8.hpp"

namespace vorn::binding {

namespace {

// What the first pass learns: whether the text is well-formed, the number of
// code points, and the greatest lead byte, which decides the storage the str
// needs.
struct Measure {
    Py_ssize_t length = 0;
    unsigned char max_lead = 0;
    bool well_formed = false;
};

// Checks every sequence by the same rule as the core (utf8::sequence_length),
// which is as strict as CPython's decoder.
Measure measure(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    Measure result{0, 0, true};
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
        } else {
            const std::size_t length = utf8::sequence_length(p, static_cast<std::size_t>(end - p));
            if (length == 0) return {};
            if (lead > result.max_lead) result.max_lead = lead;
            p += length;
        }
        ++result.length;
    }
    return result;
}

// The second pass, over text that measure() found well-formed; returns the
// end of what it wrote.
template <typename Unit>
Unit* decode_into(std::string_view text, Unit* out) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            *out++ = lead;
            ++p;
            continue;
        }
        const std::size_t length = utf8::lead_rules[lead].length;
        *out++ = static_cast<Unit>(utf8::code_point(p, length));
        p += length;
    }
    return out;
}

// A str of `length` characters, of the kind that text whose greatest lead
// byte is `max_lead` needs, filled by `fill` with a pointer to its code
// units. The kind must be exact, as CPython requires: leads up to 0xC3 are
// Latin-1, 0xC4 to 0xEF need two bytes, and 0xF0 and above four.
template <typename Fill>
PyObject* str_filled(Py_ssize_t length, unsigned char max_lead, Fill fill) noexcept {
    const int kind = max_lead <= 0xC3 ? 1 : max_lead <= 0xEF ? 2 : 4;
    PyObject* object = PyUnicode_New(length, kind == 1 ? 0xFF : kind == 2 ? 0xFFFF : 0x10FFFF);
    if (object == nullptr) return nullptr;
    switch (kind) {
        case 1:
            fill(PyUnicode_1BYTE_DATA(object));
            break;
        case 2:
            fill(PyUnicode_2BYTE_DATA(object));
            break;
        default:
            fill(PyUnicode_4BYTE_DATA(object));
            break;
    }
    return object;
}

}  // namespace

PyObject* str_from_non_ascii_utf8(std::string_view text) noexcept {
    const Measure found = measure(text);
    if (!found.well_formed) return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    // A caller may only have guessed that the text is not ASCII; an ASCII
    // str stored one byte wide but as Latin-1 would compare unequal.
    if (found.max_lead < 0x80) return ascii_str(text);
    return str_filled(found.length, found.max_lead, [text](auto* out) { decode_into(text, out); });
}

}  // namespace vorn::binding
