#include "tree/arena.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "tree/kept_room.hpp"

namespace vorn {

namespace {

// Chunks double from 4 KiB up to this size, so a small document holds
// little and a large one takes few allocations.
constexpr std::size_t largest_chunk_size = std::size_t{1} << 20;

// The largest chunk of the last arena to go, as KeptRoom keeps the
// reader's stacks: the tree of a large mapping or list is one piece of its
// size, which would otherwise be fresh pages at every read.
using KeptChunk = PerThread<Arena::Chunk>;

// Whether the kept chunk is for a piece of `size`: not for one much
// smaller, as the document may be kept for long.
bool suits_piece(std::size_t kept_size, std::size_t size) noexcept {
    return kept_size <= 4 * size + (std::size_t{64} << 10);
}

}  // namespace

[[gnu::hot]] Arena::~Arena() {
    const auto largest = std::max_element(chunks_.begin(), chunks_.end(),
                                          [](const Chunk& a, const Chunk& b) { return a.size < b.size; });
    Chunk* kept = KeptChunk::get();
    if (kept == nullptr || largest == chunks_.end() || largest->size > max_kept_bytes) return;
    if (largest->size > kept->size || !suits_piece(kept->size, largest->size)) *kept = std::move(*largest);
}

[[gnu::hot]] Arena::Chunk& Arena::add_chunk(std::size_t size) {
    Chunk* kept = KeptChunk::get();
    if (kept != nullptr && kept->size >= size && suits_piece(kept->size, size)) {
        chunks_.push_back(std::exchange(*kept, Chunk{}));
    } else {
        chunks_.push_back(Chunk{std::unique_ptr<std::byte[]>(new std::byte[size]), size});
    }
    reserved_ += chunks_.back().size;
    return chunks_.back();
}

[[gnu::hot]] void* Arena::allocate_in_new_chunk(std::size_t bytes) {
    // Room for any alignment up to max_align_t at the start of a chunk.
    const std::size_t needed = bytes + alignof(std::max_align_t);
    // A piece larger than a chunk gets a chunk of its own, leaving the
    // current chunk's free room for the pieces after it.
    if (needed > next_chunk_size_) {
        const Chunk& own = add_chunk(needed);
        // A kept chunk larger than the piece: what it leaves becomes the
        // current chunk if that is more than the current one has left.
        if (own.size - bytes > left_) {
            next_ = own.bytes.get() + bytes;
            left_ = own.size - bytes;
        }
        return own.bytes.get();
    }
    const Chunk& chunk = add_chunk(next_chunk_size_);
    next_ = chunk.bytes.get() + bytes;
    left_ = chunk.size - bytes;
    next_chunk_size_ = std::min(next_chunk_size_ * 2, largest_chunk_size);
    return chunk.bytes.get();
}

}  // namespace vorn
