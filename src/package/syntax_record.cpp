#include "syntax_record.hpp"

#include <optional>
#include <string_view>

#include "error_state.hpp"
#include "str_from_utf8.hpp"

namespace vorn::binding {
namespace {

constexpr const char* kind_names[] = {"entry", "item", "merge"};
constexpr const char* form_names[] = {"empty",         "plain",          "single_quoted", "double_quoted",
                                      "literal_block", "empty_sequence", "empty_mapping", "nested_block",
                                      "alias",         "inline_mapping"};
constexpr std::size_t kind_count = sizeof kind_names / sizeof kind_names[0];
constexpr std::size_t form_count = sizeof form_names / sizeof form_names[0];
static_assert(static_cast<std::size_t>(SyntaxKind::merge) + 1 == kind_count);
static_assert(static_cast<std::size_t>(SyntaxForm::inline_mapping) + 1 == form_count);

// Made once: the module serves only the main interpreter.
PyObject* kind_enum = nullptr;
PyObject* form_enum = nullptr;
PyObject* kind_members[kind_count] = {};
PyObject* form_members[form_count] = {};
PyTypeObject* record_type = nullptr;
PyTypeObject* written_place_type = nullptr;
PyObject* span_class = nullptr;

// enum.StrEnum(name, [(NAME, name), ...]) of the core's names, its members in
// the core's order in `members`.
PyObject* make_enum(const char* name, const char* const* names, std::size_t count, PyObject** members) {
    PyRef enum_module = checked(PyImport_ImportModule("enum"));
    // StrEnum: its members compare equal to their names as the core spells them.
    PyRef enum_class = checked(PyObject_GetAttrString(enum_module.get(), "StrEnum"));
    PyRef pairs = checked(PyList_New(0));
    PyRef member_names = checked(PyList_New(0));
    for (std::size_t i = 0; i < count; ++i) {
        PyRef value = checked(PyUnicode_FromString(names[i]));
        PyRef upper = checked(PyObject_CallMethod(value.get(), "upper", nullptr));
        PyRef pair = checked(PyTuple_Pack(2, upper.get(), value.get()));
        if (PyList_Append(pairs.get(), pair.get()) < 0 || PyList_Append(member_names.get(), upper.get()) < 0)
            throw fetch_current_error();
    }
    PyRef arguments = checked(Py_BuildValue("(sO)", name, pairs.get()));
    PyRef keywords = checked(Py_BuildValue("{ss}", "module", "vorn._native"));
    PyRef made = checked(PyObject_Call(enum_class.get(), arguments.get(), keywords.get()));
    for (std::size_t i = 0; i < count; ++i)
        members[i] = checked(PyObject_GetItem(made.get(), PyList_GET_ITEM(member_names.get(), i))).release();
    return made.release();
}

struct RecordObject {
    PyObject_HEAD PyObject* tree;
    std::uint32_t index;
};

RecordObject* as_record(PyObject* self) noexcept { return reinterpret_cast<RecordObject*>(self); }

const SyntaxRecord& record_of(PyObject* self) noexcept {
    const RecordObject* record = as_record(self);
    return tree_state(record->tree).records()[record->index];
}

SyntaxTreeState& state_of(PyObject* self) noexcept { return tree_state(as_record(self)->tree); }

PyRef range_object(ByteSpan span) {
    return checked(PyObject_CallFunction(reinterpret_cast<PyObject*>(&PyRange_Type), "II", span.begin, span.end));
}

PyRef none() { return PyRef::borrow(Py_None); }

bool has_key(const SyntaxRecord& record) noexcept { return record.kind != SyntaxKind::item; }

bool is_anchored(const SyntaxRecord& record) noexcept {
    return record.form == SyntaxForm::nested_block && record.anchor.begin > record.head.begin;
}

// Each getter maps failures to one exception, as an entry point does.
template <typename Body>
PyObject* getter(Body&& body) {
    return guarded_entry([&]() -> PyObject* { return body().release(); });
}

PyObject* get_index(PyObject* self, void*) {
    return getter([&] { return checked(PyLong_FromUnsignedLong(as_record(self)->index)); });
}
PyObject* get_kind(PyObject* self, void*) {
    return getter([&] { return PyRef::borrow(kind_members[static_cast<int>(record_of(self).kind)]); });
}
PyObject* get_form(PyObject* self, void*) {
    return getter([&] { return PyRef::borrow(form_members[static_cast<int>(record_of(self).form)]); });
}
PyObject* get_parent(PyObject* self, void*) {
    return getter([&] { return record_index_or_none(record_of(self).parent); });
}
PyObject* get_target(PyObject* self, void*) {
    return getter([&] { return record_index_or_none(record_of(self).target); });
}
PyObject* get_line(PyObject* self, void*) {
    return getter([&] { return checked(PyLong_FromUnsignedLong(record_of(self).line)); });
}
PyObject* get_indent(PyObject* self, void*) {
    return getter([&] { return checked(PyLong_FromUnsignedLong(record_of(self).indent)); });
}
PyObject* get_key(PyObject* self, void*) {
    return getter([&] {
        const SyntaxRecord& record = record_of(self);
        return has_key(record) ? checked(str_from_utf8(record.key_text)) : none();
    });
}
PyObject* get_anchor(PyObject* self, void*) {
    return getter([&] {
        const SyntaxRecord& record = record_of(self);
        return is_anchored(record) ? checked(str_from_utf8(state_of(self).piece(record.anchor))) : none();
    });
}
PyObject* get_inline_comment(PyObject* self, void*) {
    return getter([&] {
        const SyntaxRecord& record = record_of(self);
        return record.inline_comment.empty() ? none()
                                             : checked(str_from_utf8(state_of(self).piece(record.inline_comment)));
    });
}

// The byte ranges and the spans of the pieces of a record.
enum class Piece { head, lines, key, value, anchor, inline_comment };

std::optional<ByteSpan> piece_of(const SyntaxRecord& record, Piece piece) {
    switch (piece) {
        case Piece::head:
            return record.head;
        case Piece::lines:
            return record.lines;
        case Piece::key:
            if (has_key(record)) return record.key;
            return std::nullopt;
        case Piece::value:
            return record.value;
        case Piece::anchor:
            if (is_anchored(record)) return record.anchor;
            return std::nullopt;
        case Piece::inline_comment:
            if (!record.inline_comment.empty()) return record.inline_comment;
            return std::nullopt;
    }
    return std::nullopt;
}

template <Piece piece>
PyObject* get_bytes(PyObject* self, void*) {
    return getter([&] {
        const auto span = piece_of(record_of(self), piece);
        return span ? range_object(*span) : none();
    });
}

template <Piece piece>
PyObject* get_span(PyObject* self, void*) {
    return getter([&] {
        const auto span = piece_of(record_of(self), piece);
        return span ? span_object(state_of(self), *span) : none();
    });
}

PyGetSetDef record_getset[] = {
    {"index", get_index, nullptr, "The record's index in the tree, in written order.", nullptr},
    {"kind", get_kind, nullptr, "SyntaxKind: an entry, an item or a merge.", nullptr},
    {"form", get_form, nullptr, "SyntaxForm: how the value was written.", nullptr},
    {"parent", get_parent, nullptr, "The record whose value holds this one; None at the root.", nullptr},
    {"target", get_target, nullptr,
     "For an alias, the record whose block its anchor named; for a merge, the record whose block it\n"
     "merges (its own for '- <<: &name'); else None.",
     nullptr},
    {"line", get_line, nullptr, "The 1-based line of the entry or item.", nullptr},
    {"indent", get_indent, nullptr, "The bytes before the key or hyphen on its line.", nullptr},
    {"key", get_key, nullptr, "The key as read (entries and merges); None for an item.", nullptr},
    {"anchor", get_anchor, nullptr, "The anchor's name of an anchored nested block, else None.", nullptr},
    {"inline_comment", get_inline_comment, nullptr, "The comment at the end of its line, from '#', or None.", nullptr},
    {"head_bytes", get_bytes<Piece::head>, nullptr, "range: its own line, from the key or hyphen.", nullptr},
    {"lines_bytes", get_bytes<Piece::lines>, nullptr, "range: its comment lines above, its line and its value.",
     nullptr},
    {"key_bytes", get_bytes<Piece::key>, nullptr, "range: the key as written; None for an item.", nullptr},
    {"value_bytes", get_bytes<Piece::value>, nullptr, "range: the value as written.", nullptr},
    {"anchor_bytes", get_bytes<Piece::anchor>, nullptr, "range: the anchor's name, or None.", nullptr},
    {"comment_bytes", get_bytes<Piece::inline_comment>, nullptr, "range: the inline comment, or None.", nullptr},
    {"head_span", get_span<Piece::head>, nullptr, "Span of head_bytes.", nullptr},
    {"lines_span", get_span<Piece::lines>, nullptr, "Span of lines_bytes.", nullptr},
    {"key_span", get_span<Piece::key>, nullptr, "Span of key_bytes, or None.", nullptr},
    {"value_span", get_span<Piece::value>, nullptr, "Span of value_bytes.", nullptr},
    {"anchor_span", get_span<Piece::anchor>, nullptr, "Span of anchor_bytes, or None.", nullptr},
    {"comment_span", get_span<Piece::inline_comment>, nullptr, "Span of comment_bytes, or None.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyObject* record_repr(PyObject* self) {
    return guarded_entry([&]() -> PyObject* {
        const SyntaxRecord& record = record_of(self);
        return PyUnicode_FromFormat("<SyntaxRecord %u: %s %s at line %u>", as_record(self)->index,
                                    kind_names[static_cast<int>(record.kind)],
                                    form_names[static_cast<int>(record.form)], record.line);
    });
}

PyObject* record_richcompare(PyObject* self, PyObject* other, int op) {
    if (Py_TYPE(other) != record_type || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
    const bool same =
        as_record(self)->tree == as_record(other)->tree && as_record(self)->index == as_record(other)->index;
    return PyBool_FromLong(same == (op == Py_EQ));
}

Py_hash_t record_hash(PyObject* self) {
    const Py_hash_t hash = static_cast<Py_hash_t>(reinterpret_cast<std::uintptr_t>(as_record(self)->tree) >> 4) ^
                           static_cast<Py_hash_t>(as_record(self)->index) * 1000003;
    return hash == -1 ? -2 : hash;
}

int record_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(as_record(self)->tree);
    Py_VISIT(Py_TYPE(self));
    return 0;
}

void record_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_UnTrack(self);
    Py_CLEAR(as_record(self)->tree);
    type->tp_free(self);
    Py_DECREF(type);
}

PyType_Slot record_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(&record_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(&record_traverse)},
    {Py_tp_getset, record_getset},
    {Py_tp_repr, reinterpret_cast<void*>(&record_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&record_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(&record_hash)},
    {Py_tp_doc, const_cast<char*>("One entry, item or merge line of a document as written.")},
    {0, nullptr},
};

PyType_Spec record_spec = {
    "vorn._native.SyntaxRecord",
    sizeof(RecordObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_HAVE_GC,
    record_slots,
};

PyStructSequence_Field written_place_fields[] = {
    {"record", "the record that wrote the value; None for the root"},
    {"key_record", "the record that wrote its key; None for an item or the root"},
    {"via", "the alias and merge records passed on the way, outermost first"},
    {nullptr, nullptr},
};
PyStructSequence_Desc written_place_description = {
    "vorn._native.WrittenPlace", "Where a value is written, through the aliases and merges that brought it.",
    written_place_fields, 3};

}  // namespace

int add_syntax_record_types(PyObject* module) {
    PyObject* added = guarded_entry([&]() -> PyObject* {
        if (kind_enum == nullptr) {
            kind_enum = make_enum("SyntaxKind", kind_names, kind_count, kind_members);
            form_enum = make_enum("SyntaxForm", form_names, form_count, form_members);
        }
        if (record_type == nullptr)
            record_type = reinterpret_cast<PyTypeObject*>(checked(PyType_FromSpec(&record_spec)).release());
        if (written_place_type == nullptr) {
            written_place_type = PyStructSequence_NewType(&written_place_description);
            if (written_place_type == nullptr) throw fetch_current_error();
        }
        if (PyModule_AddObjectRef(module, "SyntaxKind", kind_enum) < 0 ||
            PyModule_AddObjectRef(module, "SyntaxForm", form_enum) < 0 ||
            PyModule_AddObjectRef(module, "SyntaxRecord", reinterpret_cast<PyObject*>(record_type)) < 0 ||
            PyModule_AddObjectRef(module, "WrittenPlace", reinterpret_cast<PyObject*>(written_place_type)) < 0)
            throw fetch_current_error();
        Py_RETURN_NONE;
    });
    if (added == nullptr) return -1;
    Py_DECREF(added);
    return 0;
}

PyRef make_syntax_record(PyObject* tree, std::uint32_t index) {
    auto* record = PyObject_GC_New(RecordObject, record_type);
    if (record == nullptr) throw fetch_current_error();
    record->tree = Py_NewRef(tree);
    record->index = index;
    PyObject_GC_Track(record);
    return PyRef::steal(reinterpret_cast<PyObject*>(record));
}

PyRef span_object(SyntaxTreeState& state, ByteSpan span) {
    if (span_class == nullptr) {
        // Imported at first use: the package that defines it imports this
        // module first.
        PyRef module = checked(PyImport_ImportModule("vorn._spans"));
        span_class = checked(PyObject_GetAttrString(module.get(), "Span")).release();
    }
    const TextPosition begin = state.position(span.begin);
    const TextPosition end = state.position(span.end);
    return checked(PyObject_CallFunction(
        span_class, "KKKK", static_cast<unsigned long long>(begin.line), static_cast<unsigned long long>(begin.column),
        static_cast<unsigned long long>(end.line), static_cast<unsigned long long>(end.column)));
}

PyRef record_index_or_none(std::uint32_t index) {
    return index == no_record ? PyRef::borrow(Py_None) : checked(PyLong_FromUnsignedLong(index));
}

PyRef written_place_object(const WrittenPlace& place) {
    PyRef made = checked(PyStructSequence_New(written_place_type));
    PyRef via = checked(PyTuple_New(static_cast<Py_ssize_t>(place.via.size())));
    for (std::size_t i = 0; i < place.via.size(); ++i)
        PyTuple_SET_ITEM(via.get(), static_cast<Py_ssize_t>(i), record_index_or_none(place.via[i]).release());
    PyStructSequence_SetItem(made.get(), 0, record_index_or_none(place.record).release());
    PyStructSequence_SetItem(made.get(), 1, record_index_or_none(place.key_record).release());
    PyStructSequence_SetItem(made.get(), 2, via.release());
    return made;
}

}  // namespace vorn::binding
