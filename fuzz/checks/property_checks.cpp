#include "property_checks.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <iterator>
#include <utility>
#include <vector>

#include "vorn/emit.hpp"
#include "vorn/parse.hpp"

#include "hostile_tree.hpp"
#include "read/read_document.hpp"
#include "read/syntax_index.hpp"
#include "text_facts.hpp"
#include "tree/document.hpp"
#include "tree/value_sink.hpp"
#include "write/emit_flat_tree.hpp"
#include "write/flat_tree.hpp"

namespace vorn::fuzz {

namespace {

// The alias expansion budget: copies made for anchors, aliases and merges
// may create this many nodes in one load.
std::uint64_t alias_budget(std::uint64_t non_blank_lines) { return 1'000'000 + 10 * non_blank_lines; }

constexpr std::string_view budget_message_prefix = "alias expansion exceeds limit of ";

// Every message the reader may produce: fixed texts, or the fixed start of
// a composed one.
constexpr std::array<std::string_view, 15> known_message_starts = {
    "tabs are not allowed; use spaces for indentation",
    "expected ':' in mapping entry",
    "anchor without nested value",
    "unknown anchor: ",
    "merge source must be a mapping",
    "inline mapping continuation must be a mapping",
    "sequence item not indented under its key",
    "expected a sequence item",
    "unexpected indentation",
    "indentation matches no open block",
    "root of document must be a mapping",
    "missing required _vorn_version at root (Semantic Date Versioning)",
    "_vorn_version must be a string scalar",
    "unsupported _vorn_version '",
    budget_message_prefix,
};

CheckFailure check_error(const ParseError& error, std::string_view text, const TextFacts& facts) {
    bool known = false;
    for (std::string_view start : known_message_starts) known = known || error.message.starts_with(start);
    if (!known) return "unknown error message: " + error.render();
    if (error.line < 1 || error.line > std::max<std::uint64_t>(facts.physical_lines, 1))
        return "error line outside the text: " + error.render();
    // Errors name lines with content (a tab alone counts), and a column
    // counts bytes from the start of that content, so never past the end.
    const std::string_view line = line_at(text, error.line);
    if (trim_white_space(line).empty() && line.find('\t') == std::string_view::npos)
        return "error on a blank line: " + error.render();
    if (error.column < 1 || error.column > line.size() + 1)
        return "error column past the end of its line: " + error.render();
    // The byte it points at lies on the line it names.
    if (error.offset > text.size() ||
        1 + static_cast<std::uint64_t>(
                std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(error.offset), '\n')) !=
            error.line)
        return "error offset " + std::to_string(error.offset) + " is not on its line: " + error.render();
    if (error.message.starts_with(budget_message_prefix)) {
        const std::string expected =
            std::string(budget_message_prefix) + std::to_string(alias_budget(facts.non_blank_lines)) + " nodes";
        if (error.message != expected) return "budget error names the wrong limit: " + error.render();
    }
    return std::nullopt;
}

CheckFailure check_tree(const Value& root, const TextFacts& facts) {
    if (!root.is_mapping()) return std::string("parse succeeded with a root that is not a mapping");
    const Mapping& entries = root.mapping();
    if (!entries.empty() && entries.find("_vorn_version") == nullptr)
        return std::string("parse succeeded without _vorn_version");
    // Each line creates at most two values itself (an inline mapping and its
    // first value); everything else comes from counted copies.
    const std::uint64_t bound = alias_budget(facts.non_blank_lines) + 2 * facts.non_blank_lines + 1;
    const std::uint64_t values = count_values(root, bound);
    if (values > bound) return "tree holds more than " + std::to_string(bound) + " values";
    if (!(deep_copy(root) == root)) return std::string("deep copy differs from the parsed tree");
    return std::nullopt;
}

bool is_comment_line(std::string_view line) {
    const std::string_view content = trim_white_space(line);
    return !content.empty() && content.front() == '#';
}

std::uint64_t leading_spaces(std::string_view line) {
    return static_cast<std::uint64_t>(std::min(line.find_first_not_of(' '), line.size()));
}

// The text with whole-line comments moved about in every way that must not
// change what it reads as: each run of comment lines whose first line is no
// deeper than the line above the run is removed (a run that starts deeper
// can be a nested block of comment lines alone, which reads as an empty
// mapping), and a comment line at indentation 0 is put before every other
// non-blank line. Texts with a '|' may hold literal blocks, whose lines are
// text whatever they start with, a text of comment lines alone fails the
// version check, which a blank one does not, and a tab is refused even in a
// comment: these are left out (nullopt).
std::optional<std::string> with_comments_moved(std::string_view text) {
    if (text.find_first_of("|\t") != std::string_view::npos) return std::nullopt;
    std::string moved;
    std::optional<std::uint64_t> above;  // indentation of the last line that is no comment
    bool removing_run = false;
    bool in_run = false;
    for (std::uint64_t number = 1, lines = measure_text(text).physical_lines; number <= lines; ++number) {
        const std::string_view line = line_at(text, number);
        if (trim_white_space(line).empty()) {
            moved.append(line).push_back('\n');
            continue;
        }
        if (is_comment_line(line)) {
            if (!in_run) removing_run = !above || leading_spaces(line) <= *above;
            in_run = true;
            if (!removing_run) moved.append(line).push_back('\n');
            continue;
        }
        in_run = false;
        above = leading_spaces(line);
        moved.append("# moved\n").append(line).push_back('\n');
    }
    if (!above) return std::nullopt;
    return moved;
}

// Whole-line comments never shape the document: moving them as above gives
// the same values, or the same fault (at a line that may have moved).
CheckFailure check_comments_shape_nothing(std::string_view input, const Result<Value>& result) {
    const std::optional<std::string> moved = with_comments_moved(input);
    if (!moved) return std::nullopt;
    const Result<Value> again = parse_document(*moved);
    // The alias budget grows with the number of lines.
    const auto over_budget = [](const Result<Value>& read) {
        return !read && read.error().message.starts_with(budget_message_prefix);
    };
    if (over_budget(result) || over_budget(again)) return std::nullopt;
    const auto outcome = [](const Result<Value>& read) { return read ? "values" : "fault: " + read.error().message; };
    if (result.ok() != again.ok() || (!result && result.error().message != again.error().message) ||
        (result && !same_values(result.value(), again.value())))
        return "moving comment lines changed the result of " + printable(input) + "\nwas: " + outcome(result) +
               "\nnow: " + outcome(again) + "\nmoved text: " + printable(*moved);
    return std::nullopt;
}

// A Value tree as a FlatTree for emit_checked, with its own finding of
// whether some key holds a line feed.
struct WritableCopy {
    FlatTree tree;
    bool has_line_feed_key = false;
};

WritableCopy flat_copy(const Value& root) {
    struct Open {
        const Value* container;
        std::size_t next = 0;
    };
    WritableCopy copy;
    FlatTreeBuilder builder;
    const auto add = [&](std::string_view key, const Value& value, std::vector<Open>& open) {
        copy.has_line_feed_key = copy.has_line_feed_key || key.find('\n') != std::string_view::npos;
        if (value.is_scalar()) {
            builder.add_scalar(key, value.scalar());
            return;
        }
        builder.open(value.is_sequence() ? FlatTree::Kind::sequence : FlatTree::Kind::mapping, key);
        open.push_back({&value});
    };
    std::vector<Open> open;
    add({}, root, open);
    while (!open.empty()) {
        Open& top = open.back();
        const Value& container = *top.container;
        const std::size_t size = container.is_sequence() ? container.sequence().size() : container.mapping().size();
        if (top.next == size) {
            builder.close();
            open.pop_back();
            continue;
        }
        const std::size_t index = top.next++;
        if (container.is_sequence()) {
            add({}, container.sequence()[index].value, open);
        } else {
            const auto& [key, node] = *(container.mapping().begin() + static_cast<std::ptrdiff_t>(index));
            add(key, node.value, open);
        }
    }
    copy.tree = builder.finish();
    return copy;
}

}  // namespace

