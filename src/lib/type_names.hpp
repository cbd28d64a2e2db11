// The wording of errors that name the type of an offending object.
#pragma once

#include <string>

#include "error_state.hpp"

namespace vorn::binding {

// The qualified name of the object's type (such as "f.<locals>.C"), or
// "<failed to extract type name>" when the interpreter cannot give it.
std::string qualified_type_name(PyObject* object);

// TypeError "'T' object cannot be cast as 'str'" for an object that had to be
// a str.
ErrorState cannot_cast_as_str(PyObject* object);

}  // namespace vorn::binding
