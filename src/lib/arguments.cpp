#include "arguments.hpp"

#include <string>
#include <string_view>

#include "error_state.hpp"
#include "type_names.hpp"

namespace vorn::binding {
namespace {

ErrorState too_many_positional(const ArgumentSpec& spec, Py_ssize_t count) {
    // "arguments" stays plural: the message only arises for two or more.
    return ErrorState::type_error(std::string(spec.function_name) + "() takes 1 positional arguments but " +
                                  std::to_string(count) + " were given");
}

ErrorState unexpected_keyword(const ArgumentSpec& spec, std::string_view name) {
    return ErrorState::type_error(std::string(spec.function_name) + "() got an unexpected keyword argument '" +
                                  std::string(name) + "'");
}

ErrorState multiple_values(const ArgumentSpec& spec) {
    return ErrorState::type_error(std::string(spec.function_name) + "() got multiple values for argument '" +
                                  spec.parameter_name + "'");
}

ErrorState missing_argument(const ArgumentSpec& spec) {
    return ErrorState::type_error(std::string(spec.function_name) + "() missing 1 required positional argument: '" +
                                  spec.parameter_name + "'");
}

// A keyword that has no UTF-8 form (it holds a lone surrogate) cannot match;
// it is named in the message with backslash escapes.
std::string printable_keyword(PyObject* name) {
    PyRef escaped = PyRef::steal(PyUnicode_AsEncodedString(name, "utf-8", "backslashreplace"));
    if (!escaped) {
        PyErr_Clear();
        return "?";
    }
    return std::string(PyBytes_AS_STRING(escaped.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(escaped.get())));
}

// A TypeError about an argument is reworded to name the parameter, keeping
// its cause. Only TypeError itself is reworded (not its subclasses), so the
// UnicodeEncodeError of a str that has no UTF-8 form passes unchanged.
ErrorState with_argument_prefix(ErrorState error, const char* parameter_name) {
    ErrorState original = std::move(error).concretize();
    if (Py_TYPE(original.exception()) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) return original;

    PyRef text = PyRef::steal(PyObject_Str(original.exception()));
    Py_ssize_t size = 0;
    const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
    if (utf8 == nullptr) return fetch_current_error();

    std::string message = "argument '";
    message += parameter_name;
    message += "': ";
    message.append(utf8, static_cast<std::size_t>(size));
    ErrorState prefixed = ErrorState::type_error(std::move(message)).concretize();
    // Both calls deal in new references: the cause handed over is stolen.
    PyException_SetCause(prefixed.exception(), PyException_GetCause(original.exception()));
    return prefixed;
}

}  // namespace

// The UTF-8 text of a str argument, read in place: it stays valid while the
// caller holds the argument.
[[gnu::hot]] std::string_view read_str_argument(PyObject* argument, const char* parameter_name) {
    if (!PyUnicode_Check(argument)) throw with_argument_prefix(cannot_cast_as_str(argument), parameter_name);
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(argument, &size);
    if (text == nullptr) throw with_argument_prefix(fetch_current_error(), parameter_name);
    return {text, static_cast<std::size_t>(size)};
}

[[gnu::hot]] PyObject* bind_arguments(const ArgumentSpec& spec, PyObject* const* arguments, Py_ssize_t positional_count,
                                      PyObject* keyword_names) {
    if (positional_count > 1) throw too_many_positional(spec, positional_count);
    PyObject* bound = positional_count == 1 ? arguments[0] : nullptr;

    const Py_ssize_t keyword_count = keyword_names ? PyTuple_GET_SIZE(keyword_names) : 0;
    for (Py_ssize_t i = 0; i < keyword_count; ++i) {
        PyObject* name = PyTuple_GET_ITEM(keyword_names, i);
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(name, &size);
        if (text == nullptr) {
            PyErr_Clear();
            throw unexpected_keyword(spec, printable_keyword(name));
        }
        std::string_view keyword(text, static_cast<std::size_t>(size));
        if (keyword != spec.parameter_name) throw unexpected_keyword(spec, keyword);
        if (bound != nullptr) throw multiple_values(spec);
        bound = arguments[positional_count + i];
    }

    if (bound == nullptr) throw missing_argument(spec);
    return bound;
}

}  // namespace vorn::binding
