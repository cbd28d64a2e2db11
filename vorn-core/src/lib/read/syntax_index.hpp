// Finding where a value of the tree was written: a path of keys and
// indices, walked through the values and the syntax records side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "read/syntax.hpp"
#include "tree/document.hpp"

namespace vorn {

// A key of a mapping or an index of a sequence.
using PathStep = std::variant<std::string_view, std::size_t>;

struct Location {
    // The record that wrote the value, or no_record for the root.
    std::uint32_t record = no_record;
    // Whether the value was not written where it is read, but came with an
    // alias or a merge: `record` is then that alias's entry or item, or the
    // "<<" line.
    bool copied = false;
};

// Where a value is written, through the aliases and merges that brought it:
// `record` wrote it (no_record: the root), `key_record` wrote its key (no
// record for an item or the root), and `via` are the alias and merge records
// passed on the way, outermost first.
struct WrittenPlace {
    std::uint32_t record = no_record;
    std::uint32_t key_record = no_record;
    std::vector<std::uint32_t> via;
    // Whether the records stopped leading on the way (they always should):
    // then `record` is the nearest place found.
    bool lost = false;
};

class SyntaxIndex {
public:
    explicit SyntaxIndex(std::vector<SyntaxRecord> records);

    const std::vector<SyntaxRecord>& records() const noexcept { return records_; }
    // Whether a record has an anchor, an alias or a merge: what ties a
    // value to lines far from it.
    bool has_copies() const noexcept { return has_copies_; }
    // The records' storage, for a SyntaxRecorder to reuse; the index is
    // then empty.
    std::vector<SyntaxRecord> release_records() && noexcept { return std::move(records_); }

    // Where the value at `path` below `root` was written; nullopt when the
    // tree has no value there. Walks without recursion.
    std::optional<Location> locate(const DocValue& root, std::span<const PathStep> path) const;

    // Where the value at `path` below `root` is written, following each
    // alias into its anchored block and each merge into the block it merges;
    // nullopt when the tree has no value there. Walks without recursion.
    std::optional<WrittenPlace> written_at(const DocValue& root, std::span<const PathStep> path) const;

    // The paths of every value below `root` written at `record` (its key at
    // `key_record`): where it stands itself, and every place an alias or a
    // merge repeats it, in the tree's order. Walks without recursion.
    std::vector<std::vector<PathStep>> places_of(const DocValue& root, std::uint32_t record,
                                                 std::uint32_t key_record) const;

    // The records whose value holds `parent` directly, in written order
    // (no_record: the root's).
    std::uint32_t first_child(std::uint32_t parent) const noexcept {
        return parent == no_record ? first_root_child_ : first_child_[parent];
    }
    std::uint32_t next_sibling(std::uint32_t record) const noexcept { return next_sibling_[record]; }

    // The entry under `key` that `owner` wrote itself (the last, as it
    // wins), or the "<<" line whose merge brought it (copied); no_record if
    // neither.
    Location find_entry(std::uint32_t owner, std::string_view key) const;
    // Whether the mapping of `owner`, merges included, has `key`.
    bool provides(std::uint32_t owner, std::string_view key) const;
    // The item at `index` of the sequence of `owner`, or no_record.
    std::uint32_t find_item(std::uint32_t owner, std::size_t index) const noexcept;

private:
    // Where the value one `step` below `place` is written.
    void step_into(WrittenPlace& place, const PathStep& step) const;
    // find_entry among the siblings from `first` up to `stop` (not included).
    Location find_entry_among(std::uint32_t first, std::uint32_t stop, std::string_view key) const;

    std::vector<SyntaxRecord> records_;
    std::vector<std::uint32_t> first_child_;
    std::vector<std::uint32_t> next_sibling_;
    std::uint32_t first_root_child_ = no_record;
    bool has_copies_ = false;
};

}  // namespace vorn
