// Sixteen bytes compared at once (SSE2): the reader's search for marks in a
// value and the writer's tests of a key or scalar ask which of them equal
// any of a few bytes.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

namespace vorn {

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
