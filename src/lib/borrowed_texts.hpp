// The str objects whose UTF-8 bytes a tree for writing points into, each kept
// alive by a strong reference until the text has been written.
#pragma once

#include <string_view>
#include <vector>

#include "error_state.hpp"
#include "py_ref.hpp"

namespace vorn::binding {

// The str's UTF-8 bytes (NUL characters included), valid while it lives. A
// compact ASCII str is its own UTF-8; any other str caches a UTF-8 copy on
// itself. Clears `all_ascii` for a str above ASCII. A str holding a lone
// surrogate has no UTF-8 form: its UnicodeEncodeError is thrown.
inline std::string_view utf8_of(PyObject* text, bool& all_ascii) {
    if (PyUnicode_IS_COMPACT_ASCII(text))
        return {static_cast<const char*>(PyUnicode_DATA(text)), static_cast<std::size_t>(PyUnicode_GET_LENGTH(text))};
    if (!PyUnicode_IS_ASCII(text)) all_ascii = false;
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text, &size);
    if (bytes == nullptr) throw fetch_current_error();
    return {bytes, static_cast<std::size_t>(size)};
}

class BorrowedTexts {
public:
    BorrowedTexts() = default;
    BorrowedTexts(const BorrowedTexts&) = delete;
    BorrowedTexts& operator=(const BorrowedTexts&) = delete;
    ~BorrowedTexts() {
        for (PyObject* text : texts_) Py_DECREF(text);
    }

    // The str's UTF-8 bytes, as utf8_of gives them, valid while this lives.
    std::string_view hold(PyObject* text) {
        texts_.push_back(text);
        Py_INCREF(text);
        return utf8_of(text, all_ascii_);
    }

    // Whether every str held so far is ASCII, so that text made of them and
    // of ASCII syntax needs no decoding.
    bool all_ascii() const noexcept { return all_ascii_; }

private:
    std::vector<PyObject*> texts_;
    bool all_ascii_ = true;
};

}  // namespace vorn::binding
