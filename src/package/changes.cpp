#include "changes.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "vorn/assert.hpp"

#include "error_state.hpp"

namespace vorn::binding {
namespace {

using Kind = ValueSnapshot::Kind;

PyStructSequence_Field mapping_fields[] = {
    {"changed", "each key both hold whose values differ, to how they differ, in the order read"},
    {"gone", "the keys only the values as read hold"},
    {"added", "the keys only the data hold"},
    {nullptr, nullptr},
};
PyStructSequence_Desc mapping_description = {"vorn._native.MappingChanges",
                                             "How a dict differs from the mapping as read.", mapping_fields, 3};

PyStructSequence_Field item_fields[] = {
    {"changed", "each index of a pair of items that differ, to how they differ"},
    {"prefix", "how many items at the start are unchanged"},
    {"suffix", "how many items at the end are unchanged"},
    {"old_length", "the number of items read"},
    {nullptr, nullptr},
};
PyStructSequence_Desc item_description = {
    "vorn._native.ItemChanges",
    "How a list differs from the list as read: the items between prefix and suffix are paired by\n"
    "position (their index is the same in both), and the rest of the longer were deleted or added.",
    item_fields, 4};

// Made once: the module serves only the main interpreter.
PyTypeObject* mapping_changes_type = nullptr;
PyTypeObject* item_changes_type = nullptr;

// A MappingChanges or ItemChanges of `fields`, which it takes over once it
// is made.
template <typename... Fields>
PyRef changes_of(PyTypeObject* type, Fields&... fields) {
    PyRef made = checked(PyStructSequence_New(type));
    Py_ssize_t at = 0;
    (PyStructSequence_SetItem(made.get(), at++, fields.release()), ...);
    return made;
}

// Settled without comparing children: a str with anything, or containers
// of different kinds. `old` is a str node's str, or null for a container.
// Sets `foreign` when the comparison may have run the caller's code.
bool differ(PyObject* old, PyObject* now, bool& foreign) {
    if (old == nullptr) return true;
    // Most strs in the data are the snapshot's own.
    if (old == now) return false;
    // Only a type of the caller's has an == of its own.
    if (!PyUnicode_CheckExact(now) && !PyDict_CheckExact(now) && !PyList_CheckExact(now)) foreign = true;
    // Held, since == may run the caller's code.
    PyRef held = PyRef::borrow(now);
    const int equal = PyObject_RichCompareBool(old, held.get(), Py_EQ);
    if (equal < 0) throw fetch_current_error();
    return equal == 0;
}

// Whether the node and the object are compared child by child: a mapping
// with a dict, a list with a list (the data's may be of a subclass, which is
// written as its base is).
bool compared_by_children(const ValueSnapshot::Node& node, PyObject* now) noexcept {
    if (node.kind == Kind::mapping) return PyDict_Check(now);
    return node.kind == Kind::sequence && PyList_Check(now);
}

// A child of the snapshot and of the data to compare, and the step (key or
// index) under which the parent notes how they differ.
struct Pair {
    std::uint32_t node;
    PyObject* now;
    Py_ssize_t index;
};

// A container of the snapshot and one of the data, being compared child by
// child. For lists of different lengths the items are compared in three
// passes, as a diff of two lists pairs them: the common prefix, the common
// suffix of the rest, and the items between, paired by position.
class Comparison {
public:
    Comparison(const ValueSnapshot& snapshot, std::uint32_t node, PyObject* now, bool& foreign)
        : snapshot_(&snapshot), node_(node), now_(PyRef::borrow(now)), foreign_(&foreign) {
        const ValueSnapshot::Node& container = snapshot[node];
        child_ = node + 1;
        if (container.kind == Kind::sequence) {
            for (std::uint32_t child = child_; child < container.end; child = snapshot[child].end) ++old_size_;
            now_size_ = PyList_GET_SIZE(now);
            if (now_size_ != static_cast<Py_ssize_t>(old_size_)) {
                pass_ = Pass::prefix;
                items_.reserve(old_size_);
                for (std::uint32_t child = child_; child < container.end; child = snapshot[child].end)
                    items_.push_back(child);
            } else {
                pass_ = Pass::same_length;
            }
        }
    }

    // The next pair to compare, or false once all are; a key only the
    // snapshot holds is noted on the way. `pair.now` is borrowed: good
    // until Python code runs.
    bool next(Pair& pair) {
        if (!next_pair(pair)) return false;
        last_ = pair;
        return true;
    }