CheckFailure check_parse(std::string_view input) {
    if (!is_valid_utf8(input)) return std::nullopt;
    const TextFacts facts = measure_text(input);
    const Result<Value> result = parse_document(input);
    CheckFailure failure = result ? check_tree(result.value(), facts) : check_error(result.error(), input, facts);
    if (failure) return failure;
    return check_comments_shape_nothing(input, result);
}

CheckFailure check_text_round_trip(std::string_view input) {
    if (!is_valid_utf8(input) || measure_text(input).has_tab) return std::nullopt;
    Result<Value> first = parse_document(input);
    // A blank text reads as the empty mapping, which the writer spells
    // "{}": a root without the version, which the reader refuses. That is
    // the one accepted tree without a version, so it cannot round-trip.
    if (!first || first.value().mapping().empty()) return std::nullopt;
    const std::string first_text = emit(first.value());
    const Result<Value> second = parse_document(first_text);
    if (!second)
        return "emitted text of " + printable(input) + " does not parse: " + second.error().render() +
               "\nemitted: " + printable(first_text);
    const std::string second_text = emit(second.value());
    if (second_text != first_text)
        return "emit is no fixpoint for " + printable(input) + "\nfirst:  " + printable(first_text) +
               "\nsecond: " + printable(second_text);
    return std::nullopt;
}

