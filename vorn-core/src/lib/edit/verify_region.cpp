// The new text read back only where the splices reach. Every line outside
// them keeps its bytes; it also keeps its reading when nothing ties it to
// the changed lines: no anchor, alias or merge in the stretch, none
// elsewhere repeating a block that holds it (and, beside a merge, the
// stretch's keys the same), the stretch starting and ending at the
// indentation of the block that holds it (so it neither joins a block
// before it nor takes in lines after it), and no key of that block written
// both inside and outside it. Then the stretch read alone, under head lines
// that open the same blocks, reads as it does in the whole text. Anything
// else is left to reading the whole text, which this only spares.
#include <algorithm>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "edit/planner.hpp"
#include "edit/verify.hpp"
#include "read/read_document.hpp"
#include "text/trim.hpp"

namespace vorn::edit {

namespace {

// Whether the character at `at` starts a line's content: visible, not
// White_Space of any kind.
bool starts_content(std::string_view text, std::size_t at) noexcept {
    const auto c = static_cast<unsigned char>(text[at]);
    return c >= 0x80 ? white_space_length_at(text, at) == 0 : c > ' ' && c < 0x7f;
}

// Whether the line at `at` has exactly `indent` spaces, then content (a
// hyphen only where items may stand there).
bool opens_at(std::string_view text, std::size_t at, std::uint32_t indent, bool items) noexcept {
    for (std::uint32_t i = 0; i < indent; ++i)
        if (at + i >= text.size() || text[at + i] != ' ') return false;
    if (at + indent >= text.size() || !starts_content(text, at + indent)) return false;
    return items || text[at + indent] != '-';
}

// Whether what follows the line start `at` closes every block deeper than
// `indent`: the end of the text, or, after empty lines, a line of at most
// `indent` spaces and then content (not a hyphen at
// `indent` itself where an empty value might take items there).
bool closes_at(std::string_view text, std::size_t at, std::uint32_t indent, bool items) noexcept {
    for (;;) {
        if (at == text.size()) return true;
        if (text[at] == '\n') {
            ++at;
        } else if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            at += 2;
        } else {
            break;
        }
    }
    std::uint32_t spaces = 0;
    while (at + spaces < text.size() && text[at + spaces] == ' ') ++spaces;
    if (spaces > indent || at + spaces == text.size() || !starts_content(text, at + spaces)) return false;
    return spaces < indent || items || text[at + spaces] != '-';
}

}  // namespace

std::uint32_t Planner::first_child_reaching(std::uint32_t owner, std::uint32_t offset) const {
    // Records stand in written order, so their lines begin in order: the
    // last to begin at or before `offset`, climbed up to `owner`'s child,
    // is it or the one before it.
    const auto& all = records_.records();
    const auto after =
        std::upper_bound(all.begin(), all.end(), offset,
                         [](std::uint32_t at, const SyntaxRecord& written) { return at < written.lines.begin; });
    std::uint32_t child = records_.first_child(owner);
    for (auto at = after == all.begin() ? no_record : static_cast<std::uint32_t>(after - all.begin() - 1);
         at != no_record; at = all[at].parent) {
        if (all[at].parent == owner) {
            child = at;
            break;
        }
    }
    while (child != no_record && lines_end(child) <= offset) child = records_.next_sibling(child);
    return child;
}

namespace {

// The lines of `text` with a byte that `counts` takes.
template <class Counts>
std::size_t lines_with(std::string_view text, Counts counts) noexcept {
    std::size_t count = 0;
    bool content = false;
    for (const char c : text) {
        if (c == '\n') {
            count += content ? 1 : 0;
            content = false;
        } else {
            content = content || counts(c);
        }
    }
    return count + (content ? 1 : 0);
}

}  // namespace

bool Planner::copies_stay_apart(std::uint32_t first, std::uint32_t last, std::string_view before,
                                std::string_view stretch) const {
    // Nothing in the stretch names or repeats a block, as written now...
    if (stretch.find_first_of("&*") != std::string_view::npos || stretch.find("<<") != std::string_view::npos)
        return false;
    // ...or as read: its records, with all they hold, stand in written order
    // from `first` to the last record `last` holds.
    const std::uint32_t end = end_of_held(last);
    for (std::uint32_t index = first; index < end; ++index)
        if (ties_to_copies(record(index))) return false;
    // No alias or merge elsewhere repeats a block that holds one of its
    // lines: one inside it, or one around it.
    const auto& all = records_.records();
    for (const SyntaxRecord& written : all) {
        if (written.target == no_record || !(written.kind == SyntaxKind::merge || written.form == SyntaxForm::alias))
            continue;
        if (written.target >= first && written.target < end) return false;
        if (written.target < first) {
            for (std::uint32_t at = first; at != no_record; at = all[at].parent)
                if (at == written.target) return false;
        }
    }
    // What aliases may copy grows with the text's non-blank lines: lines
    // taken out must not cut it. A line with a visible ASCII character is
    // surely not blank; one with anything but spaces may not be.
    const auto surely_content = [](char c) { return c > ' ' && c < 0x7f; };
    const auto maybe_content = [](char c) { return c != ' ' && c != '\r'; };
    return lines_with(stretch, surely_content) >= lines_with(before, maybe_content);
}

