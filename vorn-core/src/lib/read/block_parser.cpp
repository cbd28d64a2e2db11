#include "read/block_parser.hpp"

#include <utility>
#include <vector>

#include "vorn/assert.hpp"

#include "read/entry_steps.hpp"
#include "read/insert_entry.hpp"
#include "read/parse_messages.hpp"
#include "read/parse_state.hpp"
#include "read/root_fault.hpp"
#include "read/scalar_syntax.hpp"
#include "tree/kept_room.hpp"

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

// The messages of a line that no open block can take.
constexpr std::string_view item_at_entry_indent = "sequence item not indented under its key";
constexpr std::string_view entry_at_item_indent = "expected a sequence item";
constexpr std::string_view unexpected_indentation = "unexpected indentation";
constexpr std::string_view no_matching_block = "indentation matches no open block";

// The nested block a frame awaits: its indentation, whether an anchor
// names it, and whether the parser reads its value again (see MappingFrame).
struct AwaitedBlock {
    std::uint64_t indent;
    bool anchored;
    bool read_again;
};

// Inlined by force: with the parser compiled twice (with and without
// recording), the compiler's own budget no longer inlines it, which cost
// the reader for values alone about 1% (callgrind, bench shapes).
[[gnu::always_inline]] inline std::optional<AwaitedBlock> awaited_block(const Frame& frame) noexcept {
    if (const auto* mapping = std::get_if<MappingFrame>(&frame)) {
        if (!mapping->pending_entry) return std::nullopt;
        const bool anchored = mapping->pending_entry->anchor.has_value();
        return AwaitedBlock{mapping->pending_entry->child_indent, anchored, anchored};
    }
    const auto& pending = std::get<SequenceFrame>(frame).pending_item;
    if (!pending) return std::nullopt;
    return std::visit(Overloaded{
                          [](const NestedItem& item) {
                              return AwaitedBlock{item.child_indent, item.anchor.has_value(), item.anchor.has_value()};
                          },
                          [](const InlineContinuation& item) { return AwaitedBlock{item.child_indent, false, true}; },
                          [](const InlineNestedValue& item) { return AwaitedBlock{item.child_indent, true, true}; },
                      },
                      *pending);
}

// With kRecording, the parser also tells state.syntax where each block opens
// and closes; without, it is the reader for values alone, compiled apart.
template <bool kRecording>
class BlockParser {
public:
    BlockParser(LineCursor lines, AnchorTable& anchors, Arena& arena, bool keep_comments, SyntaxRecorder* syntax,
                ValueSink* sink)
        : first_lines_(lines),
          entry_stack_(kRecording ? KeptRoom<DocEntry>::take(lines.text_size()) : std::vector<DocEntry>()),
          item_stack_(kRecording ? KeptRoom<DocNode>::take(lines.text_size()) : std::vector<DocNode>()),
          state_{lines, anchors, arena, entry_stack_, item_stack_, keep_comments, 0, syntax, sink} {
        // Reading for editing, a flat mapping of thousands of entries would
        // otherwise grow the stack by copies, on fresh pages at each read;
        // an entry line is rarely shorter than 32 bytes, and the room not
        // used is never touched.
        if constexpr (kRecording) entry_stack_.reserve(syntax->text().size() / 32 + 1);
    }
    // Reading values alone gives the stacks' room back: the conversion to
    // Python objects that follows reuses it, and keeping it would add its
    // size to loads' peak memory (a third more for a flat mapping). Reading
    // for editing keeps it for the next such read.
    ~BlockParser() {
        if constexpr (kRecording) {
            KeptRoom<DocEntry>::keep(std::move(entry_stack_), state_.lines.text_size());
            KeptRoom<DocNode>::keep(std::move(item_stack_), state_.lines.text_size());
        }
    }
    // state_ refers to this object's own stacks: a copy or a moved-to parser
    // would fill the stacks of another.
    BlockParser(const BlockParser&) = delete;
    BlockParser& operator=(const BlockParser&) = delete;