    // How the pair given last differs: None if it does not.
    void settle(PyObject* how) {
        const Pair& pair = last_;
        const bool same = how == Py_None;
        switch (pass_) {
            case Pass::mapping:
                if (!same) note(PyRef::borrow((*snapshot_)[pair.node].key), how);
                return;
            case Pass::same_length:
                if (!same) note(index_object(pair.index), how);
                return;
            case Pass::prefix:
                if (same) {
                    ++prefix_;
                } else {
                    first_difference_ = PyRef::borrow(how);
                    pass_ = Pass::suffix;
                }
                return;
            case Pass::suffix:
                if (same) {
                    ++suffix_;
                } else {
                    // This pair stands at different indices in the two
                    // lists, so how it differs says nothing of a pair.
                    start_pairing();
                }
                return;
            case Pass::paired:
                if (!same) note(index_object(pair.index), how);
                return;
        }
    }

    // How the two differ once every child is compared: None if they do
    // not; see changes.hpp.
    PyRef outcome() {
        if (pass_ == Pass::mapping) return mapping_outcome();
        // A comparison of the caller's type that changed the list's length
        // leaves no index to go by.
        if (PyList_GET_SIZE(now_.get()) != now_size_) return PyRef::borrow(Py_True);
        // Of one length, every item is paired by position.
        if (pass_ == Pass::same_length && !changed_) return PyRef::borrow(Py_None);
        if (!changed_) changed_ = checked(PyDict_New());
        PyRef prefix = checked(PyLong_FromSsize_t(prefix_));
        PyRef suffix = checked(PyLong_FromSsize_t(suffix_));
        PyRef old_length = checked(PyLong_FromSsize_t(old_size_));
        return changes_of(item_changes_type, changed_, prefix, suffix, old_length);
    }

private:
    enum class Pass : std::uint8_t { mapping, same_length, prefix, suffix, paired };

    bool next_pair(Pair& pair) {
        switch (pass_) {
            case Pass::mapping:
                return next_entry(pair);
            case Pass::same_length:
                if (index_ >= static_cast<Py_ssize_t>(old_size_) || index_ >= PyList_GET_SIZE(now_.get())) return false;
                pair = Pair{child_, PyList_GET_ITEM(now_.get(), index_), index_};
                child_ = (*snapshot_)[child_].end;
                ++index_;
                return true;
            case Pass::prefix:
            case Pass::suffix:
            case Pass::paired:
                return next_item(pair);
        }
        return false;
    }

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
                    if (!gone_) gone_ = checked(PyList_New(0));
                    if (PyList_Append(gone_.get(), key) < 0) throw fetch_current_error();
                    continue;
                }
            }
            ++shared_keys_;
            pair = Pair{child, now_value, 0};
            return true;
        }
        return false;
    }

    bool next_item(Pair& pair) {
        const Py_ssize_t shorter = std::min(static_cast<Py_ssize_t>(old_size_), now_size_);
        // The caller's == may have shortened the list: outcome() says so.
        if (PyList_GET_SIZE(now_.get()) != now_size_) return false;
        if (pass_ == Pass::prefix) {
            if (prefix_ < shorter) {
                pair = Pair{items_[prefix_], PyList_GET_ITEM(now_.get(), prefix_), prefix_};
                return true;
            }
            pass_ = Pass::suffix;
        }
        if (pass_ == Pass::suffix) {
            if (prefix_ + suffix_ < shorter) {
                const Py_ssize_t old_index = static_cast<Py_ssize_t>(old_size_) - 1 - suffix_;
                pair = Pair{items_[old_index], PyList_GET_ITEM(now_.get(), now_size_ - 1 - suffix_), old_index};
                return true;
            }
            start_pairing();
        }
        if (paired_next_ < paired_end_) {
            pair = Pair{items_[paired_next_], PyList_GET_ITEM(now_.get(), paired_next_), paired_next_};
            ++paired_next_;
            return true;
        }
        return false;
    }

    // The items between prefix and suffix, paired by position: the first
    // pair's difference is the one that ended the prefix.
    void start_pairing() {
        pass_ = Pass::paired;
        const Py_ssize_t shorter = std::min(static_cast<Py_ssize_t>(old_size_), now_size_);
        paired_next_ = prefix_;
        paired_end_ = shorter - suffix_;
        if (paired_next_ < paired_end_) {
            VORN_ASSERT(first_difference_);
            note(index_object(paired_next_), first_difference_.get());
            ++paired_next_;
        }
    }

    static PyRef index_object(Py_ssize_t index) { return checked(PyLong_FromSsize_t(index)); }

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

    void note(PyRef step, PyObject* how) {
        if (!changed_) changed_ = checked(PyDict_New());
        if (PyDict_SetItem(changed_.get(), step.get(), how) < 0) throw fetch_current_error();
    }

    PyRef mapping_outcome() {
        PyRef added = checked(PyList_New(0));
        if (shared_keys_ < PyDict_GET_SIZE(now_.get())) {
            note_keys_of_callers_types();
            // Some keys are new: the snapshot's keys, as a set, tell which.
            PyRef old_keys = checked(PySet_New(nullptr));
            const ValueSnapshot& snapshot = *snapshot_;
            for (std::uint32_t child = node_ + 1; child < snapshot[node_].end; child = snapshot[child].end)
                if (PySet_Add(old_keys.get(), snapshot[child].key) < 0) throw fetch_current_error();
            Py_ssize_t at = 0;
            PyObject* key = nullptr;
            PyObject* value = nullptr;
            while (PyDict_Next(now_.get(), &at, &key, &value)) {
                // A key of the caller's type runs its own __hash__ and
                // __eq__, which may take it out of the dict.
                PyRef held = PyRef::borrow(key);
                const int present = PySet_Contains(old_keys.get(), held.get());
                if (present < 0) throw fetch_current_error();
                if (!present && PyList_Append(added.get(), held.get()) < 0) throw fetch_current_error();
            }
        }
        if (!changed_ && !gone_ && PyList_GET_SIZE(added.get()) == 0) return PyRef::borrow(Py_None);
        if (!changed_) changed_ = checked(PyDict_New());
        if (!gone_) gone_ = checked(PyList_New(0));
        return changes_of(mapping_changes_type, changed_, gone_, added);
    }

    const ValueSnapshot* snapshot_;
    std::uint32_t node_;
    PyRef now_;
    bool* foreign_;
    // The pair given last, which settle() is told of.
    Pair last_{};
    Pass pass_ = Pass::mapping;
    // Lists: the number of items read.
    std::uint32_t old_size_ = 0;
    // The next child node to compare (mappings, lists of one length).
    std::uint32_t child_;
    Py_ssize_t index_ = 0;
    // Mappings.
    Py_ssize_t now_position_ = 0;
    bool in_step_ = true;
    Py_ssize_t shared_keys_ = 0;
    PyRef gone_;
    // Lists of different lengths: the item nodes, and the passes' counts.
    Py_ssize_t now_size_ = 0;
    std::vector<std::uint32_t> items_;
    Py_ssize_t prefix_ = 0;
    Py_ssize_t suffix_ = 0;
    Py_ssize_t paired_next_ = 0;
    Py_ssize_t paired_end_ = 0;
    PyRef first_difference_;
    // Made at the first difference: step → how the children differ.
    PyRef changed_;
};

}  // namespace

