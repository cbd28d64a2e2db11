// TEMPORARY: replaced by the real conversion
#include "conversions.hpp"
#include "error_state.hpp"

namespace vorn::binding {

Value python_to_value(PyObject* object) {
    if (!PyUnicode_Check(object))
        throw ErrorState::type_error("Unsupported Python type for vorn (expected str, list, or dict)");
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object, &size);
    if (text == nullptr) throw fetch_current_error();
    return Value(std::string(text, static_cast<std::size_t>(size)));
}

}  // namespace vorn::binding
