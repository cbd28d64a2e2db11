// One level of the interpreter's C recursion budget, held for as long as the
// guard lives.
#pragma once

#include <utility>

#include "error_state.hpp"

namespace vorn::binding {

class RecursionGuard {
public:
    // Throws the interpreter's RecursionError when the budget is spent. A
    // refused Py_EnterRecursiveCall takes no level, so there is nothing to
    // leave in that case: the guard is never constructed.
    explicit RecursionGuard(const char* where) {
        if (Py_EnterRecursiveCall(where)) throw fetch_current_error();
    }

    // Movable so that guards can live in the frames of an explicit stack; a
    // moved-from guard no longer holds its level.
    RecursionGuard(RecursionGuard&& other) noexcept : held_(std::exchange(other.held_, false)) {}
    RecursionGuard& operator=(RecursionGuard&&) = delete;
    RecursionGuard(const RecursionGuard&) = delete;
    RecursionGuard& operator=(const RecursionGuard&) = delete;

    ~RecursionGuard() {
        if (held_) Py_LeaveRecursiveCall();
    }

private:
    bool held_ = true;
};

}  // namespace vorn::binding
