// Where an error found while reading a line is reported: the line, the
// column as the messages give it, and the byte of the text it points at.
#pragma once

#include <cstdint>
#include <string>

#include "vorn/parse_error.hpp"

namespace vorn {

// The line that made a record, the column of its colon (or 1 for a bare
// item), and the offset in the text of that colon or item.
struct SourcePosition {
    std::uint64_t line = 0;
    std::uint64_t column = 1;
    std::uint64_t offset = 0;
};

inline ParseError error_at(std::string message, SourcePosition at) {
    return ParseError{std::move(message), at.line, at.column, at.offset};
}

}  // namespace vorn
