// The edit engine's planner: it walks the changes and the syntax records
// side by side and turns each change into splices of the text as read. Its
// work is split by job over several files:
//   planner_text.cpp   lines and offsets of the text, and the records' facts
//   plan_values.cpp    the walk, and a value changed or written anew
//   plan_mapping.cpp   a mapping's entries deleted, changed, added, merged
//   plan_sequence.cpp  a sequence's items deleted, inserted, moved
//   plan_copies.cpp    aliases and merges whose value no longer holds
//   render.cpp         moved items, seams after open blocks, the new text
//   verify_region.cpp  the new text read back where the splices reach
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "edit/change_set.hpp"
#include "edit/edit_text.hpp"
#include "edit/splice.hpp"
#include "read/line_check.hpp"
#include "read/syntax_index.hpp"
#include "write/emit_fragment.hpp"

namespace vorn::edit {

inline constexpr std::uint32_t no_threshold = no_open_block;

// Whether the record's value is a block of records below its line.
inline bool holds_block(const SyntaxRecord& written) noexcept {
    return written.form == SyntaxForm::nested_block || written.form == SyntaxForm::inline_mapping;
}

// What the planner knows of a record before it plans anything.
struct RecordFacts {
    // Whether its value stands in the data at its place: a later entry
    // under its key, or a merge's block, leaves it out.
    bool live = false;
    // Whether a record of its own block overrides it: a later entry under
    // its key, or, for an item's first entry, the lines after the item's
    // line. Such a record stands nowhere, in any copy of its block.
    bool shadowed = false;
    // How deep it stands: the root's records are at 0.
    std::uint32_t depth = 0;
    // For an item, its index among its sequence's items.
    std::uint32_t item_index = 0;
};

// Thrown inside the planner to give up with an error; caught by run().
struct PlanFailure {
    EditError error;
};

// A new text to insert at an offset, or an item that moves there. Pieces
// at one offset stand deepest first (an inner block ends before the block
// around it goes on), then in the order they were planned.
struct InsertedPiece {
    std::uint32_t offset = 0;
    std::uint32_t depth = 0;
    std::string text;
    std::uint32_t moved_record = no_record;
    // For a new text: deeper lines right after it join its last block when
    // indented more than this.
    std::uint32_t open_threshold = no_threshold;
};

// A value the walk reached: its record, its value as read and its change,
// and where it stands in the data (for messages).
struct ValueAt {
    std::uint32_t record = no_record;
    const DocValue* old = nullptr;
    std::uint32_t change = no_change;
    std::uint32_t path = 0;
};

class Planner {
public:
    Planner(std::string_view text, const SyntaxIndex& records, const DocValue& root, const ChangeSet& changes);

    // The new text, or why there is none.
    std::variant<std::string, EditError> run();

    // --- verify_region.cpp --------------------------------------------------
    // Whether `edited` (what run() gave) is known to read back as the data
    // by reading only the stretch of lines that the splices reach, in a
    // text that opens the blocks around it as the whole text does. False
    // says nothing: the caller then reads the whole text back.
    bool reads_back_in_region(std::string_view edited) const;

private:
    // --- planner_text.cpp: the text and the records' facts ---------------
    const SyntaxRecord& record(std::uint32_t index) const noexcept { return records_.records()[index]; }
    // What the planner knows of a record, found when first asked: an edit
    // asks of few records, whatever the size of the text.
    const RecordFacts& facts(std::uint32_t index) const;
    // The facts of `index`, whose holder's are known.
    void learn(std::uint32_t index) const;
    // The facts of a block's records that depend on their siblings: which
    // are overridden, and the items' indices (no_record: the root's).
    void learn_block(std::uint32_t owner) const;
    // Deeper lines right after the record's last line would be taken into
    // it (a literal block's text, or an empty value's nested block) when
    // indented more than this; no_threshold when nothing would.
    std::uint32_t open_threshold_of(std::uint32_t index) const;
    // One past the last record that `index` holds, however deep: a record's
    // block follows its line, so what it holds stands right after it.
    std::uint32_t end_of_held(std::uint32_t index) const noexcept;
    std::uint32_t line_start(std::uint32_t offset) const noexcept;
    // Just past the line feed that ends the line holding `offset` (or the
    // text's end).
    std::uint32_t after_line(std::uint32_t offset) const noexcept;
    // The line's own text from `offset` to its end, without the line break.
    std::string_view rest_of_line(std::uint32_t offset) const noexcept;
    std::uint32_t indent_of_line(std::uint32_t line_begin) const noexcept;
    // The lines of a record: from the line of its first comment line above
    // to past the line feed of its last line.
    std::uint32_t lines_begin(std::uint32_t index) const noexcept { return line_start(record(index).lines.begin); }
    std::uint32_t lines_end(std::uint32_t index) const noexcept { return after_line(record(index).lines.end - 1); }
    std::uint32_t head_line_end(std::uint32_t index) const noexcept { return after_line(record(index).head.begin); }
    // The colon after an entry's key, or an item's hyphen.
    std::uint32_t marker(std::uint32_t index) const noexcept;
    // The end of the value's text on its own line (before an inline
    // comment and the blanks before it).
    std::uint32_t value_end_on_line(std::uint32_t index) const noexcept;
    std::vector<std::uint32_t> children(std::uint32_t owner) const;
    bool is_inline_owner(std::uint32_t owner) const noexcept {
        return owner != no_record && record(owner).form == SyntaxForm::inline_mapping;
    }
    // The indentation the items or entries of a sequence or mapping stand at.
    std::uint32_t block_indent(std::uint32_t owner) const;
    // Text the writer made, with the document's line breaks.
    std::string with_newlines(std::string text) const;

