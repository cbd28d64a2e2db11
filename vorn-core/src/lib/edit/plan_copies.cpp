// Aliases and merges once every change is planned. An alias stays an alias
// while the anchor it names in the new text holds the value the data hold at
// the alias; otherwise it is written out as that value. A merge stays while
// what it gives is what the data hold; otherwise entries written below it
// override it, or, when it would give a key the data no longer hold, the
// merges of that mapping are written out as entries.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "edit/planner.hpp"

namespace vorn::edit {

namespace {

bool is_anchored(const SyntaxRecord& written) noexcept {
    return written.form == SyntaxForm::nested_block && written.anchor.begin > written.head.begin;
}

}  // namespace

bool Planner::within_anchored_block(std::uint32_t index) const noexcept {
    for (std::uint32_t above = record(index).parent; above != no_record; above = record(above).parent)
        if (is_anchored(record(above))) return true;
    return false;
}

bool Planner::is_removed(std::uint32_t index) const noexcept { return splices_.removes(record(index).head.begin); }

bool Planner::value_changed(std::uint32_t index) const noexcept {
    if (index == no_record) return !changes_.empty();
    return reached_.contains(index) || rewritten_.contains(index);
}

const Value& Planner::new_value(std::uint32_t index) {
    const auto cached = new_values_.find(index);
    if (cached != new_values_.end()) return *cached->second;
    const Value* made = nullptr;
    if (index == no_record) {
        made = &made_.emplace_back(materialize(root_, changes_, changes_.root()));
    } else if (const auto rewritten = rewritten_values_.find(index); rewritten != rewritten_values_.end()) {
        made = rewritten->second;
    } else if (const auto reached = reached_.find(index); reached != reached_.end()) {
        made = &made_.emplace_back(materialize(record(index).value_as_read, changes_, reached->second.change));
    } else {
        // Without the comments the value's nodes carry: they stay where they are
        // written.
        made = &made_.emplace_back(materialize(record(index).value_as_read, changes_, no_change));
    }
    new_values_.emplace(index, made);
    return *made;
}

std::uint32_t Planner::anchor_in_force(std::uint32_t index) {
    const SyntaxRecord& written = record(index);
    // "- <<: &name" merges its own block.
    if (written.target == index) return index;
    // While every anchor stays where it was, with nothing moved among them,
    // each name still means what it meant when the text was read.
    if (anchors_stay()) return written.target;
    const std::string_view name = text_.substr(record(written.target).anchor.begin,
                                               record(written.target).anchor.end - record(written.target).anchor.begin);
    if (anchors_by_name_.empty()) {
        for (const std::uint32_t candidate : anchored_records()) {
            const SyntaxRecord& anchored = record(candidate);
            anchors_by_name_[text_.substr(anchored.anchor.begin, anchored.anchor.end - anchored.anchor.begin)]
                .push_back(candidate);
        }
    }
    // The anchor recorded last before the alias in the new text: an anchor
    // is recorded when its block ends.
    const OrderKey alias_at = order_key(written.head.begin);
    std::uint32_t found = no_record;
    OrderKey found_at;
    for (const std::uint32_t candidate : anchors_by_name_[name]) {
        if (anchor_gone(candidate)) continue;
        const OrderKey defined_at = order_key(lines_end(candidate) - 1);
        if (!(defined_at < alias_at)) continue;
        if (found == no_record || found_at < defined_at) {
            found = candidate;
            found_at = defined_at;
        }
    }
    return found;
}

const std::vector<std::uint32_t>& Planner::anchored_records() {
    if (!anchored_) {
        anchored_.emplace();
        for (std::uint32_t candidate = 0; candidate < records_.records().size(); ++candidate)
            if (is_anchored(record(candidate))) anchored_->push_back(candidate);
    }
    return *anchored_;
}

bool Planner::anchor_gone(std::uint32_t anchored) const {
    if (is_removed(anchored)) return true;
    const auto rewritten = rewritten_.find(anchored);
    return rewritten != rewritten_.end() && !rewritten->second;
}

bool Planner::anchors_stay() {
    if (!anchors_stay_) {
        const std::vector<std::uint32_t>& anchored = anchored_records();
        anchors_stay_ = moved_.empty() && std::none_of(anchored.begin(), anchored.end(),
                                                       [this](std::uint32_t index) { return anchor_gone(index); });
    }
    return *anchors_stay_;
}

void Planner::plan_copies() {
    // Where moved items go decides which anchor an alias names.
    rank_insertions();
    if (!records_.has_copies()) return;
    const auto& all = records_.records();
    std::vector<std::uint32_t> merging;
    for (std::uint32_t index = 0; index < all.size(); ++index) {
        const SyntaxRecord& written = all[index];
        if (written.kind == SyntaxKind::merge) {
            if (is_removed(index)) continue;
            // One in a mapping that stands nowhere in the data (a later entry
            // or merge gives its key) matters only to the text's reading and
            // to the aliases of that mapping: its anchor must be there, and
            // what it gives must not change under them.
            // In a mapping that stands in the data, it matters too when the
            // mapping's own value changed. Otherwise it gives what it gave.
            const bool gives_otherwise = written.target != no_record &&
                                         (anchor_in_force(index) != written.target || value_changed(written.target));
            if (gives_otherwise ||
                (value_changed(written.parent) && (written.parent == no_record || facts(written.parent).live)))
                merging.push_back(written.parent);
            continue;
        }
        // An alias the walk wrote anew is an alias no more.
        if (written.form != SyntaxForm::alias || is_removed(index) || rewritten_.contains(index)) continue;
        const std::uint32_t target = written.target;
        const bool same_anchor = anchor_in_force(index) == target;
        // One that stands nowhere in the data (a later entry or a merge
        // gives its key) needs only its anchor still there to read; written
        // out, it might move where it would stand. Within an anchored block
        // that stands nowhere, though, it is seen wherever that block is
        // repeated, unless its own block overrides it.
        if (same_anchor && !value_changed(index) && !value_changed(target)) continue;
        if (same_anchor && !facts(index).live && (facts(index).shadowed || !within_anchored_block(index))) continue;
        if (same_anchor && same_values(new_value(index), new_value(target))) continue;
        ValueAt at{index, &written.value_as_read, no_change, record_path(index)};
        replace_value(at, new_value(index));
    }
    merging.erase(std::unique(merging.begin(), merging.end()), merging.end());
    for (const std::uint32_t owner : merging) check_merges(owner);
}

void Planner::check_merges(std::uint32_t owner) {
    if (std::find(expanded_.begin(), expanded_.end(), owner) != expanded_.end()) return;
    const std::vector<std::uint32_t> kids = children(owner);
    std::vector<std::uint32_t> merges;
    bool targets_hold = true;
    bool any_changed = value_changed(owner);
    for (const std::uint32_t kid : kids) {
        const SyntaxRecord& written = record(kid);
        if (written.kind != SyntaxKind::merge || is_removed(kid)) continue;
        merges.push_back(kid);
        // "- <<: {}" merges nothing.
        if (written.target == no_record) continue;
        targets_hold = targets_hold && anchor_in_force(kid) == written.target;
        any_changed = any_changed || value_changed(written.target);
    }
    if (merges.empty() || (targets_hold && !any_changed)) return;
    const Value& now = new_value(owner);
    ValueAt at{owner, owner == no_record ? &root_ : &record(owner).value_as_read, no_change,
               owner == no_record ? 0 : record_path(owner)};
    if (!targets_hold) {
        expand_merges(at, now);
        return;
    }
    // The keys the mapping's entries hold in the new text: below "- key:
    // value" the lines after the item's line first, the first entry last.
    const bool inline_owner = is_inline_owner(owner);
    std::unordered_set<std::string_view> held;
    for (const std::uint32_t kid : kids) {
        if (record(kid).kind == SyntaxKind::entry && !is_removed(kid) && !(inline_owner && kid == kids.front()))
            held.insert(record(kid).key_text);
    }
    for (const std::string& key : added_keys_[owner]) held.insert(key);
    // What each merge gives in the new text, first merges first.
    std::vector<std::uint32_t> order;
    for (const std::uint32_t merge : merges)
        if (!(inline_owner && merge == kids.front())) order.push_back(merge);
    if (inline_owner && record(kids.front()).kind == SyntaxKind::merge && !is_removed(kids.front()))
        order.push_back(kids.front());
    const bool first_entry_holds =
        inline_owner && record(kids.front()).kind == SyntaxKind::entry && !is_removed(kids.front());
    std::unordered_set<std::string> keys;
    for (const auto& [key, node] : now.mapping()) keys.insert(key);
    for (const std::uint32_t merge : order) {
        if (record(merge).target == no_record) continue;
        const Value& given = new_value(record(merge).target);
        if (!given.is_mapping()) {
            expand_merges(at, now);
            return;
        }
        for (const auto& [key, node] : given.mapping()) keys.insert(key);
    }
    std::vector<std::pair<std::string, const Value*>> overrides;
    for (const std::string& key : keys) {
        if (held.contains(key)) continue;
        const Node* wanted = now.mapping().find(key);
        // The first merge that has the key gives it; on an item's line, the
        // lines after the item's line come first, then its first entry.
        const Node* given = nullptr;
        bool first_entry_gives = false;
        for (const std::uint32_t merge : order) {
            if (inline_owner && merge == kids.front() && first_entry_holds) break;
            if (record(merge).target == no_record) continue;
            given = new_value(record(merge).target).mapping().find(key);
            if (given != nullptr) break;
        }
        if (given == nullptr && first_entry_holds) first_entry_gives = record(kids.front()).key_text == key;
        if (first_entry_gives) {
            // It gives its own value now (the merge that hid it gives the key
            // no more): a line after the item's line must give the data's.
            if (wanted != nullptr && !same_values(new_value(kids.front()), wanted->value))
                overrides.emplace_back(key, &wanted->value);
            continue;
        }
        if (wanted == nullptr) {
            if (given != nullptr) {
                // A merge would give a key the data do not hold: only writing
                // the merges out drops it.
                expand_merges(at, now);
                return;
            }
            continue;
        }
        if (given == nullptr || !same_values(given->value, wanted->value)) overrides.emplace_back(key, &wanted->value);
    }
    if (!overrides.empty()) {
        std::sort(overrides.begin(), overrides.end());
        insert_entries(at, overrides);
        // A new entry right after a block first on the item's line would be
        // taken into it.
        if (inline_owner) keep_first_block_closed(at, kids.front());
    }
}

std::uint32_t Planner::record_path(std::uint32_t index) {
    // Where the record stands in the data, for messages; a record that
    // stands nowhere is named by the nearest that does.
    std::vector<DataStep> steps;
    for (std::uint32_t at = index; at != no_record; at = record(at).parent) {
        const SyntaxRecord& written = record(at);
        if (written.kind == SyntaxKind::item) {
            steps.emplace_back(static_cast<std::size_t>(facts(at).item_index));
        } else if (written.kind == SyntaxKind::entry) {
            steps.emplace_back(std::string(written.key_text));
        }
    }
    std::uint32_t path = 0;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) path = path_step(path, *step);
    return path;
}

}  // namespace vorn::edit
