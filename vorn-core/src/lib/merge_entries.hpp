// Merging the entries of one mapping into another ("<<" entries).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vorn/parse_error.hpp"
#include "vorn/value.hpp"

namespace vorn {

// Moves every entry of `source` whose key `target` lacks into `target`;
// keys already present keep their node.
void merge_mapping(Mapping& target, Mapping&& source);

// Inserts one entry; a later node replaces an earlier one under the same
// key. The key "<<" instead merges the node's mapping and makes no entry,
// and fails when the node holds anything but a mapping.
[[nodiscard]] std::optional<ParseError> insert_entry(Mapping& target, std::string key, Node node,
                                                     std::uint64_t line, std::uint64_t column);

}  // namespace vorn
