#include "syntax_tree.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "changes.hpp"
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

std::string_view piece(const SyntaxTreeState& state, ByteSpan span) noexcept { return state.piece(span); }

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

// The editor's names of kinds and forms, until it asks the records.
constexpr const char* kind_names[] = {"entry", "item", "merge"};
constexpr const char* form_names[] = {"empty",         "plain",          "single_quoted", "double_quoted",
                                      "literal_block", "empty_sequence", "empty_mapping", "nested_block",
                                      "alias",         "inline_mapping"};

// A record's index for Python: -1 for none.
long long index_or_none(std::uint32_t index) { return index == no_record ? -1LL : static_cast<long long>(index); }

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

// aliases(targets=None, /): (record, target) of the records whose value is
// an alias, and of the merges, in written order; only those whose target
// is in the set `targets` when it is given.
PyObject* aliases(PyObject* self, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count > 1) throw ErrorState::type_error("aliases() takes at most 1 argument");
        PyObject* targets = count == 1 && arguments[0] != Py_None ? arguments[0] : nullptr;
        if (targets != nullptr && !PyAnySet_Check(targets)) throw ErrorState::type_error("aliases() needs a set");
        const auto& records = state_of(self).index.records();
        PyRef list = checked(PyList_New(0));
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].form != SyntaxForm::alias) continue;
            const long long target = index_or_none(records[i].target);
            if (targets != nullptr) {
                if (target < 0) continue;
                const int chosen = PySet_Contains(targets, checked(PyLong_FromLongLong(target)).get());
                if (chosen < 0) throw fetch_current_error();
                if (!chosen) continue;
            }
            if (PyList_Append(list.get(), checked(Py_BuildValue("(nL)", static_cast<Py_ssize_t>(i), target)).get()) < 0)
                throw fetch_current_error();
        }
        return list.release();
    });
}

// alias_targets(): (record, head_begin) of the records that aliases and
// merges name, in written order, each once; head_begin is where the
// record's own line starts, in bytes.
PyObject* alias_targets(PyObject* self, PyObject*) {
    return guarded_entry([&]() -> PyObject* {
        const auto& records = state_of(self).index.records();
        std::vector<bool> named(records.size(), false);
        for (const SyntaxRecord& record : records) {
            if (record.form == SyntaxForm::alias && record.target != no_record) named[record.target] = true;
        }
        PyRef list = checked(PyList_New(0));
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!named[i]) continue;
            PyRef pair = checked(Py_BuildValue("(nI)", static_cast<Py_ssize_t>(i), records[i].head.begin));
            if (PyList_Append(list.get(), pair.get()) < 0) throw fetch_current_error();
        }
        return list.release();
    });
}

// The editor asks about one record or one block at a time; these answer
// without building the record's spans as lines and columns.

std::uint32_t owner_at(const SyntaxTreeState& state, PyObject* argument) {
    const Py_ssize_t owner = PyLong_AsSsize_t(argument);
    if (owner == -1 && PyErr_Occurred()) throw fetch_current_error();
    if (owner == -1) return no_record;
    record_at(state, argument);
    return static_cast<std::uint32_t>(owner);
}

std::string_view key_argument(PyObject* argument) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_Check(argument) ? PyUnicode_AsUTF8AndSize(argument, &size) : nullptr;
    if (utf8 == nullptr) {
        if (!PyErr_Occurred()) throw ErrorState::type_error("a key must be a str");
        throw fetch_current_error();
    }
    return {utf8, static_cast<std::size_t>(size)};
}

