// What changed in a document's data since it was read, as the edit engine
// takes it: found by one walk of the data beside the snapshot of the values
// as read.
#pragma once

#include "edit/change_set.hpp"
#include "py_ref.hpp"
#include "value_snapshot.hpp"

namespace vorn::binding {

// How `data` differ from what `snapshot` recorded, without recursion.
// Unchanged strs are the snapshot's own, so most are settled by identity;
// a str of the caller's type is compared with ==. Items of a list are
// paired by what they are: a list or dict read is the same object while the
// caller changes it in place, a str is its text; an item left unpaired
// beside one replaced in its place is paired with it as changed. New values
// are taken as the writer would write them (a TypeError for a type it does
// not write). `foreign` tells whether the walk may have run the caller's
// code (the == of a value, the __hash__ or __eq__ of a key), which may have
// changed the data after they were compared.
edit::ChangeSet changes_since_read(const ValueSnapshot& snapshot, PyObject* data, bool& foreign);

}  // namespace vorn::binding
