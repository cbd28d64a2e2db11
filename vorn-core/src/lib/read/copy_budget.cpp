#include "read/copy_budget.hpp"

#include <string>

#include "read/source_lines.hpp"

namespace vorn {

namespace {

// Long strings cost more than one node: otherwise a few nested aliases of
// one long literal block (or key, or comment) would stay far below the limit
// while copying gigabytes.
constexpr std::uint64_t bytes_per_node = 64;

std::uint64_t annotation_bytes(const DocNotes* notes) {
    if (notes == nullptr) return 0;
    std::uint64_t bytes = notes->inline_comment ? notes->inline_comment->size() : 0;
    for (const DocComment& comment : notes->comments) bytes += comment.text.size();
    return bytes;
}

}  // namespace

// What copying `value` costs: one per value, plus one per 64 bytes of the
// strings that go with it (its text, its key, its node's comments).
// Stops counting once the cost passes `limit`.
std::uint64_t CopyBudget::copy_cost(const DocValue& value, std::uint64_t limit) {
    std::uint64_t cost = 0;
    // work_ keeps its storage between calls: no allocation per alias.
    work_.clear();
    work_.push_back({value, 0});
    while (!work_.empty() && cost <= limit) {
        const auto [current, extra_bytes] = work_.back();
        work_.pop_back();
        std::uint64_t bytes = extra_bytes;
        if (current.is_scalar()) {
            bytes += current.text_size();
        } else if (current.is_sequence()) {
            for (const DocNode& node : current.items()) work_.push_back({node.value, annotation_bytes(node.notes)});
        } else {
            for (const DocEntry& entry : current.entries())
                work_.push_back({entry.node.value, entry.key.size() + annotation_bytes(entry.node.notes)});
        }
        cost += 1 + bytes / bytes_per_node;
    }
    return cost;
}

std::uint64_t copy_limit_for(std::uint64_t non_blank_lines) noexcept { return 1'000'000 + 10 * non_blank_lines; }

std::uint64_t CopyBudget::limit() {
    if (text_) {
        limit_ = copy_limit_for(count_non_blank_lines(*text_));
        text_.reset();
    }
    return limit_;
}

std::optional<ParseError> CopyBudget::charge(const DocValue& value, SourcePosition at) {
    return charge_known(copy_cost(value, limit() - used_), at);
}

std::optional<ParseError> CopyBudget::charge_known(std::uint64_t cost, SourcePosition at) {
    if (cost > limit() - used_) {
        return error_at("alias expansion exceeds limit of " + std::to_string(limit_) + " nodes", at);
    }
    used_ += cost;
    last_cost_ = cost;
    return std::nullopt;
}

}  // namespace vorn
