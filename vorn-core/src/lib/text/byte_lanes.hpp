// Sixteen bytes compared at once (SSE2): the reader's search for marks in a
// value and the writer's tests of a key or scalar ask which of them equal
// any of a few bytes.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#include <string_view>

namespace vorn {

// The 16 bytes from `at`.
inline __m128i load_lanes(const char* at) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// A text of 8 to 16 bytes as one piece, read without a byte outside it: its
// first eight bytes in the low lanes, its last eight in the high ones (the
// two overlap in a shorter text). A high lane's byte is at size - 16 plus
// the lane's number.
inline __m128i first_and_last_eight(std::string_view text) noexcept {
    const auto word_at = [&text](std::size_t offset) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text.data() + offset));
    };
    return _mm_unpacklo_epi64(word_at(0), word_at(text.size() - 8));
}

// All ones in each lane of `chunk` that equals one of `bytes`, zeros
// elsewhere; one compare a byte sought, and no mask taken until the end.
template <typename... Bytes>
inline __m128i lanes_equal_any(__m128i chunk, Bytes... bytes) noexcept {
    return (_mm_cmpeq_epi8(chunk, _mm_set1_epi8(static_cast<char>(bytes))) | ...);
}

// One bit a lane, set where the lane's high bit is.
inline unsigned lane_mask(__m128i lanes) noexcept { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }

}  // namespace vorn

#endif
