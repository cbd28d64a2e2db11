// How a tree differs from a document as read, as the edit engine takes it:
// for C++ callers, who hold the new data as a Value, and the fuzz targets.
// (The Python binding finds the changes from its own objects.)
#pragma once

#include "edit/change_set.hpp"
#include "tree/document.hpp"

namespace vorn::edit {

// The changes that make `old` into `now`. Items of a sequence are paired by
// their values (an item moved keeps its lines); mapping entries by key.
// Walks without recursion.
ChangeSet diff(const DocValue& old, const Value& now);

}  // namespace vorn::edit
