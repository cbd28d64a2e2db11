// Argument binding for the module's fast-call functions, each of which takes
// exactly one parameter, by position or by keyword.
#pragma once

#include <string_view>

#include "py_ref.hpp"

namespace vorn::binding {

struct ArgumentSpec {
    const char* function_name;
    const char* parameter_name;
};

// Finds the one argument among the positional arguments and the keyword
// arguments (whose names are in `keyword_names`, their values after the
// positional ones in `arguments`). Returns it borrowed; throws ErrorState
// with the interpreter's own TypeError wording when the call does not fit.
PyObject* bind_arguments(const ArgumentSpec& spec, PyObject* const* arguments, Py_ssize_t positional_count,
                         PyObject* keyword_names);

// The UTF-8 text of a str argument, read in place: it stays valid while the
// caller holds the argument. Anything else raises TypeError "argument 'NAME':
// ..."; a str with no UTF-8 form, its UnicodeEncodeError.
std::string_view read_str_argument(PyObject* argument, const char* parameter_name);

}  // namespace vorn::binding
