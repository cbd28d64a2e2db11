// A mapping under construction, as the reader makes one: entries arrive in
// document order, a later one replacing an earlier one under the same key,
// and merged entries only filling keys that are absent when they arrive.
//
// Entries are appended as they come. While they come in ascending key order
// (as in every document the writer made) the array is the finished mapping
// and nothing more is done; otherwise the entries are sorted once, when the
// mapping is finished, so that no arrival order costs more than n log n.
#pragma once

#include <string>
#include <vector>

#include "scratch_vectors.hpp"
#include "vorn/value.hpp"

namespace vorn {

class MappingBuilder {
public:
    MappingBuilder() noexcept = default;
    MappingBuilder(MappingBuilder&&) noexcept = default;
    MappingBuilder& operator=(MappingBuilder&&) noexcept = default;
    // Moved-from builders, the most common kind destroyed, have no buffer.
    ~MappingBuilder() {
        if (entries_.capacity() != 0) Scratch::give_back(std::move(entries_));
    }

    bool empty() const noexcept { return entries_.empty(); }

    // Adds the entry; a node already under `key` is replaced.
    void put(std::string&& key, Node&& node);

    // Adds each entry of `source` whose key is absent at this point.
    void merge(Mapping&& source);

    // The mapping, with every replacement and merge applied.
    Mapping finish() &&;

private:
    // Appends one entry; `only_if_absent` marks a merged one.
    void add(std::string&& key, Node&& node, bool only_if_absent);
    void leave_order();
    Mapping sorted();

    using Scratch = ScratchVectors<Mapping::Entry>;

    // Collected in a kept buffer, taken when the first entry arrives.
    std::vector<Mapping::Entry> entries_;
    // Set once an entry arrived out of key order; from then on, one flag per
    // entry telling whether it was merged.
    bool out_of_order_ = false;
    std::vector<bool> merged_;
};

}  // namespace vorn
