// The reading side's one error value: a message and the 1-based line and
// byte column it refers to.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

struct ParseError {
    std::string message;
    std::uint64_t line = 1;
    std::uint64_t column = 1;

    // "parse error at line L, column C: message" -- the only rendering.
    std::string render() const;

    friend bool operator==(const ParseError&, const ParseError&) = default;
};

}  // namespace vorn
