// Memory for the many small, immutable pieces of one document tree: nodes,
// arrays of entries and items, and strings that had to be rewritten. They
// are placed one after another in a few large chunks and released together
// with the arena, so the tree costs no allocation per piece and no walk to
// destroy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vorn {

class Arena {
public:
    Arena() = default;
    Arena(Arena&&) noexcept = default;
    Arena& operator=(Arena&&) noexcept = default;
    // Keeps its largest chunk for the next arena on this thread.
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Uninitialised room for `bytes` bytes aligned to `alignment` (a power
    // of two no larger than that of std::max_align_t).
    void* allocate(std::size_t bytes, std::size_t alignment) {
        const std::size_t padding = -reinterpret_cast<std::uintptr_t>(next_) & (alignment - 1);
        if (padding + bytes > left_) return allocate_in_new_chunk(bytes);
        std::byte* place = next_ + padding;
        next_ = place + bytes;
        left_ -= padding + bytes;
        return place;
    }

    // Room for `size` characters, to be written by the caller.
    char* allocate_text(std::size_t size) { return static_cast<char*>(allocate(size, 1)); }

    // A copy of `items`, which must be trivially copyable: the arena never
    // runs destructors.
    template <typename T>
    std::span<const T> copy(std::span<const T> items) {
        static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
        if (items.empty()) return {};
        void* place = allocate(items.size_bytes(), alignof(T));
        std::memcpy(place, items.data(), items.size_bytes());
        return std::span<const T>(static_cast<const T*>(place), items.size());
    }

    // Bytes held in chunks, for tests and measurements.
    std::size_t reserved_bytes() const noexcept { return reserved_; }

    struct Chunk {
        std::unique_ptr<std::byte[]> bytes;
        std::size_t size = 0;
    };

private:
    void* allocate_in_new_chunk(std::size_t bytes);
    // A chunk of at least `size` bytes: the kept one if it is large enough.
    Chunk& add_chunk(std::size_t size);

    std::vector<Chunk> chunks_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t next_chunk_size_ = 4096;
    std::size_t reserved_ = 0;
};

}  // namespace vorn
