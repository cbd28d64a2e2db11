// One owner type for strong references to Python objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <utility>

namespace vorn::binding {

// Holds one strong reference (or none) and releases it when destroyed.
class PyRef {
public:
    PyRef() noexcept = default;

    // Takes over a new reference, as returned by a CPython creation call.
    static PyRef steal(PyObject* object) noexcept { return PyRef(object); }
    // Takes an additional strong reference to a borrowed object.
    static PyRef borrow(PyObject* object) noexcept {
        Py_XINCREF(object);
        return PyRef(object);
    }

    PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        if (this != &other) {
            PyObject* old = std::exchange(object_, std::exchange(other.object_, nullptr));
            Py_XDECREF(old);
        }
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    // Hands the reference to the caller, who now owns it.
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    explicit PyRef(PyObject* object) noexcept : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace vorn::binding
