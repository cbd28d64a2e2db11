// A sequence whose items changed. Items are paired by what they are (the
// change names the item read that each new one is), so an item kept, moved
// or reordered takes its comment lines, inline comment and anchor with it;
// an item deleted takes its comment lines with it; an item inserted has none.
#include <optional>
#include <string>

#include "edit/pair_items.hpp"
#include "edit/planner.hpp"

namespace vorn::edit {

void Planner::plan_sequence(const ValueAt& at) {
    const std::uint32_t owner = at.record;
    const Change& change = changes_.at(at.change);
    const DocValue& old = *at.old;
    const std::span<const ItemStep> steps = changes_.items(change);
    const std::vector<std::uint32_t> items = children(owner);
    VORN_ASSERT(!items.empty() && items.size() == old.items().size());
    if (steps.empty()) {
        replace_value(at, Value::empty_sequence());
        return;
    }
    // The items read that keep their place: the longest run of them that
    // keeps its order. The other items read that stay in the list move.
    // The items at their own index from either end stay, so the run is
    // sought only between them.
    std::vector<bool> stays(steps.size(), false);
    std::size_t head = 0;
    while (head < steps.size() && steps[head].old_index == head) stays[head++] = true;
    std::size_t tail = 0;
    while (tail < steps.size() - head && tail < items.size() &&
           steps[steps.size() - 1 - tail].old_index == items.size() - 1 - tail)
        stays[steps.size() - 1 - tail++] = true;
    std::vector<std::uint32_t> old_indices(steps.size() - head - tail);
    for (std::size_t i = 0; i < old_indices.size(); ++i) {
        const std::uint32_t old_index = steps[head + i].old_index;
        old_indices[i] = old_index == no_item ? no_item_paired : old_index;
    }
    for (const std::size_t position : longest_increasing_run(old_indices)) stays[head + position] = true;
    std::vector<bool> kept(items.size(), false);
    for (const ItemStep& step : steps)
        if (step.old_index != no_item) kept[step.old_index] = true;

    for (std::size_t k = 0; k < items.size(); ++k)
        if (!kept[k]) remove_lines(items[k]);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ItemStep& step = steps[i];
        if (step.old_index == no_item) continue;
        const std::uint32_t item = items[step.old_index];
        if (step.change != no_change)
            pending_.push_back({item, &old.items()[step.old_index].value, step.change, path_step(at.path, i)});
        if (!stays[i]) moved_.push_back(item);
    }

    // Each item inserted or moved goes after the staying item before it in
    // the new list, or, with none before it, before the first staying item.
    std::optional<std::uint32_t> first_staying;
    for (std::size_t i = 0; i < steps.size() && !first_staying; ++i)
        if (stays[i]) first_staying = items[steps[i].old_index];
    const std::uint32_t indent = record(items.front()).indent;
    const std::uint32_t depth = facts(items.front()).depth;
    std::optional<std::uint32_t> previous;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ItemStep& step = steps[i];
        if (stays[i]) {
            previous = items[step.old_index];
            continue;
        }
        const std::uint32_t offset =
            previous ? lines_end(*previous) : lines_begin(first_staying ? *first_staying : items.front());
        if (step.old_index != no_item) {
            insertions_.push_back(InsertedPiece{offset, depth, {}, items[step.old_index], no_threshold});
            continue;
        }
        const Fragment fragment =
            checked(write_entry_fragment(indent, std::nullopt, changes_.at(step.change).value, style_near(owner), true),
                    path_step(at.path, i));
        insert(offset, depth, with_newlines(fragment.line + "\n" + fragment.below), fragment.open_threshold);
    }
}

}  // namespace vorn::edit