PyRef changes(const ValueSnapshot& snapshot, PyObject* data, bool& foreign) {
    VORN_ASSERT(snapshot.size() > 0);
    foreign = false;
    if (!compared_by_children(snapshot[0], data))
        return PyRef::borrow(differ(snapshot[0].str, data, foreign) ? Py_True : Py_None);
    std::vector<Comparison> pending;
    pending.emplace_back(snapshot, 0, data, foreign);
    Pair pair{};
    while (true) {
        Comparison& top = pending.back();
        if (top.next(pair)) {
            const ValueSnapshot::Node& node = snapshot[pair.node];
            if (compared_by_children(node, pair.now)) {
                // `top` is not used again before this comparison ends.
                pending.emplace_back(snapshot, pair.node, pair.now, foreign);
            } else {
                top.settle(differ(node.str, pair.now, foreign) ? Py_True : Py_None);
            }
            continue;
        }
        PyRef outcome = top.outcome();
        pending.pop_back();
        if (pending.empty()) return outcome;
        // The finished comparison was made for the pair its parent gave last.
        pending.back().settle(outcome.get());
    }
}

int add_change_types(PyObject* module) {
    if (mapping_changes_type == nullptr) {
        mapping_changes_type = PyStructSequence_NewType(&mapping_description);
        if (mapping_changes_type == nullptr) return -1;
    }
    if (item_changes_type == nullptr) {
        item_changes_type = PyStructSequence_NewType(&item_description);
        if (item_changes_type == nullptr) return -1;
    }
    if (PyModule_AddObjectRef(module, "MappingChanges", reinterpret_cast<PyObject*>(mapping_changes_type)) < 0)
        return -1;
    return PyModule_AddObjectRef(module, "ItemChanges", reinterpret_cast<PyObject*>(item_changes_type));
}

}  // namespace vorn::binding
