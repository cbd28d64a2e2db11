#include "tree/key_order.hpp"

#include <array>
#include <bit>
#include <cstring>

namespace vorn {
namespace {

// Bytes 0 to 15 of a key as two big-endian numbers, zero-padded: comparing
// (high, low) orders keys that differ there as memcmp would.
struct RadixKey {
    std::uint64_t high;
    std::uint64_t low;
    std::uint32_t position;
};

constexpr std::size_t radix_bytes = 16;

std::uint64_t big_endian_word(const char* bytes, std::size_t size) noexcept {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, std::min<std::size_t>(size, 8));
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(word);
    return word;
}

RadixKey radix_key(std::string_view key, std::uint32_t position) noexcept {
    const std::uint64_t low = key.size() > 8 ? big_endian_word(key.data() + 8, key.size() - 8) : 0;
    return {big_endian_word(key.data(), key.size()), low, position};
}

// Byte `digit` of the 16 (0 the most significant).
unsigned byte_at(const RadixKey& key, std::size_t digit) noexcept {
    const std::uint64_t word = digit < 8 ? key.high : key.low;
    return static_cast<unsigned>(word >> (56 - 8 * (digit % 8))) & 0xFFu;
}

}  // namespace

std::vector<std::uint32_t> order_by_key_bytes(std::span<const std::string_view> keys) {
    const std::size_t count = keys.size();
    std::vector<RadixKey> from(count);
    std::vector<RadixKey> to(count);
    std::vector<std::array<std::uint32_t, 256>> counts(radix_bytes, std::array<std::uint32_t, 256>{});
    for (std::size_t i = 0; i < count; ++i) {
        from[i] = radix_key(keys[i], static_cast<std::uint32_t>(i));
        for (std::size_t digit = 0; digit < radix_bytes; ++digit) ++counts[digit][byte_at(from[i], digit)];
    }
    // Least significant byte first; each pass is stable, so the order of
    // the passes before it, and in the end the arrival order, decides ties.
    // A byte that all keys share (the padding of short keys, most often)
    // moves nothing and is skipped.
    for (std::size_t digit = radix_bytes; digit-- > 0;) {
        std::array<std::uint32_t, 256>& starts = counts[digit];
        if (count != 0 && starts[byte_at(from[0], digit)] == count) continue;
        std::uint32_t start = 0;
        for (std::uint32_t& slot : starts) start += std::exchange(slot, start);
        for (const RadixKey& key : from) to[starts[byte_at(key, digit)]++] = key;
        from.swap(to);
    }
    // Keys that tie on their first 16 bytes but differ after them, or in
    // length where the padding hid it, are put in order by their bytes.
    const auto key_less = [keys](const RadixKey& a, const RadixKey& b) { return keys[a.position] < keys[b.position]; };
    for (std::size_t first = 0; first < count;) {
        std::size_t end = first + 1;
        while (end < count && from[end].high == from[first].high && from[end].low == from[first].low) ++end;
        if (end - first > 1) stable_sort_by_key(std::span<RadixKey>(from.data() + first, end - first), key_less);
        first = end;
    }
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = from[i].position;
    return order;
}

}  // namespace vorn
