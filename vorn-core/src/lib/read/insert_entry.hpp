// Adding one entry line's key and node to the mapping being read, where the
// key "<<" merges a mapping in instead of making an entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "vorn/parse_error.hpp"

#include "read/source_position.hpp"
#include "tree/mapping_builder.hpp"

namespace vorn {

// Inserts one entry; a later node replaces an earlier one under the same
// key. The key "<<" instead merges the node's mapping and makes no entry,
// and fails when the node holds anything but a mapping.
[[nodiscard]] std::optional<ParseError> insert_entry(MappingBuilder& target, std::string_view key, const DocNode& node,
                                                     SourcePosition at);

}  // namespace vorn
