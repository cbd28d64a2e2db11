// Python objects to a value tree. Only str, list and dict (subclasses
// included) are accepted, and each is read through its built-in storage so
// that no Python code runs: no __iter__, __len__, items() or __str__.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversions.hpp"
#include "error_state.hpp"
#include "recursion_guard.hpp"
#include "type_names.hpp"

namespace vorn::binding {
namespace {

constexpr const char* unsupported_type_message = "Unsupported Python type for vorn (expected str, list, or dict)";
constexpr const char* recursion_context = " while converting an object for dumps";

// The str's UTF-8 bytes (NUL characters included), cached by the str and
// valid while it lives. A str holding a lone surrogate has no UTF-8 form;
// its UnicodeEncodeError is passed on.
std::string_view utf8_of(PyObject* text) {
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text, &size);
    if (bytes == nullptr) throw fetch_current_error();
    return {bytes, static_cast<std::size_t>(size)};
}

// A node holding a copy of the str, the bytes copied straight into the
// node's own string rather than through a temporary.
Node scalar_node(PyObject* text) {
    Node node;
    node.value.scalar().assign(utf8_of(text));
    return node;
}

// One list or dict being read. Containers are walked with an explicit stack
// of these rather than by native recursion, so a thread with a small stack
// converts as deeply as the interpreter's recursion limit allows; each open
// container still takes one level of that limit, which is what turns a
// self-containing structure into a RecursionError.
struct OpenContainer {
    RecursionGuard depth;
    PyRef container;  // strong, for as long as it is read
    bool is_list;
    Value value;      // the Sequence or Mapping built so far
    // Lists: the length noted at the start; each step also re-checks the
    // current length, in case freeing an object shrank the list meanwhile.
    Py_ssize_t length_at_start = 0;
    Py_ssize_t position = 0;  // list index, or PyDict_Next's position
    std::string pending_key;  // dicts: key of the entry whose value is read

    explicit OpenContainer(PyRef object)
        : depth(recursion_context),
          container(std::move(object)),
          is_list(PyList_Check(container.get())),
          value(is_list ? Value::empty_sequence() : Value::empty_mapping()) {
        if (is_list) {
            length_at_start = PyList_GET_SIZE(container.get());
            value.sequence().reserve(static_cast<std::size_t>(length_at_start));
        }
    }

    // A strong reference to the next element or entry value to convert, or
    // none when the container is finished. For a dict the key is checked
    // and copied into `pending_key` before its value is looked at.
    PyRef next_child() {
        PyObject* object = container.get();
        if (is_list) {
            if (position >= length_at_start || position >= PyList_GET_SIZE(object)) return PyRef();
            return PyRef::borrow(PyList_GET_ITEM(object, position++));
        }
        PyObject* key = nullptr;
        PyObject* item = nullptr;
        if (!PyDict_Next(object, &position, &key, &item)) return PyRef();
        PyRef held_key = PyRef::borrow(key);
        PyRef held_item = PyRef::borrow(item);
        if (!PyUnicode_Check(key)) throw cannot_cast_as_str(key);
        pending_key.assign(utf8_of(key));
        return held_item;
    }

    void attach(Node&& child) {
        if (is_list) {
            value.sequence().append(std::move(child));
        } else {
            // Two str subclass keys may carry the same text; the later wins.
            value.mapping().insert(std::move(pending_key), std::move(child));
        }
    }
};

bool is_container(PyObject* object) { return PyList_Check(object) || PyDict_Check(object); }

}  // namespace

Value python_to_value(PyObject* object) {
    if (PyUnicode_Check(object)) return Value(std::string(utf8_of(object)));
    if (!is_container(object)) throw ErrorState::type_error(unsupported_type_message);

    std::vector<OpenContainer> stack;
    stack.emplace_back(PyRef::borrow(object));
    for (;;) {
        PyRef child = stack.back().next_child();
        if (!child) {
            Value finished = std::move(stack.back().value);
            stack.pop_back();
            if (stack.empty()) return finished;
            stack.back().attach(Node(std::move(finished)));
            continue;
        }
        PyObject* element = child.get();
        if (PyUnicode_Check(element)) {
            stack.back().attach(scalar_node(element));
        } else if (is_container(element)) {
            stack.emplace_back(std::move(child));
        } else {
            throw ErrorState::type_error(unsupported_type_message);
        }
    }
}

}  // namespace vorn::binding
