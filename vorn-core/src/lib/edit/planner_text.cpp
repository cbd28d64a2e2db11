// The planner's view of the text as read: lines and offsets, and what each
// record is before anything changes.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "edit/planner.hpp"
#include "text/trim.hpp"

namespace vorn::edit {

Planner::Planner(std::string_view text, const SyntaxIndex& records, const DocValue& root, const ChangeSet& changes)
    : text_(text), records_(records), root_(root), changes_(changes) {
    const std::size_t first_break = text.find('\n');
    if (first_break != std::string_view::npos && first_break > 0 && text[first_break - 1] == '\r') newline_ = "\r\n";
    // A last line without a line break gets one while the plan is made, so
    // that every record's lines end with one; it goes again if nothing is
    // written after it.
    if (!text.empty() && text.back() != '\n') {
        terminated_ = std::string(text) + newline_;
        text_ = terminated_;
        added_line_feed_ = true;
    }
    VORN_ASSERT(text_.size() < no_threshold);
    facts_.assign(records.records().size(), RecordFacts{});
    known_.assign(records.records().size(), 0);
    block_known_.assign(records.records().size() + 1, 0);
}

// Lines are found by looking around the offset, not through a table of
// every line start: an edit asks for a few lines, and the table cost a
// search per line of the document.
std::uint32_t Planner::line_start(std::uint32_t offset) const noexcept {
    VORN_ASSERT(offset <= text_.size());
    if (offset == 0) return 0;
    const std::size_t feed = text_.rfind('\n', offset - 1);
    return feed == std::string_view::npos ? 0 : static_cast<std::uint32_t>(feed + 1);
}

std::uint32_t Planner::after_line(std::uint32_t offset) const noexcept {
    const std::size_t feed = text_.find('\n', offset);
    return static_cast<std::uint32_t>(feed == std::string_view::npos ? text_.size() : feed + 1);
}

std::string_view Planner::rest_of_line(std::uint32_t offset) const noexcept {
    std::string_view rest = text_.substr(offset, after_line(offset) - offset);
    if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
    if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
    return rest;
}

std::uint32_t Planner::indent_of_line(std::uint32_t line_begin) const noexcept {
    std::uint32_t at = line_begin;
    while (at < text_.size() && text_[at] == ' ') ++at;
    return at - line_begin;
}

std::uint32_t Planner::marker(std::uint32_t index) const noexcept {
    const SyntaxRecord& written = record(index);
    if (written.kind == SyntaxKind::item) return written.head.begin;
    // The colon that ends the key: the first after the key as written.
    return static_cast<std::uint32_t>(text_.find(':', written.key.end));
}

std::uint32_t Planner::value_end_on_line(std::uint32_t index) const noexcept {
    const SyntaxRecord& written = record(index);
    const std::uint32_t end = written.inline_comment.empty() ? written.head.end : written.inline_comment.begin;
    const std::uint32_t start = marker(index) + 1;
    const std::string_view before = trim_end(text_.substr(start, end - start));
    return start + static_cast<std::uint32_t>(before.size());
}

std::vector<std::uint32_t> Planner::children(std::uint32_t owner) const {
    std::vector<std::uint32_t> found;
    for (std::uint32_t child = records_.first_child(owner); child != no_record; child = records_.next_sibling(child))
        found.push_back(child);
    return found;
}

std::uint32_t Planner::block_indent(std::uint32_t owner) const {
    std::uint32_t child = records_.first_child(owner);
    // Below "- key: value" the block is the lines after the item's line.
    if (is_inline_owner(owner) && child != no_record) child = records_.next_sibling(child);
    return child == no_record ? 0 : record(child).indent;
}

std::string Planner::with_newlines(std::string text) const {
    if (newline_.size() == 1) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const RecordFacts& Planner::facts(std::uint32_t index) const {
    if (known_[index] == 0) {
        // The holders not yet known first, from the outermost. Their path
        // keeps its room from one call to the next: the records of a large
        // block are asked for one after another.
        unknown_.clear();
        for (std::uint32_t at = index; at != no_record && known_[at] == 0; at = record(at).parent)
            unknown_.push_back(at);
        for (auto at = unknown_.rbegin(); at != unknown_.rend(); ++at) learn(*at);
    }
    return facts_[index];
}

void Planner::learn(std::uint32_t index) const {
    const SyntaxRecord& written = record(index);
    const std::uint32_t owner = written.parent;
    VORN_ASSERT(owner == no_record || known_[owner] != 0);
    learn_block(owner);
    RecordFacts& known = facts_[index];
    // It stands in the data when not overridden, in a block of a record
    // that does; a merge's own block is merged, not placed, so its entries
    // stand nowhere of their own.
    bool owner_places = true;
    if (owner != no_record) {
        const SyntaxRecord& holder = record(owner);
        known.depth = facts_[owner].depth + 1;
        owner_places = facts_[owner].live && holds_block(holder) && holder.kind != SyntaxKind::merge;
    }
    known.live = owner_places && !known.shadowed;
    known_[index] = 1;
}

void Planner::learn_block(std::uint32_t owner) const {
    const auto& all = records_.records();
    char& done = block_known_[owner == no_record ? all.size() : owner];
    if (done != 0) return;
    done = 1;
    std::uint32_t items = 0;
    std::size_t entry_count = 0;
    bool merges = false;
    for (std::uint32_t kid = records_.first_child(owner); kid != no_record; kid = records_.next_sibling(kid)) {
        if (all[kid].kind == SyntaxKind::item) facts_[kid].item_index = items++;
        entry_count += all[kid].kind == SyntaxKind::entry;
        merges = merges || all[kid].kind == SyntaxKind::merge;
    }
    // Which records another record of their own block overrides: an entry
    // when a later one has its key (below "- key: value", the lines after
    // the item's line win over that first entry, merges included). Without
    // merges, a mapping as read with as many keys as the block has entries
    // has each key once: nothing is overridden. That is the common case,
    // settled without looking keys up.
    const DocValue& block = owner == no_record ? root_ : all[owner].value_as_read;
    if (!merges && (entry_count == 0 || (block.is_mapping() && block.entries().size() == entry_count))) return;
    std::vector<std::uint32_t> kids = children(owner);
    std::size_t from = 0;
    std::unordered_map<std::string_view, std::uint32_t> last;
    if (owner != no_record && all[owner].form == SyntaxForm::inline_mapping && !kids.empty()) from = 1;
    for (std::size_t i = from; i < kids.size(); ++i) {
        const SyntaxRecord& kid = all[kids[i]];
        if (kid.kind == SyntaxKind::entry) last[kid.key_text] = kids[i];
    }
    for (std::size_t i = from; i < kids.size(); ++i) {
        const SyntaxRecord& kid = all[kids[i]];
        facts_[kids[i]].shadowed = kid.kind == SyntaxKind::entry && last[kid.key_text] != kids[i];
    }
    if (from == 1) {
        const SyntaxRecord& first = all[kids[0]];
        bool overridden = false;
        if (first.kind == SyntaxKind::entry) {
            for (std::size_t i = 1; i < kids.size() && !overridden; ++i) {
                const SyntaxRecord& kid = all[kids[i]];
                overridden = kid.kind == SyntaxKind::entry ? kid.key_text == first.key_text
                                                           : kid.kind == SyntaxKind::merge && kid.target != no_record &&
                                                                 records_.provides(kid.target, first.key_text);
            }
        }
        facts_[kids[0]].shadowed = overridden;
    }
}

std::uint32_t Planner::end_of_held(std::uint32_t index) const noexcept {
    std::uint32_t after = no_record;
    for (std::uint32_t at = index; at != no_record && after == no_record; at = record(at).parent)
        after = records_.next_sibling(at);
    return after == no_record ? static_cast<std::uint32_t>(records_.records().size()) : after;
}

std::uint32_t Planner::open_threshold_of(std::uint32_t index) const {
    // A block leaves open what its last record leaves open, and so on down:
    // what its last record of all (the last in written order, as a block's
    // records follow its line) leaves open.
    const std::uint32_t last = holds_block(record(index)) ? end_of_held(index) - 1 : index;
    const SyntaxRecord& written = record(last);
    const bool first_on_item_line = written.parent != no_record &&
                                    record(written.parent).form == SyntaxForm::inline_mapping &&
                                    records_.first_child(written.parent) == last;
    switch (written.form) {
        case SyntaxForm::literal_block:
            return first_on_item_line ? record(written.parent).indent + 2 : written.indent + 1;
        case SyntaxForm::empty:
            // "- key:" never opens a block; "key:" and "-" open one for
            // deeper lines, comment lines included.
            return first_on_item_line ? no_threshold : written.indent;
        default:
            return no_threshold;
    }
}

}  // namespace vorn::edit
