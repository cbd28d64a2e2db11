// Which item of a list as read each item of a new list is. Items keep their
// comments, anchor and lines wherever they go, so they are paired by what
// they are (an identity the caller gives), not by where they stand.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace vorn::edit {

// An item whose identity pairs it with nothing by itself.
inline constexpr std::uint64_t no_identity = std::numeric_limits<std::uint64_t>::max();

// For each new item, the index of the item read that it is, or
// no_item_paired. Items with equal identities are the same item: each new
// item takes the first item read of its identity not yet taken. Then the
// lists are cut where the paired items that keep their order stand, and in
// each stretch between two cuts the items left on both sides are paired in
// order: an item replaced in place counts as changed, not as one deleted
// and one inserted.
inline constexpr std::uint32_t no_item_paired = std::numeric_limits<std::uint32_t>::max();
std::vector<std::uint32_t> pair_items(std::span<const std::uint64_t> old_identities,
                                      std::span<const std::uint64_t> new_identities);

// The positions in `values` of one longest strictly increasing subsequence
// (values equal to no_item_paired are skipped), in order.
std::vector<std::size_t> longest_increasing_run(std::span<const std::uint32_t> values);

}  // namespace vorn::edit
