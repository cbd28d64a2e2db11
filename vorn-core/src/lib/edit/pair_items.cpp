#include "edit/pair_items.hpp"

#include <algorithm>
#include <unordered_map>

namespace vorn::edit {

std::vector<std::size_t> longest_increasing_run(std::span<const std::uint32_t> values) {
    // Patience sorting: tails[k] is the position of the smallest value that
    // ends a run of k + 1, and each position remembers the one before it.
    std::vector<std::size_t> tails;
    std::vector<std::size_t> before(values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] == no_item_paired) continue;
        const auto at = std::lower_bound(tails.begin(), tails.end(), values[i],
                                         [&](std::size_t tail, std::uint32_t value) { return values[tail] < value; });
        if (at != tails.begin()) before[i] = *(at - 1);
        if (at == tails.end()) {
            tails.push_back(i);
        } else {
            *at = i;
        }
    }
    std::vector<std::size_t> run(tails.size());
    std::size_t at = tails.empty() ? values.size() : tails.back();
    for (std::size_t k = run.size(); k-- > 0;) {
        run[k] = at;
        at = before[at];
    }
    return run;
}

std::vector<std::uint32_t> pair_items(std::span<const std::uint64_t> old_identities,
                                      std::span<const std::uint64_t> new_identities) {
    std::vector<std::uint32_t> paired(new_identities.size(), no_item_paired);
    // The items read of each identity, in order, and how many are taken.
    std::unordered_map<std::uint64_t, std::pair<std::vector<std::uint32_t>, std::size_t>> by_identity;
    for (std::size_t i = 0; i < old_identities.size(); ++i) {
        if (old_identities[i] != no_identity)
            by_identity[old_identities[i]].first.push_back(static_cast<std::uint32_t>(i));
    }
    for (std::size_t i = 0; i < new_identities.size(); ++i) {
        if (new_identities[i] == no_identity) continue;
        const auto found = by_identity.find(new_identities[i]);
        if (found == by_identity.end()) continue;
        auto& [olds, taken] = found->second;
        if (taken < olds.size()) paired[i] = olds[taken++];
    }
    // Cut both lists at the paired items that keep their order; pair what
    // is left in each stretch in order.
    const std::vector<std::size_t> staying = longest_increasing_run(paired);
    std::vector<bool> old_taken(old_identities.size(), false);
    for (const std::uint32_t old : paired)
        if (old != no_item_paired) old_taken[old] = true;
    std::size_t new_from = 0;
    std::size_t old_from = 0;
    for (std::size_t cut = 0; cut <= staying.size(); ++cut) {
        const std::size_t new_to = cut < staying.size() ? staying[cut] : new_identities.size();
        const std::size_t old_to = cut < staying.size() ? paired[staying[cut]] : old_identities.size();
        std::size_t old_at = old_from;
        for (std::size_t i = new_from; i < new_to; ++i) {
            if (paired[i] != no_item_paired) continue;
            while (old_at < old_to && old_taken[old_at]) ++old_at;
            if (old_at == old_to) break;
            paired[i] = static_cast<std::uint32_t>(old_at);
            old_taken[old_at] = true;
        }
        new_from = new_to + 1;
        old_from = old_to + 1;
    }
    return paired;
}

}  // namespace vorn::edit
