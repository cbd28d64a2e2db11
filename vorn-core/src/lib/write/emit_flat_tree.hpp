// Writing a FlatTree, the tree the bindings build only to write it: plainly,
// or checked on the way so that a fault stops the writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vorn/emit.hpp"

#include "write/flat_tree.hpp"

namespace vorn {

// Writes `tree` as emit(const Value&) writes a Value tree; its strings must
// be alive. The same precondition on keys: each passes is_writable_key.
std::string emit(const FlatTree& tree);

// How much emit_checked checks.
enum class WriteChecks : std::uint8_t {
    // Only what cannot be written at all: a key holding a line feed.
    keys,
    // Also everything that would read back different, or not at all: a tab
    // anywhere, a multi-line string that a literal block does not carry
    // unchanged, and a root that is not a mapping holding the version.
    lossless,
};

// The first fault emit_checked found, in the order the text is written.
enum class WriteFault : std::uint8_t {
    none,
    line_feed_in_key,
    tab_in_key,
    tab_in_text,
    // A multi-line string (written as a literal block) with a line that
    // the reader would drop or change:
    empty_line,            // an empty line before the last
    white_space_line,      // a line of White_Space only
    final_line_feed,       // the text ends with a line feed
    trailing_white_space,  // White_Space at the end of a line
    leading_white_space,   // White_Space other than U+0020 at the start of a line
    common_indentation,    // every line starts with a space
    // The root:
    root_not_mapping,
    missing_version,      // no `_vorn_version` entry
    version_not_text,     // `_vorn_version` holds a collection
    unsupported_version,  // its text, trimmed of White_Space, is not "1.0"
};

struct CheckedText {
    // The document text; empty when `fault` is set.
    std::string text;
    WriteFault fault = WriteFault::none;
    // Where the fault is: the position (FlatTree::at) of the entry whose key
    // is at fault, or of the string or version entry at fault; 0, the root,
    // for a root that is not a mapping or lacks the version.
    std::size_t node = 0;
};

// Writes `tree` as emit does, checking as it goes, and stops at the first
// fault. The checks cost little beside the writing: a key is looked at again
// only when it needs quotes, a string longer than a few bytes gets one more
// scan (for a tab), and a literal block's lines are checked at their ends
// as they are written.
CheckedText emit_checked(const FlatTree& tree, WriteChecks checks);

}  // namespace vorn
