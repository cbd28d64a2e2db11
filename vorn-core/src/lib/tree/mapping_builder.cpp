#include "tree/mapping_builder.hpp"

#include <algorithm>
#include <array>
#include <numeric>

#include "tree/key_order.hpp"

namespace vorn {

void MappingBuilder::merge(std::span<const DocEntry> source) {
    check_on_top();
    if (empty()) {
        // Nothing is present yet: the source's entries, already in order,
        // are the mapping so far.
        stack_->insert(stack_->end(), source.begin(), source.end());
        note_top();
        return;
    }
    for (const DocEntry& entry : source) add(entry.key, entry.node, true);
}

[[gnu::hot]] void MappingBuilder::add(std::string_view key, const DocNode& node, bool only_if_absent) {
    check_on_top();
    if (!out_of_order_) {
        if (empty() || key_less(stack_->back().key, key)) {
            stack_->push_back({key, node});
            note_top();
            return;
        }
        // Still sorted: a key already present is found by binary search and
        // replaced (or kept, for a merged entry) in place.
        const std::span<DocEntry> entries = collected();
        auto it = std::lower_bound(
            entries.begin(), entries.end(), key,
            [](const DocEntry& entry, std::string_view wanted) { return key_less(entry.key, wanted); });
        if (it->key == key) {
            if (!only_if_absent) it->node = node;
            return;
        }
        // A new key below the last: it is absent, so even a merged entry
        // simply takes its place when the entries are sorted.
        out_of_order_ = true;
        for (std::size_t i = 0; i < entries.size(); ++i) merged_.push_back(false);
        only_if_absent = false;
    }
    stack_->push_back({key, node});
    note_top();
    merged_.push_back(only_if_absent);
}

[[gnu::hot]] DocValue MappingBuilder::finish(Arena& arena, ValueSink* sink) && {
    check_on_top();
    if (sink != nullptr) {
        const DocValue made = sink->finish_mapping(entries_in_order(arena));
        stack_->resize(start_);
        return made;
    }
    const std::span<const DocEntry> entries = out_of_order_ ? sorted(arena) : arena.copy<DocEntry>(collected());
    stack_->resize(start_);
    return DocValue::mapping(entries);
}

// Sorts the arrivals by key, keeping arrival order among equal keys, and
// replays each key's arrivals: a plain entry replaces what came before, a
// merged one counts only if nothing did.
std::span<const DocEntry> MappingBuilder::sorted(Arena& arena) {
    const std::span<const DocEntry> entries = collected();
    std::array<std::size_t, insertion_sort_limit> small_order;
    std::vector<std::size_t> large_order;
    const std::span<std::size_t> order =
        entries.size() <= small_order.size()
            ? std::span<std::size_t>(small_order.data(), entries.size())
            : std::span<std::size_t>(large_order = std::vector<std::size_t>(entries.size()));
    std::iota(order.begin(), order.end(), std::size_t{0});
    sort_by_key(
        order, [&entries](std::size_t i) { return std::string_view(entries[i].key); },
        [&entries](std::size_t a, std::size_t b) { return entries[a].key < entries[b].key; });

    // At most one entry per arrival; duplicates leave the end unused.
    auto* const result = static_cast<DocEntry*>(arena.allocate(entries.size_bytes(), alignof(DocEntry)));
    std::size_t kept = 0;
    keep_winners(
        order, [&entries](std::size_t a, std::size_t b) { return entries[a].key == entries[b].key; },
        [this](std::size_t i) { return !merged_[i]; }, [&](std::size_t i) { result[kept++] = entries[i]; });
    return {result, kept};
}

}  // namespace vorn
