// Adding entries to a mapping being built: one at a time, the later
// replacing the earlier under the same key, or merged in from another
// mapping ("<<" entries), where keys already present win.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mapping_builder.hpp"
#include "source_position.hpp"
#include "vorn/parse_error.hpp"

namespace vorn {

// Inserts the entry, replacing a node under the same key.
inline void put_entry(MappingBuilder& target, std::string_view key, const DocNode& node) { target.put(key, node); }

// Adds every entry of the mapping `source` whose key `target` lacks;
// keys already present keep their node.
inline void merge_mapping(MappingBuilder& target, const DocValue& source) { target.merge(source.entries()); }

// Inserts one entry; a later node replaces an earlier one under the same
// key. The key "<<" instead merges the node's mapping and makes no entry,
// and fails when the node holds anything but a mapping.
[[nodiscard]] std::optional<ParseError> insert_entry(MappingBuilder& target, std::string_view key, const DocNode& node,
                                                     SourcePosition at);

}  // namespace vorn
