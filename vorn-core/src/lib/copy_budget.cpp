#include "copy_budget.hpp"

#include <string>
#include <vector>

namespace vorn {

namespace {

// Long strings cost more than one node: otherwise a few nested aliases of
// one long literal block (or key, or comment) would stay far below the limit
// while copying gigabytes.
constexpr std::uint64_t bytes_per_node = 64;

std::uint64_t annotation_bytes(const Node& node) {
    std::uint64_t bytes = node.inline_comment ? node.inline_comment->size() : 0;
    for (const CommentLine& comment : node.comments) bytes += comment.text.size();
    return bytes;
}

}  // namespace

// What copying `value` costs: one per value, plus one per 64 bytes of the
// strings that go with it (its text, its key, its node's comments).
// Stops counting once the cost passes `limit`.
std::uint64_t CopyBudget::copy_cost(const Value& value, std::uint64_t limit) {
    std::uint64_t cost = 0;
    // work_ keeps its storage between calls: no allocation per alias.
    work_.clear();
    work_.push_back({&value, 0});
    while (!work_.empty() && cost <= limit) {
        const auto [current, extra_bytes] = work_.back();
        work_.pop_back();
        std::uint64_t bytes = extra_bytes;
        if (current->is_scalar()) {
            bytes += current->scalar().size();
        } else if (current->is_sequence()) {
            for (const Node& node : current->sequence()) work_.push_back({&node.value, annotation_bytes(node)});
        } else {
            for (const auto& [key, node] : current->mapping())
                work_.push_back({&node.value, key.size() + annotation_bytes(node)});
        }
        cost += 1 + bytes / bytes_per_node;
    }
    return cost;
}

std::uint64_t copy_limit_for(std::uint64_t non_blank_lines) noexcept {
    return 1'000'000 + 10 * non_blank_lines;
}

Result<Value> CopyBudget::copy(const Value& value, std::uint64_t line, std::uint64_t column) {
    const std::uint64_t left = limit_ - used_;
    const std::uint64_t cost = copy_cost(value, left);
    if (cost > left) {
        return ParseError{"alias expansion exceeds limit of " + std::to_string(limit_) + " nodes", line, column};
    }
    used_ += cost;
    return deep_copy(value);
}

}  // namespace vorn
