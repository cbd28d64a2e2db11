// The reader as the bindings use it: document text to an arena tree that
// views the text, with or without its comments.
#pragma once

#include <string_view>

#include "vorn/result.hpp"

#include "read/syntax.hpp"
#include "tree/document.hpp"
#include "tree/value_sink.hpp"

namespace vorn {

// Whether a read keeps the document's comments in the tree, or may leave
// them out (for a caller that wants the values alone).
enum class Comments { kept, may_drop };

// Reads a whole UTF-8 document into an arena tree that views `text`, which
// must outlive the result. On success the root is always a mapping that
// holds a valid `_vorn_version` (or is empty, for a text with no non-blank
// line); otherwise the first fault found. The values, and every error, are
// the same whether comments are kept or not.
Result<Document> read_document(std::string_view text, Comments comments = Comments::kept);

// The same with comments kept, also recording in `syntax` every entry, item
// and merge line as written (call its finish() after a successful read).
Result<Document> read_document(std::string_view text, SyntaxRecorder& syntax);

// The values alone (comments dropped), with `sink` making each container
// that the reader does not read again as soon as its block closes: the
// document's root (a tree, as the root is read again for its version) then
// holds what the sink made. The values and every error are those of the
// other readings.
Result<Document> read_document(std::string_view text, ValueSink& sink);

// The values of a stretch of a document's lines, under head lines that open
// the blocks around it, read alone: as read_document, without the checks
// of a whole document's root (its version stays where it is written).
Result<Document> read_stretch(std::string_view text);

}  // namespace vorn
