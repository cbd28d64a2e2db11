// The edit engine: a document's text changed as data changed since it was
// read, in place. Every byte the changes do not reach stays as it was; what
// they reach is spelled by the writer's own rules in the context where it
// lands; and the result is read back before it is given. Where the text
// cannot be made so, the engine says why instead of guessing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "edit/change_set.hpp"
#include "read/syntax_index.hpp"
#include "tree/document.hpp"
#include "write/emit_flat_tree.hpp"

namespace vorn::edit {

// A key or an index, from the root to the value an error is about.
using DataStep = std::variant<std::string, std::size_t>;

struct EditError {
    enum class Kind : std::uint8_t {
        // A value the format cannot carry (a tab, a line that a literal block
        // would drop...): `fault` says which.
        cannot_write,
        // The data could be written, but not into this text in place:
        // `reason` says why.
        not_in_place,
    };
    Kind kind = Kind::not_in_place;
    std::vector<DataStep> path;
    WriteFault fault = WriteFault::none;
    std::string reason;
};

// `text`, read as `document` with the syntax records `records`, changed as
// `changes` say; or why it cannot be. The text returned reads back as the
// data (the values read with the changes made), which is checked.
std::variant<std::string, EditError> edit_text(std::string_view text, const SyntaxIndex& records,
                                               const DocValue& document, const ChangeSet& changes);

}  // namespace vorn::edit
