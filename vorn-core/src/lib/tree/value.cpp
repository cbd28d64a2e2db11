#include "vorn/value.hpp"

#include <algorithm>
#include <numeric>
#include <span>
#include <utility>

#include "tree/key_order.hpp"

namespace vorn {

Value::Value(Sequence items) : data_(std::make_unique<Sequence>(std::move(items))) {}
Value::Value(Mapping entries) : data_(std::make_unique<Mapping>(std::move(entries))) {}

Value Value::empty_sequence() { return Value(Sequence{}); }
Value Value::empty_mapping() { return Value(Mapping{}); }

// Takes containers apart level by level so that destroying a deep tree never
// recurses: each container's children are emptied of their own containers
// (which go onto an explicit stack) before the container itself is freed. A
// mapping's entries are walked as they lie, unsorted arrivals included:
// sorting them would allocate in a destructor.
class TreeDismantler {
public:
    static void dismantle(Value& root) {
        std::vector<Value> pending;
        take_containers(root, pending);
        while (!pending.empty()) {
            Value current = std::move(pending.back());
            pending.pop_back();
            if (current.is_sequence()) {
                for (Node& node : current.sequence()) take_containers(node.value, pending);
            } else {
                for (auto& [key, node] : current.mapping().entries_) take_containers(node.value, pending);
            }
            // `current` now holds only scalars and empty holders below it.
        }
    }

    static bool is_moved_from(const Value& value) noexcept {
        if (const auto* seq = std::get_if<Value::SequencePtr>(&value.data_)) return !*seq;
        const auto* map = std::get_if<Value::MappingPtr>(&value.data_);
        return map != nullptr && !*map;
    }

    // True when some child of the container `value` is itself a container.
    static bool has_nested_container(const Value& value) {
        if (auto* seq = std::get_if<Value::SequencePtr>(&value.data_)) {
            if (!*seq) return false;
            for (const Node& node : **seq)
                if (!node.value.is_scalar() && !is_moved_from(node.value)) return true;
        } else if (auto* map = std::get_if<Value::MappingPtr>(&value.data_)) {
            if (!*map) return false;
            for (const auto& [key, node] : (*map)->entries_)
                if (!node.value.is_scalar() && !is_moved_from(node.value)) return true;
        }
        return false;
    }

private:
    // Moves the container held by `value` (if any) onto the stack, leaving an
    // empty scalar behind. A value moved from holds no container to take.
    static void take_containers(Value& value, std::vector<Value>& pending) {
        if (value.is_scalar() || is_moved_from(value)) return;
        Value moved;
        moved.data_ = std::move(value.data_);
        value.data_ = std::string();
        pending.push_back(std::move(moved));
    }
};

void Value::release_container() noexcept {
    if (TreeDismantler::has_nested_container(*this)) TreeDismantler::dismantle(*this);
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        Value old(std::move(*this));  // old contents dismantled iteratively
        data_ = std::move(other.data_);
    }
    return *this;
}

void Mapping::insert(std::string key, Node node) { append_arrival(std::move(key), std::move(node), false); }

void Mapping::insert_if_absent(std::string key, Node node) { append_arrival(std::move(key), std::move(node), true); }

void Mapping::append_arrival(std::string&& key, Node&& node, bool if_absent) {
    if (in_order() && (entries_.empty() || entries_.back().first < key)) {
        // The common case of keys in order: the entries stay sorted.
        entries_.emplace_back(std::move(key), std::move(node));
        ++sorted_;
        return;
    }
    entries_.emplace_back(std::move(key), std::move(node));
    if_absent_.push_back(if_absent);
}

// Sorts the arrivals alone (n log n for n of them), merges them with the
// sorted entries (linear) and keeps one entry per key.
void Mapping::sort_arrivals() const {
    const std::size_t arrived = entries_.size() - sorted_;
    std::vector<std::size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto less = [this](std::size_t a, std::size_t b) { return entries_[a].first < entries_[b].first; };
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(sorted_);
    sort_by_key(
        std::span<std::size_t>(&*middle, arrived),
        [this](std::size_t i) { return std::string_view(entries_[i].first); }, less);
    // Of equal keys, the sorted entry, which came first, stays first.
    std::inplace_merge(order.begin(), middle, order.end(), less);

    std::vector<Entry> kept;
    kept.reserve(entries_.size());
    keep_winners(
        std::span<std::size_t>(order),
        [this](std::size_t a, std::size_t b) { return entries_[a].first == entries_[b].first; },
        [this](std::size_t i) { return i < sorted_ || !if_absent_[i - sorted_]; },
        [this, &kept](std::size_t i) { kept.push_back(std::move(entries_[i])); });
    // The entries left behind (replaced or refused) are freed here.
    entries_ = std::move(kept);
    sorted_ = entries_.size();
    if_absent_.clear();
}

