#include "block_parser.hpp"

#include <utility>
#include <vector>

#include "entry_steps.hpp"
#include "merge_entries.hpp"
#include "parse_messages.hpp"
#include "parse_state.hpp"
#include "scalar_syntax.hpp"

namespace vorn {

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang 14,
// which builds the fuzz targets).
template <typename... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// What the top frame does with the next line.
enum class Dispatch { close, take_comment, read_line };

// A line belongs to the top frame when it sits at the frame's indentation
// and is of the frame's kind; comment lines go to the innermost frame that
// is not deeper than they are. Anything else closes the frame and is tried
// again against its parent.
Dispatch dispatch(const SourceLine* line, std::uint64_t frame_indent, bool frame_is_sequence) noexcept {
    if (line == nullptr || line->indent < frame_indent) return Dispatch::close;
    if (line->text[0] == '#') return Dispatch::take_comment;
    if (is_item_line(line->text) != frame_is_sequence) return Dispatch::close;
    if (line->indent > frame_indent) return Dispatch::close;
    return Dispatch::read_line;
}

// The nested block a frame awaits: its indentation, and whether an anchor
// names it.
struct AwaitedBlock {
    std::uint64_t indent;
    bool anchored;
};

std::optional<AwaitedBlock> awaited_block(const Frame& frame) noexcept {
    if (const auto* mapping = std::get_if<MappingFrame>(&frame)) {
        if (!mapping->pending_entry) return std::nullopt;
        return AwaitedBlock{mapping->pending_entry->child_indent, mapping->pending_entry->anchor.has_value()};
    }
    const auto& pending = std::get<SequenceFrame>(frame).pending_item;
    if (!pending) return std::nullopt;
    return std::visit(Overloaded{
                          [](const NestedItem& item) { return AwaitedBlock{item.child_indent, item.anchor.has_value()}; },
                          [](const InlineContinuation& item) { return AwaitedBlock{item.child_indent, false}; },
                          [](const InlineNestedValue& item) { return AwaitedBlock{item.child_indent, true}; },
                      },
                      *pending);
}

class BlockParser {
public:
    BlockParser(LineCursor lines, AnchorTable& anchors, Arena& arena, bool keep_comments)
        : state_{lines, anchors, arena, entry_stack_, item_stack_, keep_comments} {}

    Result<DocValue> run() {
        push_frame(state_.peek()->indent, false);
        while (true) {
            Frame& top = stack_.back();
            if (const auto awaited = awaited_block(top)) {
                push_frame(awaited->indent, awaited->anchored);
                continue;
            }
            const SourceLine* line = state_.peek();
            StepFailure failure;
            Dispatch action;
            if (auto* mapping = std::get_if<MappingFrame>(&top)) {
                action = dispatch(line, mapping->indent, false);
                if (action == Dispatch::take_comment) take_comment(mapping->pending_comments, *line);
                if (action == Dispatch::read_line) failure = read_mapping_entry(*mapping, state_);
            } else {
                auto& sequence = std::get<SequenceFrame>(top);
                action = dispatch(line, sequence.indent, true);
                if (action == Dispatch::take_comment) take_comment(sequence.pending_comments, *line);
                if (action == Dispatch::read_line) failure = read_sequence_item(sequence, state_);
            }
            if (failure) return std::move(*failure);
            if (action != Dispatch::close) continue;

            const DocValue closed = close_top();
            if (stack_.empty()) return closed;
            if (auto attach_failure = attach(closed)) return std::move(*attach_failure);
        }
    }

private:
    void take_comment(std::vector<DocComment>& pending_comments, const SourceLine& line) {
        pending_comments.push_back(DocComment{line.text, line.indent});
        state_.lines.advance();
    }

    // A block's kind is chosen by its first line, which stays unread for
    // the new frame to take.
    void push_frame(std::uint64_t indent, bool anchored) {
        if (is_item_line(state_.peek()->text)) {
            stack_.emplace_back(SequenceFrame{SequenceBuilder(item_stack_), {}, std::nullopt, indent, anchored});
        } else {
            stack_.emplace_back(MappingFrame{{}, std::nullopt, indent, MappingBuilder(entry_stack_), anchored});
        }
        if (anchored) ++state_.open_anchored_blocks;
    }