    // --- plan_values.cpp: the walk ------------------------------------------
    void walk();
    void plan_value(const ValueAt& at);
    // The value of `at.record` written anew as `value`.
    void replace_value(const ValueAt& at, const Value& value);
    // A one-line scalar: its text alone spelled anew on its line.
    bool respell_scalar(const ValueAt& at, std::string_view text);
    // The splices that write `value` after the record's colon or hyphen,
    // over what its value was; `keep_anchor` keeps "&name" on its line.
    void write_value_in_place(const ValueAt& at, const Value& value, bool keep_anchor);
    // Where the splice writing `on_line` (the line's part of `value`) over
    // [begin, end) of the record's line must start so that the line still
    // reads as its key and that value; the key is put before `on_line` when
    // it must be spelled anew.
    std::uint32_t keep_key_readable(std::uint32_t index, std::uint32_t begin, std::uint32_t end, const Value& value,
                                    std::string& on_line) const;
    // Whether `value` can stand after "- key:" on an item's line, for the
    // record `first` there.
    bool fits_item_line(std::uint32_t first, const Value& value) const;
    // "- key: value" made "-" alone with the entry below it, holding `value`.
    void move_first_entry_below(const ValueAt& at, const Value& value);
    LineSite site_of(std::uint32_t index) const noexcept;
    LayoutStyle style_near(std::uint32_t owner) const;
    // A fragment the writer made, or a failure naming where the data cannot
    // be written.
    Fragment checked(Fragment fragment, std::uint32_t path) const;
    void add(std::uint32_t begin, std::uint32_t end, std::string text, std::uint32_t open_threshold = no_threshold);
    void insert(std::uint32_t offset, std::uint32_t depth, std::string text, std::uint32_t open_threshold);
    void remove_lines(std::uint32_t index);
    [[noreturn]] void fail(std::uint32_t path, std::string reason) const;

    // --- paths, for messages ------------------------------------------------
    std::uint32_t path_step(std::uint32_t parent, DataStep step);
    std::vector<DataStep> path_of(std::uint32_t path) const;

    // --- plan_mapping.cpp ---------------------------------------------------
    void plan_mapping(const ValueAt& at);
    // Writes the merges of the mapping out as the entries of `now` they
    // give: the keys its own entries do not hold.
    void expand_merges(const ValueAt& at, const Value& now);
    void insert_entries(const ValueAt& at, const std::vector<std::pair<std::string, const Value*>>& entries);
    // The indentation of new lines below an item's line.
    std::uint32_t continuation_indent(std::uint32_t item) const;
    // Moves a literal block first on an item's line below it when what is
    // planned would leave a deeper line right after its block.
    void keep_first_block_closed(const ValueAt& at, std::uint32_t first);
    // "-" alone (and its inline comment) in place of the item's line.
    void empty_item_line(std::uint32_t item, std::uint32_t first);

    // --- plan_sequence.cpp --------------------------------------------------
    void plan_sequence(const ValueAt& at);

    // --- plan_copies.cpp ----------------------------------------------------
    void plan_copies();
    // A mapping with merges whose own value or whose merged anchors changed.
    void check_merges(std::uint32_t owner);
    // Whether a block with an anchor holds the record: aliases and merges
    // repeat what it holds elsewhere.
    bool within_anchored_block(std::uint32_t index) const noexcept;
    // Whether the record's head is gone from the text (deleted, or inside a
    // value written anew).
    bool is_removed(std::uint32_t index) const noexcept;
    // Whether the record's value changed (or was written anew).
    bool value_changed(std::uint32_t index) const noexcept;
    // The record's value in the new text, made once.
    const Value& new_value(std::uint32_t index);
    // The anchored record that the alias or merge `index` names in the new
    // text, or no_record.
    std::uint32_t anchor_in_force(std::uint32_t index);
    // Whether no anchored record is deleted, written anew without its
    // anchor, or passed by a moved item: then every alias and merge names
    // the block it named when read. Found once the walk is planned.
    bool anchors_stay();
    // The records with an anchored block, in written order, found once.
    const std::vector<std::uint32_t>& anchored_records();
    // Whether the anchored record is deleted or written anew without its
    // anchor.
    bool anchor_gone(std::uint32_t anchored) const;
    // A path for messages about a record the walk did not reach.
    std::uint32_t record_path(std::uint32_t index);

