#include "read/syntax_index.hpp"

#include <utility>

namespace vorn {

SyntaxIndex::SyntaxIndex(std::vector<SyntaxRecord> records)
    : records_(std::move(records)),
      first_child_(records_.size(), no_record),
      next_sibling_(records_.size(), no_record) {
    // Linked from the end, so every list comes out in written order.
    for (std::size_t index = records_.size(); index-- > 0;) {
        const auto record = static_cast<std::uint32_t>(index);
        std::uint32_t& first =
            records_[index].parent == no_record ? first_root_child_ : first_child_[records_[index].parent];
        next_sibling_[record] = first;
        first = record;
        has_copies_ = has_copies_ || ties_to_copies(records_[index]);
    }
}

bool SyntaxIndex::provides(std::uint32_t owner, std::string_view key) const {
    // The mappings to search: `owner`'s, then those its merges name, in turn.
    // An anchor names a block closed before the merge that uses it, so the
    // chain always leads to earlier records and ends.
    std::vector<std::uint32_t> pending{owner};
    while (!pending.empty()) {
        const std::uint32_t mapping = pending.back();
        pending.pop_back();
        for (std::uint32_t child = first_child(mapping); child != no_record; child = next_sibling(child)) {
            const SyntaxRecord& record = records_[child];
            if (record.kind == SyntaxKind::entry && record.key_text == key) return true;
            if (record.kind == SyntaxKind::merge && record.target != no_record) pending.push_back(record.target);
        }
    }
    return false;
}

Location SyntaxIndex::find_entry(std::uint32_t owner, std::string_view key) const {
    const std::uint32_t first = first_child(owner);
    // "- key: value" with deeper lines after it: those lines make a mapping
    // of their own, and each of its entries, merged ones too, replaces the
    // one on the item line, as the reader attaches them.
    if (owner != no_record && records_[owner].form == SyntaxForm::inline_mapping && first != no_record) {
        const Location continued = find_entry_among(next_sibling(first), no_record, key);
        if (continued.record != no_record) return continued;
        return find_entry_among(first, next_sibling(first), key);
    }
    return find_entry_among(first, no_record, key);
}

Location SyntaxIndex::find_entry_among(std::uint32_t first, std::uint32_t stop, std::string_view key) const {
    std::uint32_t written = no_record;
    std::uint32_t merged = no_record;
    for (std::uint32_t child = first; child != stop; child = next_sibling(child)) {
        const SyntaxRecord& record = records_[child];
        if (record.kind == SyntaxKind::entry && record.key_text == key) written = child;
        // The first merge that has the key gives it; later ones find it present.
        if (record.kind == SyntaxKind::merge && merged == no_record && record.target != no_record &&
            provides(record.target, key))
            merged = child;
    }
    if (written != no_record) return {written, false};
    return {merged, true};
}

std::uint32_t SyntaxIndex::find_item(std::uint32_t owner, std::size_t index) const noexcept {
    std::uint32_t child = first_child(owner);
    for (; child != no_record; child = next_sibling(child)) {
        if (records_[child].kind != SyntaxKind::item) continue;
        if (index-- == 0) break;
    }
    return child;
}

void SyntaxIndex::step_into(WrittenPlace& place, const PathStep& step) const {
    std::uint32_t written = no_record;
    const auto* key = std::get_if<std::string_view>(&step);
    if (key != nullptr) {
        Location found = find_entry(place.record, *key);
        // A merge brings the entry of the block it merges, which may itself
        // have come from a merge of that block's.
        while (found.record != no_record && found.copied) {
            place.via.push_back(found.record);
            const std::uint32_t source = records_[found.record].target;
            found = source == no_record ? Location{} : find_entry(source, *key);
        }
        written = found.record;
    } else {
        written = find_item(place.record, std::get<std::size_t>(step));
    }
    // Once the records no longer lead (they always should), the nearest
    // place found stands for the rest of the path.
    if (written == no_record) {
        place.lost = true;
        return;
    }
    place.key_record = key != nullptr ? written : no_record;
    // An alias's value is written where its anchor stands.
    if (records_[written].form == SyntaxForm::alias && records_[written].target != no_record) {
        place.via.push_back(written);
        written = records_[written].target;
    }
    place.record = written;
}

std::optional<WrittenPlace> SyntaxIndex::written_at(const DocValue& root, std::span<const PathStep> path) const {
    const DocValue* value = &root;
    WrittenPlace place;
    for (const PathStep& step : path) {
        if (const auto* key = std::get_if<std::string_view>(&step)) {
            if (!value->is_mapping()) return std::nullopt;
            const DocNode* node = value->find(*key);
            if (node == nullptr) return std::nullopt;
            value = &node->value;
        } else {
            const std::size_t index = std::get<std::size_t>(step);
            if (!value->is_sequence() || index >= value->items().size()) return std::nullopt;
            value = &value->items()[index].value;
        }
        if (!place.lost) step_into(place, step);
    }
    return place;
}

std::vector<std::vector<PathStep>> SyntaxIndex::places_of(const DocValue& root, std::uint32_t record,
                                                          std::uint32_t key_record) const {
    // Every value of the tree, with where it is written, one step at a time.
    struct Visit {
        const DocValue* value;
        WrittenPlace place;
        std::vector<PathStep> path;
    };
    std::vector<std::vector<PathStep>> found;
    std::vector<Visit> pending{{&root, {}, {}}};
    while (!pending.empty()) {
        Visit visit = std::move(pending.back());
        pending.pop_back();
        if (!visit.place.lost && visit.place.record == record && visit.place.key_record == key_record)
            found.push_back(visit.path);
        const DocValue& value = *visit.value;
        const auto descend = [&](PathStep step, const DocValue& child) {
            Visit next{&child, visit.place, visit.path};
            next.place.via.clear();
            if (!next.place.lost) step_into(next.place, step);
            next.path.push_back(step);
            pending.push_back(std::move(next));
        };
        // Children pushed last first, so that places come in the tree's order.
        if (value.is_mapping()) {
            const auto entries = value.entries();
            for (std::size_t i = entries.size(); i-- > 0;) descend(entries[i].key, entries[i].node.value);
        } else if (value.is_sequence()) {
            const auto items = value.items();
            for (std::size_t i = items.size(); i-- > 0;) descend(i, items[i].value);
        }
    }
    return found;
}

std::optional<Location> SyntaxIndex::locate(const DocValue& root, std::span<const PathStep> path) const {
    const DocValue* value = &root;
    Location location;
    for (const PathStep& step : path) {
        if (const auto* key = std::get_if<std::string_view>(&step)) {
            if (!value->is_mapping()) return std::nullopt;
            const DocNode* node = value->find(*key);
            if (node == nullptr) return std::nullopt;
            value = &node->value;
        } else {
            const std::size_t index = std::get<std::size_t>(step);
            if (!value->is_sequence() || index >= value->items().size()) return std::nullopt;
            value = &value->items()[index].value;
        }
        // Below a copy, every value was written where the copy stands.
        if (location.copied) continue;
        if (location.record != no_record && records_[location.record].form == SyntaxForm::alias) {
            location.copied = true;
            continue;
        }
        const Location found = std::holds_alternative<std::string_view>(step)
                                   ? find_entry(location.record, std::get<std::string_view>(step))
                                   : Location{find_item(location.record, std::get<std::size_t>(step)), false};
        // The tree has the value, so the records have its line; if they ever
        // did not, the nearest record that holds it is the best answer.
        if (found.record == no_record) {
            location.copied = true;
            continue;
        }
        location = found;
    }
    return location;
}

}  // namespace vorn
