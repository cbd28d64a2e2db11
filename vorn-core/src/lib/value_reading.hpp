// Building the value that a value text stands for, once its form is known
// and it needs no nested block of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "parse_frames.hpp"
#include "parse_state.hpp"
#include "scalar_syntax.hpp"
#include "vorn/result.hpp"

namespace vorn {

// Takes the lines after the "|" line that are indented deeper than
// `threshold`, and joins them with line feeds, each keeping the spaces it
// has beyond the least indented of them.
std::string read_block_scalar(ParseState& state, std::uint64_t threshold);

// Stores in `out`, an empty scalar, the value for a form that needs no
// nested block (every form but `anchor`; `empty` leaves it as it is). The
// value is built where it stays, sparing the moves of a returned one. A
// literal block takes the lines deeper than `block_threshold`; an alias is
// resolved, and its errors are reported at `at`.
[[nodiscard]] StepFailure read_value(ValueForm form, std::string_view text, ParseState& state,
                                     std::uint64_t block_threshold, SourcePosition at, Value& out);

}  // namespace vorn