    // Pops the top frame; its uncollected comment lines go with it.
    DocValue close_top() {
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        if (std::visit([](const auto& closed) { return closed.anchored; }, frame)) --state_.open_anchored_blocks;
        if (auto* mapping = std::get_if<MappingFrame>(&frame)) return std::move(mapping->entries).finish(state_.arena);
        return std::move(std::get<SequenceFrame>(frame).items).finish(state_.arena);
    }

    // Places a closed block's value where the new top frame awaited it,
    // recording its anchor first.
    StepFailure attach(const DocValue& value) {
        if (auto* mapping = std::get_if<MappingFrame>(&stack_.back())) {
            const PendingEntry entry = *mapping->pending_entry;
            mapping->pending_entry.reset();
            if (entry.anchor) {
                if (auto failure = record_anchor(*entry.anchor, value, entry.position)) return failure;
            }
            // A nested "<<" block is an ordinary entry: only an alias merges.
            put_entry(mapping->entries, entry.key,
                      state_.node(value, mapping->pending_comments, entry.inline_comment));
            return std::nullopt;
        }
        auto& sequence = std::get<SequenceFrame>(stack_.back());
        PendingItem pending = std::move(*sequence.pending_item);
        sequence.pending_item.reset();
        return std::visit(Overloaded{
                              [&](NestedItem& item) { return attach_item(sequence, item, value); },
                              [&](InlineContinuation& item) { return attach_continuation(sequence, item, value); },
                              [&](InlineNestedValue& item) { return attach_inline_value(sequence, item, value); },
                          },
                          pending);
    }

    StepFailure attach_item(SequenceFrame& sequence, const NestedItem& item, const DocValue& value) {
        if (item.anchor) {
            if (auto failure = record_anchor(*item.anchor, value, item.position)) return failure;
        }
        sequence.items.append(state_.node(value, sequence.pending_comments, item.inline_comment));
        return std::nullopt;
    }

    // The deeper lines after "- key: value" add entries to the item's
    // mapping, replacing the inline one under the same key.
    StepFailure attach_continuation(SequenceFrame& sequence, InlineContinuation& item, const DocValue& value) {
        if (!value.is_mapping()) {
            return ParseError{must_be_mapping("inline mapping continuation"), item.position.line,
                              item.position.column};
        }
        for (const DocEntry& entry : value.entries()) put_entry(item.entries, entry.key, entry.node);
        const DocValue mapping = std::move(item.entries).finish(state_.arena);
        sequence.items.append(state_.node(mapping, sequence.pending_comments, item.inline_comment));
        return std::nullopt;
    }

    // "- key: &name" with its block closed: the entry is made, and deeper
    // lines still to come continue the item's mapping.
    StepFailure attach_inline_value(SequenceFrame& sequence, InlineNestedValue& item, const DocValue& value) {
        if (auto failure = record_anchor(item.anchor, value, item.position)) return failure;
        if (auto failure =
                insert_entry(item.entries, item.key, DocNode{value}, item.position.line, item.position.column))
            return failure;
        if (const SourceLine* child = state_.next_deeper_than(sequence.indent)) {
            sequence.pending_item =
                InlineContinuation{item.inline_comment, std::move(item.entries), child->indent, item.position};
            return std::nullopt;
        }
        const DocValue mapping = std::move(item.entries).finish(state_.arena);
        sequence.items.append(state_.node(mapping, sequence.pending_comments, item.inline_comment));
        return std::nullopt;
    }

    StepFailure record_anchor(std::string_view name, const DocValue& value, SourcePosition at) {
        return state_.anchors.record(name, value, at.line, at.column);
    }

    // Declared before the state that refers to them.
    std::vector<DocEntry> entry_stack_;
    std::vector<DocNode> item_stack_;
    ParseState state_;
    std::vector<Frame> stack_;
};

}  // namespace

Result<DocValue> parse_blocks(LineCursor lines, AnchorTable& anchors, Arena& arena, bool keep_comments) {
    return BlockParser(lines, anchors, arena, keep_comments).run();
}

}  // namespace vorn
