// Whether a text read back holds the data an edit meant: the values as read
// with the changes made. Compared in one walk, without making the data.
#pragma once

#include <optional>
#include <vector>

#include "edit/change_set.hpp"
#include "edit/edit_text.hpp"
#include "tree/document.hpp"

namespace vorn::edit {

// nullopt when `now` holds `old` with `change` made; else the path of the
// first place where it does not.
std::optional<std::vector<DataStep>> first_difference(const DocValue& now, const DocValue& old,
                                                      const ChangeSet& changes, std::uint32_t change);

// Whether `now` holds `made` exactly.
bool holds_value(const DocValue& now, const Value& made, const ChangeSet& changes);

}  // namespace vorn::edit