Node* Mapping::find(std::string_view key) {
    settle();
    auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                               [](const Entry& entry, std::string_view wanted) { return entry.first < wanted; });
    return it == entries_.end() || it->first != key ? nullptr : &it->second;
}

const Node* Mapping::find(std::string_view key) const { return const_cast<Mapping*>(this)->find(key); }

// Copies a tree breadth-first with an explicit work list of (source, target)
// container pairs, so the copy never recurses on depth.
class TreeCopier {
public:
    static Value copy(const Value& source) {
        if (source.is_scalar()) return Value(source.scalar());
        std::vector<std::pair<const Value*, Value*>> work;
        Value root = empty_like(source);
        work.emplace_back(&source, &root);
        while (!work.empty()) {
            auto [from, to] = work.back();
            work.pop_back();
            if (from->is_sequence()) {
                Sequence& items = to->sequence();
                items.reserve(from->sequence().size());
                for (const Node& node : from->sequence()) {
                    items.append(shallow_copy(node));
                    queue_children(node.value, items[items.size() - 1].value, work);
                }
            } else {
                Mapping& entries = to->mapping();
                // Reserved up front, the entries never move, so the pointer
                // queued here stays valid while the work list holds it.
                entries.reserve(from->mapping().size());
                for (const auto& [key, node] : from->mapping()) {
                    Node& copy = entries.append_in_order(key, shallow_copy(node));
                    queue_children(node.value, copy.value, work);
                }
            }
        }
        return root;
    }

    static Node shallow_copy(const Node& node) {
        Node copy(empty_like(node.value));
        copy.comments = node.comments;
        copy.inline_comment = node.inline_comment;
        return copy;
    }

private:
    static Value empty_like(const Value& value) {
        switch (value.kind()) {
            case Value::Kind::scalar:
                return Value(value.scalar());
            case Value::Kind::sequence:
                return Value::empty_sequence();
            case Value::Kind::mapping:
                break;
        }
        return Value::empty_mapping();
    }

    static void queue_children(const Value& from, Value& to, std::vector<std::pair<const Value*, Value*>>& work) {
        if (!from.is_scalar()) work.emplace_back(&from, &to);
    }
};

Value deep_copy(const Value& value) { return TreeCopier::copy(value); }

Node deep_copy(const Node& node) {
    Node copy = TreeCopier::shallow_copy(node);
    copy.value = TreeCopier::copy(node.value);
    return copy;
}

std::uint64_t count_values(const Value& value, std::uint64_t limit) {
    std::uint64_t count = 0;
    std::vector<const Value*> work{&value};
    while (!work.empty()) {
        const Value* current = work.back();
        work.pop_back();
        if (++count > limit) return count;
        if (current->is_sequence()) {
            for (const Node& node : current->sequence()) work.push_back(&node.value);
        } else if (current->is_mapping()) {
            for (const auto& [key, node] : current->mapping()) work.push_back(&node.value);
        }
    }
    return count;
}

namespace {

bool same_annotations(const Node& a, const Node& b) {
    return a.comments == b.comments && a.inline_comment == b.inline_comment;
}

// Iterative structural comparison; `with_comments` decides whether the
// comment lines and inline comments of nodes take part.
bool equal_trees(const Value& a, const Value& b, bool with_comments) {
    std::vector<std::pair<const Value*, const Value*>> work{{&a, &b}};
    while (!work.empty()) {
        auto [x, y] = work.back();
        work.pop_back();
        if (x->kind() != y->kind()) return false;
        switch (x->kind()) {
            case Value::Kind::scalar:
                if (x->scalar() != y->scalar()) return false;
                break;
            case Value::Kind::sequence: {
                const Sequence& xs = x->sequence();
                const Sequence& ys = y->sequence();
                if (xs.size() != ys.size()) return false;
                for (std::size_t i = 0; i < xs.size(); ++i) {
                    if (with_comments && !same_annotations(xs[i], ys[i])) return false;
                    work.emplace_back(&xs[i].value, &ys[i].value);
                }
                break;
            }
            case Value::Kind::mapping: {
                const Mapping& xm = x->mapping();
                const Mapping& ym = y->mapping();
                if (xm.size() != ym.size()) return false;
                for (auto xi = xm.begin(), yi = ym.begin(); xi != xm.end(); ++xi, ++yi) {
                    if (xi->first != yi->first) return false;
                    if (with_comments && !same_annotations(xi->second, yi->second)) return false;
                    work.emplace_back(&xi->second.value, &yi->second.value);
                }
                break;
            }
        }
    }
    return true;
}

}  // namespace

bool operator==(const Value& a, const Value& b) { return equal_trees(a, b, true); }

bool operator==(const Node& a, const Node& b) { return same_annotations(a, b) && equal_trees(a.value, b.value, true); }

bool same_values(const Value& a, const Value& b) { return equal_trees(a, b, false); }

}  // namespace vorn
