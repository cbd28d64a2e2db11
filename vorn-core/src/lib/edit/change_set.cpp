#include "edit/change_set.hpp"

#include <string_view>
#include <unordered_map>
#include <utility>

namespace vorn::edit {

std::uint32_t ChangeSet::add(Change change) {
    VORN_ASSERT(changes_.size() < no_change);
    changes_.push_back(std::move(change));
    return static_cast<std::uint32_t>(changes_.size() - 1);
}

std::uint32_t ChangeSet::add_replaced(Value value) {
    Change change;
    change.value = std::move(value);
    return add(std::move(change));
}

std::uint32_t ChangeSet::add_mapping(std::vector<EntryStep> steps) {
    Change change;
    change.kind = ChangeKind::mapping;
    change.first_step = static_cast<std::uint32_t>(entry_steps_.size());
    change.step_count = static_cast<std::uint32_t>(steps.size());
    for (EntryStep& step : steps) entry_steps_.push_back(std::move(step));
    return add(std::move(change));
}

std::uint32_t ChangeSet::add_sequence(std::vector<ItemStep> steps) {
    Change change;
    change.kind = ChangeKind::sequence;
    change.first_step = static_cast<std::uint32_t>(item_steps_.size());
    change.step_count = static_cast<std::uint32_t>(steps.size());
    item_steps_.insert(item_steps_.end(), steps.begin(), steps.end());
    return add(std::move(change));
}

namespace {

// One container being built: where it goes, and what is left to put in it.
struct OpenBuild {
    Value* target;
    const DocValue* old;
    std::uint32_t change;
};

}  // namespace

Value materialize(const DocValue& old, const ChangeSet& changes, std::uint32_t change) {
    Value result;
    std::vector<OpenBuild> pending{{&result, &old, change}};
    while (!pending.empty()) {
        const OpenBuild build = pending.back();
        pending.pop_back();
        if (build.change != no_change && changes.at(build.change).kind == ChangeKind::replaced) {
            *build.target = deep_copy(changes.at(build.change).value);
            continue;
        }
        const DocValue& value = *build.old;
        if (value.is_scalar()) {
            *build.target = Value(scalar_text(value));
            continue;
        }
        if (value.is_sequence()) {
            Sequence items;
            std::vector<std::pair<const DocValue*, std::uint32_t>> sources;
            if (build.change == no_change) {
                for (const DocNode& node : value.items()) sources.emplace_back(&node.value, no_change);
            } else {
                for (const ItemStep& step : changes.items(changes.at(build.change))) {
                    if (step.old_index == no_item) {
                        sources.emplace_back(nullptr, step.change);
                    } else {
                        sources.emplace_back(&value.items()[step.old_index].value, step.change);
                    }
                }
            }
            items.reserve(sources.size());
            for (std::size_t i = 0; i < sources.size(); ++i) items.append_empty();
            *build.target = Value(std::move(items));
            Sequence& built = build.target->sequence();
            for (std::size_t i = 0; i < sources.size(); ++i) {
                if (sources[i].first == nullptr) {
                    built[i].value = deep_copy(changes.at(sources[i].second).value);
                } else {
                    pending.push_back({&built[i].value, sources[i].first, sources[i].second});
                }
            }
            continue;
        }
        // A mapping: its entries as read, less those gone, with those
        // changed and added.
        Mapping entries;
        // Each key changed or gone, to its change (no_item: gone).
        std::unordered_map<std::string_view, std::uint32_t> changed;
        if (build.change != no_change) {
            for (const EntryStep& step : changes.entries(changes.at(build.change))) {
                if (step.what == EntryChange::added) {
                    entries.insert(step.key, Node(deep_copy(changes.at(step.change).value)));
                } else {
                    changed.emplace(step.key, step.what == EntryChange::gone ? no_item : step.change);
                }
            }
        }
        std::vector<std::pair<std::string_view, std::pair<const DocValue*, std::uint32_t>>> kept;
        for (const DocEntry& entry : value.entries()) {
            const auto found = changed.find(entry.key);
            if (found == changed.end()) {
                kept.push_back({entry.key, {&entry.node.value, no_change}});
            } else if (found->second != no_item) {
                kept.push_back({entry.key, {&entry.node.value, found->second}});
            }
        }
        for (const auto& [key, source] : kept) entries.insert(std::string(key), Node());
        *build.target = Value(std::move(entries));
        Mapping& built = build.target->mapping();
        for (const auto& [key, source] : kept)
            pending.push_back({&built.find(key)->value, source.first, source.second});
    }
    return result;
}

}  // namespace vorn::edit