    // --- render.cpp: where things stand in the new text ----------------------
    // Sorts like the new text: the bytes of a moved item go where it goes
    // (at each level: the offset, 1 for the text as read or 0 and the
    // piece's rank for what is inserted there, then the offset inside it).
    using OrderKey = std::vector<std::uint64_t>;
    // For an offset of the text as read.
    OrderKey order_key(std::uint32_t offset) const;
    // The moved item that holds `offset` most closely, or no_record; for a
    // `piece` inserted there, of `depth` (one where an item starts stands
    // before it, one deeper than it at its very end goes with it).
    std::uint32_t moved_holding(std::uint32_t offset, std::uint32_t depth, bool piece) const;
    // The insertion pieces in the order they stand.
    void rank_insertions();
    // What is open after a stretch [begin, end) of the text as read, given
    // what was open before it.
    std::uint32_t open_after_stretch(std::uint32_t begin, std::uint32_t end, std::uint32_t open) const;
    // What a record's own line opens, with its lines below to come.
    std::uint32_t head_open(std::uint32_t index) const;

    // --- verify_region.cpp --------------------------------------------------
    // The first record held by `owner` (no_record: the root) whose lines
    // end after `offset`, or no_record.
    std::uint32_t first_child_reaching(std::uint32_t owner, std::uint32_t offset) const;
    // Whether no anchor, alias or merge ties the records `first` to `last`
    // of a block (and all they hold), written as `before` and now as
    // `stretch`, to other lines.
    bool copies_stay_apart(std::uint32_t first, std::uint32_t last, std::string_view before,
                           std::string_view stretch) const;

    // --- render.cpp ---------------------------------------------------------
    void place_insertions();
    void fix_seams();
    std::string assemble() const;

    std::string_view text_;
    // The text with a line feed added when its last line had none, so that
    // every record's lines end with one.
    std::string terminated_;
    bool added_line_feed_ = false;
    std::string newline_ = "\n";
    const SyntaxIndex& records_;
    const DocValue& root_;
    const ChangeSet& changes_;
    mutable std::vector<RecordFacts> facts_;
    // Whether each record's facts are found, and, one more for the root,
    // whether its block's are.
    mutable std::vector<char> known_;
    mutable std::vector<char> block_known_;
    // The records facts() is learning, innermost first.
    mutable std::vector<std::uint32_t> unknown_;
    // The document's habits, found when something is first written anew.
    mutable std::optional<LayoutStyle> style_;
    std::optional<bool> anchors_stay_;
    std::optional<std::vector<std::uint32_t>> anchored_;

    SpliceSet splices_;
    // The values the walk has still to plan, and where the one planned now
    // stands.
    std::vector<ValueAt> pending_;
    std::uint32_t current_path_ = 0;
    // The values the walk reached, by record: their value as read and
    // change, for the aliases and merges that copy them.
    std::unordered_map<std::uint32_t, ValueAt> reached_;
    // Records whose value was written anew, and whether that kept their
    // anchor.
    std::unordered_map<std::uint32_t, bool> rewritten_;
    // Mappings whose merges the walk wrote out.
    std::vector<std::uint32_t> expanded_;
    // Items that move to another place in their sequence.
    std::vector<std::uint32_t> moved_;
    // What goes in at an offset, new text or a moved item; placed once the
    // walk and the copies are planned, as moved items take the splices
    // inside them along.
    std::vector<InsertedPiece> insertions_;

    struct PathNode {
        std::uint32_t parent;
        DataStep step;
    };
    std::vector<PathNode> path_nodes_;
    // Values made while planning (a mapping's new entries, a copy's new
    // value), kept where their addresses hold.
    std::deque<Value> made_;
    // The value a record with its anchor kept was given.
    std::unordered_map<std::uint32_t, const Value*> rewritten_values_;
    std::unordered_map<std::uint32_t, const Value*> new_values_;
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> anchors_by_name_;
    // Keys written anew as entries of a mapping, by its record.
    std::unordered_map<std::uint32_t, std::vector<std::string>> added_keys_;
    // The insertion pieces' order: by offset, deepest first, then planned.
    std::vector<std::uint32_t> ranked_;
    // Each moved item's piece, by the item.
    std::unordered_map<std::uint32_t, std::uint32_t> piece_of_moved_;
};

}  // namespace vorn::edit