    [[gnu::hot]] Result<DocValue> run() {
        VORN_ASSERT(&state_.entry_stack == &entry_stack_ && &state_.item_stack == &item_stack_);
        const SourceLine* first = state_.peek();
        // A text of comment lines alone holds an empty root.
        if (first == nullptr) return DocValue::mapping({});
        // A root sequence is refused whatever it holds: its lines are not
        // read, so the fault reported is the root's.
        if (is_item_line(first->text)) return DocValue::sequence({});
        // The root is read again, for its version.
        push_frame(first->indent, false, true);
        // The line that closed the last block by standing shallower than it:
        // if no enclosing block has its indentation, it is deeper than the
        // block it lands in.
        std::uint64_t closing_line = 0;
        while (true) {
            Frame& top = stack_.back();
            if (const auto awaited = awaited_block(top)) {
                push_frame(awaited->indent, awaited->anchored, awaited->read_again);
                continue;
            }
            const SourceLine* line = state_.peek();
            const auto* mapping = std::get_if<MappingFrame>(&top);
            const std::uint64_t indent = mapping ? mapping->indent : std::get<SequenceFrame>(top).indent;
            if (line == nullptr || line->indent < indent) {
                if (line != nullptr) {
                    if (stack_.size() == 1) return line_fault(no_matching_block, *line);
                    closing_line = line->number;
                }
                if (stack_.size() == 1 && state_.sink != nullptr) return close_root_into_sink();
                const DocValue closed = close_top();
                if (stack_.empty()) return closed;
                if (auto failure = attach(closed)) return std::move(*failure);
                continue;
            }
            // Every line is taken by the block at its indentation or refused:
            // nothing after it is ever silently left unread.
            if (line->indent > indent) {
                return line_fault(line->number == closing_line ? no_matching_block : unexpected_indentation, *line);
            }
            const bool item = is_item_line(line->text);
            StepFailure failure;
            if (mapping) {
                if (item) return line_fault(item_at_entry_indent, *line);
                failure = read_mapping_entry<kRecording>(std::get<MappingFrame>(top), state_);
            } else {
                if (!item) return line_fault(entry_at_item_indent, *line);
                failure = read_sequence_item<kRecording>(std::get<SequenceFrame>(top), state_);
            }
            if (failure) return std::move(*failure);
        }
    }

private:
    ParseError line_fault(std::string_view message, const SourceLine& line) const {
        return ParseError{std::string(message), line.number, 1, state_.lines.offset_of(line.text.data())};
    }

    // A block's kind is chosen by its first line, which stays unread for
    // the new frame to take. A block of comment lines alone has no such
    // line: it is an empty mapping, closed by the line after it.
    // Flattened for the same reason as awaited_block.
    [[gnu::hot]] [[gnu::flatten]] void push_frame(std::uint64_t indent, bool anchored, bool read_again) {
        if constexpr (kRecording) state_.syntax->open_block();
        const SourceLine* first = state_.peek();
        if (first != nullptr && first->indent == indent && is_item_line(first->text)) {
            ValueSink* const sink = read_again ? nullptr : state_.sink_here();
            stack_.emplace_back(std::in_place_type<SequenceFrame>, SequenceBuilder(item_stack_, sink), indent, anchored,
                                read_again);
        } else {
            stack_.emplace_back(std::in_place_type<MappingFrame>, indent, MappingBuilder(entry_stack_), anchored,
                                read_again);
        }
        if (anchored) ++state_.open_anchored_blocks;
    }

    // Pops the top frame, finished where it stands.
    DocValue close_top() {
        Frame& frame = stack_.back();
        if constexpr (kRecording) state_.syntax->close_block();
        if (std::visit([](const auto& closed) { return closed.anchored; }, frame)) --state_.open_anchored_blocks;
        DocValue closed;
        if (auto* mapping = std::get_if<MappingFrame>(&frame)) {
            ValueSink* const sink = mapping->read_again ? nullptr : state_.sink_here();
            closed = std::move(mapping->entries).finish(state_.arena, sink);
        } else {
            closed = std::move(std::get<SequenceFrame>(frame).items).finish(state_.arena);
        }
        stack_.pop_back();
        return closed;
    }

    // With a sink, the root is made by it too, once it is checked: the
    // check reads its entries in place, so no tree of it is kept.
    Result<DocValue> close_root_into_sink() {
        MappingBuilder& entries = std::get<MappingFrame>(stack_.back()).entries;
        const std::span<const DocEntry> in_order = entries.entries_in_order(state_.arena);
        if (auto fault = root_fault(DocValue::mapping(in_order), first_lines_)) return std::move(*fault);
        const DocValue root = state_.sink->finish_mapping(in_order);
        stack_.pop_back();
        return root;
    }

