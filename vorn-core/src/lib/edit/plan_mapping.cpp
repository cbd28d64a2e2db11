// A mapping whose entries changed: entries deleted with their lines, values
// changed where they are written, new entries added where the mapping's
// habit puts them, and merges kept, overridden or written out.
#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

#include "edit/planner.hpp"

namespace vorn::edit {

void Planner::plan_mapping(const ValueAt& at) {
    const std::uint32_t owner = at.record;
    const Change& change = changes_.at(at.change);
    const DocValue& old = *at.old;
    const std::vector<std::uint32_t> kids = children(owner);
    const bool inline_owner = is_inline_owner(owner);
    const std::uint32_t first = inline_owner && !kids.empty() ? kids[0] : no_record;

    std::size_t new_size = old.entries().size();
    for (const EntryStep& step : changes_.entries(change)) {
        if (step.what == EntryChange::gone) --new_size;
        if (step.what == EntryChange::added) ++new_size;
    }
    // A mapping left without entries is written "{}".
    if (new_size == 0 && owner != no_record) {
        replace_value(at, Value::empty_mapping());
        return;
    }

    // Keys gone: every entry written under one goes (an earlier one would
    // otherwise show through). What the mapping's merges give then, and
    // give of keys changed, is settled with the other copies, once every
    // change is planned.
    for (const EntryStep& step : changes_.entries(change)) {
        if (step.what != EntryChange::gone) continue;
        for (const std::uint32_t kid : kids) {
            const SyntaxRecord& written = record(kid);
            if (written.kind != SyntaxKind::entry || written.key_text != step.key) continue;
            if (kid == first) {
                empty_item_line(owner, first);
            } else {
                remove_lines(kid);
            }
        }
    }

    // Keys changed: where their entry is written. New keys: new entries.
    std::vector<std::pair<std::string, const Value*>> to_write;
    for (const EntryStep& step : changes_.entries(change)) {
        if (step.what == EntryChange::added) {
            to_write.emplace_back(step.key, &changes_.at(step.change).value);
            continue;
        }
        if (step.what != EntryChange::changed) continue;
        const DocNode* old_node = old.find(step.key);
        VORN_ASSERT(old_node != nullptr);
        const Location holder = records_.find_entry(owner, step.key);
        if (holder.record != no_record && !holder.copied)
            pending_.push_back({holder.record, &old_node->value, step.change, path_step(at.path, step.key)});
    }
    if (!to_write.empty()) insert_entries(at, to_write);
    if (first != no_record) keep_first_block_closed(at, first);
}

void Planner::keep_first_block_closed(const ValueAt& at, std::uint32_t first) {
    // "- key: |" takes every line deeper than two past the hyphen; the lines
    // after it that go on the item's mapping may stand deeper still, kept
    // apart from the block only by a comment line between them. When that
    // comment goes with the entry below it, or a new entry comes right after
    // the block, the first entry moves below "-" alone, where its block
    // takes only lines deeper than the entry itself.
    const std::uint32_t owner = at.record;
    const SyntaxRecord& written = record(first);
    if (written.form != SyntaxForm::literal_block || rewritten_.contains(first) || is_removed(first)) return;
    if (continuation_indent(owner) <= record(owner).indent + 2) return;
    for (const ValueAt& waiting : pending_)
        if (waiting.record == first) return;
    const std::uint32_t next = records_.next_sibling(first);
    bool exposed = next != no_record && is_removed(next);
    // A new entry placed after the block and above the next one's comment
    // lines has nothing between it and the block.
    for (const InsertedPiece& piece : insertions_) {
        exposed = exposed || (piece.depth == facts(first).depth && piece.offset >= lines_end(first) &&
                              (next == no_record || piece.offset <= lines_begin(next)));
    }
    if (!exposed) return;
    // Below "-" it wins over the merges that hid it on the item's line: it
    // takes the value they give.
    const Node* given = facts(first).live ? nullptr : new_value(owner).mapping().find(written.key_text);
    const Value value =
        given != nullptr ? deep_copy(given->value) : materialize(written.value_as_read, changes_, no_change);
    move_first_entry_below(
        {first, &written.value_as_read, no_change, path_step(at.path, std::string(written.key_text))}, value);
}

void Planner::expand_merges(const ValueAt& at, const Value& now) {
    const std::uint32_t owner = at.record;
    const std::vector<std::uint32_t> kids = children(owner);
    // The keys the mapping's own entries hold keep their lines; the rest
    // came from merges and are written as entries where the first merge was.
    // Below "- key: value" the first entry holds its key only where the
    // merges did not give that key over it: else the key is written too.
    const bool inline_owner = is_inline_owner(owner);
    std::unordered_set<std::string_view> held;
    for (const std::uint32_t kid : kids) {
        if (record(kid).kind != SyntaxKind::entry || is_removed(kid)) continue;
        if (inline_owner && kid == kids.front()) {
            const Node* wanted = now.mapping().find(record(kid).key_text);
            if (wanted == nullptr || !same_values(new_value(kid), wanted->value)) continue;
        }
        held.insert(record(kid).key_text);
    }
    for (const std::string& key : added_keys_[owner]) held.insert(key);
    std::vector<std::uint32_t> merges;
    for (const std::uint32_t kid : kids)
        if (record(kid).kind == SyntaxKind::merge) merges.push_back(kid);
    VORN_ASSERT(!merges.empty());
    const bool on_item_line = inline_owner && merges.front() == kids.front();
    const std::uint32_t indent = on_item_line ? continuation_indent(owner) : record(merges.front()).indent;
    std::string entries;
    for (const auto& [key, node] : now.mapping()) {
        if (held.contains(key)) continue;
        const Fragment fragment =
            checked(write_entry_fragment(indent, key, node.value, style_near(owner), true), path_step(at.path, key));
        entries += fragment.line;
        entries += '\n';
        entries += fragment.below;
    }
    entries = with_newlines(std::move(entries));
    // The entries stand where the first merge line was, below its comment
    // lines; a merge line that nothing stands for now goes as a deleted
    // entry does, with the comment lines above it.
    for (std::size_t i = 0; i < merges.size(); ++i) {
        const std::uint32_t merge = merges[i];
        const bool written_here = i == 0 && !entries.empty();
        if (i == 0 && on_item_line) {
            empty_item_line(owner, merge);
            insert(head_line_end(owner), facts(merge).depth, std::exchange(entries, std::string()), no_threshold);
            continue;
        }
        // Below "- <<: &name" the anchored block goes too.
        const std::uint32_t end = std::max(head_line_end(merge), lines_end(merge));
        add(written_here ? line_start(record(merge).head.begin) : lines_begin(merge), end,
            written_here ? std::exchange(entries, std::string()) : std::string());
    }
    // The comment lines that went with a merge may have closed a block
    // first on the item's line.
    if (inline_owner && !on_item_line) keep_first_block_closed(at, kids.front());
    expanded_.push_back(owner);
}

void Planner::insert_entries(const ValueAt& at, const std::vector<std::pair<std::string, const Value*>>& entries) {
    const std::uint32_t owner = at.record;
    const std::vector<std::uint32_t> kids = children(owner);
    VORN_ASSERT(!kids.empty());
    const bool inline_owner = is_inline_owner(owner);
    const std::uint32_t indent = inline_owner ? continuation_indent(owner) : record(kids.front()).indent;
    const std::uint32_t depth = facts(kids.front()).depth;
    // A mapping written in key order gets each new entry at its place in
    // that order; any other at its end.
    std::vector<std::uint32_t> keyed;
    for (const std::uint32_t kid : kids)
        if (record(kid).kind == SyntaxKind::entry) keyed.push_back(kid);
    bool ascending = keyed.size() >= 2;
    for (std::size_t i = 1; i < keyed.size() && ascending; ++i)
        ascending = record(keyed[i - 1]).key_text < record(keyed[i]).key_text;
    std::vector<std::pair<std::string, const Value*>> ordered = entries;
    if (ascending)
        std::stable_sort(ordered.begin(), ordered.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::uint32_t end_of_block = lines_end(kids.back());
    for (const auto& [key, value] : ordered) {
        added_keys_[owner].push_back(key);
        std::uint32_t at_offset = end_of_block;
        if (ascending) {
            for (const std::uint32_t kid : keyed) {
                if (!(key < record(kid).key_text)) continue;
                // Nothing goes above the entry on an item's line: the lines
                // after it start right below.
                at_offset = inline_owner && kid == kids.front() ? head_line_end(owner) : lines_begin(kid);
                // Past the first entry's own lines when it holds a block.
                if (inline_owner && kid == kids.front()) at_offset = std::max(at_offset, lines_end(kid));
                break;
            }
        }
        const Fragment fragment =
            checked(write_entry_fragment(indent, key, *value, style_near(owner), true), path_step(at.path, key));
        insert(at_offset, depth, with_newlines(fragment.line + "\n" + fragment.below), fragment.open_threshold);
    }
}

std::uint32_t Planner::continuation_indent(std::uint32_t item) const {
    const std::uint32_t first = records_.first_child(item);
    VORN_ASSERT(first != no_record);
    const std::uint32_t next = records_.next_sibling(first);
    if (next != no_record) return record(next).indent;
    const SyntaxRecord& written = record(first);
    const std::uint32_t hyphen = record(item).indent;
    switch (written.form) {
        case SyntaxForm::literal_block:
            // Its lines stand deeper than two past the hyphen; the lines
            // after them must not.
            return std::min(written.indent, hyphen + 2);
        case SyntaxForm::nested_block: {
            // Shallower than the first entry's block, deeper than the hyphen.
            const std::uint32_t inner = records_.first_child(first);
            const std::uint32_t block = inner != no_record ? record(inner).indent : written.indent + 2;
            return std::max(hyphen + 1, std::min(written.indent, block - 1));
        }
        default:
            return written.indent;
    }
}

void Planner::empty_item_line(std::uint32_t item, std::uint32_t first) {
    // "- key: value  # note" keeps "-" and its note; what was below the first
    // entry (its literal block or nested block) goes with it.
    const std::uint32_t hyphen = record(item).head.begin;
    add(hyphen + 1, value_end_on_line(first), std::string());
    const std::uint32_t below = head_line_end(first);
    if (lines_end(first) > below) add(below, lines_end(first), std::string());
}

}  // namespace vorn::edit
