#include "copy_budget.hpp"

#include <string>

namespace vorn {

std::uint64_t copy_limit_for(std::uint64_t non_blank_lines) noexcept {
    return 1'000'000 + 10 * non_blank_lines;
}

Result<Value> CopyBudget::copy(const Value& value, std::uint64_t line, std::uint64_t column) {
    const std::uint64_t left = limit_ - used_;
    const std::uint64_t nodes = count_values(value, left);
    if (nodes > left) {
        return ParseError{"alias expansion exceeds limit of " + std::to_string(limit_) + " nodes", line, column};
    }
    used_ += nodes;
    return deep_copy(value);
}

}  // namespace vorn
