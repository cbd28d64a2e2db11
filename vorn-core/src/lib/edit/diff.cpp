#include "edit/diff.hpp"

#include <functional>
#include <string_view>

#include "edit/pair_items.hpp"

namespace vorn::edit {

namespace {

std::uint64_t mix(std::uint64_t seed, std::uint64_t value) noexcept {
    return seed ^ (value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

std::uint64_t text_hash(std::string_view text) noexcept { return std::hash<std::string_view>{}(text); }

// One hash for equal values, read or made: the identity that pairs items.
// Children are hashed before their container, without recursion.
template <typename Tree>
struct Hasher;

template <>
struct Hasher<DocValue> {
    static bool is_scalar(const DocValue& v) { return v.is_scalar(); }
    static bool is_sequence(const DocValue& v) { return v.is_sequence(); }
    static std::uint64_t scalar(const DocValue& v) {
        return v.is_block_text() ? text_hash(scalar_text(v)) : text_hash(v.text());
    }
    template <typename Visit>
    static void children(const DocValue& v, Visit&& visit) {
        if (v.is_sequence()) {
            for (const DocNode& node : v.items()) visit(std::string_view(), node.value);
        } else {
            for (const DocEntry& entry : v.entries()) visit(entry.key, entry.node.value);
        }
    }
};

template <>
struct Hasher<Value> {
    static bool is_scalar(const Value& v) { return v.is_scalar(); }
    static bool is_sequence(const Value& v) { return v.is_sequence(); }
    static std::uint64_t scalar(const Value& v) { return text_hash(v.scalar()); }
    template <typename Visit>
    static void children(const Value& v, Visit&& visit) {
        if (v.is_sequence()) {
            for (const Node& node : v.sequence()) visit(std::string_view(), node.value);
        } else {
            for (const auto& [key, node] : v.mapping()) visit(std::string_view(key), node.value);
        }
    }
};

template <typename Tree>
std::uint64_t value_hash(const Tree& root) {
    using H = Hasher<Tree>;
    struct Frame {
        const Tree* value;
        std::uint64_t hash;
        std::vector<std::pair<std::string_view, const Tree*>> children;
        std::size_t next = 0;
    };
    std::vector<Frame> stack;
    std::uint64_t result = 0;
    const auto open = [&](const Tree& value) {
        if (H::is_scalar(value)) return H::scalar(value);
        Frame frame{&value, H::is_sequence(value) ? 1u : 2u, {}, 0};
        H::children(value, [&](std::string_view key, const Tree& child) { frame.children.emplace_back(key, &child); });
        stack.push_back(std::move(frame));
        return std::uint64_t{0};
    };
    result = open(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.children.size()) {
            const std::uint64_t done = top.hash;
            stack.pop_back();
            if (stack.empty()) return done;
            Frame& parent = stack.back();
            parent.hash = mix(mix(parent.hash, text_hash(parent.children[parent.next].first)), done);
            ++parent.next;
            continue;
        }
        const auto& [key, child] = top.children[top.next];
        if (H::is_scalar(*child)) {
            top.hash = mix(mix(top.hash, text_hash(key)), H::scalar(*child));
            ++top.next;
            continue;
        }
        open(*child);
    }
    return result;
}

struct Comparison {
    const DocValue* old;
    const Value* now;
    // Where the parent notes the result: an entry step's key, or an item's
    // index in the new list.
    std::string key;
    std::size_t index = 0;
    // Filled for containers compared child by child.
    bool opened = false;
    std::vector<EntryStep> entry_steps;
    std::vector<ItemStep> item_steps;
    // The children still to compare, as (old, now, key or index).
    std::vector<Comparison> children;
    std::size_t next = 0;
};

bool same_kind_container(const DocValue& old, const Value& now) {
    return (old.is_mapping() && now.is_mapping()) || (old.is_sequence() && now.is_sequence());
}

}  // namespace

ChangeSet diff(const DocValue& old, const Value& now) {
    ChangeSet changes;
    // Each comparison yields a change or no_change; containers open their
    // children, and are settled once they are.
    std::vector<Comparison> stack;
    std::uint32_t root_change = no_change;
    const auto settle_leaf = [&](const DocValue& a, const Value& b) -> std::uint32_t {
        if (a.is_scalar() && b.is_scalar()) {
            const bool equal = a.is_block_text() ? scalar_text(a) == b.scalar() : a.text() == b.scalar();
            return equal ? no_change : changes.add_replaced(deep_copy(b));
        }
        return changes.add_replaced(deep_copy(b));
    };
    // Pushes the children to compare and the steps already known.
    const auto open = [&](Comparison& top) {
        top.opened = true;
        if (top.now->is_mapping()) {
            const auto entries = top.old->entries();
            auto old_at = entries.begin();
            for (const auto& [key, node] : top.now->mapping()) {
                while (old_at != entries.end() && old_at->key < key) {
                    top.entry_steps.push_back({EntryChange::gone, std::string(old_at->key), no_change});
                    ++old_at;
                }
                if (old_at != entries.end() && old_at->key == key) {
                    top.children.push_back({&old_at->node.value, &node.value, key, 0, false, {}, {}, {}, 0});
                    ++old_at;
                } else {
                    top.entry_steps.push_back({EntryChange::added, key, changes.add_replaced(deep_copy(node.value))});
                }
            }
            for (; old_at != entries.end(); ++old_at)
                top.entry_steps.push_back({EntryChange::gone, std::string(old_at->key), no_change});
            return;
        }
        // Items are paired by their values' hashes: equal values are the same
        // item, wherever it went.
        const auto olds = top.old->items();
        const Sequence& nows = top.now->sequence();
        std::vector<std::uint64_t> old_ids;
        std::vector<std::uint64_t> new_ids;
        for (const DocNode& node : olds) old_ids.push_back(value_hash(node.value));
        for (const Node& node : nows) new_ids.push_back(value_hash(node.value));
        const std::vector<std::uint32_t> paired = pair_items(old_ids, new_ids);
        top.item_steps.resize(nows.size());
        for (std::size_t i = 0; i < nows.size(); ++i) {
            if (paired[i] == no_item_paired) {
                top.item_steps[i] = {no_item, changes.add_replaced(deep_copy(nows[i].value))};
            } else {
                top.item_steps[i] = {paired[i], no_change};
                top.children.push_back({&olds[paired[i]].value, &nows[i].value, {}, i, false, {}, {}, {}, 0});
            }
        }
    };
    const auto note = [&](Comparison& parent, const Comparison& child, std::uint32_t change) {
        if (parent.now->is_mapping()) {
            if (change != no_change) parent.entry_steps.push_back({EntryChange::changed, child.key, change});
        } else {
            parent.item_steps[child.index].change = change;
        }
    };
    if (!same_kind_container(old, now)) {
        changes.set_root(settle_leaf(old, now));
        return changes;
    }
    stack.push_back({&old, &now, {}, 0, false, {}, {}, {}, 0});
    while (!stack.empty()) {
        Comparison& top = stack.back();
        if (!top.opened) open(top);
        if (top.next < top.children.size()) {
            Comparison& child = top.children[top.next++];
            if (!same_kind_container(*child.old, *child.now)) {
                note(top, child, settle_leaf(*child.old, *child.now));
                continue;
            }
            // Its key or index goes with it; it notes its change when done.
            Comparison opened = std::move(child);
            stack.push_back(std::move(opened));
            continue;
        }
        // Every child compared: the container's own change.
        std::uint32_t change = no_change;
        if (top.now->is_mapping()) {
            if (!top.entry_steps.empty()) change = changes.add_mapping(std::move(top.entry_steps));
        } else {
            bool same = top.item_steps.size() == top.old->items().size();
            for (std::size_t i = 0; i < top.item_steps.size() && same; ++i)
                same = top.item_steps[i].old_index == i && top.item_steps[i].change == no_change;
            if (!same) change = changes.add_sequence(std::move(top.item_steps));
        }
        const Comparison done = std::move(top);
        stack.pop_back();
        if (stack.empty()) {
            root_change = change;
            break;
        }
        note(stack.back(), done, change);
    }
    changes.set_root(root_change);
    return changes;
}

}  // namespace vorn::edit