// entry(index, /): (kind, form, parent, target, key, anchor, indent, and
// the byte offsets lines_begin, lines_end, head_begin, head_end,
// key_begin, key_end, value_begin, value_end, comment_begin); indent in
// bytes, parent, target and comment_begin -1 for none.
PyObject* entry(PyObject* self, PyObject* index) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        const SyntaxRecord& record = record_at(state, index);
        const bool keyed = record.kind != SyntaxKind::item;
        const bool anchored = record.form == SyntaxForm::nested_block && record.anchor.begin > record.head.begin;
        PyRef key = keyed ? text_str(record.key_text) : PyRef::borrow(Py_None);
        PyRef anchor = anchored ? text_str(piece(state, record.anchor)) : PyRef::borrow(Py_None);
        const std::size_t line_start = state.utf8.rfind('\n', record.head.begin == 0 ? 0 : record.head.begin - 1);
        const std::uint32_t indent =
            record.head.begin - (line_start == std::string_view::npos ? 0 : static_cast<std::uint32_t>(line_start + 1));
        const long long comment = record.inline_comment.empty() ? -1LL : record.inline_comment.begin;
        return Py_BuildValue("(ssLLOOIIIIIIIIIL)", kind_names[static_cast<int>(record.kind)],
                             form_names[static_cast<int>(record.form)], index_or_none(record.parent),
                             index_or_none(record.target), key.get(), anchor.get(), indent, record.lines.begin,
                             record.lines.end, record.head.begin, record.head.end, record.key.begin, record.key.end,
                             record.value.begin, record.value.end, comment);
    });
}

// entries_under(owner, key, /): the entries under `key` that the block of
// `owner` (-1: the root) wrote, in written order (the last one counts).
PyObject* entries_under(PyObject* self, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count != 2) throw ErrorState::type_error("entries_under() takes exactly 2 arguments");
        const SyntaxTreeState& state = state_of(self);
        const std::uint32_t owner = owner_at(state, arguments[0]);
        const std::string_view key = key_argument(arguments[1]);
        PyRef found = checked(PyList_New(0));
        const auto& records = state.index.records();
        for (std::uint32_t child = state.index.first_child(owner); child != no_record;
             child = state.index.next_sibling(child)) {
            if (records[child].kind != SyntaxKind::entry || records[child].key_text != key) continue;
            if (PyList_Append(found.get(), checked(PyLong_FromUnsignedLong(child)).get()) < 0)
                throw fetch_current_error();
        }
        return found.release();
    });
}

// block(owner, /): (the merge records of the block of `owner`, the end of
// its last line or -1 for a block without records, whether its entries
// stand in ascending byte order of their keys, two at least, its first
// record or -1).
PyObject* block(PyObject* self, PyObject* argument) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxTreeState& state = state_of(self);
        const std::uint32_t owner = owner_at(state, argument);
        const auto& records = state.index.records();
        PyRef merges = checked(PyList_New(0));
        long long end = -1;
        std::size_t entries = 0;
        bool ascending = true;
        std::string_view previous;
        for (std::uint32_t child = state.index.first_child(owner); child != no_record;
             child = state.index.next_sibling(child)) {
            const SyntaxRecord& record = records[child];
            end = std::max<long long>(end, record.lines.end);
            if (record.kind == SyntaxKind::merge) {
                if (PyList_Append(merges.get(), checked(PyLong_FromUnsignedLong(child)).get()) < 0)
                    throw fetch_current_error();
            } else if (record.kind == SyntaxKind::entry) {
                if (entries++ > 0 && !(previous < record.key_text)) ascending = false;
                previous = record.key_text;
            }
        }
        return Py_BuildValue("(OLOL)", merges.get(), end, ascending && entries >= 2 ? Py_True : Py_False,
                             index_or_none(state.index.first_child(owner)));
    });
}

// child(owner, position, /): the record at `position` (from 0) among those
// the block of `owner` holds, or -1 past the last; child(owner, -1) is
// their number.
PyObject* child(PyObject* self, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count != 2) throw ErrorState::type_error("child() takes exactly 2 arguments");
        const SyntaxTreeState& state = state_of(self);
        const std::uint32_t owner = owner_at(state, arguments[0]);
        const Py_ssize_t position = PyLong_AsSsize_t(arguments[1]);
        if (position == -1 && PyErr_Occurred()) throw fetch_current_error();
        Py_ssize_t seen = 0;
        std::uint32_t record = state.index.first_child(owner);
        for (; record != no_record && seen != position; record = state.index.next_sibling(record)) ++seen;
        if (position == -1) return PyLong_FromSsize_t(seen);
        return PyLong_FromLongLong(index_or_none(record));
    });
}

