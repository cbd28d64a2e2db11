#include "snapshot.hpp"

#include <utility>
#include <vector>

#include "error_state.hpp"
#include "py_ref.hpp"

namespace vorn::binding {
namespace {

// A copy of `container` (an exact dict or list) of the same type, which the
// cycle collector does not track: a copy of a tree holds no cycle, and
// the collector's passes would otherwise walk a snapshot as large as the
// document for nothing.
PyRef shallow_copy(PyObject* container) {
    PyRef copy = checked(PyDict_CheckExact(container) ? PyDict_Copy(container)
                                                      : PyList_GetSlice(container, 0, PyList_GET_SIZE(container)));
    if (PyObject_GC_IsTracked(copy.get())) PyObject_GC_UnTrack(copy.get());
    return copy;
}

bool is_container(PyObject* object) noexcept { return PyDict_CheckExact(object) || PyList_CheckExact(object); }

// Two children to compare: under one key (of `old`) or at one index.
struct Pair {
    PyObject* key;
    Py_ssize_t index;
    PyObject* old;
    PyObject* now;
};

// A dict of the snapshot and a dict of the data, or a list of each of one
// length, being compared: the children are compared in turn, and those
// that differ are gathered.
struct Comparison {
    PyRef old;
    PyRef now;
    // The key or index under which the parent comparison holds this one;
    // none for the root.
    PyRef step;
    bool mapping = false;
    // The next child of `old` to compare.
    Py_ssize_t position = 0;
    // Mappings: while the keys of `now` come in the order of those of
    // `old`, each is met at `now_position` without a lookup (the common
    // case: data changed in place keep their order).
    Py_ssize_t now_position = 0;
    bool in_step = true;
    Py_ssize_t shared_keys = 0;
    // Made at the first difference: step → how the children differ; and,
    // for mappings, the keys only `old` holds.
    PyRef changed;
    PyRef gone;

    void note_changed(PyObject* child_step, PyObject* how) {
        if (!changed) changed = checked(PyDict_New());
        if (PyDict_SetItem(changed.get(), child_step, how) < 0) throw fetch_current_error();
    }

    void note_gone(PyObject* key) {
        if (!gone) gone = checked(PyList_New(0));
        if (PyList_Append(gone.get(), key) < 0) throw fetch_current_error();
    }

    // The next pair of children to compare, or false once all are
    // compared; a key only `old` holds is noted on the way. The pointers
    // are borrowed: good until Python code runs.
    bool next(Pair& pair) {
        if (!mapping) {
            // `now` can change length while its items are compared.
            if (position >= PyList_GET_SIZE(old.get()) || position >= PyList_GET_SIZE(now.get())) return false;
            pair = Pair{nullptr, position, PyList_GET_ITEM(old.get(), position), PyList_GET_ITEM(now.get(), position)};
            ++position;
            return true;
        }
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(old.get(), &position, &key, &value)) {
            PyObject* now_key = nullptr;
            PyObject* now_value = nullptr;
            if (in_step && !(PyDict_Next(now.get(), &now_position, &now_key, &now_value) && now_key == key)) {
                in_step = false;
                now_value = nullptr;
            }
            if (!in_step) {
                now_value = PyDict_GetItemWithError(now.get(), key);
                if (now_value == nullptr) {
                    if (PyErr_Occurred()) throw fetch_current_error();
                    note_gone(key);
                    continue;
                }
            }
            ++shared_keys;
            pair = Pair{key, 0, value, now_value};
            return true;
        }
        return false;
    }

    // The key or index under which this comparison holds `pair`.
    PyRef step_of(const Pair& pair) const {
        return mapping ? PyRef::borrow(pair.key) : checked(PyLong_FromSsize_t(pair.index));
    }

