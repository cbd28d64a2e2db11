#include "edit_changes.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "vorn/assert.hpp"

#include "borrowed_texts.hpp"
#include "conversions.hpp"
#include "edit/pair_items.hpp"
#include "error_state.hpp"

namespace vorn::binding {
namespace {

using edit::ChangeSet;
using edit::EntryChange;
using edit::EntryStep;
using edit::ItemStep;
using edit::no_change;
using edit::no_item;
using Kind = ValueSnapshot::Kind;

// A new value as the writer would write it.
Value value_of(PyObject* object) {
    BorrowedTexts texts;
    const FlatTree tree = python_to_flat_tree(object, texts);
    return to_value(tree);
}

std::string key_text(PyObject* key) {
    if (!PyUnicode_Check(key))
        throw ErrorState::type_error("'" + std::string(Py_TYPE(key)->tp_name) + "' object cannot be cast as 'str'");
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key, &size);
    if (utf8 == nullptr) throw fetch_current_error();
    return {utf8, static_cast<std::size_t>(size)};
}

// Whether the node and the object are compared child by child: a mapping
// with a dict, a list with a list (the data's may be of a subclass, which is
// written as its base is).
bool compared_by_children(const ValueSnapshot::Node& node, PyObject* now) noexcept {
    if (node.kind == Kind::mapping) return PyDict_Check(now);
    return node.kind == Kind::sequence && PyList_Check(now);
}

// Settled without comparing children: a str with anything, or containers
// of different kinds. Sets `foreign` when the comparison may have run the
// caller's code.
bool differ(const ValueSnapshot::Node& node, PyObject* now, bool& foreign) {
    if (node.kind != Kind::str) return true;
    // Most strs in the data are the snapshot's own.
    if (node.object == now) return false;
    if (!PyUnicode_Check(now)) return true;
    // Only a type of the caller's has an == of its own.
    if (!PyUnicode_CheckExact(now)) foreign = true;
    PyRef held = PyRef::borrow(now);
    const int equal = PyObject_RichCompareBool(node.object, held.get(), Py_EQ);
    if (equal < 0) throw fetch_current_error();
    return equal == 0;
}

// What pairs an item with the item read that it is: a str by its text (its
// hash, from str's own, which no subclass can change), a list or dict by
// the object itself.
std::uint64_t identity_of(PyObject* object) {
    if (PyUnicode_Check(object)) {
        const Py_hash_t hash = PyUnicode_Type.tp_hash(object);
        if (hash == -1) throw fetch_current_error();
        return static_cast<std::uint64_t>(hash) << 1;
    }
    if (PyList_Check(object) || PyDict_Check(object)) return reinterpret_cast<std::uintptr_t>(object) | 1;
    return edit::no_identity;
}

// The next pair of a comparison: a node of the snapshot and an object of the
// data, which it then settles.
struct Pair {
    std::uint32_t node;
    PyObject* now;
};

// A container of the snapshot and one of the data, being compared child by
// child. Lists are compared in three passes: their common prefix, their
// common suffix, and the items between, paired by what they are.
class Comparison {
public:
    Comparison(const ValueSnapshot& snapshot, std::uint32_t node, PyObject* now, ChangeSet& changes, bool& foreign)
        : snapshot_(&snapshot), node_(node), now_(PyRef::borrow(now)), changes_(&changes), foreign_(&foreign) {
        const ValueSnapshot::Node& container = snapshot[node];
        child_ = node + 1;
        if (container.kind == Kind::sequence) {
            pass_ = Pass::prefix;
            for (std::uint32_t child = child_; child < container.end; child = snapshot[child].end)
                old_items_.push_back(child);
            now_size_ = PyList_GET_SIZE(now);
        }
    }

    bool next(Pair& pair) {
        if (pass_ == Pass::mapping) return next_entry(pair);
        return next_item(pair);
    }

    // How the pair given last differs: its change, or no_change.
    void settle(std::uint32_t change) {
        switch (pass_) {
            case Pass::mapping:
                if (change != no_change)
                    steps_.push_back({EntryChange::changed, key_text((*snapshot_)[last_.node].key), change});
                return;
            case Pass::prefix:
                if (change == no_change) {
                    ++prefix_;
                } else {
                    prefix_difference_ = change;
                    pass_ = Pass::suffix;
                }
                return;
            case Pass::suffix:
                if (change == no_change) {
                    ++suffix_;
                } else {
                    suffix_difference_ = change;
                    start_pairing();
                }
                return;
            case Pass::paired:
                item_steps_[paired_new_[paired_next_ - 1]].change = change;
                return;
        }
    }

    // The change of the whole container, once every child is settled.
    std::uint32_t outcome() {
        if (pass_ == Pass::mapping) return mapping_outcome();
        // The caller's == changed the list's length: nothing to go by but
        // the list as it is now.
        if (PyList_GET_SIZE(now_.get()) != now_size_) {
            *foreign_ = true;
            return changes_->add_replaced(value_of(now_.get()));
        }
        if (pass_ != Pass::paired) start_pairing();
        const auto old_size = static_cast<Py_ssize_t>(old_items_.size());
        if (old_size == now_size_ && prefix_ == old_size) return no_change;
        return changes_->add_sequence(std::move(item_steps_));
    }

private:
    enum class Pass : std::uint8_t { mapping, prefix, suffix, paired };

