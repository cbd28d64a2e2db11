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

namespace {

// The first eight bytes of `key` as a big-endian number, zero-padded: one
// integer comparison orders keys that differ there as memcmp would.
std::uint64_t key_prefix(std::string_view key) noexcept {
    std::uint64_t prefix = 0;
    const std::size_t length = std::min<std::size_t>(key.size(), 8);
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < length ? static_cast<unsigned char>(key[i]) : 0u);
    return prefix;
}

template <typename Entry>
bool key_less(const Entry& a, const Entry& b) noexcept {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return a.key < b.key;
}

// Mappings up to this size are sorted by insertion, which needs no buffer.
constexpr std::size_t insertion_sort_limit = 16;

// A stable sort by key.
template <typename Entry>
void sort_by_key(std::vector<Entry>& entries) {
    if (entries.size() > insertion_sort_limit) {
        std::stable_sort(entries.begin(), entries.end(), key_less<Entry>);
        return;
    }
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const Entry moving = entries[i];
        std::size_t j = i;
        for (; j > 0 && key_less(moving, entries[j - 1]); --j) entries[j] = entries[j - 1];
        entries[j] = moving;
    }
}

}  // namespace

// Appends to orders_ the count and then the positions of the mapping's
// entries sorted by key, of equal keys only the one added last.
void FlatTreeBuilder::store_key_order(const OpenContainer& mapping) {
    sorting_.clear();
    const std::size_t end = tree_.nodes_[mapping.position].end;
    for (std::size_t entry = mapping.position + 1; entry != end; entry = tree_.next_sibling(entry)) {
        const std::string_view key = tree_.nodes_[entry].key;
        sorting_.push_back({key_prefix(key), key, entry});
    }
    sort_by_key(sorting_);

    std::vector<std::size_t>& orders = tree_.orders_;
    const std::size_t count_at = orders.size();
    orders.push_back(0);
    for (std::size_t i = 0; i < sorting_.size(); ++i) {
        const bool later_one_wins = i + 1 < sorting_.size() && sorting_[i + 1].key == sorting_[i].key;
        if (!later_one_wins) orders.push_back(sorting_[i].position);
    }
    orders[count_at] = orders.size() - count_at - 1;
    tree_.nodes_[mapping.position].order = count_at + 1;
}

}  // namespace vorn
