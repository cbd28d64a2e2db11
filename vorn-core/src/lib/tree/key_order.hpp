// The one rule for a mapping's entries, kept here for every builder of
// mappings (the value tree's Mapping, the reader's MappingBuilder and the
// writer's FlatTreeBuilder): entries stand in ascending byte order of their
// keys, and of several entries under one key a single one is kept, the last
// that replaces what came before it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn {

// The byte order of keys (std::string_view's, of unsigned bytes). The keys
// of a record mostly differ in their first byte, which is compared inline
// before the library's comparison of the rest.
inline bool key_less(std::string_view a, std::string_view b) noexcept {
    if (!a.empty() && !b.empty() && a.front() != b.front())
        return static_cast<unsigned char>(a.front()) < static_cast<unsigned char>(b.front());
    return a < b;
}

// The first eight bytes of `key` as a big-endian number, zero-padded: one
// integer comparison orders keys that differ there as memcmp would.
// A key of eight bytes or more is read as one word; a shorter one by a
// loop of eight steps, which the compiler unrolls.
inline std::uint64_t key_prefix(std::string_view key) noexcept {
    if (key.size() >= 8) {
        std::uint64_t word;
        std::memcpy(&word, key.data(), 8);
        if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(word);
        return word;
    }
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return prefix;
}

// key_less for entries that carry their key's key_prefix as `prefix`: most
// comparisons of a sort then need not read the keys themselves.
template <typename Entry>
bool prefixed_key_less(const Entry& a, const Entry& b) noexcept {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return a.key < b.key;
}

// Up to this many entries a stable insertion sort is used: it needs no
// buffer, while std::stable_sort allocates one on every call, and most
// mappings sorted are small (a merged record and a few entries of its own).
// 32 is the larger of the two limits the reader and the writer used before
// they shared this sort (32 and 16); with it, the loads and dumps
// instruction counts of the 200 KB bench shapes (callgrind, one call each)
// changed by at most 0.21%, a fall for the anchors shape, which sorts most.
inline constexpr std::size_t insertion_sort_limit = 32;

// Sorts `items` by `less`, keeping the arrival order of items with equal keys.
template <typename T, typename Less>
void stable_sort_by_key(std::span<T> items, Less less) {
    if (items.size() > insertion_sort_limit) {
        std::stable_sort(items.begin(), items.end(), less);
        return;
    }
    for (std::size_t i = 1; i < items.size(); ++i) {
        T moving = std::move(items[i]);
        std::size_t j = i;
        for (; j > 0 && less(moving, items[j - 1]); --j) items[j] = std::move(items[j - 1]);
        items[j] = std::move(moving);
    }
}

// Above this many entries a mapping is put in key order by a radix sort of
// its keys' bytes: a comparison sort of thousands of keys mispredicts about
// one branch in two comparisons and reads keys scattered over the heap
// again at each, where the radix sort reads each key once and branches on
// no byte.
inline constexpr std::size_t radix_sort_limit = 128;

// The positions of `keys` in ascending byte order, of equal keys in the
// order given: a stable radix sort by the first 16 bytes (zero-padded),
// then a comparison sort of each run that ties on them.
std::vector<std::uint32_t> order_by_key_bytes(std::span<const std::string_view> keys);

// Sorts `items` into ascending byte order of `key_of(item)`, keeping the
// arrival order of items with equal keys. `less` compares two items as
// their keys' bytes do; it sorts small mappings, where it costs less than
// the radix sort's fixed work.
template <typename T, typename KeyOf, typename Less>
void sort_by_key(std::span<T> items, KeyOf key_of, Less less) {
    if (items.size() <= radix_sort_limit || items.size() > UINT32_MAX) {
        stable_sort_by_key(items, less);
        return;
    }
    std::vector<std::string_view> keys;
    keys.reserve(items.size());
    for (const T& item : items) keys.push_back(key_of(item));
    const std::vector<std::uint32_t> order = order_by_key_bytes(keys);
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const std::uint32_t position : order) sorted.push_back(std::move(items[position]));
    std::move(sorted.begin(), sorted.end(), items.begin());
}

// Calls `keep` with one item of each run of equal keys in `sorted` (sorted
// by sort_by_key, so each run is in arrival order): the last item of
// the run for which `replaces` holds, or the run's first if no later one
// does. An item for which `replaces` is false only fills a key that nothing
// before it held.
template <typename T, typename SameKey, typename Replaces, typename Keep>
void keep_winners(std::span<T> sorted, SameKey same_key, Replaces replaces, Keep keep) {
    for (std::size_t first = 0; first < sorted.size();) {
        std::size_t winner = first;
        std::size_t last = first;
        while (last + 1 < sorted.size() && same_key(sorted[last + 1], sorted[first])) {
            ++last;
            if (replaces(sorted[last])) winner = last;
        }
        keep(sorted[winner]);
        first = last + 1;
    }
}

}  // namespace vorn
