// Turns arbitrary bytes into a value tree whose strings are made of the
// pieces most likely to confuse the reader: colons, quotes, comment marks,
// hyphens, block and anchor marks, line breaks, NUL and Unicode blanks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vorn/value.hpp"

#include "write/flat_tree.hpp"

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

// A tree as a caller of the writer hands it over: entries in the caller's
// order, equal keys among them, and any strings at all (tabs, line feeds in
// keys and texts, blocks the reader would change). The root is a mapping
// with or without the version, a sequence or a scalar, as the recipe says.
struct CallerTree {
    FlatTree::Kind kind = FlatTree::Kind::scalar;
    std::string key;   // for the entries of a mapping
    std::string text;  // for a scalar
    std::vector<CallerTree> children;
};

CallerTree build_caller_tree(std::string_view recipe);

// The same tree as a Value (of equal keys the last one wins, as in the
// writer) and as a FlatTree, added in the caller's order. The FlatTree
// views the strings of `tree`, which must outlive it.
Value value_of(const CallerTree& tree);
FlatTree flat_tree_of(const CallerTree& tree);

}  // namespace vorn::fuzz
