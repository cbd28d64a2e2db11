#include "error_state.hpp"

#include <string_view>
#include <utility>

namespace vorn::binding {

ErrorState ErrorState::pending(PyObject* type, std::string message) {
    ErrorState error;
    error.type_ = type;
    error.message_ = std::move(message);
    return error;
}

ErrorState ErrorState::type_error(std::string message) { return pending(PyExc_TypeError, std::move(message)); }

ErrorState ErrorState::value_error(std::string message) { return pending(PyExc_ValueError, std::move(message)); }

ErrorState ErrorState::import_error(std::string message) { return pending(PyExc_ImportError, std::move(message)); }

ErrorState ErrorState::internal_fault(std::string message) {
    ErrorState error = pending(internal_fault_class(), std::move(message));
    error.internal_fault_ = true;
    return error;
}

ErrorState ErrorState::fetched(PyRef exception) {
    ErrorState error;
    error.type_ = reinterpret_cast<PyObject*>(Py_TYPE(exception.get()));
    error.exception_ = std::move(exception);
    return error;
}

ErrorState ErrorState::concretize() && {
    if (is_fetched()) return std::move(*this);
    // Raising and taking the exception back gives the instance exactly the
    // context a plain raise would have given it.
    raise_at_boundary(std::move(*this));
    return fetch_current_error();
}

ErrorState fetch_current_error() {
    PyObject* raised = PyErr_GetRaisedException();
    if (raised == nullptr)
        return ErrorState::pending(PyExc_SystemError, "attempted to fetch exception but none was set");
    return ErrorState::fetched(PyRef::steal(raised));
}

PyRef checked(PyObject* object) {
    PyRef owned = PyRef::steal(object);
    if (!owned) throw fetch_current_error();
    return owned;
}

ErrorState api_call_failed() {
    // Running out of memory is no internal fault: it reaches the caller as
    // the MemoryError it is, as it does when the core runs out.
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) return fetch_current_error();
    PyErr_Print();
    return ErrorState::internal_fault("Python API call failed");
}

void raise_at_boundary(ErrorState error) noexcept {
    if (error.is_fetched()) {
        PyErr_SetRaisedException(Py_NewRef(error.exception()));
        return;
    }
    const std::string& text = error.message();
    // "replace" only matters for a message that is not valid UTF-8 (the text
    // of a foreign C++ exception); a message must never stop the raise.
    PyRef message = PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    if (!message) Py_FatalError("could not create the message of an exception");
    if (!error.is_internal_fault()) {
        PyErr_SetObject(error.type(), message.get());
        return;
    }
    PyRef arguments = PyRef::steal(PyTuple_Pack(1, message.get()));
    if (!arguments) Py_FatalError("could not create the arguments of an internal fault");
    PyErr_SetObject(error.type(), arguments.get());
}

PyObject* internal_fault_class() {
    // Only touched with the interpreter lock held; the lock is what makes the
    // class unique.
    static PyObject* fault_class = nullptr;
    if (fault_class != nullptr) return fault_class;
    PyObject* created = PyErr_NewExceptionWithDoc(
        "native_runtime.InternalFault",
        "Reports an internal fault of the native code: a condition that is no error of the caller.\n\n"
        "Like SystemExit, it derives from BaseException, so that it normally propagates to the top\n"
        "of the program instead of being caught by 'except Exception'.",
        PyExc_BaseException, nullptr);
    if (created == nullptr) Py_FatalError("Failed to initialize new exception type.");
    // Creating a type can run the collector, and with it Python code that may
    // have raced us here; the first class stored wins.
    if (fault_class != nullptr) {
        Py_DECREF(created);
        return fault_class;
    }
    fault_class = created;
    return fault_class;
}

}  // namespace vorn::binding
