// Turns arbitrary bytes into a value tree whose strings are made of the
// pieces most likely to confuse the reader: colons, quotes, comment marks,
// hyphens, block and anchor marks, line breaks, NUL and Unicode blanks.
#pragma once

#include <string_view>

#include "vorn/value.hpp"

namespace vorn::fuzz {

// A root Mapping holding `_vorn_version: 1.0` and whatever the recipe
// describes. Every string in it but some keys is one the format carries
// unchanged through emit and parse: no tab anywhere, and a multi-line scalar
// only in the shape a literal block reads back (no blank lines, no
// White_Space at the end of a line or before the first character after the
// indentation, and at least one line that starts without indentation).
// Strings outside that set are repaired into it, never rejected, so every
// recipe yields a tree to check. A key may keep a line feed, which no text
// can carry: the recipe decides, so that trees with and without such keys
// are both common.
Value build_hostile_tree(std::string_view recipe);

}  // namespace vorn::fuzz
