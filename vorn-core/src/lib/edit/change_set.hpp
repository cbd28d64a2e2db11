// How data differ from a document as read: the changes an edit makes,
// nested as the data are. The changes lie in one array, each after the
// changes inside it, so that neither a walk nor the destructor recurses on
// the depth of the data.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "vorn/assert.hpp"
#include "vorn/value.hpp"

#include "tree/document.hpp"

namespace vorn::edit {

inline constexpr std::uint32_t no_change = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::uint32_t no_item = std::numeric_limits<std::uint32_t>::max();

enum class ChangeKind : std::uint8_t {
    replaced,  // the value is other than it was read: `value` holds it
    mapping,   // a mapping whose entries changed: entry steps
    sequence,  // a sequence whose items changed: item steps
};

enum class EntryChange : std::uint8_t {
    changed,  // both hold the key; its value differs
    gone,     // only the mapping as read holds it
    added,    // only the data hold it
};

// One key of a mapping that changed. The keys changed and gone come in the
// order of the mapping as read, the keys added in the data's order.
struct EntryStep {
    EntryChange what;
    std::string key;
    // changed: how its value differs; added: a replaced change holding the
    // value; gone: no_change.
    std::uint32_t change = no_change;
};

// One item of a sequence's new list, in the new order. An item read that no
// step names was deleted.
struct ItemStep {
    // The index of the item as read that this one is, or no_item for an
    // item inserted.
    std::uint32_t old_index = no_item;
    // For an item read: how it differs, or no_change. For one inserted: a
    // replaced change holding it.
    std::uint32_t change = no_change;
};

struct Change {
    ChangeKind kind = ChangeKind::replaced;
    Value value;
    // A mapping's entry steps or a sequence's item steps.
    std::uint32_t first_step = 0;
    std::uint32_t step_count = 0;
};

class ChangeSet {
public:
    // The change of the root: no_change when the data hold what was read.
    std::uint32_t root() const noexcept { return root_; }
    bool empty() const noexcept { return root_ == no_change; }
    const Change& at(std::uint32_t change) const noexcept {
        VORN_ASSERT(change < changes_.size());
        return changes_[change];
    }
    std::span<const EntryStep> entries(const Change& change) const noexcept {
        VORN_ASSERT(change.kind == ChangeKind::mapping);
        return std::span(entry_steps_).subspan(change.first_step, change.step_count);
    }
    std::span<const ItemStep> items(const Change& change) const noexcept {
        VORN_ASSERT(change.kind == ChangeKind::sequence);
        return std::span(item_steps_).subspan(change.first_step, change.step_count);
    }

    // Building, from the innermost changes out: a container's change is
    // added once the changes of its children are.
    std::uint32_t add_replaced(Value value);
    std::uint32_t add_mapping(std::vector<EntryStep> steps);
    std::uint32_t add_sequence(std::vector<ItemStep> steps);
    void set_root(std::uint32_t change) noexcept { root_ = change; }

private:
    std::uint32_t add(Change change);

    std::vector<Change> changes_;
    std::vector<EntryStep> entry_steps_;
    std::vector<ItemStep> item_steps_;
    std::uint32_t root_ = no_change;
};

// The value `old` becomes with `change` (no_change: `old` itself), as an
// independent tree without comments. Walks without recursion.
Value materialize(const DocValue& old, const ChangeSet& changes, std::uint32_t change);

}  // namespace vorn::edit