CheckFailure check_tree_round_trip(std::string_view input) {
    const Value tree = build_hostile_tree(input);
    const WritableCopy copy = flat_copy(tree);
    const std::string* refused = find_unwritable_key(tree);
    const CheckedText keys_checked = emit_checked(copy.tree, WriteChecks::keys);
    if (copy.has_line_feed_key) {
        if (refused == nullptr || refused->find('\n') == std::string::npos)
            return std::string("find_unwritable_key missed a key holding a line feed");
        if (keys_checked.fault != WriteFault::line_feed_in_key ||
            copy.tree.at(keys_checked.node).key.find('\n') == std::string_view::npos)
            return std::string("emit_checked missed a key holding a line feed");
        return std::nullopt;
    }
    if (refused != nullptr) return "find_unwritable_key refused the key " + printable(*refused);
    if (keys_checked.fault != WriteFault::none)
        return "emit_checked refused the key " + printable(copy.tree.at(keys_checked.node).key);

    const std::string text = emit(tree);
    if (keys_checked.text != text)
        return "emit_checked wrote other text\nemit:         " + printable(text) +
               "\nemit_checked: " + printable(keys_checked.text);
    const CheckedText lossless = emit_checked(copy.tree, WriteChecks::lossless);
    if (lossless.fault != WriteFault::none)
        return "the lossless check refused a tree that round-trips, at " + printable(copy.tree.at(lossless.node).key) +
               "\ntext: " + printable(text);
    const Result<Value> reread = parse_document(text);
    if (!reread) return "emitted tree does not parse: " + reread.error().render() + "\ntext: " + printable(text);
    const std::string reread_text = emit(reread.value());
    if (!same_values(reread.value(), tree))
        return "tree changed in the round trip\nwritten: " + printable(text) + "\nread:    " + printable(reread_text);
    if (reread_text != text)
        return "second emit differs\nfirst:  " + printable(text) + "\nsecond: " + printable(reread_text);
    return std::nullopt;
}

