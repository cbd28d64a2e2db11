#include "entry_points.hpp"

#include <string>
#include <string_view>

#include "vorn/emit.hpp"
#include "vorn/parse.hpp"

#include "arguments.hpp"
#include "conversions.hpp"
#include "error_state.hpp"
#include "read/read_document.hpp"
#include "str_from_utf8.hpp"
#include "type_names.hpp"
#include "write/emit_flat_tree.hpp"

namespace vorn::binding {
namespace {

constexpr ArgumentSpec loads_spec{"loads", "s"};
constexpr ArgumentSpec dumps_spec{"dumps", "obj"};

// Keys whose repr is longer than this are shown cut, ending in "...".
constexpr Py_ssize_t shown_key_characters = 40;

// ValueError "mapping key cannot hold a line feed: " and the key's repr,
// cut to shown_key_characters.
ErrorState line_feed_in_key(std::string_view key) {
    // A new exact str, whatever the key's own type: its repr is str's, and
    // no Python code runs.
    PyRef text = PyRef::steal(str_from_utf8(key));
    PyRef shown = text ? PyRef::steal(PyObject_Repr(text.get())) : PyRef();
    const bool cut = shown && PyUnicode_GET_LENGTH(shown.get()) > shown_key_characters;
    if (cut) shown = PyRef::steal(PyUnicode_Substring(shown.get(), 0, shown_key_characters - 3));
    Py_ssize_t size = 0;
    const char* utf8 = shown ? PyUnicode_AsUTF8AndSize(shown.get(), &size) : nullptr;
    if (utf8 == nullptr) return fetch_current_error();
    std::string message = "mapping key cannot hold a line feed: ";
    message.append(utf8, static_cast<std::size_t>(size));
    if (cut) message += "...";
    return ErrorState::value_error(std::move(message));
}

}  // namespace

[[gnu::hot]] PyObject* loads(PyObject*, PyObject* const* arguments, Py_ssize_t positional_count,
                             PyObject* keyword_names) {
    return guarded_entry([&]() -> PyObject* {
        PyObject* s = bind_arguments(loads_spec, arguments, positional_count, keyword_names);
        std::string_view text = read_str_argument(s, loads_spec.parameter_name);
        // What the reader keeps views `text`, which the argument keeps
        // alive; it is dropped on the way out, whether or not this succeeds.
        Result<PyRef> read = read_to_python(text);
        if (!read) throw ErrorState::value_error("parse error: " + read.error().render());
        return std::move(read).value().release();
    });
}

PyObject* dumps(PyObject*, PyObject* const* arguments, Py_ssize_t positional_count, PyObject* keyword_names) {
    return guarded_entry([&]() -> PyObject* {
        PyObject* obj = bind_arguments(dumps_spec, arguments, positional_count, keyword_names);
        return written_str(obj, WriteChecks::keys, [](const FlatTree& tree, const CheckedText& written) -> PyObject* {
            throw line_feed_in_key(tree.at(written.node).key);
        });
    });
}

}  // namespace vorn::binding
