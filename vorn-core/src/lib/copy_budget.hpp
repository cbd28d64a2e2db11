// The bound on what anchors, aliases and merges may copy during one load.
// Nested aliases can make a few hundred bytes expand to billions of nodes,
// so every copy is counted before it is made and refused once the total
// would pass the limit. A node counts once, plus once more for every 64
// bytes of text it carries, so that long strings cannot slip through.
#pragma once

#include <cstdint>
#include <vector>

#include "vorn/result.hpp"
#include "vorn/value.hpp"

namespace vorn {

// The limit for a document of `non_blank_lines` lines: a fixed allowance
// plus a share per line, so that long legitimate documents with many
// aliases still load.
std::uint64_t copy_limit_for(std::uint64_t non_blank_lines) noexcept;

class CopyBudget {
public:
    explicit CopyBudget(std::uint64_t limit) noexcept : limit_(limit) {}

    // A deep copy of `value`, or, when its cost does not fit in what is
    // left, the error at (line, column). Counting stops once past the
    // limit, so a refused copy costs no more than the allowance.
    Result<Value> copy(const Value& value, std::uint64_t line, std::uint64_t column);

    std::uint64_t used() const noexcept { return used_; }

private:
    struct PendingCost {
        const Value* value;
        std::uint64_t extra_bytes;  // key and comments of the node holding it
    };

    std::uint64_t copy_cost(const Value& value, std::uint64_t limit);

    std::uint64_t limit_;
    std::uint64_t used_ = 0;
    std::vector<PendingCost> work_;
};

}  // namespace vorn
