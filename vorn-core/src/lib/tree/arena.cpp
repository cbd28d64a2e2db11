#include "tree/arena.hpp"

#include <algorithm>
#include <cstdint>

namespace vorn {

namespace {

// Chunks double from 4 KiB up to this size, so a small document holds
// little and a large one takes few allocations.
constexpr std::size_t largest_chunk_size = std::size_t{1} << 20;

}  // namespace

void* Arena::allocate_in_new_chunk(std::size_t bytes) {
    // Room for any alignment up to max_align_t at the start of a chunk.
    const std::size_t needed = bytes + alignof(std::max_align_t);
    // A piece larger than a chunk gets a chunk of its own, leaving the
    // current chunk's free room for the pieces after it.
    if (needed > next_chunk_size_) {
        chunks_.emplace_back(new std::byte[needed]);
        reserved_ += needed;
        return chunks_.back().get();
    }
    chunks_.emplace_back(new std::byte[next_chunk_size_]);
    reserved_ += next_chunk_size_;
    next_ = chunks_.back().get() + bytes;
    left_ = next_chunk_size_ - bytes;
    next_chunk_size_ = std::min(next_chunk_size_ * 2, largest_chunk_size);
    return chunks_.back().get();
}

}  // namespace vorn
