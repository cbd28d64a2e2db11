#include "syntax_tree.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "edit/edit_text.hpp"
#include "edit_changes.hpp"
#include "edit_outcome.hpp"
#include "error_state.hpp"
#include "read/syntax_index.hpp"
#include "str_from_utf8.hpp"
#include "syntax_record.hpp"
#include "syntax_tree_state.hpp"
#include "text/trim.hpp"
#include "tree/kept_room.hpp"

namespace vorn::binding {
namespace {

struct SyntaxTreeObject {
    PyObject ob_base;
    SyntaxTreeState* state;
};

SyntaxTreeState& state_of(PyObject* self) noexcept { return *reinterpret_cast<SyntaxTreeObject*>(self)->state; }

PyRef text_str(std::string_view text) { return checked(str_from_utf8(text)); }

const SyntaxRecord& record_at(const SyntaxTreeState& state, PyObject* argument) {
    const Py_ssize_t index = PyLong_AsSsize_t(argument);
    if (index == -1 && PyErr_Occurred()) throw fetch_current_error();
    const auto& records = state.records();
    if (index < 0 || static_cast<std::size_t>(index) >= records.size())
        throw ErrorState::pending(PyExc_IndexError, "no syntax record " + std::to_string(index));
    return records[static_cast<std::size_t>(index)];
}

// The steps of a path: str keys and int indices, viewing the strs, which
// `held` keeps alive; nullopt when an index cannot be in any document.
std::optional<std::vector<PathStep>> path_steps(PyObject* path, PyRef& held) {
    held = checked(PySequence_Fast(path, "a path is a sequence of str keys and int indices"));
    const Py_ssize_t count = PySequence_Fast_GET_SIZE(held.get());
    PyObject** items = PySequence_Fast_ITEMS(held.get());
    std::vector<PathStep> steps;
    steps.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* step = items[i];
        if (PyUnicode_Check(step)) {
            Py_ssize_t size = 0;
            const char* utf8 = PyUnicode_AsUTF8AndSize(step, &size);
            if (utf8 == nullptr) throw fetch_current_error();
            steps.emplace_back(std::string_view(utf8, static_cast<std::size_t>(size)));
        } else if (PyLong_Check(step) && !PyBool_Check(step)) {
            const Py_ssize_t index = PyLong_AsSsize_t(step);
            if (index == -1 && PyErr_Occurred()) {
                if (!PyErr_ExceptionMatches(PyExc_OverflowError)) throw fetch_current_error();
                PyErr_Clear();
                return std::nullopt;
            }
            if (index < 0) return std::nullopt;
            steps.emplace_back(static_cast<std::size_t>(index));
        } else {
            throw ErrorState::type_error("a path step must be a str key or an int index, not '" +
                                         std::string(Py_TYPE(step)->tp_name) + "'");
        }
    }
    return steps;
}

// locate(path, /): (record, copied) for the value at `path`, a sequence of
// str keys and int indices, with record -1 for the root; None when the
// document has no value there.
PyObject* locate(PyObject* self, PyObject* path) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        PyRef held;
        const auto steps = path_steps(path, held);
        if (!steps) Py_RETURN_NONE;
        const auto found = state.index.locate(state.document.root(), *steps);
        if (!found) Py_RETURN_NONE;
        const long long record = found->record == no_record ? -1 : static_cast<long long>(found->record);
        return Py_BuildValue("(LO)", record, found->copied ? Py_True : Py_False);
    });
}

// The record index given by a Python int.
std::uint32_t index_argument(const SyntaxTreeState& state, PyObject* argument) {
    record_at(state, argument);
    return static_cast<std::uint32_t>(PyLong_AsSsize_t(argument));
}

// record(index, /): the SyntaxRecord at `index`.
PyObject* record(PyObject* self, PyObject* index) {
    return guarded_entry(
        [&]() -> PyObject* { return make_syntax_record(self, index_argument(state_of(self), index)).release(); });
}

PyObject* item(PyObject* self, Py_ssize_t index) {
    return guarded_entry([&]() -> PyObject* {
        const auto& records = state_of(self).records();
        if (index < 0 || static_cast<std::size_t>(index) >= records.size())
            throw ErrorState::pending(PyExc_IndexError, "no syntax record " + std::to_string(index));
        return make_syntax_record(self, static_cast<std::uint32_t>(index)).release();
    });
}

