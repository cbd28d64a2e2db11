// What changed in a document's data since it was read: the editor asks
// this when it writes the data back, and rewrites only what it says.
#pragma once

#include "py_ref.hpp"
#include "value_snapshot.hpp"

namespace vorn::binding {

// Adds the types MappingChanges and ItemChanges to `module`; -1 with an
// exception set on failure.
int add_change_types(PyObject* module);

// None when `data` holds what `snapshot` recorded; else how they differ,
// in one walk without recursion:
// - for a mapping and a dict, MappingChanges(changed, gone, added):
//   `changed` maps each key both hold whose values differ to how they
//   differ, in the order read; `gone` lists the keys only the snapshot
//   holds, `added` those only the data hold, each in its own order. The
//   snapshot's keys are those of a mapping as read, each once;
// - for two lists, ItemChanges(changed, prefix, suffix, old_length): the
//   first `prefix` and the last `suffix` items are unchanged, and the items
//   between are paired by position (an index is the same in both),
//   `changed` mapping each index of a pair that differs to how it does;
//   the rest of the longer list were deleted or added. Lists of one length
//   have no prefix or suffix: every item is paired;
// - True for anything else that is not equal.
// Unchanged strs are the snapshot's own, so most are settled by identity;
// a str of the caller's type is compared with ==. `foreign` tells whether
// the walk may have run the caller's code (the == of a value, the __hash__
// or __eq__ of a key), which may have changed the data after they were
// compared.
PyRef changes(const ValueSnapshot& snapshot, PyObject* data, bool& foreign);

}  // namespace vorn::binding