    bool next_entry(Pair& pair) {
        const ValueSnapshot& snapshot = *snapshot_;
        const std::uint32_t end = snapshot[node_].end;
        while (child_ < end) {
            const std::uint32_t child = child_;
            child_ = snapshot[child].end;
            PyObject* key = snapshot[child].key;
            PyObject* now_key = nullptr;
            PyObject* now_value = nullptr;
            // While the data's keys come in the order read (the common case:
            // data changed in place keep their order), each is met in step
            // without a lookup.
            if (in_step_ && !(PyDict_Next(now_.get(), &now_position_, &now_key, &now_value) && now_key == key)) {
                in_step_ = false;
                now_value = nullptr;
                note_keys_of_callers_types();
            }
            if (!in_step_) {
                now_value = PyDict_GetItemWithError(now_.get(), key);
                if (now_value == nullptr) {
                    if (PyErr_Occurred()) throw fetch_current_error();
                    steps_.push_back({EntryChange::gone, key_text(key), no_change});
                    continue;
                }
            }
            ++shared_keys_;
            if (holds_read_str(child, now_value)) continue;
            last_ = pair = Pair{child, now_value};
            return true;
        }
        return false;
    }

    bool next_item(Pair& pair) {
        // The caller's == may have changed the list: outcome() says so.
        if (PyList_GET_SIZE(now_.get()) != now_size_) return false;
        const auto old_size = static_cast<Py_ssize_t>(old_items_.size());
        const Py_ssize_t shorter = std::min(old_size, now_size_);
        if (pass_ == Pass::prefix) {
            while (prefix_ < shorter && holds_read_str(old_items_[prefix_], PyList_GET_ITEM(now_.get(), prefix_)))
                ++prefix_;
            if (prefix_ < shorter) {
                last_ = pair = Pair{old_items_[prefix_], PyList_GET_ITEM(now_.get(), prefix_)};
                return true;
            }
            pass_ = Pass::suffix;
        }
        if (pass_ == Pass::suffix) {
            while (prefix_ + suffix_ < shorter && holds_read_str(old_items_[old_size - 1 - suffix_],
                                                                 PyList_GET_ITEM(now_.get(), now_size_ - 1 - suffix_)))
                ++suffix_;
            if (prefix_ + suffix_ < shorter) {
                last_ = pair =
                    Pair{old_items_[old_size - 1 - suffix_], PyList_GET_ITEM(now_.get(), now_size_ - 1 - suffix_)};
                return true;
            }
            start_pairing();
        }
        if (paired_next_ < paired_old_.size()) {
            const std::size_t at = paired_next_++;
            last_ = pair = Pair{old_items_[paired_old_[at]], PyList_GET_ITEM(now_.get(), paired_new_[at])};
            return true;
        }
        return false;
    }

    // Whether the data holds the very str read at `node`, which settles it
    // unchanged at a pointer compare: most of a document's values are such,
    // and they are passed over without a round of next() and settle().
    bool holds_read_str(std::uint32_t node, PyObject* now) const noexcept {
        const ValueSnapshot::Node& read = (*snapshot_)[node];
        return read.kind == Kind::str && read.object == now;
    }

    // The items between prefix and suffix: each new one is paired with the
    // item read that it is, or made anew.
    void start_pairing() {
        pass_ = Pass::paired;
        const auto old_size = static_cast<Py_ssize_t>(old_items_.size());
        item_steps_.assign(static_cast<std::size_t>(now_size_), ItemStep{});
        for (Py_ssize_t i = 0; i < prefix_; ++i) item_steps_[i] = {static_cast<std::uint32_t>(i), no_change};
        for (Py_ssize_t i = 0; i < suffix_; ++i)
            item_steps_[now_size_ - 1 - i] = {static_cast<std::uint32_t>(old_size - 1 - i), no_change};
        const Py_ssize_t old_end = old_size - suffix_;
        const Py_ssize_t now_end = now_size_ - suffix_;
        std::vector<std::uint64_t> old_ids;
        std::vector<std::uint64_t> now_ids;
        for (Py_ssize_t i = prefix_; i < old_end; ++i)
            old_ids.push_back(identity_of((*snapshot_)[old_items_[i]].object));
        for (Py_ssize_t i = prefix_; i < now_end; ++i) now_ids.push_back(identity_of(PyList_GET_ITEM(now_.get(), i)));
        const std::vector<std::uint32_t> paired = edit::pair_items(old_ids, now_ids);
        for (std::size_t k = 0; k < paired.size(); ++k) {
            const Py_ssize_t now_index = prefix_ + static_cast<Py_ssize_t>(k);
            if (paired[k] == edit::no_item_paired) {
                item_steps_[now_index] = {no_item,
                                          changes_->add_replaced(value_of(PyList_GET_ITEM(now_.get(), now_index)))};
                continue;
            }
            const Py_ssize_t old_index = prefix_ + paired[k];
            item_steps_[now_index] = {static_cast<std::uint32_t>(old_index), no_change};
            // The pair that ended the prefix or the suffix is compared already.
            if (prefix_difference_ != no_change && old_index == prefix_ && now_index == prefix_) {
                item_steps_[now_index].change = prefix_difference_;
            } else if (suffix_difference_ != no_change && old_index == old_size - 1 - suffix_ &&
                       now_index == now_size_ - 1 - suffix_) {
                item_steps_[now_index].change = suffix_difference_;
            } else {
                paired_old_.push_back(static_cast<std::uint32_t>(old_index));
                paired_new_.push_back(static_cast<std::uint32_t>(now_index));
            }
        }
    }

