// What the reader makes of one entry or item line read alone: the editor
// asks before it writes a line, so that the line reads as it means, by the
// reader's own rules rather than a copy of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// Where a line stands: "key: value" in a block mapping, "- value" in a
// sequence, or "- key: value", the first entry of an item's mapping.
enum class LineSite { block_entry, item, item_entry };

struct LineReading {
    // The key as read; empty for an item.
    std::string key;
    // The scalar the line holds; nullopt when it holds anything else (a
    // collection, a block, an alias, a merge).
    std::optional<std::string> scalar;
    std::optional<std::string> inline_comment;
};

// `line` is the line's text from its key or hyphen to its end. nullopt when
// the line does not read at all, or does not read as one entry or item.
std::optional<LineReading> read_line_alone(LineSite site, std::string_view line);

}  // namespace vorn