bool Planner::reads_back_in_region(std::string_view edited) const {
    const std::vector<Splice>& splices = splices_.splices();
    if (added_line_feed_ || splices.empty()) return false;
    std::uint32_t low = splices.front().begin;
    std::uint32_t high = 0;
    std::int64_t growth = 0;
    for (const Splice& splice : splices) {
        low = std::min(low, splice.begin);
        high = std::max(high, splice.end);
        growth += static_cast<std::int64_t>(splice.text.size()) - (splice.end - splice.begin);
    }
    if (static_cast<std::int64_t>(edited.size()) != static_cast<std::int64_t>(text_.size()) + growth) return false;

    // The deepest block whose lines below its own hold every splice, and
    // the records from the root's down to it.
    std::uint32_t owner = no_record;
    std::vector<std::uint32_t> path;
    for (bool deeper = true; deeper;) {
        deeper = false;
        const std::uint32_t child = first_child_reaching(owner, low);
        if (child == no_record) break;
        if (holds_block(record(child)) && facts(child).live && low >= head_line_end(child) && high < lines_end(child)) {
            owner = child;
            path.push_back(child);
            deeper = true;
        }
    }
    if (owner != no_record && !facts(owner).live) return false;

    // The run of the block's records that the splices reach.
    const std::uint32_t first = first_child_reaching(owner, low);
    if (first == no_record) return false;
    if (is_inline_owner(owner) && first == records_.first_child(owner)) return false;
    std::uint32_t last = first;
    for (std::uint32_t next = records_.next_sibling(last); next != no_record && lines_begin(next) < high;
         next = records_.next_sibling(next))
        last = next;
    const std::uint32_t begin = std::min(lines_begin(first), line_start(low));
    std::uint32_t end = lines_end(last);
    if (high > end) end = line_start(high) == high ? high : after_line(high);
    if (owner != no_record && (begin < head_line_end(owner) || end > lines_end(owner))) return false;
    const auto new_end = static_cast<std::size_t>(end + growth);
    if (new_end == 0 || new_end > edited.size() || (new_end < edited.size() && edited[new_end - 1] != '\n'))
        return false;

    const DocValue& block = owner == no_record ? root_ : record(owner).value_as_read;
    const bool items = block.is_sequence();
    const std::uint32_t indent = record(first).indent;
    if (!opens_at(edited, begin, indent, items) || !closes_at(edited, new_end, indent, items)) return false;

    if (records_.has_copies() &&
        !copies_stay_apart(first, last, text_.substr(begin, end - begin), edited.substr(begin, new_end - begin)))
        return false;

    // The stretch under head lines that open the blocks around it.
    std::string stretch;
    for (const std::uint32_t above : path) {
        stretch.append(record(above).indent, ' ');
        stretch += record(above).kind == SyntaxKind::item ? "-" : "k:";
        stretch += newline_;
    }
    stretch.append(edited.substr(begin, new_end - begin));
    const Result<Document> read = read_stretch(stretch);
    if (!read) return false;

    // Down to the block, in what was read and in what the data should hold:
    // only the steps on the way may change.
    DocValue now = read.value().root();
    const DocValue* old = &root_;
    std::uint32_t change = changes_.root();
    for (const std::uint32_t above : path) {
        const SyntaxRecord& written = record(above);
        const bool is_item = written.kind == SyntaxKind::item;
        const std::uint32_t index = facts(above).item_index;
        if (is_item ? !old->is_sequence() || index >= old->items().size() : !old->is_mapping()) return false;
        if (change != no_change) {
            const Change& how = changes_.at(change);
            std::uint32_t inner = no_change;
            if (!is_item) {
                if (how.kind != ChangeKind::mapping) return false;
                for (const EntryStep& step : changes_.entries(how)) {
                    if (step.what != EntryChange::changed || step.key != written.key_text) return false;
                    inner = step.change;
                }
            } else {
                if (how.kind != ChangeKind::sequence) return false;
                const auto steps = changes_.items(how);
                if (steps.size() != old->items().size()) return false;
                for (std::size_t i = 0; i < steps.size(); ++i)
                    if (steps[i].old_index != i || (i != index && steps[i].change != no_change)) return false;
                inner = steps[index].change;
            }
            change = inner;
        }
        if (is_item) {
            old = &old->items()[index].value;
            if (!now.is_sequence() || now.items().size() != 1) return false;
            now = now.items()[0].value;
        } else {
            const DocNode* was = old->find(written.key_text);
            // A line of the stretch that closed the block would stand beside
            // it, in a block that only its head line opens here.
            const DocNode* read_here = now.is_mapping() && now.entries().size() == 1 ? now.find("k") : nullptr;
            if (was == nullptr || read_here == nullptr) return false;
            old = &was->value;
            now = read_here->value;
        }
    }
    const Change* how = change == no_change ? nullptr : &changes_.at(change);
    if (how != nullptr && how->kind == ChangeKind::replaced) return false;

    if (items) {
        // The items outside the run stand as they were, at either end.
        if (!now.is_sequence()) return false;
        const std::size_t old_size = old->items().size();
        const std::size_t before = facts(first).item_index;
        const std::size_t after = old_size - 1 - facts(last).item_index;
        const std::span<const ItemStep> steps = how != nullptr ? changes_.items(*how) : std::span<const ItemStep>();
        const std::size_t new_size = how != nullptr ? steps.size() : old_size;
        if (before + now.items().size() + after != new_size) return false;
        if (how == nullptr) {
            for (std::size_t i = 0; i < now.items().size(); ++i)
                if (first_difference(now.items()[i].value, old->items()[before + i].value, changes_, no_change))
                    return false;
            return true;
        }
        for (std::size_t i = 0; i < before; ++i)
            if (steps[i].old_index != i || steps[i].change != no_change) return false;
        for (std::size_t i = 0; i < after; ++i) {
            const ItemStep& step = steps[new_size - 1 - i];
            if (step.old_index != old_size - 1 - i || step.change != no_change) return false;
        }
        for (std::size_t i = 0; i < now.items().size(); ++i) {
            const ItemStep& step = steps[before + i];
            const DocValue& item = now.items()[i].value;
            if (step.old_index == no_item
                    ? !holds_value(item, changes_.at(step.change).value, changes_)
                    : first_difference(item, old->items()[step.old_index].value, changes_, step.change).has_value())
                return false;
        }
        return true;
    }

    // A mapping: the keys outside the run are neither read in it nor
    // changed, and with those read in it they make every key the data hold.
    if (!now.is_mapping() || !old->is_mapping()) return false;
    const std::span<const EntryStep> entry_steps =
        how != nullptr ? changes_.entries(*how) : std::span<const EntryStep>();
    std::size_t new_size = old->entries().size();
    for (const EntryStep& step : entry_steps) {
        new_size += step.what == EntryChange::added ? 1 : 0;
        new_size -= step.what == EntryChange::gone ? 1 : 0;
    }
    // Every key outside the run is looked up here: a few steps are
    // searched in turn, more through a table of them.
    constexpr std::size_t few_steps = 8;
    std::unordered_map<std::string_view, const EntryStep*> step_table;
    if (entry_steps.size() > few_steps)
        for (const EntryStep& step : entry_steps) step_table.emplace(step.key, &step);
    const auto step_of = [&](std::string_view key) -> const EntryStep* {
        if (entry_steps.size() > few_steps) {
            const auto found = step_table.find(key);
            return found == step_table.end() ? nullptr : found->second;
        }
        for (const EntryStep& step : entry_steps)
            if (step.key == key) return &step;
        return nullptr;
    };
    std::size_t outside = 0;
    bool merges = false;
    for (std::uint32_t child = records_.first_child(owner); child != no_record; child = records_.next_sibling(child)) {
        if (child == first) {
            child = last;
            continue;
        }
        const SyntaxRecord& written = record(child);
        if (written.kind == SyntaxKind::merge) {
            merges = true;
            continue;
        }
        if (written.kind != SyntaxKind::entry || step_of(written.key_text) != nullptr ||
            now.find(written.key_text) != nullptr)
            return false;
        outside += facts(child).live ? 1 : 0;
    }
    if (merges) {
        // What the merges give depends on the keys written beside them: the
        // stretch must keep its keys, and only their values change.
        for (const EntryStep& step : entry_steps)
            if (step.what != EntryChange::changed) return false;
        std::unordered_set<std::string_view> keys;
        for (std::uint32_t child = first;; child = records_.next_sibling(child)) {
            keys.insert(record(child).key_text);
            if (child == last) break;
        }
        if (now.entries().size() != keys.size()) return false;
        for (const DocEntry& entry : now.entries())
            if (!keys.contains(entry.key)) return false;
    } else if (now.entries().size() + outside != new_size) {
        return false;
    }
    for (const DocEntry& entry : now.entries()) {
        const EntryStep* step = step_of(entry.key);
        if (step != nullptr && step->what == EntryChange::gone) return false;
        if (step != nullptr && step->what == EntryChange::added) {
            if (!holds_value(entry.node.value, changes_.at(step->change).value, changes_)) return false;
            continue;
        }
        const DocNode* was = old->find(entry.key);
        if (was == nullptr ||
            first_difference(entry.node.value, was->value, changes_, step == nullptr ? no_change : step->change))
            return false;
    }
    return true;
}

}  // namespace vorn::edit
