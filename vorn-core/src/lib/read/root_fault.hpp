// The one check of the root, made once every line is read.
#pragma once

#include <optional>

#include "vorn/parse_error.hpp"

#include "read/source_lines.hpp"
#include "tree/document.hpp"

namespace vorn {

// The fault of a root that is not a mapping carrying the accepted format
// version, placed at the first non-blank line of the text `lines` reads
// (a cursor not yet advanced).
std::optional<ParseError> root_fault(const DocValue& root, const LineCursor& lines);

}  // namespace vorn
