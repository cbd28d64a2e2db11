#include "write/flat_tree.hpp"

#include <algorithm>
#include <span>
#include <utility>

#include "tree/key_order.hpp"

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
    sorting_.clear();
    const std::size_t end = tree_.nodes_[mapping.position].end;
    for (std::size_t entry = mapping.position + 1; entry != end; entry = tree_.next_sibling(entry)) {
        const std::string_view key = tree_.nodes_[entry].key;
        sorting_.push_back({key_prefix(key), key, entry});
    }
    using Keyed = KeyedEntry;
    const std::span<Keyed> keyed(sorting_);
    sort_by_key(keyed, [](const Keyed& entry) { return entry.key; }, prefixed_key_less<Keyed>);

    std::vector<std::size_t>& orders = tree_.orders_;
    const std::size_t count_at = orders.size();
    orders.push_back(0);
    keep_winners(
        keyed, [](const Keyed& a, const Keyed& b) { return a.prefix == b.prefix && a.key == b.key; },
        [](const Keyed&) { return true; }, [&orders](const Keyed& entry) { orders.push_back(entry.position); });
    orders[count_at] = orders.size() - count_at - 1;
    tree_.nodes_[mapping.position].order = count_at + 1;
}

Value to_value(const FlatTree& tree, std::size_t position) {
    Value result;
    // Each container's children are made once the container is in place.
    std::vector<std::pair<Value*, std::size_t>> pending{{&result, position}};
    while (!pending.empty()) {
        const auto [target, at] = pending.back();
        pending.pop_back();
        const FlatTree::Node& node = tree.at(at);
        if (node.kind == FlatTree::Kind::scalar) {
            *target = Value(std::string(node.text));
            continue;
        }
        // The children in the order written: a mapping's in key order, each
        // key once.
        std::vector<std::size_t> children;
        if (node.order != 0) {
            children.assign(tree.ordered_begin(node), tree.ordered_end(node));
        } else {
            for (std::size_t child = at + 1; child < node.end; child = tree.next_sibling(child))
                children.push_back(child);
        }
        if (node.kind == FlatTree::Kind::sequence) {
            Sequence items;
            items.reserve(children.size());
            for (std::size_t i = 0; i < children.size(); ++i) items.append_empty();
            *target = Value(std::move(items));
            for (std::size_t i = 0; i < children.size(); ++i)
                pending.emplace_back(&target->sequence()[i].value, children[i]);
            continue;
        }
        Mapping entries;
        entries.reserve(children.size());
        for (const std::size_t child : children) entries.append_in_order(std::string(tree.at(child).key), Node());
        *target = Value(std::move(entries));
        auto entry = target->mapping().begin();
        for (const std::size_t child : children) pending.emplace_back(&(entry++)->second.value, child);
    }
    return result;
}

}  // namespace vorn
