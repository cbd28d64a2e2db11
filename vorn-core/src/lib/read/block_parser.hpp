// The block parser: one loop over the prepared lines with an explicit stack
// of open blocks, so nesting depth costs memory, never native stack.
#pragma once

#include <span>

#include "vorn/result.hpp"

#include "read/anchor_table.hpp"
#include "read/source_lines.hpp"
#include "read/syntax.hpp"
#include "tree/document.hpp"
#include "tree/value_sink.hpp"

namespace vorn {

// Reads the lines from the cursor's into the value of the root block, whose
// kind and indentation the first line that is not a comment line chooses,
// placing the tree's pieces in `arena`. Every line is read or refused: a line
// that no open block can take is an error at that line. Without
// `keep_comments`, only the nodes inside anchored blocks keep theirs (see
// ParseState).
// With `syntax`, also records every entry, item and merge line there. With
// `sink` (never with `syntax`), the sink makes every container that is not
// read again (see ValueSink), and the result may hold them.
Result<DocValue> parse_blocks(LineCursor lines, AnchorTable& anchors, Arena& arena, bool keep_comments,
                              SyntaxRecorder* syntax = nullptr, ValueSink* sink = nullptr);

}  // namespace vorn
