// Line preparation: the text split into its non-blank lines, each trimmed
// and measured, before any parsing.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "vorn/result.hpp"

namespace vorn {

struct SourceLine {
    // The line without White_Space at either end; never empty. A view into
    // the document text.
    std::string_view text;
    // Spaces (U+0020 only) at the very start of the line.
    std::uint64_t indent = 0;
    // 1-based physical line number; blank lines are counted.
    std::uint64_t number = 0;
};

// Splits at LF (dropping one CR before it), refuses a tab on any line, and
// keeps the non-blank lines. The views stay valid as long as `text` does.
Result<std::vector<SourceLine>> prepare_lines(std::string_view text);

}  // namespace vorn
