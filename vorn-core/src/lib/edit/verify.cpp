#include "edit/verify.hpp"

#include <limits>
#include <string_view>
#include <unordered_map>

namespace vorn::edit {

namespace {

// What a value read back is compared with: a value as read with a change
// (no_change: the value as read itself), or a value made.
struct Expected {
    const DocValue* old = nullptr;
    std::uint32_t change = no_change;
    const Value* made = nullptr;
};

// A step from a container to one of its values. The walk keeps a place
// for each container it opens (its step and its container's place), so
// that a path is spelled only for the difference reported.
struct Step {
    std::uint32_t parent;
    bool is_key;
    std::string_view key;
    std::size_t index;
};

constexpr std::uint32_t root_place = std::numeric_limits<std::uint32_t>::max();

struct Pending {
    const DocValue* now;
    Expected expected;
    Step step;
};

// Whether two literal blocks made of whole lines join to the same text
// without joining them: the same source bytes, indented alike.
bool same_whole_lines(const BlockLines& a, const BlockLines& b) {
    return a.lines_whole && b.lines_whole && a.least_indent == b.least_indent &&
           a.first_indent - a.least_indent == b.first_indent - b.least_indent && a.source() == b.source();
}

bool same_text(const DocValue& scalar, const DocValue& other) {
    if (scalar.text_size() != other.text_size()) return false;
    if (!scalar.is_block_text() && !other.is_block_text()) return scalar.text() == other.text();
    if (scalar.is_block_text() && other.is_block_text() && same_whole_lines(scalar.block(), other.block())) return true;
    return scalar_text(scalar) == scalar_text(other);
}

bool same_text(const DocValue& scalar, std::string_view text) {
    if (scalar.text_size() != text.size()) return false;
    return scalar.is_block_text() ? scalar_text(scalar) == text : scalar.text() == text;
}

// The walk of first_difference: one stack for the whole tree, whatever its
// depth, and one table of places.
class Comparison {
public:
    explicit Comparison(const ChangeSet& changes) : changes_(changes) {}

    std::optional<std::vector<DataStep>> run(const DocValue& now, Expected expected) {
        places_.push_back({root_place, false, {}, 0});
        pending_.push_back({&now, expected, {root_place, false, {}, 0}});
        while (!pending_.empty()) {
            const Pending at = pending_.back();
            pending_.pop_back();
            if (!compare(at)) return path_of(failed_);
        }
        return std::nullopt;
    }

private:
    static Step key_step(std::uint32_t at, std::string_view key) { return {at, true, key, 0}; }
    static Step index_step(std::uint32_t at, std::size_t index) { return {at, false, {}, index}; }

    // The place of a container about to be opened (the root's is 0).
    std::uint32_t open(const Step& step) {
        if (step.parent == root_place) return 0;
        places_.push_back(step);
        return static_cast<std::uint32_t>(places_.size() - 1);
    }

    std::vector<DataStep> path_of(const Step& last) const {
        std::vector<DataStep> path;
        for (const Step* step = &last; step->parent != root_place; step = &places_[step->parent]) {
            if (step->is_key) {
                path.emplace_back(std::string(step->key));
            } else {
                path.emplace_back(step->index);
            }
        }
        return {path.rbegin(), path.rend()};
    }

    // Compares one value, queueing its children; false (with failed_ set)
    // at a difference.
    bool compare(const Pending& at) {
        failed_ = at.step;
        const DocValue& now = *at.now;
        if (now.is_scalar()) {
            if (at.expected.made != nullptr)
                return at.expected.made->is_scalar() && same_text(now, at.expected.made->scalar());
            if (at.expected.change == no_change)
                return at.expected.old->is_scalar() && same_text(now, *at.expected.old);
            const Change& how = changes_.at(at.expected.change);
            return how.kind == ChangeKind::replaced && how.value.is_scalar() && same_text(now, how.value.scalar());
        }
        const std::uint32_t here = open(at.step);
        if (at.expected.made != nullptr) return made_step(now, *at.expected.made, here);
        if (at.expected.change == no_change) return read_step(now, *at.expected.old, here);
        const Change& how = changes_.at(at.expected.change);
        switch (how.kind) {
            case ChangeKind::replaced:
                return made_step(now, how.value, here);
            case ChangeKind::mapping:
                return changed_mapping(now, *at.expected.old, how, here);
            case ChangeKind::sequence:
                return changed_sequence(now, *at.expected.old, how, here);
        }
        return false;
    }

