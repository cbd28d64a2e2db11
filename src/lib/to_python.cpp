// value_to_python: a tree becomes fresh dict, list and str objects.
//
// The walk keeps the containers under construction on an explicit stack, so
// a tree of any depth converts without deep native recursion. Scalars are
// stored straight away; a nested container is opened as a new frame and
// stored in its parent once it is complete. On failure the frames' owners
// release every container built so far.
#include <string_view>
#include <utility>
#include <vector>

#include "conversions.hpp"
#include "error_state.hpp"
#include "key_cache.hpp"
#include "str_from_utf8.hpp"

namespace vorn::binding {
namespace {

using EntryIterator = decltype(std::declval<const Mapping&>().begin());

// One container being filled: its source, the Python object and the position
// of the next child in the source.
struct Frame {
    const Value* source;
    PyRef target;
    std::size_t next_item = 0;
    EntryIterator next_entry{};
};

PyRef new_str(std::string_view text) {
    PyRef object = PyRef::steal(str_from_utf8(text));
    if (!object) throw api_call_failed();
    return object;
}

// A list is created at its final length and filled in place; its empty
// slots are never seen by Python code, and the collector and the list's
// own deallocation both skip them.
Frame open_frame(const Value& container) {
    if (container.is_sequence()) {
        PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(container.sequence().size())));
        if (!list) throw api_call_failed();
        return Frame{&container, std::move(list)};
    }
    // Sized for its entries up front: no table growth while it is filled.
    PyRef dict = PyRef::steal(_PyDict_NewPresized(static_cast<Py_ssize_t>(container.mapping().size())));
    if (!dict) throw api_call_failed();
    return Frame{&container, std::move(dict), 0, container.mapping().begin()};
}

void append_item(Frame& frame, PyRef item) {
    PyList_SET_ITEM(frame.target.get(), static_cast<Py_ssize_t>(frame.next_item), item.release());
    ++frame.next_item;
}

// The value is converted before its key is created, so a failing value never
// leaves a key behind.
void set_entry(Frame& frame, const PyRef& item, KeyCache& keys) {
    PyRef key = PyRef::steal(keys.str_for(frame.next_entry->first));
    if (!key) throw api_call_failed();
    if (PyDict_SetItem(frame.target.get(), key.get(), item.get()) < 0) throw fetch_current_error();
    ++frame.next_entry;
}

// Stores the frame's scalar children in order until it meets a nested
// container, which it returns unstored, or the end, where it returns null.
const Value* fill_scalars(Frame& frame, KeyCache& keys) {
    if (frame.source->is_sequence()) {
        const Sequence& items = frame.source->sequence();
        for (const std::size_t size = items.size(); frame.next_item < size;) {
            const Value& item = items[frame.next_item].value;
            if (!item.is_scalar()) return &item;
            append_item(frame, new_str(item.scalar()));
        }
        return nullptr;
    }
    for (const auto end = frame.source->mapping().end(); frame.next_entry != end;) {
        const Value& item = frame.next_entry->second.value;
        if (!item.is_scalar()) return &item;
        set_entry(frame, new_str(item.scalar()), keys);
    }
    return nullptr;
}

}  // namespace

PyRef value_to_python(const Value& value) {
    if (value.is_scalar()) return new_str(value.scalar());

    KeyCache keys;
    std::vector<Frame> open;
    open.push_back(open_frame(value));
    for (;;) {
        if (const Value* nested = fill_scalars(open.back(), keys)) {
            open.push_back(open_frame(*nested));
            continue;
        }
        PyRef complete = std::move(open.back().target);
        open.pop_back();
        if (open.empty()) return complete;
        Frame& parent = open.back();
        if (parent.source->is_sequence())
            append_item(parent, std::move(complete));
        else
            set_entry(parent, complete, keys);
    }
}

}  // namespace vorn::binding
