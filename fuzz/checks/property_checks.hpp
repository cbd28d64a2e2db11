// The properties each fuzz target asserts on one input. The libFuzzer
// targets abort on a failure; the regression test replays saved inputs
// through the same functions and reports the failure text.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vorn::fuzz {

// Nothing when the input passed (or lies outside the check's domain);
// otherwise what went wrong, with the texts involved.
using CheckFailure = std::optional<std::string>;

// Parses any valid UTF-8 text (other bytes are skipped) and destroys the
// result. An error must be one of the reader's messages at a position inside
// the text; a tree must stay within the alias expansion budget and survive a
// deep copy unchanged.
CheckFailure check_parse(std::string_view input);

// Parse, emit, parse: when the first parse succeeds on a text without a tab,
// the emitted text parses again and emitting that tree gives the same text.
CheckFailure check_text_round_trip(std::string_view input);

// Builds a tree with hostile strings from the input. When a key holds a
// line feed, the core's checks must refuse the tree (find_unwritable_key on
// the tree, emit_checked on its FlatTree) and name such a key. Otherwise
// they must accept it, the lossless check included, and the tree is
// emitted and parsed: the result holds exactly the tree's values, and
// emitting it again gives the same text, which emit_checked writes too.
CheckFailure check_tree_round_trip(std::string_view input);

// Reads any valid UTF-8 text with comments kept, with comments dropped, with
// a sink making the containers (the reading that loads does) and recording
// the syntax: all give the same values, or the same error, message, line,
// column and offset alike.
CheckFailure check_comments_dropped(std::string_view input);

// Builds a tree with any strings, entries in the caller's order and equal
// keys among them, as a Value and as a FlatTree (what dumps writes). Both
// checks of the FlatTree agree with the Value: emit_checked's key check
// refuses a key holding a line feed, the first that find_unwritable_key
// names; else emit gives one text for both trees, which emit_checked
// writes too, and the lossless check accepts exactly the trees whose text
// reads back holding the same values, writing that text again.
CheckFailure check_flat_tree_emit(std::string_view input);

// Writes a document with every feature of the format from the input,
// changes its values as the input says, and has the edit engine write the
// change into the text: the result must read back as the changed values,
// and an entry whose key path and value stayed keeps its comment lines and,
// for a scalar, its own line byte for byte. A refusal is a failure: the
// changes make only values the format carries.
CheckFailure check_edit(std::string_view input);

struct FuzzTarget {
    std::string_view name;  // directory name under fuzz/corpus and fuzz/regressions
    CheckFailure (*check)(std::string_view input);
};

std::span<const FuzzTarget> fuzz_targets();

}  // namespace vorn::fuzz
