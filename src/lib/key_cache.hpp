// The dict keys of one conversion of a tree to Python objects (the reader's
// tree in loads, or a value tree), kept so that a key that repeats
// (the same field in every record of a list) becomes one shared str object
// rather than a fresh one per record. The shared str also keeps its hash,
// so each dict insertion after the first skips hashing it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "py_ref.hpp"
#include "str_from_utf8.hpp"

namespace vorn::binding {

class KeyCache {
public:
    // Keys longer than this are created afresh every time: long keys rarely
    // repeat, and comparing them would cost more than it saves. 32 bytes
    // hold the field names of every bench shape; with the cache, loads of the
    // 200 KB shapes took 8-10% fewer instructions (callgrind), and
    // unique_keys, which never hits, 0.3% more.
    static constexpr std::size_t max_key_bytes = 32;

    // A new reference to a str holding `key`: the cached one when the slot
    // for `key` holds the same bytes, else a fresh one that then takes the
    // slot. Null (with the Python error set) when creating it fails.
    PyObject* str_for(std::string_view key) {
        if (given_up_ || key.size() > max_key_bytes) return fresh_str(key);
        return cached_str_for(key);
    }

private:
    // A direct-mapped table: enough slots that the fields of a record rarely
    // collide, few enough (256 x 48 bytes) to stay in the first-level cache.
    static constexpr std::size_t slot_count = 256;

    struct Slot {
        PyRef text;
        std::uint8_t size = 0;
        char bytes[max_key_bytes];
    };

    // After this many misses, a cache that hits less than once per four
    // misses is a mapping of unique keys: it stops storing, so that such a
    // mapping pays no more than a branch per key from then on.
    static constexpr std::uint32_t trial_misses = 256;

    static std::size_t slot_of(std::string_view key) noexcept;
    PyObject* cached_str_for(std::string_view key);
    // A fresh str for `key`, stored in its slot unless the cache gives up.
    [[gnu::noinline]] PyObject* missed(std::string_view key);
    static PyObject* fresh_str(std::string_view key) noexcept { return str_from_utf8(key); }

    std::uint32_t hits_ = 0;
    std::uint32_t misses_ = 0;
    bool given_up_ = false;

    // Allocated at the first key, so a call that makes no dict pays nothing.
    std::unique_ptr<std::array<Slot, slot_count>> slots_;
};

}  // namespace vorn::binding
