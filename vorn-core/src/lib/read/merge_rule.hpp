// Which entries merge a mapping in instead of making an entry of their own.
// The reader, its syntax records, the editor and the package all ask here.
#pragma once

#include <cstdint>
#include <string_view>

#include "read/scalar_syntax.hpp"

namespace vorn {

inline constexpr std::string_view merge_key = "<<";

// Where an entry stands: on a line of a block mapping, or first on an item's
// line ("- key: value"), where the item's mapping starts.
enum class EntryPlace : std::uint8_t { block_mapping, item_line };

// In a block mapping only "<<: *name" merges ("<<" with any other value is an
// ordinary key); first on an item's line "<<" merges whatever its value is,
// and a value that is no mapping is an error there.
constexpr bool is_merge(std::string_view key, ValueForm form, EntryPlace place) noexcept {
    return key == merge_key && (place == EntryPlace::item_line || form == ValueForm::alias);
}

}  // namespace vorn
