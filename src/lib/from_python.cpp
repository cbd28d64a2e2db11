// Python objects to a tree for writing. Only str, list and dict (subclasses
// included) are accepted, and each is read through its built-in storage so
// that no Python code runs: no __iter__, __len__, items() or __str__.
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

// One list or dict being read. Containers are walked with an explicit stack
// of these rather than by native recursion, so a thread with a small stack
// converts as deeply as the interpreter's recursion limit allows; each open
// container still takes one level of that limit, which is what turns a
// self-containing structure into a RecursionError.
struct OpenContainer {
    RecursionGuard depth;
    PyRef container;  // strong, for as long as it is read
    bool is_list;
    // Lists: the length noted at the start; each step also re-checks the
    // current length, in case freeing an object shrank the list meanwhile.
    Py_ssize_t length_at_start = 0;
    Py_ssize_t position = 0;  // list index, or PyDict_Next's position
    std::string_view key;     // dicts: key of the entry whose value is read

    explicit OpenContainer(PyRef object)
        : depth(dumps_recursion_context), container(std::move(object)), is_list(PyList_Check(container.get())) {
        if (is_list) length_at_start = PyList_GET_SIZE(container.get());
    }

    FlatTree::Kind kind() const { return is_list ? FlatTree::Kind::sequence : FlatTree::Kind::mapping; }
    // How many children to make room for; only a hint.
    std::size_t size_hint() const {
        return static_cast<std::size_t>(is_list ? length_at_start : PyDict_GET_SIZE(container.get()));
    }

    // The next element or entry value to convert, borrowed, or null when
    // the container is finished. For a dict the key is checked and held in
    // `key` before its value is looked at. The container keeps what it
    // gives alive until the caller holds it (a str in `texts`, a container
    // on the stack): no Python code runs in between, and nothing is let go.
    PyObject* next_child(BorrowedTexts& texts) {
        PyObject* object = container.get();
        if (is_list) {
            if (position >= length_at_start || position >= PyList_GET_SIZE(object)) return nullptr;
            return PyList_GET_ITEM(object, position++);
        }
        PyObject* dict_key = nullptr;
        PyObject* item = nullptr;
        if (!PyDict_Next(object, &position, &dict_key, &item)) return nullptr;
        if (!PyUnicode_Check(dict_key)) {
            // Held while the message is made from its type.
            const PyRef held_key = PyRef::borrow(dict_key);
            throw cannot_cast_as_str(held_key.get());
        }
        key = texts.hold(dict_key);
        return item;
    }
};

bool is_container(PyObject* object) { return PyList_Check(object) || PyDict_Check(object); }

}  // namespace

FlatTree python_to_flat_tree(PyObject* object, BorrowedTexts& texts) {
    FlatTreeBuilder builder;
    if (PyUnicode_Check(object)) {
        builder.add_scalar({}, texts.hold(object));
        return builder.finish();
    }
    if (!is_container(object)) throw ErrorState::type_error(unsupported_type_message);

    std::vector<OpenContainer> stack;
    stack.emplace_back(PyRef::borrow(object));
    builder.open(stack.back().kind(), {}, stack.back().size_hint());
    for (;;) {
        OpenContainer& top = stack.back();
        PyObject* const element = top.next_child(texts);
        if (element == nullptr) {
            builder.close();
            stack.pop_back();
            if (stack.empty()) return builder.finish();
            continue;
        }
        // Two str subclass keys may carry the same text; the builder keeps
        // the later entry.
        const std::string_view key = top.is_list ? std::string_view() : top.key;
        if (PyUnicode_Check(element)) {
            builder.add_scalar(key, texts.hold(element));
        } else if (is_container(element)) {
            stack.emplace_back(PyRef::borrow(element));  // `top` may dangle from here
            builder.open(stack.back().kind(), key, stack.back().size_hint());
        } else {
            throw ErrorState::type_error(unsupported_type_message);
        }
    }
}

}  // namespace vorn::binding
