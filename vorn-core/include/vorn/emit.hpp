// The writing side: tree to document text.
#pragma once

#include <string>

#include "vorn/flat_tree.hpp"
#include "vorn/value.hpp"

namespace vorn {

// Writes `value` as document text (block style, two spaces per level, keys in
// byte order, comments in their places). Never fails; the text always ends
// with a line feed.
std::string emit(const Value& value);
// The same for a tree built only to be written; its strings must be alive.
std::string emit(const FlatTree& tree);

}  // namespace vorn
