#include "edit/verify.hpp"

#include <string_view>
#include <unordered_map>

namespace vorn::edit {

namespace {

// A value as the walk meets it: read (a DocValue) or made (a Value).
struct Side {
    const DocValue* read = nullptr;
    const Value* made = nullptr;

    bool is_scalar() const { return read != nullptr ? read->is_scalar() : made->is_scalar(); }
    bool is_sequence() const { return read != nullptr ? read->is_sequence() : made->is_sequence(); }
    std::size_t size() const {
        if (read != nullptr) return read->is_sequence() ? read->items().size() : read->entries().size();
        return made->is_sequence() ? made->sequence().size() : made->mapping().size();
    }
};

bool same_text(const DocValue& scalar, std::string_view text) {
    if (scalar.text_size() != text.size()) return false;
    return scalar.is_block_text() ? scalar_text(scalar) == text : scalar.text() == text;
}

// Whether a value read equals one read or made, without recursion.
bool same(const DocValue& now, Side expected) {
    std::vector<std::pair<const DocValue*, Side>> pending{{&now, expected}};
    while (!pending.empty()) {
        const auto [value, other] = pending.back();
        pending.pop_back();
        if (value->is_scalar() != other.is_scalar()) return false;
        if (value->is_scalar()) {
            const bool equal = other.read != nullptr ? same_text(*value, scalar_text(*other.read))
                                                     : same_text(*value, other.made->scalar());
            if (!equal) return false;
            continue;
        }
        if (value->is_sequence() != other.is_sequence()) return false;
        const std::size_t size = value->is_sequence() ? value->items().size() : value->entries().size();
        if (size != other.size()) return false;
        if (value->is_sequence()) {
            for (std::size_t i = 0; i < size; ++i) {
                Side item = other.read != nullptr ? Side{&other.read->items()[i].value, nullptr}
                                                  : Side{nullptr, &other.made->sequence()[i].value};
                pending.emplace_back(&value->items()[i].value, item);
            }
            continue;
        }
        for (const DocEntry& entry : value->entries()) {
            if (other.read != nullptr) {
                const DocNode* found = other.read->find(entry.key);
                if (found == nullptr) return false;
                pending.emplace_back(&entry.node.value, Side{&found->value, nullptr});
            } else {
                const Node* found = other.made->mapping().find(entry.key);
                if (found == nullptr) return false;
                pending.emplace_back(&entry.node.value, Side{nullptr, &found->value});
            }
        }
    }
    return true;
}

struct Pending {
    const DocValue* now;
    const DocValue* old;
    std::uint32_t change;
    std::vector<DataStep> path;
};

}  // namespace

std::optional<std::vector<DataStep>> first_difference(const DocValue& now, const DocValue& old,
                                                      const ChangeSet& changes, std::uint32_t change) {
    std::vector<Pending> pending{{&now, &old, change, {}}};
    while (!pending.empty()) {
        Pending at = std::move(pending.back());
        pending.pop_back();
        if (at.change == no_change) {
            if (!same(*at.now, Side{at.old, nullptr})) return at.path;
            continue;
        }
        const Change& how = changes.at(at.change);
        const auto step_into = [&](DataStep step) {
            std::vector<DataStep> path = at.path;
            path.push_back(std::move(step));
            return path;
        };
        switch (how.kind) {
            case ChangeKind::replaced:
                if (!same(*at.now, Side{nullptr, &how.value})) return at.path;
                break;
            case ChangeKind::mapping: {
                if (!at.now->is_mapping() || !at.old->is_mapping()) return at.path;
                std::unordered_map<std::string_view, const EntryStep*> steps;
                std::size_t expected = at.old->entries().size();
                for (const EntryStep& step : changes.entries(how)) {
                    steps.emplace(step.key, &step);
                    expected += step.what == EntryChange::added ? 1 : step.what == EntryChange::gone ? -1 : 0;
                }
                if (at.now->entries().size() != expected) return at.path;
                for (const DocEntry& entry : at.now->entries()) {
                    const auto found = steps.find(entry.key);
                    const EntryStep* step = found == steps.end() ? nullptr : found->second;
                    if (step != nullptr && step->what == EntryChange::gone) return step_into(std::string(entry.key));
                    if (step != nullptr && step->what == EntryChange::added) {
                        if (!same(entry.node.value, Side{nullptr, &changes.at(step->change).value}))
                            return step_into(std::string(entry.key));
                        continue;
                    }
                    const DocNode* was = at.old->find(entry.key);
                    if (was == nullptr) return step_into(std::string(entry.key));
                    pending.push_back({&entry.node.value, &was->value, step == nullptr ? no_change : step->change,
                                       step_into(std::string(entry.key))});
                }
                break;
            }
            case ChangeKind::sequence: {
                const auto steps = changes.items(how);
                if (!at.now->is_sequence() || !at.old->is_sequence() || at.now->items().size() != steps.size())
                    return at.path;
                for (std::size_t i = 0; i < steps.size(); ++i) {
                    const DocValue& item = at.now->items()[i].value;
                    if (steps[i].old_index == no_item) {
                        if (!same(item, Side{nullptr, &changes.at(steps[i].change).value})) return step_into(i);
                        continue;
                    }
                    pending.push_back(
                        {&item, &at.old->items()[steps[i].old_index].value, steps[i].change, step_into(i)});
                }
                break;
            }
        }
    }
    return std::nullopt;
}

}  // namespace vorn::edit
