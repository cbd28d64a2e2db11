#include "type_names.hpp"

namespace vorn::binding {

std::string qualified_type_name(PyObject* object) {
    PyRef name = PyRef::steal(PyType_GetQualName(Py_TYPE(object)));
    Py_ssize_t size = 0;
    const char* text = name ? PyUnicode_AsUTF8AndSize(name.get(), &size) : nullptr;
    if (text == nullptr) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return std::string(text, static_cast<std::size_t>(size));
}

ErrorState cannot_cast_as_str(PyObject* object) {
    return ErrorState::type_error("'" + qualified_type_name(object) + "' object cannot be cast as 'str'");
}

}  // namespace vorn::binding
