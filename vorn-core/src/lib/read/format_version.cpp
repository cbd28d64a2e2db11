#include "vorn/format_version.hpp"

#include "text/trim.hpp"

namespace vorn {

[[gnu::hot]] bool is_accepted_version(std::string_view stored) noexcept { return trim(stored) == format_version; }

}  // namespace vorn
