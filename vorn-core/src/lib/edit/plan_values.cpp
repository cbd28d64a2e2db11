// The walk of the changes, and a single value changed: a scalar spelled
// anew on its line, or any value written anew after its colon or hyphen.
#include <string>
#include <utility>

#include "edit/planner.hpp"
#include "write/scalar_writer.hpp"

namespace vorn::edit {

namespace {

bool is_scalar_form(SyntaxForm form) noexcept {
    return form == SyntaxForm::plain || form == SyntaxForm::single_quoted || form == SyntaxForm::double_quoted ||
           form == SyntaxForm::empty;
}

bool is_one_line_text(const Value& value) noexcept {
    return value.is_scalar() && value.scalar().find('\n') == std::string::npos;
}

bool is_filled_container(const Value& value) noexcept {
    if (value.is_sequence()) return !value.sequence().empty();
    return value.is_mapping() && !value.mapping().empty();
}

}  // namespace

void Planner::walk() {
    path_nodes_.push_back({0, std::string()});
    if (changes_.empty()) return;
    pending_.push_back({no_record, &root_, changes_.root(), 0});
    while (!pending_.empty()) {
        const ValueAt at = pending_.back();
        pending_.pop_back();
        plan_value(at);
    }
}

void Planner::plan_value(const ValueAt& at) {
    current_path_ = at.path;
    if (at.record != no_record) reached_[at.record] = at;
    const Change& change = changes_.at(at.change);
    const bool holds_records = at.record == no_record || records_.first_child(at.record) != no_record;
    const SyntaxForm form = at.record == no_record ? SyntaxForm::nested_block : record(at.record).form;
    switch (change.kind) {
        case ChangeKind::replaced:
            replace_value(at, change.value);
            return;
        case ChangeKind::mapping:
            if (holds_records && (form == SyntaxForm::nested_block || form == SyntaxForm::inline_mapping)) {
                plan_mapping(at);
                return;
            }
            break;
        case ChangeKind::sequence:
            if (holds_records && form == SyntaxForm::nested_block) {
                plan_sequence(at);
                return;
            }
            break;
    }
    // A copy that changed inside: whether it stays an alias is decided once
    // every change is planned.
    if (form == SyntaxForm::alias) return;
    // "{}", "[]" or a block of comment lines alone that gained entries or
    // items: written anew.
    replace_value(at, materialize(*at.old, changes_, at.change));
}

LineSite Planner::site_of(std::uint32_t index) const noexcept {
    const SyntaxRecord& written = record(index);
    if (written.kind == SyntaxKind::item) return LineSite::item;
    if (is_inline_owner(written.parent) && records_.first_child(written.parent) == index) return LineSite::item_entry;
    return LineSite::block_entry;
}

LayoutStyle Planner::style_near(std::uint32_t) const {
    if (style_) return *style_;
    // The document's habits: scalars bare or in double quotes, by its
    // scalars as read; "- key: value", as people write items, unless the
    // document only ever puts an item's mapping below a "-" alone.
    std::size_t plain = 0;
    std::size_t double_quoted = 0;
    bool inline_items = false;
    bool mappings_below_hyphens = false;
    for (const SyntaxRecord& written : records_.records()) {
        plain += written.form == SyntaxForm::plain;
        double_quoted += written.form == SyntaxForm::double_quoted;
        inline_items = inline_items || written.form == SyntaxForm::inline_mapping;
        mappings_below_hyphens =
            mappings_below_hyphens || (written.kind == SyntaxKind::item && written.form == SyntaxForm::nested_block &&
                                       written.value_as_read.is_mapping());
    }
    style_ = LayoutStyle{plain >= double_quoted, inline_items || !mappings_below_hyphens, true};
    return *style_;
}

void Planner::replace_value(const ValueAt& at, const Value& value) {
    current_path_ = at.path;
    if (at.record == no_record) {
        // The root is always a mapping whose entries change one by one.
        throw PlanFailure{{EditError::Kind::cannot_write, {}, WriteFault::root_not_mapping, {}}};
    }
    const SyntaxRecord& written = record(at.record);
    if (site_of(at.record) == LineSite::item_entry && !fits_item_line(at.record, value)) {
        move_first_entry_below(at, value);
        return;
    }
    if (is_one_line_text(value) && is_scalar_form(written.form) && respell_scalar(at, value.scalar())) {
        rewritten_[at.record] = false;
        return;
    }
    const bool keep_anchor = written.form == SyntaxForm::nested_block && written.anchor.begin > written.head.begin &&
                             is_filled_container(value);
    write_value_in_place(at, value, keep_anchor);
    rewritten_[at.record] = keep_anchor;
    // Aliases of the anchor kept compare with what it holds now.
    if (keep_anchor) rewritten_values_[at.record] = &made_.emplace_back(deep_copy(value));
}

bool Planner::respell_scalar(const ValueAt& at, std::string_view text) {
    const std::uint32_t index = at.record;
    const SyntaxRecord& written = record(index);
    const bool empty_form = written.form == SyntaxForm::empty;
    const std::uint32_t value_begin = empty_form ? marker(index) + 1 : written.value.begin;
    const std::uint32_t value_end = empty_form ? value_begin : written.value.end;
    // The line as the reader reads it: an entry first on an item's line is
    // read with the item's hyphen.
    const LineSite site = site_of(index);
    const std::uint32_t line_begin =
        site == LineSite::item_entry ? record(written.parent).head.begin : written.head.begin;
    const std::string_view before = text_.substr(line_begin, value_begin - line_begin);
    const std::string_view after = rest_of_line(value_end);
    std::optional<std::string> comment;
    if (!written.inline_comment.empty())
        comment.emplace(
            text_.substr(written.inline_comment.begin, written.inline_comment.end - written.inline_comment.begin));

    // The spelling it had first, if it can have it; else the plainest; the
    // writer's double quotes last. The empty text is never left bare: "key:"
    // opens a block for any deeper line after it.
    std::vector<ScalarStyle> styles;
    if (written.form == SyntaxForm::single_quoted) styles.push_back(ScalarStyle::single_quoted);
    if (written.form == SyntaxForm::double_quoted) styles.push_back(ScalarStyle::double_quoted);
    if (!text.empty() && (written.form == SyntaxForm::plain || reads_back_plain(text, site != LineSite::item)))
        styles.push_back(ScalarStyle::plain);
    styles.push_back(ScalarStyle::double_quoted);
    styles.push_back(ScalarStyle::single_quoted);
    for (const ScalarStyle style : styles) {
        std::string spelled = empty_form ? " " : "";
        append_spelled(spelled, text, style);
        std::string line(before);
        line += spelled;
        line += after;
        const std::optional<LineReading> read = read_line_alone(site, line);
        if (!read || read->scalar != text || read->inline_comment != comment) continue;
        if (site != LineSite::item && read->key != written.key_text) continue;
        add(value_begin, value_end, std::move(spelled));
        return true;
    }
    // A key whose own quotes hide the value's (a key holding an unclosed
    // quote, say) is spelled anew too, as the writer spells keys.
    if (written.kind == SyntaxKind::item) return false;
    std::string spelled;
    if (write_key(spelled, written.key_text) != WriteFault::none) return false;
    spelled += ": ";
    append_spelled(spelled, text, ScalarStyle::double_quoted);
    std::string line(site == LineSite::item_entry ? "- " : "");
    line += spelled;
    line += after;
    const std::optional<LineReading> read = read_line_alone(site, line);
    if (!read || read->scalar != text || read->inline_comment != comment || read->key != written.key_text) return false;
    add(written.key.begin, value_end, std::move(spelled));
    return true;
}

bool Planner::fits_item_line(std::uint32_t first, const Value& value) const {
    // A block below "- key:" would go on the item's mapping instead; a
    // literal block's lines must stand deeper than any line after it that
    // goes on the item's mapping, those there and those an edit may add at
    // their indentation.
    if (value.is_scalar()) {
        if (value.scalar().find('\n') == std::string::npos) return true;
        const std::uint32_t item = record(first).parent;
        return continuation_indent(item) <= record(item).indent + 2;
    }
    return !is_filled_container(value);
}

void Planner::move_first_entry_below(const ValueAt& at, const Value& value) {
    // "- key: value" becomes "-" alone, with the entry as the first line of
    // the item's block below it, where any value can stand.
    const std::uint32_t first = at.record;
    const std::uint32_t item = record(first).parent;
    const std::uint32_t indent = continuation_indent(item);
    empty_item_line(item, first);
    Fragment fragment =
        checked(write_entry_fragment(indent, record(first).key_text, value, style_near(item), true), at.path);
    insert(head_line_end(item), facts(first).depth + 1, with_newlines(fragment.line + "\n" + fragment.below),
           fragment.open_threshold);
    rewritten_[first] = false;
}

void Planner::write_value_in_place(const ValueAt& at, const Value& value, bool keep_anchor) {
    const std::uint32_t index = at.record;
    const SyntaxRecord& written = record(index);
    const bool item = written.kind == SyntaxKind::item;
    // "&name" kept alone on its line: the value all below it.
    LayoutStyle style = style_near(written.parent);
    if (keep_anchor) style.compact_items = false;
    const Fragment fragment = checked(write_value_fragment(written.indent, !item, value, style, true), at.path);
    VORN_ASSERT(!keep_anchor || fragment.line.find_first_not_of(' ') == std::string::npos);
    // What stands after the colon or hyphen on the record's line now.
    const std::uint32_t after_marker = marker(index) + 1;
    std::uint32_t begin = after_marker;
    std::uint32_t end = after_marker;
    switch (written.form) {
        case SyntaxForm::empty:
            break;
        case SyntaxForm::nested_block:
            if (written.anchor.begin > written.head.begin) {
                begin = written.value.begin;
                end = written.anchor.end;
            }
            break;
        case SyntaxForm::literal_block:
            begin = written.value.begin;
            end = begin + 1;
            break;
        case SyntaxForm::inline_mapping:
            begin = written.value.begin;
            end = value_end_on_line(index);
            break;
        default:
            begin = written.value.begin;
            end = written.value.end;
            break;
    }
    if (!keep_anchor) {
        std::string on_line = fragment.line;
        // The writer puts a blank after an entry's colon (and the hyphen's
        // own after it): where one stands already, it is not doubled.
        if (begin > after_marker && !item && !on_line.empty() && on_line.front() == ' ') on_line.erase(0, 1);
        if (begin == after_marker && item && !on_line.empty()) on_line = " " + on_line;
        // Nothing left after the colon or hyphen: nor the blank before it.
        if (on_line.empty()) begin = after_marker;
        if (!item) begin = keep_key_readable(index, begin, end, value, on_line);
        // A line that now ends in "|" or opens a nested block takes the
        // deeper lines below it.
        const std::uint32_t opens =
            !value.is_scalar() ? (is_filled_container(value) ? written.indent : no_threshold) : fragment.open_threshold;
        add(begin, end, std::move(on_line), opens);
    }
    // The lines below: those of the old value go, those of the new come.
    const std::uint32_t below_begin = head_line_end(index);
    const std::uint32_t below_end = std::max(below_begin, lines_end(index));
    std::string below = with_newlines(fragment.below);
    if (below_end > below_begin) {
        add(below_begin, below_end, std::move(below), fragment.open_threshold);
    } else if (!below.empty()) {
        insert(below_begin, facts(index).depth + 1, std::move(below), fragment.open_threshold);
    }
}

std::uint32_t Planner::keep_key_readable(std::uint32_t index, std::uint32_t begin, std::uint32_t end,
                                         const Value& value, std::string& on_line) const {
    // A key whose own quotes hide the value's (a key holding an unclosed
    // quote, say), or take in the inline comment once the value is gone
    // from the line, is spelled anew, as the writer spells keys.
    const SyntaxRecord& written = record(index);
    const LineSite site = site_of(index);
    const std::uint32_t line_begin =
        site == LineSite::item_entry ? record(written.parent).head.begin : written.head.begin;
    std::string line(text_.substr(line_begin, begin - line_begin));
    line += on_line;
    line += rest_of_line(end);
    const std::optional<LineReading> read = read_line_alone(site, line);
    // Read alone, a line whose value opens a block below it holds the empty
    // scalar; "{}" and "[]" hold no scalar.
    const bool as_meant = read && read->key == written.key_text &&
                          (value.is_scalar() ? read->scalar == value.scalar()
                                             : (is_filled_container(value) ? read->scalar == std::string_view()
                                                                           : !read->scalar.has_value()));
    if (as_meant) return begin;
    std::string spelled;
    if (write_key(spelled, written.key_text) != WriteFault::none) return begin;
    spelled += ':';
    if (!on_line.empty() && on_line.front() != ' ') spelled += ' ';
    on_line = spelled + on_line;
    return written.key.begin;
}

Fragment Planner::checked(Fragment fragment, std::uint32_t path) const {
    if (fragment.fault == WriteFault::none) return fragment;
    std::vector<DataStep> steps = path_of(path);
    for (FragmentStep& step : fragment.fault_steps) steps.push_back(std::move(step));
    throw PlanFailure{{EditError::Kind::cannot_write, std::move(steps), fragment.fault, {}}};
}

void Planner::add(std::uint32_t begin, std::uint32_t end, std::string text, std::uint32_t open_threshold) {
    // What stands where may have changed: the anchors are looked at again.
    anchors_stay_.reset();
    if (!splices_.add(Splice{begin, end, std::move(text), open_threshold}))
        fail(current_path_, "two of its changes would rewrite the same text");
}

void Planner::insert(std::uint32_t offset, std::uint32_t depth, std::string text, std::uint32_t open_threshold) {
    insertions_.push_back(InsertedPiece{offset, depth, std::move(text), no_record, open_threshold});
}

void Planner::remove_lines(std::uint32_t index) { add(lines_begin(index), lines_end(index), std::string()); }

void Planner::fail(std::uint32_t path, std::string reason) const {
    throw PlanFailure{{EditError::Kind::not_in_place, path_of(path), WriteFault::none, std::move(reason)}};
}

std::uint32_t Planner::path_step(std::uint32_t parent, DataStep step) {
    path_nodes_.push_back({parent, std::move(step)});
    return static_cast<std::uint32_t>(path_nodes_.size() - 1);
}

std::vector<DataStep> Planner::path_of(std::uint32_t path) const {
    std::vector<DataStep> steps;
    for (std::uint32_t at = path; at != 0; at = path_nodes_[at].parent) steps.push_back(path_nodes_[at].step);
    return {steps.rbegin(), steps.rend()};
}

}  // namespace vorn::edit
