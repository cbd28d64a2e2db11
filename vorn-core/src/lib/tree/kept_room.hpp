// The room of a buffer of one kind that a read let go, kept for the next
// read on the same thread.
//
// Reading a document grows a few buffers to about the size of its largest
// mapping or list. Freed at the end of the read, a buffer of hundreds of
// kilobytes goes back to the system, and the next read faults its pages in
// again at a few microseconds for every 4 KiB: for a program that reads one
// document after another that is a third of the time. One buffer of each
// kind (the arena's largest chunk, and for reading with positions the
// reader's two stacks, the records and the snapshot of the values), of at
// most `max_kept_bytes`, is kept instead. Each extension module that links
// the core keeps its own, as it keeps the text its writer wrote last
// (KeptText, in the bindings): `_vorn_native` at most two buffers (the
// arena's chunk and the text) and `vorn._native` six, so at most 32 MiB a
// thread.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace vorn {

inline constexpr std::size_t max_kept_bytes = std::size_t{4} << 20;

// Whether kept room of `kept_bytes` suits a read of `text_bytes`: no buffer
// of a read is more than a few times its text. A much larger one stays
// kept, so that a small document, perhaps kept for long, does not hold it.
constexpr bool suits_read(std::size_t kept_bytes, std::size_t text_bytes) noexcept {
    return kept_bytes <= 8 * text_bytes + (std::size_t{64} << 10);
}

// One `Held` per thread, or null once the thread's objects are destroyed:
// a read can still come after that, from the process's exit handlers or a
// static object's destructor, and must then neither use nor fill the
// destroyed one.
template <typename Held>
class PerThread {
public:
    static Held* get() noexcept {
        if (closed()) return nullptr;
        thread_local Holder holder;
        return &holder.held;
    }

private:
    struct Holder {
        Held held;
        ~Holder() { closed() = true; }
    };
    // Trivially destructible, so it outlives the holder.
    static bool& closed() noexcept {
        thread_local bool value = false;
        return value;
    }
};

template <typename T>
class KeptRoom {
public:
    // The kept buffer, empty, if it suits a read of a text of `text_bytes`;
    // else an empty vector.
    static std::vector<T> take(std::size_t text_bytes) noexcept {
        std::vector<T>* kept = PerThread<std::vector<T>>::get();
        if (kept == nullptr || !suits_read(kept->capacity() * sizeof(T), text_bytes)) return {};
        std::vector<T> room = std::move(*kept);
        room.clear();
        return room;
    }

    // Keeps the room of `buffer`, let go by a read of a text of
    // `text_bytes`, if it is larger than what is kept, or if what is kept
    // does not suit such a read (the documents read now are smaller), and
    // it is not too large to keep.
    static void keep(std::vector<T>&& buffer, std::size_t text_bytes) noexcept {
        std::vector<T>* kept = PerThread<std::vector<T>>::get();
        const std::size_t bytes = buffer.capacity() * sizeof(T);
        if (kept == nullptr || bytes == 0 || bytes > max_kept_bytes) return;
        if (buffer.capacity() <= kept->capacity() && suits_read(kept->capacity() * sizeof(T), text_bytes)) return;
        buffer.clear();
        *kept = std::move(buffer);
    }
};

}  // namespace vorn