// written_at(path, /): WrittenPlace(record, key_record, via) of the value
// at `path`, or None when the document has no value there.
PyObject* written_at(PyObject* self, PyObject* path) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        PyRef held;
        const auto steps = path_steps(path, held);
        if (!steps) Py_RETURN_NONE;
        const auto place = state.index.written_at(state.document.root(), *steps);
        if (!place) Py_RETURN_NONE;
        return written_place_object(*place).release();
    });
}

// places(path, /): the paths (tuples of keys and indices) of every value
// written where the value at `path` is, or None when there is none.
PyObject* places(PyObject* self, PyObject* path) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        PyRef held;
        const auto steps = path_steps(path, held);
        if (!steps) Py_RETURN_NONE;
        const auto place = state.index.written_at(state.document.root(), *steps);
        if (!place) Py_RETURN_NONE;
        PyRef found = checked(PyList_New(0));
        for (const std::vector<PathStep>& at :
             state.index.places_of(state.document.root(), place->record, place->key_record)) {
            PyRef steps_tuple = checked(PyTuple_New(static_cast<Py_ssize_t>(at.size())));
            for (std::size_t i = 0; i < at.size(); ++i) {
                PyRef step = std::holds_alternative<std::string_view>(at[i])
                                 ? text_str(std::get<std::string_view>(at[i]))
                                 : checked(PyLong_FromSize_t(std::get<std::size_t>(at[i])));
                PyTuple_SET_ITEM(steps_tuple.get(), static_cast<Py_ssize_t>(i), step.release());
            }
            if (PyList_Append(found.get(), steps_tuple.get()) < 0) throw fetch_current_error();
        }
        return found.release();
    });
}

// span(begin, end, /): the Span of the bytes [begin, end).
PyObject* span(PyObject* self, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count != 2) throw ErrorState::type_error("span() takes exactly 2 arguments");
        SyntaxTreeState& state = state_of(self);
        const Py_ssize_t begin = PyLong_AsSsize_t(arguments[0]);
        const Py_ssize_t end = PyLong_AsSsize_t(arguments[1]);
        if ((begin == -1 || end == -1) && PyErr_Occurred()) throw fetch_current_error();
        if (begin < 0 || end < begin || static_cast<std::size_t>(end) > state.utf8.size())
            throw ErrorState::value_error("span() needs 0 <= begin <= end <= the text's length in bytes");
        return span_object(state, {static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end)}).release();
    });
}

// comments(index, /): the comment lines above the record, each its text
// from '#', in order.
PyObject* comments(PyObject* self, PyObject* index) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        const SyntaxRecord& record = record_at(state, index);
        PyRef lines = checked(PyList_New(0));
        // Between the start of its lines and its own line stand only comment
        // lines and blank ones.
        std::string_view above = state.utf8.substr(record.lines.begin, record.head.begin - record.lines.begin);
        while (!above.empty()) {
            const std::size_t end = std::min(above.find('\n'), above.size());
            const std::string_view line = trim(above.substr(0, end));
            if (!line.empty() && line[0] == '#') {
                if (PyList_Append(lines.get(), text_str(line).get()) < 0) throw fetch_current_error();
            }
            above.remove_prefix(std::min(end + 1, above.size()));
        }
        return lines.release();
    });
}

// children(index, /): the records the value of record `index` holds
// directly, in written order; None (or -1) for the root's.
PyObject* children(PyObject* self, PyObject* index) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        const Py_ssize_t parent = index == Py_None ? -1 : PyLong_AsSsize_t(index);
        if (parent == -1 && PyErr_Occurred()) throw fetch_current_error();
        if (parent != -1) record_at(state, index);
        PyRef list = checked(PyList_New(0));
        const std::uint32_t owner = parent == -1 ? no_record : static_cast<std::uint32_t>(parent);
        for (std::uint32_t child = state.index.first_child(owner); child != no_record;
             child = state.index.next_sibling(child)) {
            if (PyList_Append(list.get(), checked(PyLong_FromUnsignedLong(child)).get()) < 0)
                throw fetch_current_error();
        }
        return list.release();
    });
}

// edit(data, /): EditOutcome(text, fault, foreign); see edit_outcome.hpp.
PyObject* edit(PyObject* self, PyObject* data) {
    return guarded_entry([&]() -> PyObject* {
        SyntaxTreeState& state = state_of(self);
        bool foreign = false;
        const edit::ChangeSet changes = changes_since_read(state.snapshot, data, foreign);
        if (changes.empty()) return edit_outcome(state.text.get(), nullptr, foreign).release();
        std::variant<std::string, edit::EditError> result =
            edit::edit_text(state.utf8, state.index, state.document.root(), changes);
        if (const auto* error = std::get_if<edit::EditError>(&result))
            return edit_outcome(nullptr, error, foreign).release();
        PyRef text = text_str(std::get<std::string>(result));
        return edit_outcome(text.get(), nullptr, foreign).release();
    });
}

