// The edit engine's fuzz check: a document written with every feature the
// reader has, random changes of its values, and the text the engine makes,
// judged by an oracle of its own.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "vorn/emit.hpp"

#include "edit/diff.hpp"
#include "edit/edit_text.hpp"
#include "edit/planner.hpp"
#include "property_checks.hpp"
#include "read/read_document.hpp"
#include "read/syntax_index.hpp"
#include "text/trim.hpp"
#include "text_facts.hpp"

namespace vorn::fuzz {

namespace {

class Bytes {
public:
    explicit Bytes(std::string_view input) : input_(input) {}
    // The next byte, 0 once the input is used up.
    unsigned next() noexcept { return at_ < input_.size() ? static_cast<unsigned char>(input_[at_++]) : 0; }
    unsigned below(unsigned bound) noexcept { return bound == 0 ? 0 : next() % bound; }
    bool chance(unsigned in) noexcept { return below(in) == 0; }

private:
    std::string_view input_;
    std::size_t at_ = 0;
};

// clang-format off: the pools read better as lines of words
constexpr std::array<std::string_view, 12> keys = {"a", "b", "host", "port", "zeta", "x-y", "k_1", "\xE6\x97\xA5",
                                                   "\xC3\xA9", "<<", "a b", "q\"q"};
constexpr std::array<std::string_view, 14> plain_values = {"v", "1.0", "true", "some text", "a:b", "http://h:80/x", "~",
                                                           "it's", "x#y", "-x", "[a, b]", "\xC3\xA9 x", "'q", "a\"b"};
constexpr std::array<std::string_view, 8> quoted_values = {"'v w'", "'it''s'", "'#x'", "'  pad  '", "\"a \\\"q\\\" b\"",
                                                           "\"# not\"", "\"\"", "''"};
constexpr std::array<std::string_view, 20> new_texts = {"w", "", " pad", "a: b", "#x", "x #y", "'q'", "\"dq\"", "it's",
                                                        "-", "*a", "&a", "|", "[]", "{}", "<<", "two\nlines",
                                                        "  indented\nblock", "\xC3\xA9\n\xE6\x97\xA5", "- x"};
// clang-format on

// Writes a random document with comments, anchors, aliases, merges, "<<"
// keys, literal blocks, duplicate keys and items of every form.
class DocumentWriter {
public:
    explicit DocumentWriter(Bytes& bytes) : bytes_(bytes) {}

    std::string write() {
        lines_.push_back("_vorn_version: 1.0");
        mapping(0, 0, false);
        std::string newline = bytes_.chance(4) ? "\r\n" : "\n";
        std::string text;
        for (const std::string& line : lines_) text += line + newline;
        if (bytes_.chance(5)) text.resize(text.size() - newline.size());
        return text;
    }

private:
    std::string indent(unsigned n) { return std::string(n, ' '); }

    void comments(unsigned at) {
        for (unsigned i = bytes_.below(3); i-- > 0;) {
            const unsigned where = bytes_.below(3);
            if (where == 2) {
                lines_.emplace_back();
                continue;
            }
            lines_.push_back(indent(where == 0 ? 0 : at) + "# c" + std::to_string(++comment_));
        }
    }

    std::string inline_comment() { return bytes_.chance(3) ? "  # i" + std::to_string(++comment_) : ""; }

    // The text after "key:" or "-" and the lines below, for one value.
    void value(std::string head, unsigned at, unsigned depth) {
        const unsigned step = 2 + bytes_.below(3);
        unsigned kinds = depth < 3 ? 10 : 6;
        if (!anchors_.empty()) ++kinds;
        switch (bytes_.below(kinds)) {
            case 0:
                lines_.push_back(head + " " + std::string(plain_values[bytes_.below(plain_values.size())]) +
                                 inline_comment());
                return;
            case 1:
                lines_.push_back(head + " " + std::string(quoted_values[bytes_.below(quoted_values.size())]) +
                                 inline_comment());
                return;
            case 2: {
                lines_.push_back(head + " |" + inline_comment());
                for (unsigned i = 1 + bytes_.below(3); i-- > 0;)
                    lines_.push_back(indent(at + step + bytes_.below(2)) +
                                     std::string(plain_values[bytes_.below(plain_values.size())]));
                return;
            }
            case 3:
                lines_.push_back(head + inline_comment());
                return;
            case 4:
                lines_.push_back(head + (bytes_.chance(2) ? " []" : " {}") + inline_comment());
                return;
            case 5:
            case 10:
                if (!anchors_.empty()) {
                    lines_.push_back(head + " *" + anchors_[bytes_.below(anchors_.size())].first + inline_comment());
                    return;
                }
                [[fallthrough]];
            default: {
                const bool is_map = bytes_.chance(2);
                std::string anchor;
                if (bytes_.chance(3)) anchor = "a" + std::to_string(++anchor_count_);
                lines_.push_back(head + (anchor.empty() ? "" : " &" + anchor) + inline_comment());
                if (is_map) {
                    mapping(at + step, depth + 1, false);
                } else {
                    sequence(at + step, depth + 1);
                }
                if (!anchor.empty()) anchors_.emplace_back(anchor, is_map);
            }
        }
    }

