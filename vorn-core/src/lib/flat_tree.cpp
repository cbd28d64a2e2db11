#include "vorn/flat_tree.hpp"

#include <algorithm>
#include <utility>

namespace vorn {

void FlatTreeBuilder::open(FlatTree::Kind kind, std::string_view key, std::size_t expected_children) {
    note_key(key);
    expect_line(key.size());
    std::vector<FlatTree::Node>& nodes = tree_.nodes_;
    const std::size_t wanted = nodes.size() + 1 + expected_children;
    if (wanted > nodes.capacity()) nodes.reserve(std::max(wanted, 2 * nodes.capacity()));
    open_.push_back({nodes.size(), kind == FlatTree::Kind::mapping, true, false, {}});
    nodes.push_back({key, {}, 0, 0, kind});
}

void FlatTreeBuilder::close() {
    const OpenContainer container = open_.back();
    open_.pop_back();
    tree_.nodes_[container.position].end = tree_.nodes_.size();
    if (container.is_mapping && !container.in_key_order) store_key_order(container);
}

// Appends to orders_ the count and then the positions of the mapping's
// entries sorted by key, of equal keys only the one added last.
void FlatTreeBuilder::store_key_order(const OpenContainer& mapping) {
    std::vector<std::size_t>& orders = tree_.orders_;
    const std::size_t count_at = orders.size();
    orders.push_back(0);
    const std::size_t end = tree_.nodes_[mapping.position].end;
    for (std::size_t entry = mapping.position + 1; entry != end; entry = tree_.next_sibling(entry))
        orders.push_back(entry);

    const auto first = orders.begin() + static_cast<std::ptrdiff_t>(count_at + 1);
    const std::vector<FlatTree::Node>& nodes = tree_.nodes_;
    std::stable_sort(first, orders.end(),
                     [&nodes](std::size_t a, std::size_t b) { return nodes[a].key < nodes[b].key; });
    auto kept = first;
    for (auto entry = first; entry != orders.end(); ++entry) {
        const auto next = entry + 1;
        if (next != orders.end() && nodes[*next].key == nodes[*entry].key) continue;  // a later one wins
        *kept++ = *entry;
    }
    orders.erase(kept, orders.end());
    orders[count_at] = orders.size() - count_at - 1;
    tree_.nodes_[mapping.position].order = count_at + 1;
}

}  // namespace vorn