    // Looking a key up in the dict, or the dict's keys up in a set, runs
    // the __hash__ and __eq__ of any key that is not a str.
    void note_keys_of_callers_types() noexcept {
        if (*foreign_) return;
        Py_ssize_t at = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(now_.get(), &at, &key, &value)) {
            if (!PyUnicode_CheckExact(key)) {
                *foreign_ = true;
                return;
            }
        }
    }

    std::uint32_t mapping_outcome() {
        if (shared_keys_ < PyDict_GET_SIZE(now_.get())) {
            note_keys_of_callers_types();
            // Some keys are new: the snapshot's keys, as a set, tell which.
            PyRef old_keys = checked(PySet_New(nullptr));
            const ValueSnapshot& snapshot = *snapshot_;
            for (std::uint32_t child = node_ + 1; child < snapshot[node_].end; child = snapshot[child].end)
                if (PySet_Add(old_keys.get(), snapshot[child].key) < 0) throw fetch_current_error();
            // Held: a key's own __hash__ or __eq__ may change the dict.
            PyRef items = checked(PyDict_Items(now_.get()));
            for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
                PyObject* item = PyList_GET_ITEM(items.get(), i);
                PyObject* key = PyTuple_GET_ITEM(item, 0);
                const int present = PySet_Contains(old_keys.get(), key);
                if (present < 0) throw fetch_current_error();
                if (!present)
                    steps_.push_back({EntryChange::added, key_text(key),
                                      changes_->add_replaced(value_of(PyTuple_GET_ITEM(item, 1)))});
            }
        }
        if (steps_.empty()) return no_change;
        return changes_->add_mapping(std::move(steps_));
    }

    const ValueSnapshot* snapshot_;
    std::uint32_t node_;
    PyRef now_;
    ChangeSet* changes_;
    bool* foreign_;
    Pair last_{};
    Pass pass_ = Pass::mapping;
    // Mappings: the next child node, keys met in step, the steps.
    std::uint32_t child_;
    Py_ssize_t now_position_ = 0;
    bool in_step_ = true;
    Py_ssize_t shared_keys_ = 0;
    std::vector<EntryStep> steps_;
    // Lists: the item nodes read, the passes' counts, the pairs left to
    // compare, and the new list's steps.
    std::vector<std::uint32_t> old_items_;
    Py_ssize_t now_size_ = 0;
    Py_ssize_t prefix_ = 0;
    Py_ssize_t suffix_ = 0;
    std::uint32_t prefix_difference_ = no_change;
    std::uint32_t suffix_difference_ = no_change;
    std::vector<std::uint32_t> paired_old_;
    std::vector<std::uint32_t> paired_new_;
    std::size_t paired_next_ = 0;
    std::vector<ItemStep> item_steps_;
};

}  // namespace

ChangeSet changes_since_read(const ValueSnapshot& snapshot, PyObject* data, bool& foreign) {
    VORN_ASSERT(snapshot.size() > 0);
    foreign = false;
    ChangeSet changes;
    if (!compared_by_children(snapshot[0], data)) {
        if (differ(snapshot[0], data, foreign)) changes.set_root(changes.add_replaced(value_of(data)));
        return changes;
    }
    std::vector<Comparison> pending;
    pending.emplace_back(snapshot, 0, data, changes, foreign);
    Pair pair{};
    while (true) {
        Comparison& top = pending.back();
        if (top.next(pair)) {
            const ValueSnapshot::Node& node = snapshot[pair.node];
            if (compared_by_children(node, pair.now)) {
                // `top` is not used again before this comparison ends.
                pending.emplace_back(snapshot, pair.node, pair.now, changes, foreign);
            } else {
                top.settle(differ(node, pair.now, foreign) ? changes.add_replaced(value_of(pair.now)) : no_change);
            }
            continue;
        }
        const std::uint32_t outcome = top.outcome();
        pending.pop_back();
        if (pending.empty()) {
            changes.set_root(outcome);
            return changes;
        }
        // The finished comparison was made for the pair its parent gave last.
        pending.back().settle(outcome);
    }
}

}  // namespace vorn::binding