    void mapping(unsigned at, unsigned depth, bool inline_first, std::string first_prefix = {}) {
        const unsigned count = 1 + bytes_.below(4);
        for (unsigned i = 0; i < count; ++i) {
            const bool on_item_line = inline_first && i == 0;
            if (!on_item_line) comments(at);
            // A merge of a mapping anchored above, now and then.
            if (!on_item_line && bytes_.chance(6)) {
                for (const auto& [name, is_map] : anchors_) {
                    if (!is_map) continue;
                    lines_.push_back(indent(at) + "<<: *" + name);
                    break;
                }
            }
            std::string key(keys[bytes_.below(keys.size())]);
            // "<<" with an alias would merge; keys with a colon need quotes.
            if (key == "a b" || key == "q\"q") key = bytes_.chance(2) ? "\"" + key + "\"" : key;
            if (key == "<<" && on_item_line) key = "k";
            const std::string head = on_item_line ? first_prefix + key + ":" : indent(at) + key + ":";
            value(head, at, depth);
        }
    }

    void sequence(unsigned at, unsigned depth) {
        for (unsigned i = 1 + bytes_.below(3); i-- > 0;) {
            comments(at);
            const std::string gap(1 + bytes_.below(2), ' ');
            if (depth < 3 && bytes_.chance(2)) {
                mapping(at + 1 + static_cast<unsigned>(gap.size()), depth + 1, true, indent(at) + "-" + gap);
                continue;
            }
            value(indent(at) + "-", at, depth);
        }
    }

