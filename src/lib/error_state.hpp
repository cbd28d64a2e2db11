// How failures travel inside the binding: as an ErrorState, thrown where the
// failure is found and caught only at an entry point, which makes it the
// interpreter's current exception and returns NULL. No C++ exception ever
// crosses into CPython.
#pragma once

#include <string>

#include "py_ref.hpp"

namespace vorn::binding {

class ErrorState {
public:
    // An exception not yet created: a static exception type (borrowed) and
    // its message. Raised as `type(message)`.
    static ErrorState pending(PyObject* type, std::string message);
    static ErrorState type_error(std::string message);
    static ErrorState value_error(std::string message);
    static ErrorState import_error(std::string message);
    // A fault inside the module that is no user error; raised as
    // native_runtime.InternalFault(message).
    static ErrorState internal_fault(std::string message);
    // An exception instance taken from the interpreter, raised unchanged.
    static ErrorState fetched(PyRef exception);

    bool is_fetched() const noexcept { return static_cast<bool>(exception_); }
    bool is_internal_fault() const noexcept { return internal_fault_; }
    PyObject* type() const noexcept { return type_; }
    const std::string& message() const noexcept { return message_; }
    PyObject* exception() const noexcept { return exception_.get(); }

    // Turns a pending error into an exception instance (fetched form), so
    // that it can be inspected or rewrapped. A fetched error is unchanged.
    ErrorState concretize() &&;

private:
    ErrorState() = default;
    PyObject* type_ = nullptr;
    std::string message_;
    bool internal_fault_ = false;
    PyRef exception_;
};

// After a C-API call reported failure: takes the current exception. With no
// exception set, a pending SystemError saying so.
ErrorState fetch_current_error();

// Owns `object`, the new reference a C-API call returned; when the call
// returned NULL, throws its exception instead.
PyRef checked(PyObject* object);

// For a creation call that returned NULL where an object was required: prints
// the interpreter's pending exception (PyErr_Print, which clears it) and
// returns the internal fault "Python API call failed".
ErrorState api_call_failed();

// Makes `error` the interpreter's current exception. The caller then returns
// NULL.
void raise_at_boundary(ErrorState error) noexcept;

// The class of internal faults, created on first use and kept for the life
// of the process. Never added to the module namespace.
PyObject* internal_fault_class();

// Runs an entry point's body and maps every failure it throws to exactly one
// Python exception: ErrorState as itself, std::bad_alloc as MemoryError, any
// other C++ exception as an internal fault. Returns the body's new reference
// or NULL.
template <typename Body>
PyObject* guarded_entry(Body&& body) noexcept;

}  // namespace vorn::binding

#include "error_state_inl.hpp"
