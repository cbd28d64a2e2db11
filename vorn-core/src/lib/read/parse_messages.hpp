// Messages of the reading side that more than one step reports.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

inline constexpr std::string_view anchor_without_nested_value = "anchor without nested value";

inline std::string unknown_anchor(std::string_view name) {
    std::string message = "unknown anchor: ";
    message += name;
    return message;
}

// "merge source" and "inline mapping continuation" share one wording.
inline std::string must_be_mapping(std::string_view subject) {
    std::string message(subject);
    message += " must be a mapping";
    return message;
}

}  // namespace vorn
