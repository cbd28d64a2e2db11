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
    // The items at their own index from either end stay where they are;
    // between them (the middle), the items read that keep their place are
    // the longest run that keeps its order, and the others move.
    std::size_t head = 0;
    while (head < steps.size() && steps[head].old_index == head) ++head;
    std::size_t tail = 0;
    while (tail < steps.size() - head && tail < items.size() - head &&
           steps[steps.size() - 1 - tail].old_index == items.size() - 1 - tail)
        ++tail;
    const std::size_t middle_end = steps.size() - tail;
    const std::size_t old_middle_end = items.size() - tail;
    std::vector<std::uint32_t> old_indices(middle_end - head);
    for (std::size_t i = 0; i < old_indices.size(); ++i) {
        const std::uint32_t old_index = steps[head + i].old_index;
        old_indices[i] = old_index == no_item ? no_item_paired : old_index;
    }
    std::vector<char> stays(old_indices.size(), 0);
    for (const std::size_t position : longest_increasing_run(old_indices)) stays[position] = 1;
    const auto staying = [&](std::size_t i) { return i < head || i >= middle_end || stays[i - head] != 0; };

    // The items read in the middle that no step names are deleted.
    std::vector<char> kept(old_middle_end - head, 0);
    for (std::size_t i = head; i < middle_end; ++i)
        if (steps[i].old_index != no_item) {
            VORN_ASSERT(steps[i].old_index >= head && steps[i].old_index < old_middle_end);
            kept[steps[i].old_index - head] = 1;
        }
    for (std::size_t k = head; k < old_middle_end; ++k)
        if (kept[k - head] == 0) remove_lines(items[k]);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ItemStep& step = steps[i];
        if (step.old_index == no_item) continue;
        const std::uint32_t item = items[step.old_index];
        if (step.change != no_change)
            pending_.push_back({item, &old.items()[step.old_index].value, step.change, path_step(at.path, i)});
        if (!staying(i)) moved_.push_back(item);
    }

    // Each item inserted or moved goes after the staying item before it in
    // the new list, or, with none before it, before the first staying item.
    std::optional<std::uint32_t> first_staying;
    for (std::size_t i = 0; i < steps.size() && !first_staying; ++i)
        if (staying(i)) first_staying = items[steps[i].old_index];
    const std::uint32_t indent = record(items.front()).indent;
    const std::uint32_t depth = facts(items.front()).depth;
    std::optional<std::uint32_t> previous;
    if (head > 0) previous = items[head - 1];
    for (std::size_t i = head; i < middle_end; ++i) {
        const ItemStep& step = steps[i];
        if (staying(i)) {
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
