// The module's two functions, in the fast-call-with-keywords convention:
// (module, argument array, number of positional arguments, keyword names or
// NULL). Each returns a new reference, or NULL with one exception set.
#pragma once

#include "py_ref.hpp"

namespace vorn::binding {

// loads(s): document text to dict, list and str objects.
PyObject* loads(PyObject* module, PyObject* const* arguments, Py_ssize_t positional_count, PyObject* keyword_names);

// dumps(obj): a str, list or dict, nested freely, to document text.
PyObject* dumps(PyObject* module, PyObject* const* arguments, Py_ssize_t positional_count, PyObject* keyword_names);

}  // namespace vorn::binding
