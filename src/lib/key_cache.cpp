#include "key_cache.hpp"

namespace vorn::binding {

// A cheap multiplicative hash of the length and of the first and last eight
// bytes; a miss then costs one comparison and the str that was needed anyway.
// A key below eight bytes counts as its bytes zero-padded to eight (read
// as a little-endian word), put together from two overlapping four-byte
// halves, or below four byte by byte: a copy of a variable length would be
// a library call.
[[gnu::always_inline]] inline std::size_t KeyCache::slot_of(std::string_view key) noexcept {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    const std::size_t size = key.size();
    const char* const bytes = key.data();
    const auto byte = [bytes](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(bytes[i])}; };
    if (size >= 8) {
        std::memcpy(&head, bytes, 8);
        std::memcpy(&tail, bytes + size - 8, 8);
    } else if (size >= 4) {
        std::uint32_t low;
        std::uint32_t high;
        std::memcpy(&low, bytes, 4);
        std::memcpy(&high, bytes + size - 4, 4);
        // The high half's first 8 - size bytes are the low half's last.
        head = std::uint64_t{low} | (std::uint64_t{high} >> (8 * (8 - size))) << 32;
    } else if (size != 0) {
        head = byte(0) | (size > 1 ? byte(1) << 8 : 0) | (size > 2 ? byte(2) << 16 : 0);
    }
    const std::uint64_t mixed = (head ^ (tail * 0x9E3779B97F4A7C15ULL) ^ size) * 0xFF51AFD7ED558CCDULL;
    return static_cast<std::size_t>(mixed >> 56) % slot_count;
}

namespace {

// Compares a key of at most 32 bytes with a slot's bytes a word at a time,
// the last word overlapping the one before it: keys are short, and a
// library call would cost more than the comparison.
bool same_bytes(const char* stored, std::string_view key) noexcept {
    const std::size_t size = key.size();
    if (size < 8) {
        // One to three bytes: the first, middle and last are all of them.
        if (size < 4)
            return size == 0 ||
                   (stored[0] == key[0] && stored[size / 2] == key[size / 2] && stored[size - 1] == key[size - 1]);
        std::uint32_t head[2];
        std::uint32_t tail[2];
        std::memcpy(&head[0], stored, 4);
        std::memcpy(&head[1], key.data(), 4);
        std::memcpy(&tail[0], stored + size - 4, 4);
        std::memcpy(&tail[1], key.data() + size - 4, 4);
        return head[0] == head[1] && tail[0] == tail[1];
    }
    std::uint64_t differs = 0;
    std::uint64_t a;
    std::uint64_t b;
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::memcpy(&a, stored + i, 8);
        std::memcpy(&b, key.data() + i, 8);
        differs |= a ^ b;
    }
    std::memcpy(&a, stored + size - 8, 8);
    std::memcpy(&b, key.data() + size - 8, 8);
    return (differs | (a ^ b)) == 0;
}

}  // namespace

// The hit calls nothing, so that it saves no registers; a miss, which
// makes a str, is a function of its own.
[[gnu::hot]] PyObject* KeyCache::cached_str_for(std::string_view key) {
    if (slots_) [[likely]] {
        const Slot& slot = (*slots_)[slot_of(key)];
        if (slot.text && slot.size == key.size() && same_bytes(slot.bytes, key)) {
            ++hits_;
            return PyRef::borrow(slot.text.get()).release();
        }
    }
    return missed(key);
}

// Hot too, though only a miss calls it: nearly every loads misses, and out
// of the hot section its page would be faulted in at a process's first
// loads with the 64 KiB the kernel maps around it (loads' peak memory on
// the 200 KB bench documents rose by 4 to 6%).
[[gnu::hot]] PyObject* KeyCache::missed(std::string_view key) {
    if (!slots_) slots_ = std::make_unique<std::array<Slot, slot_count>>();
    if (++misses_ >= trial_misses && misses_ / 4 > hits_) {
        given_up_ = true;
        slots_.reset();
    }
    PyObject* text = fresh_str(key);
    if (text == nullptr || given_up_) return text;
    Slot& slot = (*slots_)[slot_of(key)];
    slot.text = PyRef::borrow(text);
    slot.size = static_cast<std::uint8_t>(key.size());
    std::memcpy(slot.bytes, key.data(), key.size());
    return text;
}

}  // namespace vorn::binding
