// Runs a binding test executable inside an embedded interpreter, with
// helpers that check objects by evaluating small Python expressions on them.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include "py_ref.hpp"

namespace vorn::binding::testing_support {

class EmbeddedPython : public ::testing::Environment {
public:
    void SetUp() override {
        PyConfig config;
        PyConfig_InitIsolatedConfig(&config);
        PyStatus status = Py_InitializeFromConfig(&config);
        PyConfig_Clear(&config);
        if (PyStatus_Exception(status)) Py_ExitStatusException(status);
    }
    void TearDown() override { ASSERT_EQ(Py_FinalizeEx(), 0); }
};

inline ::testing::Environment* const embedded_python = ::testing::AddGlobalTestEnvironment(new EmbeddedPython);

// Evaluates `expression` with the name `x` bound to `object` (when given).
// A Python error is printed and yields an empty reference.
inline PyRef evaluate(const std::string& expression, PyObject* object = nullptr) {
    // PyRun_String adds __builtins__ to a namespace that lacks it.
    PyRef names = PyRef::steal(PyDict_New());
    if (!names || (object != nullptr && PyDict_SetItemString(names.get(), "x", object) < 0)) {
        PyErr_Print();
        return {};
    }
    PyRef result = PyRef::steal(PyRun_String(expression.c_str(), Py_eval_input, names.get(), names.get()));
    if (!result) PyErr_Print();
    return result;
}

// True when `expression` evaluates to a true value for `object`.
inline bool holds(const std::string& expression, PyObject* object = nullptr) {
    PyRef result = evaluate(expression, object);
    return result && PyObject_IsTrue(result.get()) == 1;
}

// Takes the exception the code under test left set, or fails the test.
inline PyRef take_exception() {
    PyObject* raised = PyErr_GetRaisedException();
    EXPECT_NE(raised, nullptr) << "no exception was set";
    EXPECT_EQ(PyErr_Occurred(), nullptr) << "more than one exception was set";
    return PyRef::steal(raised);
}

}  // namespace vorn::binding::testing_support
