// The format version every document carries: the root mapping holds
// `version_key` with a string that, trimmed of White_Space, is
// `format_version`. The reader refuses any other document, and the checked
// writer any other root.
#pragma once

#include <string_view>

namespace vorn {

inline constexpr std::string_view version_key = "_vorn_version";
inline constexpr std::string_view format_version = "1.0";

// Whether the stored value of `version_key` is one the reader accepts.
bool is_accepted_version(std::string_view stored) noexcept;

}  // namespace vorn
