// The reading side's one error value: a message, the 1-based line and byte
// column it refers to, and the byte of the text it points at.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

struct ParseError {
    std::string message;
    std::uint64_t line = 1;
    std::uint64_t column = 1;
    // The offset in the document text of the byte the error points at: the
    // first tab, the colon of an entry, the start of a line's content. The
    // column counts from the content's start, so a caller showing the fault
    // in an editor's terms needs the byte itself. Not part of render().
    std::uint64_t offset = 0;

    // "parse error at line L, column C: message" -- the only rendering.
    std::string render() const;

    friend bool operator==(const ParseError&, const ParseError&) = default;
};

}  // namespace vorn