// The buffer of a SyntaxTree is the UTF-8 text it was read from, read-only,
// without a copy: the records' byte ranges index it.
int get_buffer(PyObject* self, Py_buffer* view, int flags) {
    const std::string_view utf8 = state_of(self).utf8;
    return PyBuffer_FillInfo(view, self, const_cast<char*>(utf8.data()), static_cast<Py_ssize_t>(utf8.size()), 1,
                             flags);
}

Py_ssize_t length(PyObject* self) { return static_cast<Py_ssize_t>(state_of(self).index.records().size()); }

void deallocate(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    // No state when making it failed.
    if (SyntaxTreeState* state = reinterpret_cast<SyntaxTreeObject*>(self)->state) {
        // For the next read_syntax's records.
        KeptRoom<SyntaxRecord>::keep(std::move(state->index).release_records(), state->utf8.size());
        delete state;
    }
    type->tp_free(self);
    // Instances of a heap type hold a reference to it.
    Py_DECREF(type);
}

PyMethodDef tree_methods[] = {
    {"locate", &locate, METH_O,
     "locate($self, path, /)\n--\n\n(record, copied) of the value at path; record -1 is the root; None if absent."},
    {"record", &record, METH_O, "record($self, index, /)\n--\n\nThe SyntaxRecord at index."},
    {"written_at", &written_at, METH_O,
     "written_at($self, path, /)\n--\n\nWrittenPlace(record, key_record, via) of the value at path, following\n"
     "aliases and merges to where it is written; None if absent."},
    {"places", &places, METH_O,
     "places($self, path, /)\n--\n\nThe paths of every value written where the value at path is (that place,\n"
     "and each place an alias or merge repeats it); None if absent."},
    {"span", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&span)), METH_FASTCALL,
     "span($self, begin, end, /)\n--\n\nThe Span of the bytes [begin, end) of the text."},
    {"comments", &comments, METH_O, "comments($self, index, /)\n--\n\nThe comment lines above the record."},
    {"children", &children, METH_O,
     "children($self, index, /)\n--\n\nThe records held by record index (None: the root)."},
    {"edit", &edit, METH_O,
     "edit($self, data, /)\n--\n\nEditOutcome(text, fault, foreign): the text read, changed in place as data\n"
     "changed since, read back and found equal; or the EditFault that kept it from being made."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot tree_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(&deallocate)},
    {Py_tp_methods, tree_methods},
    {Py_sq_length, reinterpret_cast<void*>(&length)},
    {Py_sq_item, reinterpret_cast<void*>(&item)},
    {Py_bf_getbuffer, reinterpret_cast<void*>(&get_buffer)},
    {Py_tp_doc, const_cast<char*>("A document read with the syntax records of every entry, item and merge line.")},
    {0, nullptr},
};

// Instances come only from read_syntax: the type cannot be called.
PyType_Spec tree_spec = {
    "vorn._native.SyntaxTree",
    sizeof(SyntaxTreeObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE,
    tree_slots,
};

// Made once, like the module's exception class (the module serves only the
// main interpreter).
PyTypeObject* syntax_tree_type = nullptr;

}  // namespace

SyntaxTreeState& tree_state(PyObject* tree) noexcept { return state_of(tree); }

int add_syntax_tree_type(PyObject* module) {
    if (syntax_tree_type == nullptr) {
        syntax_tree_type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&tree_spec));
        if (syntax_tree_type == nullptr) return -1;
    }
    return PyModule_AddObjectRef(module, "SyntaxTree", reinterpret_cast<PyObject*>(syntax_tree_type));
}

PyRef make_syntax_tree(PyObject* text, std::string_view utf8, Document document, std::vector<SyntaxRecord> records,
                       ValueSnapshot snapshot) {
    PyRef tree = checked(PyType_GenericAlloc(syntax_tree_type, 0));
    auto* object = reinterpret_cast<SyntaxTreeObject*>(tree.get());
    object->state = new SyntaxTreeState(text, utf8, std::move(document), std::move(records), std::move(snapshot));
    return tree;
}

}  // namespace vorn::binding
