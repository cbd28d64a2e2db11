// Spare growth buffers for the reader's containers under construction.
//
// A block's entries or items arrive one by one, so the array that collects
// them grows by doubling: several allocations and moves per small block,
// and up to half its capacity left unused in the finished tree. The reader
// instead collects into a buffer kept from an earlier block and, when the
// block closes, moves the elements into an array of exactly their number.
// Only small buffers are kept, and only a few, so the retained memory stays
// bounded; a block that outgrew them keeps its own array as the result.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace vorn {

template <typename Element>
class ScratchVectors {
public:
    // Buffers of more elements than this are not kept.
    static constexpr std::size_t max_kept_capacity = 256;

    // A cleared buffer with spare capacity, or an empty vector when none is
    // kept.
    static std::vector<Element> take() noexcept {
        Pool& pool = pool_();
        if (pool.count == 0) return {};
        return std::move(pool.buffers[--pool.count]);
    }

    // Keeps `buffer` (its elements dropped) for a later block, or frees it.
    static void give_back(std::vector<Element>&& buffer) noexcept {
        if (buffer.capacity() == 0 || buffer.capacity() > max_kept_capacity) return;
        Pool& pool = pool_();
        if (pool.count == pool.buffers.size()) return;
        buffer.clear();
        pool.buffers[pool.count++] = std::move(buffer);
    }

    // The elements of `collected` in an array of exactly their number when
    // `collected` is a kept-size buffer (which goes back to the pool), else
    // `collected` itself.
    static std::vector<Element> exact_copy(std::vector<Element>&& collected) {
        if (collected.capacity() > max_kept_capacity || collected.capacity() == collected.size())
            return std::move(collected);
        std::vector<Element> exact(std::make_move_iterator(collected.begin()), std::make_move_iterator(collected.end()));
        give_back(std::move(collected));
        return exact;
    }

private:
    // Enough for the blocks open at once in ordinary nesting; deeper blocks
    // just allocate.
    struct Pool {
        std::array<std::vector<Element>, 32> buffers;
        std::size_t count = 0;
    };

    static Pool& pool_() noexcept {
        thread_local Pool pool;
        return pool;
    }
};

}  // namespace vorn