    // Places a closed block's value where the new top frame awaited it,
    // recording its anchor first.
    StepFailure attach(const DocValue& value) {
        if (auto* mapping = std::get_if<MappingFrame>(&stack_.back())) {
            const PendingEntry entry = *mapping->pending_entry;
            mapping->pending_entry.reset();
            if (entry.anchor) record_anchor(*entry.anchor, value);
            if constexpr (kRecording) state_.syntax->made(state_.syntax->last_closed(), value);
            // A nested "<<" block is an ordinary entry: only an alias merges.
            mapping->entries.put(entry.key, state_.node(value, entry.comments, entry.inline_comment));
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

    // Records the block just closed under its anchor.
    void record_anchor(std::string_view name, const DocValue& value) {
        state_.anchors.record(name, value);
        if constexpr (kRecording) state_.syntax->anchor_recorded();
    }

    StepFailure attach_item(SequenceFrame& sequence, const NestedItem& item, const DocValue& value) {
        if (item.anchor) record_anchor(*item.anchor, value);
        if constexpr (kRecording) state_.syntax->made(state_.syntax->last_closed(), value);
        sequence.items.append(state_.node(value, item.comments, item.inline_comment));
        return std::nullopt;
    }

    // The deeper lines after "- key: value" add entries to the item's
    // mapping, replacing the inline one under the same key.
    StepFailure attach_continuation(SequenceFrame& sequence, InlineContinuation& item, const DocValue& value) {
        if (!value.is_mapping()) {
            return error_at(must_be_mapping("inline mapping continuation"), item.position);
        }
        for (const DocEntry& entry : value.entries()) item.entries.put(entry.key, entry.node);
        const DocValue mapping = std::move(item.entries).finish(state_.arena, state_.sink_here());
        // The continuation's block belongs to the item.
        if constexpr (kRecording) state_.syntax->made(state_.syntax->last_closed(), mapping);
        sequence.items.append(state_.node(mapping, item.comments, item.inline_comment));
        return std::nullopt;
    }

    // "- key: &name" with its block closed: the entry is made, and deeper
    // lines still to come continue the item's mapping.
    StepFailure attach_inline_value(SequenceFrame& sequence, InlineNestedValue& item, const DocValue& value) {
        record_anchor(item.anchor, value);
        if constexpr (kRecording) state_.syntax->made(state_.syntax->last_closed(), value);
        if (auto failure = insert_entry(item.entries, item.key, DocNode{value}, item.position)) return failure;
        if (const SourceLine* child = state_.next_deeper_than(sequence.indent)) {
            // The continuation's block belongs to the item, which holds the
            // entry whose block just closed.
            if constexpr (kRecording)
                state_.syntax->await_block(state_.syntax->at(state_.syntax->last_closed()).parent);
            sequence.pending_item = InlineContinuation{item.inline_comment, std::move(item.entries), child->indent,
                                                       item.position, item.comments};
            return std::nullopt;
        }
        const DocValue mapping = std::move(item.entries).finish(state_.arena, state_.sink_here());
        if constexpr (kRecording) state_.syntax->made(state_.syntax->at(state_.syntax->last_closed()).parent, mapping);
        sequence.items.append(state_.node(mapping, item.comments, item.inline_comment));
        return std::nullopt;
    }

    // The lines as given, not yet advanced: the root's faults stand at the
    // first of them.
    const LineCursor first_lines_;
    // Declared before the state that refers to them.
    std::vector<DocEntry> entry_stack_;
    std::vector<DocNode> item_stack_;
    ParseState state_;
    std::vector<Frame> stack_;
};

}  // namespace

[[gnu::hot]] Result<DocValue> parse_blocks(LineCursor lines, AnchorTable& anchors, Arena& arena, bool keep_comments,
                                           SyntaxRecorder* syntax, ValueSink* sink) {
    VORN_ASSERT(syntax == nullptr || sink == nullptr);
    if (syntax != nullptr) return BlockParser<true>(lines, anchors, arena, keep_comments, syntax, nullptr).run();
    return BlockParser<false>(lines, anchors, arena, keep_comments, nullptr, sink).run();
}

}  // namespace vorn
