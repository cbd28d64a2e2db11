// The two line steps of the block parser: one entry line of the mapping on
// top of the stack, or one item line of the sequence on top. Each reads
// the line that state.peek() shows (and a literal block's lines after it),
// then adds an entry or item to the frame or leaves a pending one that
// awaits the nested block.
#pragma once

#include "read/parse_frames.hpp"
#include "read/parse_state.hpp"

namespace vorn {

// With kRecording, each also records its line in state.syntax; the reader
// for values alone is compiled without a trace of that.
template <bool kRecording>
[[nodiscard]] StepFailure read_mapping_entry(MappingFrame& frame, ParseState& state);

template <bool kRecording>
[[nodiscard]] StepFailure read_sequence_item(SequenceFrame& frame, ParseState& state);

}  // namespace vorn
