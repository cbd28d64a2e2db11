// Adding entries to a mapping being built: one at a time, the later
// replacing the earlier under the same key, or merged in from another
// mapping ("<<" entries), where keys already present win.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vorn/parse_error.hpp"
#include "vorn/value.hpp"

namespace vorn {

// Inserts the entry, replacing (and destroying) a node under the same key.
// Keys that arrive in ascending order, as in any document the writer made,
// are appended without searching the map.
void put_entry(Mapping& target, std::string key, Node node);

// Moves every entry of `source` whose key `target` lacks into `target`;
// keys already present keep their node.
void merge_mapping(Mapping& target, Mapping&& source);

// Inserts one entry; a later node replaces an earlier one under the same
// key. The key "<<" instead merges the node's mapping and makes no entry,
// and fails when the node holds anything but a mapping.
[[nodiscard]] std::optional<ParseError> insert_entry(Mapping& target, std::string key, Node node,
                                                     std::uint64_t line, std::uint64_t column);

}  // namespace vorn
