// The block parser: one loop over the prepared lines with an explicit stack
// of open blocks, so nesting depth costs memory, never native stack.
#pragma once

#include <span>

#include "anchors.hpp"
#include "parse_frames.hpp"
#include "source_lines.hpp"
#include "vorn/result.hpp"

namespace vorn {

// Reads `lines` (at least one) into the value of `root`, the frame whose
// kind and indentation the first line chose. Stops when the root closes;
// lines after that are never looked at.
Result<Value> parse_blocks(std::span<const SourceLine> lines, AnchorTable& anchors, Frame root);

}  // namespace vorn
