// Building the value that a value text stands for, once its form is known
// and it needs no nested block of its own.
#pragma once

#include <cstdint>
#include <string_view>

#include "vorn/result.hpp"

#include "read/parse_frames.hpp"
#include "read/parse_state.hpp"
#include "read/scalar_syntax.hpp"

namespace vorn {

// The unquoted text of a key or scalar: a view into `text` when it needs no
// rewriting, else a rewritten copy in `arena`.
std::string_view unquoted_text(std::string_view text, Arena& arena);

// Takes the lines after the "|" line that are indented deeper than
// `threshold`: the scalar that joins them with line feeds, each keeping the
// spaces it has beyond the least indented of them. A long text is kept as
// the lines themselves, to be joined only when it is read.
DocValue read_block_scalar(ParseState& state, std::uint64_t threshold);

// Stores in `out`, an empty scalar, the value for a form that needs no
// nested block (every form but `anchor`; `empty` leaves it as it is). A
// literal block takes the lines deeper than `block_threshold`; an alias is
// resolved, and its errors are reported at `at`.
[[nodiscard]] StepFailure read_value(ValueForm form, std::string_view text, ParseState& state,
                                     std::uint64_t block_threshold, SourcePosition at, DocValue& out);

}  // namespace vorn
