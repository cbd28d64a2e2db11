// The bound on what aliases and merges may copy during one load.
// Nested aliases can make a few hundred bytes expand to billions of nodes,
// so every copy is counted before it is made and refused once the total
// would pass the limit. A node counts once, plus once more for every 64
// bytes of text it carries, so that long strings cannot slip through.
//
// The reader shares recorded values rather than copying them, but each
// position still becomes a value of its own when the tree is converted, so
// the count is what bounds that work.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "vorn/parse_error.hpp"

#include "read/source_position.hpp"
#include "tree/document.hpp"

namespace vorn {

// The limit for a document of `non_blank_lines` lines: a fixed allowance
// plus a share per line, so that long legitimate documents with many
// aliases still load.
std::uint64_t copy_limit_for(std::uint64_t non_blank_lines) noexcept;

class CopyBudget {
public:
    explicit CopyBudget(std::uint64_t limit) noexcept : limit_(limit) {}
    // The limit for the document `text`, worked out at the first charge:
    // most documents use no alias and never count their lines.
    explicit CopyBudget(std::string_view text) noexcept : text_(text) {}

    // Counts a copy of `value`, or, when its cost does not fit in what is
    // left, returns the error at `at` and counts nothing.
    // Counting stops once past the limit, so a refused copy costs no more
    // than the allowance.
    [[nodiscard]] std::optional<ParseError> charge(const DocValue& value, SourcePosition at);

    // The same for a copy whose cost an earlier charge of the same value
    // found.
    [[nodiscard]] std::optional<ParseError> charge_known(std::uint64_t cost, SourcePosition at);

    // The cost of the last copy that fitted.
    std::uint64_t last_cost() const noexcept { return last_cost_; }

    std::uint64_t used() const noexcept { return used_; }

private:
    struct PendingCost {
        DocValue value;
        std::uint64_t extra_bytes;  // key and comments of the node holding it
    };

    std::uint64_t copy_cost(const DocValue& value, std::uint64_t limit);
    std::uint64_t limit();

    std::optional<std::string_view> text_;
    std::uint64_t limit_ = 0;
    std::uint64_t used_ = 0;
    std::uint64_t last_cost_ = 0;
    std::vector<PendingCost> work_;
};

}  // namespace vorn