    Bytes& bytes_;
    std::vector<std::string> lines_;
    std::vector<std::pair<std::string, bool>> anchors_;
    unsigned comment_ = 0;
    unsigned anchor_count_ = 0;
};

// Every node of a tree, with its path; containers before their children.
void collect(Value& value, std::vector<std::pair<Value*, std::vector<PathStep>>>& out, std::vector<PathStep> path) {
    std::vector<std::pair<Value*, std::vector<PathStep>>> pending{{&value, std::move(path)}};
    while (!pending.empty()) {
        auto [at, steps] = std::move(pending.back());
        pending.pop_back();
        out.emplace_back(at, steps);
        if (at->is_mapping()) {
            for (auto& [key, node] : at->mapping()) {
                std::vector<PathStep> child = steps;
                child.emplace_back(std::string_view(key));
                pending.emplace_back(&node.value, std::move(child));
            }
        } else if (at->is_sequence()) {
            for (std::size_t i = 0; i < at->sequence().size(); ++i) {
                std::vector<PathStep> child = steps;
                child.emplace_back(i);
                pending.emplace_back(&at->sequence()[i].value, std::move(child));
            }
        }
    }
}

Value new_value(Bytes& bytes, unsigned depth = 0) {
    switch (depth < 2 ? bytes.below(4) : 0) {
        case 1: {
            Sequence items;
            for (unsigned i = bytes.below(3); i-- > 0;) items.append(Node(new_value(bytes, depth + 1)));
            return Value(std::move(items));
        }
        case 2: {
            Mapping entries;
            for (unsigned i = bytes.below(3); i-- > 0;)
                entries.insert(std::string(keys[bytes.below(keys.size())]), Node(new_value(bytes, depth + 1)));
            return Value(std::move(entries));
        }
        default:
            return Value(std::string(new_texts[bytes.below(new_texts.size())]));
    }
}

// One random change of `data`; the version entry is left alone.
void change(Value& data, Bytes& bytes) {
    std::vector<std::pair<Value*, std::vector<PathStep>>> nodes;
    collect(data, nodes, {});
    std::erase_if(nodes, [](const auto& node) {
        const auto* key = node.second.empty() ? nullptr : std::get_if<std::string_view>(&node.second.front());
        return key != nullptr && *key == "_vorn_version";
    });
    auto& [target, path] = nodes[bytes.below(static_cast<unsigned>(nodes.size()))];
    switch (bytes.below(6)) {
        case 0:  // set or replace the value (not the root)
            if (!path.empty()) *target = new_value(bytes);
            return;
        case 1:  // add a key or an item
            if (target->is_mapping()) {
                target->mapping().insert(std::string(keys[bytes.below(keys.size())]) + "n", Node(new_value(bytes)));
            } else if (target->is_sequence()) {
                Sequence& items = target->sequence();
                Sequence grown;
                const std::size_t at = bytes.below(static_cast<unsigned>(items.size() + 1));
                for (std::size_t i = 0; i <= items.size(); ++i) {
                    if (i == at) grown.append(Node(new_value(bytes)));
                    if (i < items.size()) grown.append(std::move(items[i]));
                }
                *target = Value(std::move(grown));
            }
            return;
        case 2:  // delete a key or an item
        case 3: {
            if (target->is_mapping() && !target->mapping().empty()) {
                Mapping kept;
                const std::size_t gone = bytes.below(static_cast<unsigned>(target->mapping().size()));
                std::size_t i = 0;
                for (auto& [key, node] : target->mapping())
                    if (i++ != gone || (path.empty() && key == "_vorn_version")) kept.insert(key, std::move(node));
                *target = Value(std::move(kept));
            } else if (target->is_sequence() && !target->sequence().empty()) {
                Sequence kept;
                const std::size_t gone = bytes.below(static_cast<unsigned>(target->sequence().size()));
                for (std::size_t i = 0; i < target->sequence().size(); ++i)
                    if (i != gone) kept.append(std::move(target->sequence()[i]));
                *target = Value(std::move(kept));
            }
            return;
        }
        case 4:  // reverse or rotate a sequence
            if (target->is_sequence() && target->sequence().size() > 1) {
                Sequence& items = target->sequence();
                Sequence moved;
                const bool reverse = bytes.chance(2);
                for (std::size_t i = 0; i < items.size(); ++i)
                    moved.append(std::move(items[reverse ? items.size() - 1 - i : (i + 1) % items.size()]));
                *target = Value(std::move(moved));
            }
            return;
        default:  // rename a key
            if (target->is_mapping() && !target->mapping().empty() && !path.empty()) {
                Mapping renamed;
                const std::size_t which = bytes.below(static_cast<unsigned>(target->mapping().size()));
                std::size_t i = 0;
                for (auto& [key, node] : target->mapping())
                    renamed.insert(i++ == which ? key + "r" : key, std::move(node));
                *target = Value(std::move(renamed));
            }
            return;
    }
}

// The comment lines above a record, trimmed, in order.
std::vector<std::string_view> comments_above(std::string_view text, const SyntaxRecord& record) {
    std::vector<std::string_view> found;
    std::string_view above = text.substr(record.lines.begin, record.head.begin - record.lines.begin);
    while (!above.empty()) {
        const std::size_t end = std::min(above.find('\n'), above.size());
        const std::string_view line = trim(above.substr(0, end));
        if (!line.empty() && line.front() == '#') found.push_back(line);
        above.remove_prefix(std::min(end + 1, above.size()));
    }
    return found;
}

std::string_view line_of(std::string_view text, const SyntaxRecord& record) {
    return text.substr(record.head.begin, record.head.end - record.head.begin);
}

// The engine reads back only the lines its splices reach when that tells:
// a text changed there (a byte between the first and the last byte that
// differ from the text as read) must then still read as the data whole.
CheckFailure region_check_failure(Bytes& bytes, const std::string& text, const SyntaxIndex& index,
                                  const DocValue& old_root, const edit::ChangeSet& changes, const std::string& edited,
                                  const Value& data) {
    if (changes.empty()) return std::nullopt;
    // A byte the edit surely wrote differs from the text read in every
    // alignment of the two: the common prefix and the common suffix are
    // each taken whole. Text inserted beside bytes like its own (the
    // spaces of the line after it) aligns either way, and a byte of that
    // line is one the edit kept, which the check rightly takes as read.
    std::size_t prefix = 0;
    while (prefix < text.size() && prefix < edited.size() && text[prefix] == edited[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < text.size() && suffix < edited.size() &&
           text[text.size() - 1 - suffix] == edited[edited.size() - 1 - suffix])
        ++suffix;
    if (prefix + suffix >= edited.size()) return std::nullopt;
    static constexpr std::string_view alphabet = " \n-#:x|'\"&*\r";
    std::string changed = edited;
    changed[prefix + bytes.below(static_cast<unsigned>(edited.size() - prefix - suffix))] =
        alphabet[bytes.below(alphabet.size())];
    edit::Planner planner(text, index, old_root, changes);
    if (planner.run().index() != 0 || !planner.reads_back_in_region(changed)) return std::nullopt;
    const Result<Document> reread = read_document(changed, Comments::may_drop);
    if (!reread || !same_values(to_value(reread.value().root()), data))
        return "a text that reads otherwise passed the check of the lines the splices reach\nbefore: " +
               printable(text) + "\nedited: " + printable(edited) + "\nchecked: " + printable(changed);
    return std::nullopt;
}

}  // namespace

CheckFailure check_edit(std::string_view input) {
    Bytes bytes(input);
    const std::string text = DocumentWriter(bytes).write();
    SyntaxRecorder recorder(text);
    const Result<Document> read = read_document(text, recorder);
    if (!read) return std::nullopt;  // a document the writer got wrong: outside the check
    const SyntaxIndex index(std::move(recorder).finish());
    const DocValue& old_root = read.value().root();
    Value data = to_value(old_root);
    for (unsigned i = 1 + bytes.below(3); i-- > 0;) change(data, bytes);
    const edit::ChangeSet changes = edit::diff(old_root, data);
    const auto result = edit::edit_text(text, index, old_root, changes);
    if (const auto* error = std::get_if<edit::EditError>(&result)) {
        // The changes make only text the format carries.
        return "the engine refused (" + error->reason + ", fault " + std::to_string(static_cast<int>(error->fault)) +
               ") the edit of " + printable(text) + "\nto " + printable(emit(data));
    }
    const std::string& edited = std::get<std::string>(result);
    SyntaxRecorder new_recorder(edited);
    const Result<Document> reread = read_document(edited, new_recorder);
    if (!reread) return "the edited text does not read: " + reread.error().render() + "\n" + printable(edited);
    if (!same_values(to_value(reread.value().root()), data))
        return "the edited text reads as other data\nbefore: " + printable(text) + "\nafter:  " + printable(edited) +
               "\nwanted: " + printable(emit(data));
    if (changes.empty() && edited != text) return "nothing changed, yet the text did: " + printable(edited);
    // Entries whose keys and values stayed keep their comment lines, and a
    // scalar among them its line, byte for byte.
    const SyntaxIndex new_index(std::move(new_recorder).finish());
    std::vector<std::pair<Value*, std::vector<PathStep>>> nodes;
    Value old_values = to_value(old_root);
    collect(old_values, nodes, {});
    for (const auto& [old_value, path] : nodes) {
        if (path.empty() || std::any_of(path.begin(), path.end(),
                                        [](const PathStep& step) { return std::holds_alternative<std::size_t>(step); }))
            continue;
        const Value* now = &data;
        for (const PathStep& step : path) {
            const Node* found = now->is_mapping() ? now->mapping().find(std::get<std::string_view>(step)) : nullptr;
            now = found != nullptr ? &found->value : nullptr;
            if (now == nullptr) break;
        }
        if (now == nullptr || !same_values(*now, *old_value)) continue;
        const auto before = index.locate(old_root, path);
        const auto after = new_index.locate(reread.value().root(), path);
        if (!before || !after || before->copied || after->copied || before->record == no_record) continue;
        const SyntaxRecord& was = index.records()[before->record];
        const SyntaxRecord& is = new_index.records()[after->record];
        if (comments_above(text, was) != comments_above(edited, is))
            return "the comment lines above an entry that stayed changed\nbefore: " + printable(text) +
                   "\nafter:  " + printable(edited);
        const bool scalar = was.form == SyntaxForm::plain || was.form == SyntaxForm::single_quoted ||
                            was.form == SyntaxForm::double_quoted;
        if (scalar && line_of(text, was) != line_of(edited, is))
            return "the line of an entry that stayed changed: " + printable(std::string(line_of(text, was))) +
                   " became " + printable(std::string(line_of(edited, is)));
    }
    return region_check_failure(bytes, text, index, old_root, changes, edited, data);
}

}  // namespace vorn::fuzz