// The records of a read that recorded its syntax: each lies in the text and
// inside its parent's lines, and every value of the tree is found by locate
// (a plain scalar written where it is read, at exactly its text).
CheckFailure syntax_fault(std::string_view input, const Document& document, std::vector<SyntaxRecord> records) {
    const SyntaxIndex index(std::move(records));
    const auto& all = index.records();
    const auto within = [](ByteSpan inner, ByteSpan outer) {
        return outer.begin <= inner.begin && inner.begin <= inner.end && inner.end <= outer.end;
    };
    const ByteSpan whole{0, static_cast<std::uint32_t>(input.size())};
    for (std::size_t i = 0; i < all.size(); ++i) {
        const SyntaxRecord& record = all[i];
        const bool parent_holds =
            record.parent == no_record || (record.parent < i && within(record.lines, all[record.parent].lines));
        if (!within(record.lines, whole) || !within(record.head, record.lines) || !parent_holds ||
            (record.kind != SyntaxKind::item && !within(record.key, record.head)))
            return "syntax record " + std::to_string(i) + " lies outside its place in " + printable(input);
    }
    // A bounded walk over the values, each with its path.
    struct Visit {
        const DocValue* value;
        std::vector<PathStep> path;
    };
    std::vector<Visit> pending{{&document.root(), {}}};
    for (std::size_t visited = 0; !pending.empty() && visited < 2000; ++visited) {
        Visit visit = std::move(pending.back());
        pending.pop_back();
        const auto found = index.locate(document.root(), visit.path);
        if (!found) return "locate missed a value of the tree in " + printable(input);
        if (visit.value->is_scalar() && !visit.value->is_block_text() && found->record != no_record && !found->copied &&
            all[found->record].form == SyntaxForm::plain) {
            const ByteSpan span = all[found->record].value;
            if (input.substr(span.begin, span.end - span.begin) != visit.value->text())
                return "the span of a plain scalar is not its text in " + printable(input);
        }
        if (visit.value->is_mapping()) {
            for (const DocEntry& entry : visit.value->entries()) {
                std::vector<PathStep> path = visit.path;
                path.emplace_back(entry.key);
                pending.push_back({&entry.node.value, std::move(path)});
            }
        } else if (visit.value->is_sequence()) {
            for (std::size_t i = 0; i < visit.value->items().size(); ++i) {
                std::vector<PathStep> path = visit.path;
                path.emplace_back(i);
                pending.push_back({&visit.value->items()[i].value, std::move(path)});
            }
        }
    }
    return std::nullopt;
}

// The reader's second sink, as the binding uses it, making Values: each
// container it makes is a Value it owns, and a tree the reader kept is
// copied where it stands.
class ValueMakingSink final : public ValueSink {
public:
    void* open_sequence() override { return &made_.emplace_back(Sequence()); }
    void add_item(void* sequence, const DocValue& value) override {
        static_cast<Value*>(sequence)->sequence().append_empty().value = value_of(value);
    }
    DocValue finish_sequence(void* sequence) override { return DocValue::made(Value::Kind::sequence, sequence); }
    DocValue finish_mapping(std::span<const DocEntry> entries) override {
        Mapping mapping;
        for (const DocEntry& entry : entries) {
            if (!mapping.empty() && !(std::prev(mapping.end())->first < entry.key)) out_of_order_ = true;
            mapping.append_in_order(std::string(entry.key), Node{value_of(entry.node.value)});
        }
        return DocValue::made(Value::Kind::mapping, &made_.emplace_back(std::move(mapping)));
    }

    // A made container is taken, not copied: the reader gives each to one
    // place only, and one given twice would read as empty the second time.
    Value value_of(const DocValue& value) {
        if (value.is_made()) return std::move(*static_cast<Value*>(const_cast<void*>(value.made_object())));
        return to_value(value);
    }
    // Whether a mapping was given its entries out of key order.
    bool out_of_order() const noexcept { return out_of_order_; }

private:
    std::deque<Value> made_;
    bool out_of_order_ = false;
};

