#include "vorn/parse_error.hpp"

namespace vorn {

std::string ParseError::render() const {
    std::string text = "parse error at line ";
    text += std::to_string(line);
    text += ", column ";
    text += std::to_string(column);
    text += ": ";
    text += message;
    return text;
}

}  // namespace vorn
