// VORN_ASSERT(condition): checks an invariant that the code relies on but
// that no type or test can enforce. Active where VORN_ASSERTIONS is 1 (the
// sanitizer and fuzz builds define it), where a failure prints the
// condition, file and line and aborts; elsewhere it compiles to nothing and
// the condition is not evaluated, so release builds pay nothing for it.
#pragma once

#if defined(VORN_ASSERTIONS) && VORN_ASSERTIONS

#include <cstdio>
#include <cstdlib>

namespace vorn::detail {

[[noreturn]] inline void assertion_failed(const char* condition, const char* file, int line) noexcept {
    std::fprintf(stderr, "%s:%d: vorn assertion failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace vorn::detail

#define VORN_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::vorn::detail::assertion_failed(#condition, __FILE__, __LINE__))

#else

// sizeof keeps the condition compiled (names and types checked) but never run.
#define VORN_ASSERT(condition) static_cast<void>(sizeof(!(condition)))

#endif
