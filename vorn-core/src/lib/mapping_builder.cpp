#include "mapping_builder.hpp"

#include <algorithm>
#include <numeric>
#include <string_view>

namespace vorn {

void MappingBuilder::put(std::string&& key, Node&& node) { add(std::move(key), std::move(node), false); }

void MappingBuilder::merge(Mapping&& source) {
    if (entries_.empty()) {
        // Nothing is present yet: the source's entries are the mapping.
        Scratch::give_back(std::move(entries_));
        entries_ = std::move(source.entries_);
        source.entries_.clear();
        return;
    }
    source.drain([this](std::string&& key, Node&& node) { add(std::move(key), std::move(node), true); });
}

void MappingBuilder::add(std::string&& key, Node&& node, bool only_if_absent) {
    if (entries_.capacity() == 0) entries_ = Scratch::take();
    if (!out_of_order_) {
        if (entries_.empty() || entries_.back().first < key) {
            entries_.emplace_back(std::move(key), std::move(node));
            return;
        }
        // Still sorted: a key already present is found by binary search and
        // replaced (or kept, for a merged entry) in place.
        auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                   [](const Mapping::Entry& entry, const std::string& wanted) {
                                       return entry.first < wanted;
                                   });
        if (it->first == key) {
            if (!only_if_absent) it->second = std::move(node);
            return;
        }
        // A new key below the last: it is absent, so even a merged entry
        // simply takes its place when the entries are sorted.
        leave_order();
        only_if_absent = false;
    }
    entries_.emplace_back(std::move(key), std::move(node));
    merged_.push_back(only_if_absent);
}

void MappingBuilder::leave_order() {
    out_of_order_ = true;
    merged_.assign(entries_.size(), false);
}

Mapping MappingBuilder::finish() && {
    if (!out_of_order_) return Mapping(Scratch::exact_copy(std::move(entries_)));
    return sorted();
}

// Sorts the arrivals by key, keeping arrival order among equal keys, and
// replays each key's arrivals: a plain entry replaces what came before, a
// merged one counts only if nothing did.
Mapping MappingBuilder::sorted() {
    std::vector<std::size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return entries_[a].first < entries_[b].first;
    });

    std::vector<Mapping::Entry> result;
    result.reserve(order.size());
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first;
        std::size_t winner = order[first];
        while (last + 1 < order.size() && entries_[order[last + 1]].first == entries_[winner].first) {
            ++last;
            if (!merged_[order[last]]) winner = order[last];
        }
        result.push_back(std::move(entries_[winner]));
        first = last + 1;
    }
    return Mapping(std::move(result));
}

}  // namespace vorn