    // How the two differ once every child is compared: None if they do
    // not.
    PyRef outcome() {
        if (!mapping) {
            // A comparison of the caller's type that changed the list's
            // length leaves no index to go by.
            if (PyList_GET_SIZE(now.get()) != PyList_GET_SIZE(old.get())) return PyRef::borrow(Py_True);
            return changed ? std::move(changed) : PyRef::borrow(Py_None);
        }
        PyRef added = checked(PyList_New(0));
        if (shared_keys < PyDict_GET_SIZE(now.get())) {
            Py_ssize_t at = 0;
            PyObject* key = nullptr;
            PyObject* value = nullptr;
            while (PyDict_Next(now.get(), &at, &key, &value)) {
                // A key of the caller's type runs its own __hash__ and
                // __eq__, which may take it out of `now`.
                PyRef held = PyRef::borrow(key);
                const int present = PyDict_Contains(old.get(), held.get());
                if (present < 0) throw fetch_current_error();
                if (!present && PyList_Append(added.get(), held.get()) < 0) throw fetch_current_error();
            }
        }
        if (!changed && !gone && PyList_GET_SIZE(added.get()) == 0) return PyRef::borrow(Py_None);
        if (!changed) changed = checked(PyDict_New());
        if (!gone) gone = checked(PyList_New(0));
        return checked(PyTuple_Pack(3, changed.get(), gone.get(), added.get()));
    }
};

// Whether the two are compared child by child: a mapping with a mapping,
// a list with a list of its length. `old` comes from the snapshot, whose
// containers are exact dicts and lists; `now` may be of a subclass, which
// is written as its base is.
bool compared_by_children(PyObject* old, PyObject* now) noexcept {
    if (PyDict_CheckExact(old)) return PyDict_Check(now);
    return PyList_CheckExact(old) && PyList_Check(now) && PyList_GET_SIZE(old) == PyList_GET_SIZE(now);
}

Comparison comparison_of(PyObject* old, PyObject* now, PyRef step) {
    Comparison comparison;
    comparison.old = PyRef::borrow(old);
    comparison.now = PyRef::borrow(now);
    comparison.step = std::move(step);
    comparison.mapping = PyDict_CheckExact(old);
    return comparison;
}

// True when two values that are not compared child by child differ.
bool differ(PyObject* old, PyObject* now) {
    const int equal = PyObject_RichCompareBool(old, now, Py_EQ);
    if (equal < 0) throw fetch_current_error();
    return equal == 0;
}

}  // namespace

PyObject* copy_containers(PyObject*, PyObject* obj) {
    return guarded_entry([&]() -> PyObject* {
        if (!is_container(obj)) return Py_NewRef(obj);
        PyRef root = shallow_copy(obj);
        // The copies whose own children are still the originals'.
        std::vector<PyRef> pending;
        pending.push_back(PyRef::borrow(root.get()));
        while (!pending.empty()) {
            PyRef container = std::move(pending.back());
            pending.pop_back();
            if (PyDict_CheckExact(container.get())) {
                Py_ssize_t position = 0;
                PyObject* key = nullptr;
                PyObject* value = nullptr;
                // Replacing the value of a key already present is allowed
                // while the dict is iterated.
                while (PyDict_Next(container.get(), &position, &key, &value)) {
                    if (!is_container(value)) continue;
                    PyRef copy = shallow_copy(value);
                    if (PyDict_SetItem(container.get(), key, copy.get()) < 0) throw fetch_current_error();
                    pending.push_back(std::move(copy));
                }
            } else {
                for (Py_ssize_t i = 0; i < PyList_GET_SIZE(container.get()); ++i) {
                    PyObject* item = PyList_GET_ITEM(container.get(), i);
                    if (!is_container(item)) continue;
                    PyRef copy = shallow_copy(item);
                    PyList_SetItem(container.get(), i, Py_NewRef(copy.get()));
                    pending.push_back(std::move(copy));
                }
            }
        }
        return root.release();
    });
}

// One walk over both, without recursion. How a pair differs is:
// - for two mappings, (changed, gone, added): `changed` maps each key both
//   hold whose values differ to how they differ, in the order of `old`;
//   `gone` lists the keys only `old` holds, `added` those only `new` holds,
//   each in its own order;
// - for two lists of one length, a dict from each index whose items differ
//   to how they differ;
// - True for any other pair that is not equal.
// Unchanged strs are the snapshot's own, so most pairs are settled by
// identity; a value of the caller's type is compared with ==.
PyObject* changes(PyObject*, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count != 2) throw ErrorState::type_error("changes() takes exactly 2 arguments");
        PyObject* old = arguments[0];
        PyObject* now = arguments[1];
        if (!compared_by_children(old, now)) return Py_NewRef(old != now && differ(old, now) ? Py_True : Py_None);
        std::vector<Comparison> pending;
        pending.push_back(comparison_of(old, now, PyRef()));
        Pair pair{};
        while (true) {
            Comparison& top = pending.back();
            if (top.next(pair)) {
                // Most children are the snapshot's own objects.
                if (pair.old == pair.now) continue;
                // Held from here, since == may run Python code.
                PyRef step = top.step_of(pair);
                PyRef old_child = PyRef::borrow(pair.old);
                PyRef now_child = PyRef::borrow(pair.now);
                if (compared_by_children(old_child.get(), now_child.get())) {
                    // `top` is not used again before this comparison ends.
                    pending.push_back(comparison_of(old_child.get(), now_child.get(), std::move(step)));
                } else if (differ(old_child.get(), now_child.get())) {
                    top.note_changed(step.get(), Py_True);
                }
                continue;
            }
            PyRef outcome = top.outcome();
            PyRef finished_step = std::move(top.step);
            pending.pop_back();
            if (pending.empty()) return outcome.release();
            if (outcome.get() != Py_None) pending.back().note_changed(finished_step.get(), outcome.get());
        }
    });
}

}  // namespace vorn::binding
