// The room of the last buffer of one kind that a read let go, kept for the
// next read on the same thread.
//
// Reading a document grows a few buffers to about the size of its largest
// mapping or list. Freed at the end of the read, a buffer of hundreds of
// kilobytes goes back to the system, and the next read faults its pages in
// again at a few microseconds for every 4 KiB: for a program that reads one
// document after another that is a third of the time. One buffer of each
// kind, of at most `max_kept_bytes`, is kept instead.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace vorn {

inline constexpr std::size_t max_kept_bytes = std::size_t{4} << 20;

template <typename T>
class KeptRoom {
public:
    // The kept buffer, empty, or an empty vector when none is kept.
    static std::vector<T> take() noexcept {
        std::vector<T> room = std::move(slot());
        room.clear();
        return room;
    }

    // Keeps the room of `buffer` if it is larger than what is kept and not
    // too large to keep.
    static void keep(std::vector<T>&& buffer) noexcept {
        if (buffer.capacity() * sizeof(T) > max_kept_bytes || buffer.capacity() <= slot().capacity()) return;
        buffer.clear();
        slot() = std::move(buffer);
    }

private:
    static std::vector<T>& slot() noexcept {
        thread_local std::vector<T> kept;
        return kept;
    }
};

}  // namespace vorn
