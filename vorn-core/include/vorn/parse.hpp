// The reading side: document text to tree.
#pragma once

#include <string_view>

#include "vorn/result.hpp"
#include "vorn/value.hpp"

namespace vorn {

// Reads a whole UTF-8 document into an independent Value tree, comments
// included. On success the root is always a mapping that holds a valid
// `_vorn_version` (or is empty, for a text with no non-blank line);
// otherwise the first fault found, with its line and column.
Result<Value> parse_document(std::string_view text);

}  // namespace vorn
