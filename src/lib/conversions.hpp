// Conversions between Python objects and the Document core's value tree.
// Both throw ErrorState on failure, with everything built so far released.
#pragma once

#include "py_ref.hpp"
#include "vorn/value.hpp"

namespace vorn::binding {

// Builds a tree from a str, list or dict (subclasses included, read through
// their built-in storage), nested freely. The object is borrowed.
Value python_to_value(PyObject* object);

// Builds new dict, list and str objects from a tree; dict keys are inserted
// in the mapping's byte order. Only reads the tree.
PyRef value_to_python(const Value& value);

}  // namespace vorn::binding
