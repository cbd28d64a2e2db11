// The writing side: tree to document text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "vorn/value.hpp"

namespace vorn {

// Whether `key` can be written as a mapping key that reads back as itself.
// A key holding a line feed cannot: whatever quotes surround it, the line
// feed ends the entry's line, and what follows reads as other entries.
inline bool is_writable_key(std::string_view key) noexcept {
    return key.empty() || std::memchr(key.data(), '\n', key.size()) == nullptr;
}

// The first mapping key in `value`, in the order emit writes them, that
// is_writable_key refuses; null when every key can be written. Walks the
// tree without recursion.
const std::string* find_unwritable_key(const Value& value);

// Writes `value` as document text (block style, two spaces per level, keys in
// byte order, comments in their places). Never fails; the text always ends
// with a line feed.
//
// Precondition: every mapping key passes is_writable_key. A key holding a
// line feed is written across two lines and reads back as other entries;
// check a tree with find_unwritable_key first.
std::string emit(const Value& value);

}  // namespace vorn