// first_entry_after(owner, key, /): the first entry of the block of
// `owner` whose key sorts after `key`, or -1.
PyObject* first_entry_after(PyObject* self, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count != 2) throw ErrorState::type_error("first_entry_after() takes exactly 2 arguments");
        const SyntaxTreeState& state = state_of(self);
        const std::uint32_t owner = owner_at(state, arguments[0]);
        const std::string_view key = key_argument(arguments[1]);
        const auto& records = state.index.records();
        for (std::uint32_t child = state.index.first_child(owner); child != no_record;
             child = state.index.next_sibling(child)) {
            if (records[child].kind == SyntaxKind::entry && key < records[child].key_text)
                return PyLong_FromUnsignedLong(child);
        }
        return PyLong_FromLong(-1);
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

// line_start(offset, /): where the line that holds byte `offset` starts:
// just after the last line feed before it, or 0.
PyObject* line_start(PyObject* self, PyObject* argument) {
    return guarded_entry([&]() -> PyObject* {
        const Py_ssize_t offset = PyLong_AsSsize_t(argument);
        if (offset == -1 && PyErr_Occurred()) throw fetch_current_error();
        if (offset < 0) throw ErrorState::value_error("an offset is not negative");
        return PyLong_FromUnsignedLongLong(state_of(self).line_start(static_cast<std::uint64_t>(offset)));
    });
}

// changes(data, /): (how `data` differ from the values as read, whether
// the caller's code ran while they were compared); see changes.hpp.
PyObject* changes_since_read(PyObject* self, PyObject* data) {
    return guarded_entry([&]() -> PyObject* {
        bool foreign = false;
        PyRef how = changes(state_of(self).snapshot, data, foreign);
        return checked(Py_BuildValue("(OO)", how.get(), foreign ? Py_True : Py_False)).release();
    });
}

// The buffer of a SyntaxTree is the UTF-8 text it was read from, read-only:
// the editor cuts the new text from it without a copy of the old one.
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
    {"span", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&span)), METH_FASTCALL,
     "span($self, begin, end, /)\n--\n\nThe Span of the bytes [begin, end) of the text."},
    {"aliases", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&aliases)), METH_FASTCALL,
     "aliases($self, targets=None, /)\n--\n\n(record, target) of the aliases and merges, in written order;\n"
     "only those whose target is in the set targets when it is given."},
    {"alias_targets", &alias_targets, METH_NOARGS,
     "alias_targets($self, /)\n--\n\n(record, head_begin) of the records that aliases and merges name, in\n"
     "written order, each once."},
    {"entry", &entry, METH_O,
     "entry($self, index, /)\n--\n\n(kind, form, parent, target, key, anchor, indent, lines_begin, lines_end,\n"
     "head_begin, head_end, key_begin, key_end, value_begin, value_end, comment_begin)."},
    {"entries_under", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&entries_under)), METH_FASTCALL,
     "entries_under($self, owner, key, /)\n--\n\nThe entries under key that the block of owner wrote, in order."},
    {"block", &block, METH_O,
     "block($self, owner, /)\n--\n\n(merge records, end of the last line or -1, entries in ascending order,\n"
     "first record or -1)."},
    {"child", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&child)), METH_FASTCALL,
     "child($self, owner, position, /)\n--\n\nThe record at position among those the block of owner holds, or -1;\n"
     "position -1 gives their number."},
    {"first_entry_after", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&first_entry_after)),
     METH_FASTCALL,
     "first_entry_after($self, owner, key, /)\n--\n\nThe first entry of the block whose key sorts after key, or -1."},
    {"comments", &comments, METH_O, "comments($self, index, /)\n--\n\nThe comment lines above the record."},
    {"changes", &changes_since_read, METH_O,
     "changes($self, data, /)\n--\n\n(None when data hold the values as read, else how they differ; whether\n"
     "the caller's code ran while they were compared): see vorn/_native.pyi."},
    {"line_start", &line_start, METH_O,
     "line_start($self, offset, /)\n--\n\nWhere the line that holds byte offset starts."},
    {"children", &children, METH_O,
     "children($self, index, /)\n--\n\nThe records held by record index (None: the root)."},
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