CheckFailure check_comments_dropped(std::string_view input) {
    if (!is_valid_utf8(input)) return std::nullopt;
    const Result<Document> kept = read_document(input, Comments::kept);
    const Result<Document> dropped = read_document(input, Comments::may_drop);
    const auto outcome = [](const Result<Document>& read) {
        return read ? "values"
                    : "fault: " + read.error().render() + " (offset " + std::to_string(read.error().offset) + ")";
    };
    if (!kept) {
        SyntaxRecorder recorder(input);
        const Result<Document> recorded = read_document(input, recorder);
        if (recorded || !(recorded.error() == kept.error()))
            return "recording the syntax changed the fault of " + printable(input) + ": " + outcome(recorded);
    }
    if (!kept) {
        ValueMakingSink sink;
        const Result<Document> sunk = read_document(input, sink);
        if (sunk || !(sunk.error() == kept.error()))
            return "reading into a sink changed the fault of " + printable(input) + ": " + outcome(sunk);
    }
    if (kept.ok() != dropped.ok() || (!kept && !(kept.error() == dropped.error())))
        return "dropping comments changed the result of " + printable(input) + "\nkept:    " + outcome(kept) +
               "\ndropped: " + outcome(dropped);
    if (!kept) return std::nullopt;
    const Value kept_values = to_value(kept.value().root());
    const Value dropped_values = to_value(dropped.value().root());
    if (!same_values(kept_values, dropped_values))
        return "dropping comments changed the values of " + printable(input) +
               "\nkept:    " + printable(emit(kept_values)) + "\ndropped: " + printable(emit(dropped_values));

    // A third way: a sink making the containers as their blocks close.
    ValueMakingSink sink;
    const Result<Document> sunk = read_document(input, sink);
    if (!sunk) return "reading into a sink made a fault of " + printable(input) + ": " + outcome(sunk);
    if (sink.out_of_order()) return "the sink was given entries out of key order for " + printable(input);
    const Value sunk_values = sink.value_of(sunk.value().root());
    if (!same_values(kept_values, sunk_values))
        return "reading into a sink changed the values of " + printable(input) +
               "\nkept: " + printable(emit(kept_values)) + "\nsunk: " + printable(emit(sunk_values));

    // A fourth: recording the syntax must change nothing either.
    SyntaxRecorder recorder(input);
    const Result<Document> recorded = read_document(input, recorder);
    if (!recorded) return "recording the syntax made a fault of " + printable(input) + ": " + outcome(recorded);
    if (!same_values(kept_values, to_value(recorded.value().root())))
        return "recording the syntax changed the values of " + printable(input);
    return syntax_fault(input, recorded.value(), std::move(recorder).finish());
}

CheckFailure check_flat_tree_emit(std::string_view input) {
    const CallerTree caller = build_caller_tree(input);
    const Value value = value_of(caller);
    const FlatTree flat = flat_tree_of(caller);

    const std::string* refused = find_unwritable_key(value);
    const CheckedText keys_checked = emit_checked(flat, WriteChecks::keys);
    const CheckedText lossless = emit_checked(flat, WriteChecks::lossless);
    if (refused != nullptr) {
        if (keys_checked.fault != WriteFault::line_feed_in_key || flat.at(keys_checked.node).key != *refused)
            return "emit_checked did not refuse the key " + printable(*refused) + " that find_unwritable_key names";
        if (lossless.fault == WriteFault::none)
            return "the lossless check passed a key holding a line feed: " + printable(*refused);
        return std::nullopt;
    }
    if (keys_checked.fault != WriteFault::none)
        return "emit_checked refused the key " + printable(flat.at(keys_checked.node).key);

    const std::string text = emit(value);
    const std::string flat_text = emit(flat);
    if (flat_text != text)
        return "the FlatTree is written otherwise\nValue:    " + printable(text) +
               "\nFlatTree: " + printable(flat_text);
    if (keys_checked.text != text)
        return "emit_checked wrote other text\nemit:         " + printable(text) +
               "\nemit_checked: " + printable(keys_checked.text);

    const Result<Value> reread = parse_document(text);
    const bool round_trips = reread && same_values(reread.value(), value);
    const std::string read_back = reread ? "values " + printable(emit(reread.value())) : reread.error().render();
    if (lossless.fault != WriteFault::none && round_trips)
        return "the lossless check refused (fault " + std::to_string(static_cast<int>(lossless.fault)) +
               ") a tree that reads back the same, at " + printable(flat.at(lossless.node).key) +
               "\ntext: " + printable(text);
    if (lossless.fault == WriteFault::none && !round_trips)
        return "the lossless check passed a tree that does not read back the same\ntext: " + printable(text) +
               "\nread: " + read_back;
    if (lossless.fault == WriteFault::none && lossless.text != text)
        return "the lossless check wrote other text\nemit:     " + printable(text) +
               "\nlossless: " + printable(lossless.text);
    return std::nullopt;
}

std::span<const FuzzTarget> fuzz_targets() {
    static constexpr std::array<FuzzTarget, 6> targets = {{
        {"parse", check_parse},
        {"text_round_trip", check_text_round_trip},
        {"tree_round_trip", check_tree_round_trip},
        {"comments_dropped", check_comments_dropped},
        {"flat_tree_emit", check_flat_tree_emit},
        {"edit", check_edit},
    }};
    return targets;
}

}  // namespace vorn::fuzz
