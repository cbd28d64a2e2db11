// The edits of a text as typed values: each replaces the bytes [begin, end)
// of the text as read with new text. A splice that overlaps one already
// added is refused when it is added, so a plan that would cut into its own
// work is found where it is made, not when the text is put together.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::edit {

inline constexpr std::uint32_t no_open_block = UINT32_MAX;

struct Splice {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    std::string text;
    // When `text` ends in a block that takes the deeper lines after it (a
    // literal block's lines, an empty value's nested block): the
    // indentation those lines must exceed to join it.
    std::uint32_t open_threshold = no_open_block;
};

class SpliceSet {
public:
    // Adds a splice; false, and nothing added, when it overlaps one added
    // before. Insertions (begin == end) at one offset stand in the order
    // added; an insertion at the begin or end of a replacement is no
    // overlap (it goes before or after it).
    [[nodiscard]] bool add(Splice splice);
    // Whether [begin, end) overlaps a splice, or an insertion stands inside it.
    bool touches(std::uint32_t begin, std::uint32_t end) const noexcept;
    // Whether `offset` is removed or replaced by a splice.
    bool removes(std::uint32_t offset) const noexcept;
    bool empty() const noexcept { return splices_.empty(); }
    const std::vector<Splice>& splices() const noexcept { return splices_; }

    // Takes out the splices that lie within [begin, end), for a piece of the
    // text that moves elsewhere with its edits made.
    SpliceSet extract(std::uint32_t begin, std::uint32_t end);

    // The text of [begin, end) of `text` with the splices made; every splice
    // must lie within it.
    std::string apply(std::string_view text, std::uint32_t begin, std::uint32_t end) const;

private:
    // Ordered by begin, then end; insertions at one offset in the order added.
    std::vector<Splice> splices_;
};

}  // namespace vorn::edit
