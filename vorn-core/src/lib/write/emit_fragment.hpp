// Writing a piece of a document: one entry or item, or the value after an
// entry's colon or an item's hyphen, as emit writes it there. The editor
// writes every new or changed value with these, so that an edit spells
// what it writes by the writer's own rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vorn/value.hpp"

#include "write/emit_flat_tree.hpp"

namespace vorn {

// How the layout walk spells what it writes; emit's own is the default.
struct LayoutStyle {
    // A scalar that reads_back_plain bare, instead of double-quoted.
    bool plain_scalars = false;
    // "- key: value" for an item holding a mapping whose first entry fits on
    // the item's line, instead of "-" alone above the mapping.
    bool compact_items = false;
    // "-" with no blank after it when nothing follows on its line.
    bool bare_hyphens = false;

    bool operator==(const LayoutStyle&) const = default;
};

// A key of a mapping or an index of a sequence, on the way from a
// fragment's value to what is at fault in it.
using FragmentStep = std::variant<std::string, std::size_t>;

struct Fragment {
    // The first line's text (without its line feed) and the lines below it,
    // each ending with a line feed; both empty when `fault` is set.
    std::string line;
    std::string below;
    WriteFault fault = WriteFault::none;
    // Where the fault is, from the fragment's value.
    std::vector<FragmentStep> fault_steps;
    // When the fragment ends with a literal block: the indentation that a
    // line after it must exceed to be read as the block's text. UINT32_MAX
    // when nothing after it would be taken in.
    std::uint32_t open_threshold = UINT32_MAX;
};

// `value` as the entry `key` (or, with no key, an item) at `indent`: `line`
// from the indentation through the value's first line. With `lossless`,
// what would not read back is refused as emit_checked refuses it.
Fragment write_entry_fragment(std::uint64_t indent, const std::optional<std::string_view>& key, const Value& value,
                              LayoutStyle style, bool lossless);

// The value alone, as written after an entry's colon (`after_colon`) or an
// item's hyphen: `line` is the rest of that line (" \"x\"", " |", " {}", or
// nothing before a nested block), `below` the lines under it. `indent` is
// the indentation of the entry or item (of the key, for an entry on an
// item's line).
Fragment write_value_fragment(std::uint64_t indent, bool after_colon, const Value& value, LayoutStyle style,
                              bool lossless);

}  // namespace vorn
