// A mapping under construction, as the reader makes one: entries arrive in
// document order, a later one replacing an earlier one under the same key,
// and merged entries only filling keys that are absent when they arrive.
//
// The entries of every mapping under construction share one stack, each
// builder owning the entries from where the stack stood when it began: a
// mapping only grows while every block nested in it is closed, so its
// entries are always the top of the stack. While they come in ascending key
// order (as in every document the writer made) the entries are the finished
// mapping as they stand; otherwise they are sorted once, when the mapping is
// finished, so that no arrival order costs more than n log n.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "vorn/assert.hpp"

#include "tree/document.hpp"
#include "tree/value_sink.hpp"

namespace vorn {

// Where assertions are on, where a builder's part of a shared stack ended
// after its last change. Each builder's entries must stay the top of the
// stack: a nested builder still open when this one grows would have left the
// stack elsewhere, and its entries would be taken for this one's.
#if defined(VORN_ASSERTIONS) && VORN_ASSERTIONS
class SharedStackTop {
public:
    explicit SharedStackTop(std::size_t size) noexcept : top_(size) {}
    void check(std::size_t size) const { VORN_ASSERT(size == top_); }
    void note(std::size_t size) noexcept { top_ = size; }

private:
    std::size_t top_;
};
#else
class SharedStackTop {
public:
    explicit SharedStackTop(std::size_t) noexcept {}
    void check(std::size_t) const noexcept {}
    void note(std::size_t) noexcept {}
};
#endif

class MappingBuilder {
public:
    explicit MappingBuilder(std::vector<DocEntry>& stack) noexcept : stack_(&stack), start_(stack.size()) {}
    MappingBuilder(MappingBuilder&&) noexcept = default;
    MappingBuilder& operator=(MappingBuilder&&) noexcept = default;
    MappingBuilder(const MappingBuilder&) = delete;
    MappingBuilder& operator=(const MappingBuilder&) = delete;

    bool empty() const noexcept { return stack_->size() == start_; }

    // Adds the entry; a node already under `key` is replaced.
    void put(std::string_view key, const DocNode& node) { add(key, node, false); }

    // Adds each entry of `source` (a finished mapping's) whose key is absent
    // at this point.
    void merge(std::span<const DocEntry> source);

    // The mapping, with every replacement and merge applied, stored in
    // `arena` or, given a sink, made by it; the builder's entries leave the
    // stack.
    DocValue finish(Arena& arena, ValueSink* sink = nullptr) &&;

    // The entries as finish() would have them, in place: valid until the
    // stack next changes.
    std::span<const DocEntry> entries_in_order(Arena& arena) { return out_of_order_ ? sorted(arena) : collected(); }

private:
    // Appends one entry; `only_if_absent` marks a merged one.
    void add(std::string_view key, const DocNode& node, bool only_if_absent);
    std::span<DocEntry> collected() noexcept { return {stack_->data() + start_, stack_->size() - start_}; }
    std::span<const DocEntry> sorted(Arena& arena);

    // One flag per entry; the first 64 need no allocation. The others are
    // kept in words rather than a vector<bool>, whose out-of-line release
    // every closed block would call.
    class Flags {
    public:
        void push_back(bool flag) {
            if (size_ < inline_count) {
                inline_ |= std::uint64_t{flag} << size_;
            } else {
                const std::size_t bit = size_ - inline_count;
                if (bit % 64 == 0) more_.push_back(0);
                more_.back() |= std::uint64_t{flag} << (bit % 64);
            }
            ++size_;
        }
        bool operator[](std::size_t i) const {
            if (i < inline_count) return (inline_ >> i & 1) != 0;
            const std::size_t bit = i - inline_count;
            return (more_[bit / 64] >> (bit % 64) & 1) != 0;
        }

    private:
        static constexpr std::size_t inline_count = 64;
        std::uint64_t inline_ = 0;
        std::size_t size_ = 0;
        std::vector<std::uint64_t> more_;
    };

    std::vector<DocEntry>* stack_;
    std::size_t start_;
    [[no_unique_address]] SharedStackTop top_{start_};
    void check_on_top() const { top_.check(stack_->size()); }
    void note_top() noexcept { top_.note(stack_->size()); }
    // Set once an entry arrived out of key order; from then on, one flag per
    // entry telling whether it was merged.
    bool out_of_order_ = false;
    Flags merged_;
};

}  // namespace vorn
