#include "key_cache.hpp"

namespace vorn::binding {

// A cheap multiplicative hash of the length and of the first and last eight
// bytes; a miss then costs one comparison and the str that was needed anyway.
std::size_t KeyCache::slot_of(std::string_view key) noexcept {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    const std::size_t size = key.size();
    if (size >= 8) {
        std::memcpy(&head, key.data(), 8);
        std::memcpy(&tail, key.data() + size - 8, 8);
    } else {
        std::memcpy(&head, key.data(), size);
    }
    const std::uint64_t mixed = (head ^ (tail * 0x9E3779B97F4A7C15ULL) ^ size) * 0xFF51AFD7ED558CCDULL;
    return static_cast<std::size_t>(mixed >> 56) % slot_count;
}

PyObject* KeyCache::cached_str_for(std::string_view key) {
    if (!slots_) slots_ = std::make_unique<std::array<Slot, slot_count>>();
    Slot& slot = (*slots_)[slot_of(key)];
    if (slot.text && slot.size == key.size() && std::memcmp(slot.bytes, key.data(), key.size()) == 0) {
        ++hits_;
        return PyRef::borrow(slot.text.get()).release();
    }

    if (++misses_ >= trial_misses && misses_ / 4 > hits_) {
        given_up_ = true;
        slots_.reset();
    }
    PyObject* text = fresh_str(key);
    if (text == nullptr || given_up_) return text;
    slot.text = PyRef::borrow(text);
    slot.size = static_cast<std::uint8_t>(key.size());
    std::memcpy(slot.bytes, key.data(), key.size());
    return text;
}

}  // namespace vorn::binding
