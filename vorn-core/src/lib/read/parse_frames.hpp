// The open blocks of the parser stack. A frame below the top always awaits
// the block above it through its pending entry or item.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "read/source_position.hpp"
#include "tree/document.hpp"
#include "tree/mapping_builder.hpp"
#include "tree/value_sink.hpp"

namespace vorn {

// A sequence under construction. Like the mappings' entries, the items of
// every open sequence share one stack, this one's being the top of it.
// With a sink, the sink makes the sequence, taking the items as they come.
class SequenceBuilder {
public:
    explicit SequenceBuilder(std::vector<DocNode>& stack, ValueSink* sink = nullptr)
        : stack_(&stack), sink_(sink), made_(sink ? sink->open_sequence() : nullptr), start_(stack.size()) {}

    void append(const DocNode& node) {
        if (sink_) return sink_->add_item(made_, node.value);
        check_on_top();
        stack_->push_back(node);
        note_top();
    }

    // The sequence stored in `arena`, or made by the sink; the items leave
    // the stack.
    DocValue finish(Arena& arena) && {
        if (sink_) return sink_->finish_sequence(made_);
        check_on_top();
        const std::span<const DocNode> items(stack_->data() + start_, stack_->size() - start_);
        const DocValue result = DocValue::sequence(arena.copy(items));
        stack_->resize(start_);
        return result;
    }

private:
    std::vector<DocNode>* stack_;
    ValueSink* sink_;
    void* made_;
    std::size_t start_;
    // As in MappingBuilder: a sequence only grows while every block nested
    // in it is closed, so its items are the top of the shared stack.
    [[no_unique_address]] SharedStackTop top_{start_};
    void check_on_top() const { top_.check(stack_->size()); }
    void note_top() noexcept { top_.note(stack_->size()); }
};

// Each pending record below keeps the comment lines above its line for the
// node it makes once its block closes.

// A mapping entry whose value is the nested block that follows.
struct PendingEntry {
    std::string_view key;
    std::optional<std::string_view> inline_comment;
    std::optional<std::string_view> anchor;
    std::uint64_t child_indent = 0;
    SourcePosition position;
    std::span<const DocComment> comments;
};

// "-" or "- &name" followed by a deeper block.
struct NestedItem {
    std::optional<std::string_view> inline_comment;
    std::optional<std::string_view> anchor;
    std::uint64_t child_indent = 0;
    SourcePosition position;
    std::span<const DocComment> comments;
};

// "- key: value" whose mapping goes on in the deeper lines that follow.
struct InlineContinuation {
    std::optional<std::string_view> inline_comment;
    MappingBuilder entries;
    std::uint64_t child_indent = 0;
    SourcePosition position;
    std::span<const DocComment> comments;
};

// "- key: &name" whose value is the deeper block that follows.
struct InlineNestedValue {
    std::string_view key;
    std::string_view anchor;
    std::optional<std::string_view> inline_comment;
    MappingBuilder entries;
    std::uint64_t child_indent = 0;
    SourcePosition position;
    std::span<const DocComment> comments;
};

using PendingItem = std::variant<NestedItem, InlineContinuation, InlineNestedValue>;

// `anchored` marks a block that an anchor names; `read_again` one whose
// value the parser reads again (an anchored one, or the lines continuing an
// item's inline mapping), which is therefore built as a tree even where a
// sink makes the values.
// Each is made in place on the parser's stack (a frame is a few hundred
// bytes, and deep documents open one every other line).
struct MappingFrame {
    MappingFrame(std::uint64_t indent, MappingBuilder entries, bool anchored, bool read_again) noexcept
        : indent(indent), entries(std::move(entries)), anchored(anchored), read_again(read_again) {}

    std::optional<PendingEntry> pending_entry;
    std::uint64_t indent = 0;
    MappingBuilder entries;
    bool anchored = false;
    bool read_again = false;
};

struct SequenceFrame {
    SequenceFrame(SequenceBuilder items, std::uint64_t indent, bool anchored, bool read_again) noexcept
        : items(items), indent(indent), anchored(anchored), read_again(read_again) {}

    SequenceBuilder items;
    std::optional<PendingItem> pending_item;
    std::uint64_t indent = 0;
    bool anchored = false;
    bool read_again = false;
};

using Frame = std::variant<MappingFrame, SequenceFrame>;

}  // namespace vorn
