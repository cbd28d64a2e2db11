#include "edit/splice.hpp"

#include <algorithm>

#include "vorn/assert.hpp"

namespace vorn::edit {

namespace {

// The order of the splices: by begin, then end (an insertion before a
// replacement that starts at its offset).
bool sorts_before(const Splice& a, const Splice& b) noexcept {
    return a.begin < b.begin || (a.begin == b.begin && a.end < b.end);
}

// Whether two splices take bytes the other takes, or one inserts inside the
// bytes the other replaces.
bool overlap(const Splice& a, std::uint32_t begin, std::uint32_t end) noexcept {
    if (a.begin == a.end) return begin < a.begin && a.begin < end;
    if (begin == end) return a.begin < begin && begin < a.end;
    return a.begin < end && begin < a.end;
}

}  // namespace

bool SpliceSet::add(Splice splice) {
    VORN_ASSERT(splice.begin <= splice.end);
    if (touches(splice.begin, splice.end)) return false;
    // A plan adds its splices mostly in the order of the text: then the new
    // one goes last. Otherwise after every splice that starts before it or
    // at its offset: insertions at one offset keep the order they were added
    // in, and a replacement starting there goes after them.
    if (splices_.empty() || !sorts_before(splice, splices_.back())) {
        splices_.push_back(std::move(splice));
        return true;
    }
    splices_.insert(std::upper_bound(splices_.begin(), splices_.end(), splice, sorts_before), std::move(splice));
    return true;
}

bool SpliceSet::touches(std::uint32_t begin, std::uint32_t end) const noexcept {
    // The splices never overlap one another, so of those starting before
    // `begin` only the last can reach past it.
    auto at = std::lower_bound(splices_.begin(), splices_.end(), begin,
                               [](const Splice& splice, std::uint32_t offset) { return splice.begin < offset; });
    if (at != splices_.begin() && overlap(*(at - 1), begin, end)) return true;
    for (; at != splices_.end() && at->begin <= end; ++at) {
        if (overlap(*at, begin, end)) return true;
    }
    return false;
}

bool SpliceSet::removes(std::uint32_t offset) const noexcept {
    auto at = std::upper_bound(splices_.begin(), splices_.end(), offset,
                               [](std::uint32_t value, const Splice& splice) { return value < splice.begin; });
    // Only the last splice starting at or before `offset` can hold it: no
    // insertion stands inside a replacement.
    return at != splices_.begin() && (at - 1)->begin <= offset && offset < (at - 1)->end;
}

SpliceSet SpliceSet::extract(std::uint32_t begin, std::uint32_t end) {
    SpliceSet inside;
    std::vector<Splice> rest;
    for (Splice& splice : splices_) {
        // An insertion at either edge belongs to the piece's neighbours.
        const bool within = splice.begin == splice.end ? begin < splice.begin && splice.begin < end
                                                       : begin <= splice.begin && splice.end <= end;
        (within ? inside.splices_ : rest).push_back(std::move(splice));
    }
    splices_ = std::move(rest);
    return inside;
}

std::string SpliceSet::apply(std::string_view text, std::uint32_t begin, std::uint32_t end) const {
    std::string out;
    std::size_t size = end - begin;
    for (const Splice& splice : splices_) size += splice.text.size();
    out.reserve(size);
    std::uint32_t at = begin;
    for (const Splice& splice : splices_) {
        VORN_ASSERT(begin <= splice.begin && splice.end <= end && at <= splice.begin);
        out.append(text.substr(at, splice.begin - at));
        out += splice.text;
        at = splice.end;
    }
    out.append(text.substr(at, end - at));
    return out;
}

}  // namespace vorn::edit
