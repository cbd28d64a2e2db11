// Creating a str from UTF-8 bytes, with a fast path for ASCII text: nearly
// every key and most scalars of a configuration are ASCII, and for them a
// str of the right kind is allocated and filled by one copy, skipping the
// general decoder's per-call set-up.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "vorn/assert.hpp"

#include "py_ref.hpp"

namespace vorn::binding {

// Eight bytes at a time, the last word overlapping the one before it (and
// below eight bytes, two overlapping four-byte pieces) rather than a loop
// over the last few bytes: most keys and scalars are a word or two long.
inline bool is_ascii(std::string_view text) noexcept {
    const char* p = text.data();
    const std::size_t size = text.size();
    std::uint64_t seen = 0;
    if (size >= 8) {
        std::uint64_t word;
        for (std::size_t i = 0; i + 8 < size; i += 8) {
            std::memcpy(&word, p + i, 8);
            seen |= word;
        }
        std::memcpy(&word, p + size - 8, 8);
        seen |= word;
    } else if (size >= 4) {
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + size - 4, 4);
        seen = head | tail;
    } else {
        for (std::size_t i = 0; i < size; ++i) seen |= static_cast<unsigned char>(p[i]);
    }
    return (seen & 0x8080808080808080ULL) == 0;
}

// Copies 1 to 2 words' worth of bytes as a word from each end; the two
// overlap unless the size is exactly two words.
template <typename Word>
void copy_by_two_words(char* target, std::string_view text) noexcept {
    Word head;
    Word tail;
    std::memcpy(&head, text.data(), sizeof(Word));
    std::memcpy(&tail, text.data() + text.size() - sizeof(Word), sizeof(Word));
    std::memcpy(target, &head, sizeof(Word));
    std::memcpy(target + text.size() - sizeof(Word), &tail, sizeof(Word));
}

// Short copies (most keys and scalars) as word moves rather than a library
// call.
inline void copy_bytes(void* out, std::string_view text) noexcept {
    const std::size_t size = text.size();
    auto* target = static_cast<char*>(out);
    if (size >= 8 && size <= 16) return copy_by_two_words<std::uint64_t>(target, text);
    if (size >= 4 && size < 8) return copy_by_two_words<std::uint32_t>(target, text);
    std::memcpy(target, text.data(), size);
}

// A str of `text`, known to be ASCII. A new reference, or null with the
// Python error set. A byte above 0x7F would make a str that CPython takes
// for ASCII but that compares and hashes unlike the decoded text.
inline PyObject* ascii_str(std::string_view text) noexcept {
    VORN_ASSERT(is_ascii(text));
    const auto size = static_cast<Py_ssize_t>(text.size());
    // The empty str and one-character strs are shared singletons there.
    if (size <= 1) return PyUnicode_FromStringAndSize(text.data(), size);
    PyObject* object = PyUnicode_New(size, 127);
    if (object != nullptr) copy_bytes(PyUnicode_1BYTE_DATA(object), text);
    return object;
}

// Text that is probably not ASCII, decoded in two passes straight into a
// str of the right kind (ASCII text too, only later found to be so);
// anything but well-formed UTF-8 goes to CPython's decoder, which raises
// the error.
PyObject* str_from_non_ascii_utf8(std::string_view text) noexcept;

// A new reference, or null with the Python error set.
inline PyObject* str_from_utf8(std::string_view text) noexcept {
    return is_ascii(text) ? ascii_str(text) : str_from_non_ascii_utf8(text);
}

}  // namespace vorn::binding