    // Both read: a mapping's entries lie in key order on both sides.
    bool read_step(const DocValue& now, const DocValue& old, std::uint32_t at) {
        if (now.is_scalar() || old.is_scalar()) return now.is_scalar() && old.is_scalar() && same_text(now, old);
        if (now.is_sequence() != old.is_sequence()) return false;
        if (now.is_sequence()) {
            const auto items = now.items();
            const auto was = old.items();
            if (items.size() != was.size()) return false;
            pending_.reserve(pending_.size() + items.size());
            for (std::size_t i = 0; i < items.size(); ++i)
                pending_.push_back({&items[i].value, {&was[i].value, no_change, nullptr}, index_step(at, i)});
            return true;
        }
        const auto entries = now.entries();
        const auto was = old.entries();
        if (entries.size() != was.size()) return false;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].key != was[i].key) {
                failed_ = key_step(at, entries[i].key);
                return false;
            }
            pending_.push_back(
                {&entries[i].node.value, {&was[i].node.value, no_change, nullptr}, key_step(at, entries[i].key)});
        }
        return true;
    }

    bool made_step(const DocValue& now, const Value& made, std::uint32_t at) {
        if (now.is_scalar() || made.is_scalar())
            return now.is_scalar() && made.is_scalar() && same_text(now, made.scalar());
        if (now.is_sequence() != made.is_sequence()) return false;
        if (now.is_sequence()) {
            const auto items = now.items();
            if (items.size() != made.sequence().size()) return false;
            for (std::size_t i = 0; i < items.size(); ++i)
                pending_.push_back(
                    {&items[i].value, {nullptr, no_change, &made.sequence()[i].value}, index_step(at, i)});
            return true;
        }
        if (now.entries().size() != made.mapping().size()) return false;
        for (const DocEntry& entry : now.entries()) {
            const Node* found = made.mapping().find(entry.key);
            if (found == nullptr) {
                failed_ = key_step(at, entry.key);
                return false;
            }
            pending_.push_back({&entry.node.value, {nullptr, no_change, &found->value}, key_step(at, entry.key)});
        }
        return true;
    }

    bool changed_mapping(const DocValue& now, const DocValue& old, const Change& how, std::uint32_t at) {
        if (!now.is_mapping() || !old.is_mapping()) return false;
        std::unordered_map<std::string_view, const EntryStep*> steps;
        std::size_t expected = old.entries().size();
        for (const EntryStep& step : changes_.entries(how)) {
            steps.emplace(step.key, &step);
            expected += step.what == EntryChange::added ? 1 : step.what == EntryChange::gone ? -1 : 0;
        }
        if (now.entries().size() != expected) return false;
        // Both sides lie in key order: the entry as read is found by walking on.
        const auto was_entries = old.entries();
        std::size_t next_was = 0;
        for (const DocEntry& entry : now.entries()) {
            const auto found = steps.find(entry.key);
            const EntryStep* step = found == steps.end() ? nullptr : found->second;
            const Step here = key_step(at, entry.key);
            if (step != nullptr && step->what == EntryChange::gone) {
                failed_ = here;
                return false;
            }
            if (step != nullptr && step->what == EntryChange::added) {
                pending_.push_back({&entry.node.value, {nullptr, no_change, &changes_.at(step->change).value}, here});
                continue;
            }
            while (next_was < was_entries.size() && was_entries[next_was].key < entry.key) ++next_was;
            if (next_was == was_entries.size() || was_entries[next_was].key != entry.key) {
                failed_ = here;
                return false;
            }
            const DocValue& was = was_entries[next_was].node.value;
            pending_.push_back({&entry.node.value, {&was, step == nullptr ? no_change : step->change, nullptr}, here});
        }
        return true;
    }

    bool changed_sequence(const DocValue& now, const DocValue& old, const Change& how, std::uint32_t at) {
        const auto steps = changes_.items(how);
        if (!now.is_sequence() || !old.is_sequence() || now.items().size() != steps.size()) return false;
        pending_.reserve(pending_.size() + steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const DocValue& item = now.items()[i].value;
            const Expected expected = steps[i].old_index == no_item
                                          ? Expected{nullptr, no_change, &changes_.at(steps[i].change).value}
                                          : Expected{&old.items()[steps[i].old_index].value, steps[i].change, nullptr};
            pending_.push_back({&item, expected, index_step(at, i)});
        }
        return true;
    }

    const ChangeSet& changes_;
    std::vector<Pending> pending_;
    std::vector<Step> places_;
    Step failed_{root_place, false, {}, 0};
};

}  // namespace

std::optional<std::vector<DataStep>> first_difference(const DocValue& now, const DocValue& old,
                                                      const ChangeSet& changes, std::uint32_t change) {
    return Comparison(changes).run(now, {&old, change, nullptr});
}

bool holds_value(const DocValue& now, const Value& made, const ChangeSet& changes) {
    return !Comparison(changes).run(now, {nullptr, no_change, &made});
}

}  // namespace vorn::edit
