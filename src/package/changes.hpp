// What changed in a document's data since it was read: the editor asks
// this when it writes the data back, and rewrites only what it says.
#pragma once

#include "py_ref.hpp"
#include "value_snapshot.hpp"

namespace vorn::binding {

// None when `data` holds what `snapshot` recorded; else how they differ,
// in one walk without recursion:
// - for a mapping and a dict, (changed, gone, added): `changed` maps each
//   key both hold whose values differ to how they differ, in the order
//   read; `gone` lists the keys only the snapshot holds, `added` those only
//   the data hold, each in its own order;
// - for a list and a list of its length, a dict from each index whose
//   items differ to how they differ;
// - for lists of different lengths, (changed, prefix, suffix, old_length):
//   the first `prefix` and the last `suffix` items are unchanged, and the
//   items between are paired by position, `changed` mapping each index of
//   a pair that differs to how it does; the rest were deleted or added;
// - True for anything else that is not equal.
// Unchanged strs are the snapshot's own, so most are settled by identity;
// a str of the caller's type is compared with ==. `foreign` tells whether
// the walk may have run the caller's code (the == of a value, the __hash__
// or __eq__ of a key), which may have changed the data after they were
// compared.
PyRef changes(const ValueSnapshot& snapshot, PyObject* data, bool& foreign);

}  // namespace vorn::binding
