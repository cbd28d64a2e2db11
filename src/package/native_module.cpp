// The extension vorn._native: the native passes behind the package.
//
// loads reads a document as _vorn_native.loads does, but a fault raises
// DocumentFault carrying the fault's parts and the character offset it
// points at, from which the package makes DecodeError with editor
// positions. checked_dumps writes a tree as _vorn_native.dumps does,
// checking while it writes that the text reads back equal; when it would
// not, it returns where and why instead of text, and the package raises
// EncodeError. Both work out the details of a fault only once there is one,
// so a call that succeeds costs what the plain one does. Unlike
// _vorn_native.loads, loads refuses a str that begins with a byte order mark.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/emit.hpp"
#include "vorn/format_version.hpp"
#include "vorn/parse.hpp"

#include "arguments.hpp"
#include "conversions.hpp"
#include "edit_outcome.hpp"
#include "error_state.hpp"
#include "read/merge_rule.hpp"
#include "read/read_document.hpp"
#include "str_from_utf8.hpp"
#include "syntax_record.hpp"
#include "syntax_tree.hpp"
#include "text/white_space.hpp"
#include "tree/kept_room.hpp"
#include "type_names.hpp"
#include "write/emit_flat_tree.hpp"

namespace vorn::binding {
namespace {

// The class of document faults, made once per process like the internal
// fault's (the module serves only the main interpreter).
PyObject* document_fault_class() {
    static PyObject* fault_class = nullptr;
    if (fault_class == nullptr) {
        fault_class =
            PyErr_NewExceptionWithDoc("vorn._native.DocumentFault",
                                      "A document fault found by loads: args are (the text _vorn_native.loads raises,\n"
                                      "or None for a fault it does not know, the message, the 1-based line, the\n"
                                      "character offset in the document it points at).\n"
                                      "The package turns it into vorn.DecodeError; nothing else sees it.",
                                      PyExc_ValueError, nullptr);
    }
    return fault_class;
}

// The number of characters in UTF-8 text: the bytes that start one.
std::uint64_t count_characters(std::string_view text) noexcept {
    std::uint64_t count = 0;
    for (const char byte : text) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return count;
}

// A str of UTF-8 text from the core. Messages quote pieces of the document,
// which is valid UTF-8; "replace" only keeps a raise from ever failing.
PyRef message_str(std::string_view text) {
    PyRef str = PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    if (!str) throw fetch_current_error();
    return str;
}

// DocumentFault(native text or None, message, line, character offset).
ErrorState fault_of(PyRef native, std::string_view message_text, std::uint64_t line_number, std::uint64_t characters) {
    PyRef message = message_str(message_text);
    PyRef line = PyRef::steal(PyLong_FromUnsignedLongLong(line_number));
    PyRef offset = line ? PyRef::steal(PyLong_FromUnsignedLongLong(characters)) : PyRef();
    if (!offset) throw fetch_current_error();
    PyRef arguments = PyRef::steal(PyTuple_Pack(4, native.get(), message.get(), line.get(), offset.get()));
    if (!arguments) throw fetch_current_error();
    PyObject* fault_class = document_fault_class();
    if (fault_class == nullptr) throw fetch_current_error();
    PyRef fault = PyRef::steal(PyObject_Call(fault_class, arguments.get(), nullptr));
    if (!fault) throw fetch_current_error();
    return ErrorState::fetched(std::move(fault));
}

// DocumentFault(native text, message, line, character offset) for `error`.
ErrorState document_fault(const ParseError& error, std::string_view text) {
    const std::uint64_t characters =
        count_characters(text.substr(0, std::min<std::uint64_t>(error.offset, text.size())));
    return fault_of(message_str("parse error: " + error.render()), error.message, error.line, characters);
}

// A str that starts with U+FEFF was decoded with the byte order mark of its
// bytes kept as text. The reader would take the mark for the first key's
// first character and then miss the version, or read a wrong key; the
// fault is the decoding's, so it is named before anything is read.
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

void refuse_byte_order_mark(std::string_view text) {
    if (!text.starts_with(byte_order_mark)) return;
    throw fault_of(PyRef::borrow(Py_None),
                   "the text starts with a byte order mark (U+FEFF): decode the file with 'utf-8-sig', which drops "
                   "it, or read it with vorn.load_path",
                   1, 0);
}

// loads(s, /): the document `s` as dict, list and str objects.
PyObject* loads(PyObject*, PyObject* s) {
    return guarded_entry([&]() -> PyObject* {
        const std::string_view text = read_str_argument(s, "s");
        refuse_byte_order_mark(text);
        Result<PyRef> read = read_to_python(text);
        if (!read) throw document_fault(read.error(), text);
        return std::move(read).value().release();
    });
}

// read_syntax(s, /): (the document as loads gives it, a SyntaxTree of it).
PyObject* read_syntax(PyObject*, PyObject* s) {
    return guarded_entry([&]() -> PyObject* {
        const std::string_view text = read_str_argument(s, "s");
        refuse_byte_order_mark(text);
        if (text.size() > SyntaxRecorder::max_text_size)
            throw ErrorState::value_error("a document of 4 GiB or more cannot be read with positions; use loads");
        SyntaxRecorder recorder(text, KeptRoom<SyntaxRecord>::take(text.size()));
        Result<Document> parsed = read_document(text, recorder);
        if (!parsed) throw document_fault(parsed.error(), text);
        ValueSnapshot snapshot(text.size());
        // A value for each entry and item written, and the root.
        snapshot.reserve(recorder.size() + 1);
        PyRef data = document_to_python(parsed.value(), &snapshot);
        PyRef tree =
            make_syntax_tree(s, text, std::move(parsed).value(), std::move(recorder).finish(), std::move(snapshot));
        PyRef pair = PyRef::steal(PyTuple_Pack(2, data.get(), tree.get()));
        if (!pair) throw fetch_current_error();
        return pair.release();
    });
}

void append_step(PyObject* steps, PyRef step) {
    if (!step || PyList_Append(steps, step.get()) < 0) throw fetch_current_error();
}

// The keys (str) and indices (int) that lead from the root to the node at
// `target`. Each container's children are searched in the order they were
// added, which is the order of the caller's objects; the one whose nodes
// hold `target` is the next step. Of entries with equal keys only the one
// kept is written, so a fault is always in that one.
PyRef path_to(const FlatTree& tree, std::size_t target) {
    PyRef steps = PyRef::steal(PyList_New(0));
    if (!steps) throw fetch_current_error();
    std::size_t container = 0;
    while (container != target) {
        const bool in_mapping = tree.at(container).kind == FlatTree::Kind::mapping;
        std::size_t child = container + 1;
        Py_ssize_t index = 0;
        for (; tree.next_sibling(child) <= target; ++index) child = tree.next_sibling(child);
        append_step(steps.get(),
                    PyRef::steal(in_mapping ? str_from_utf8(tree.at(child).key) : PyLong_FromSsize_t(index)));
        container = child;
    }
    return steps;
}

// (steps, fault name) for the package to raise EncodeError from.
PyRef fault_report(const FlatTree& tree, const CheckedText& written) {
    PyRef steps = path_to(tree, written.node);
    PyRef name = PyRef::steal(PyUnicode_FromString(write_fault_name(written.fault)));
    if (!name) throw fetch_current_error();
    PyRef report = PyRef::steal(PyTuple_Pack(2, steps.get(), name.get()));
    if (!report) throw fetch_current_error();
    return report;
}

// checked_dumps(obj, lossy, /): the text of `obj`, or (steps, fault name)
// for the first thing in written order that would not read back. With
// `lossy` only a key holding a line feed is refused.
PyObject* checked_dumps(PyObject*, PyObject* const* arguments, Py_ssize_t count) {
    return guarded_entry([&]() -> PyObject* {
        if (count != 2)
            throw ErrorState::type_error("checked_dumps() takes exactly 2 positional arguments (" +
                                         std::to_string(count) + " given)");
        PyObject* obj = arguments[0];
        PyObject* lossy = arguments[1];
        if (!PyBool_Check(lossy))
            throw ErrorState::type_error("checked_dumps() argument 'lossy' must be bool, not '" +
                                         qualified_type_name(lossy) + "'");
        const WriteChecks checks = lossy == Py_True ? WriteChecks::keys : WriteChecks::lossless;
        // The keys the report names point into strs held while it is made.
        return written_str(obj, checks, [](const FlatTree& tree, const CheckedText& written) {
            return fault_report(tree, written).release();
        });
    });
}

PyMethodDef methods[] = {
    {"loads", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&loads)), METH_O,
     "loads(s, /)\n--\n\n"
     "The document s as dict, list and str objects; a document fault raises\n"
     "DocumentFault(native text, message, line, character offset), and a str that\n"
     "begins with a byte order mark DocumentFault(None, message, 1, 0)."},
    {"checked_dumps", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&checked_dumps)), METH_FASTCALL,
     "checked_dumps(obj, lossy, /)\n--\n\n"
     "The document text of obj, or (steps, fault) for the first string or root\n"
     "that would not read back equal; with lossy, only a key holding a line feed."},
    {"read_syntax", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&read_syntax)), METH_O,
     "read_syntax(s, /)\n--\n\n"
     "(the document s as loads gives it, a SyntaxTree recording where each value was\n"
     "written); a document fault raises DocumentFault as loads does."},
    {nullptr, nullptr, 0, nullptr},
};

// The rules every layer asks, Python included: the version key and value,
// the key that merges, and the characters that are White_Space.
int add_rule_constants(PyObject* module) {
    std::u32string white_space;
    for (char32_t c = 0; c <= 0x3000; ++c)
        if (is_white_space(c)) white_space += c;
    PyRef characters = PyRef::steal(PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, white_space.data(),
                                                              static_cast<Py_ssize_t>(white_space.size())));
    if (!characters) return -1;
    const auto add_text = [module](const char* name, std::string_view text) {
        PyRef value = PyRef::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
        return value ? PyModule_AddObjectRef(module, name, value.get()) : -1;
    };
    if (add_text("VERSION_KEY", version_key) < 0 || add_text("FORMAT_VERSION", format_version) < 0 ||
        add_text("MERGE_KEY", merge_key) < 0)
        return -1;
    return PyModule_AddObjectRef(module, "WHITE_SPACE", characters.get());
}

// The internal-fault class is one per process, so the module serves only
// the main interpreter.
int add_module_types(PyObject* module) {
    PyObject* fault_class = document_fault_class();
    if (fault_class == nullptr) return -1;
    if (PyModule_AddObjectRef(module, "DocumentFault", fault_class) < 0) return -1;
    if (add_edit_outcome_types(module) < 0 || add_rule_constants(module) < 0 || add_syntax_record_types(module) < 0)
        return -1;
    return add_syntax_tree_type(module);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&add_module_types)},
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "vorn._native",
    "The native passes behind the vorn package: loads with positions, checked writing.",
    0,
    methods,
    slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace vorn::binding

PyMODINIT_FUNC PyInit__native() { return PyModuleDef_Init(&vorn::binding::module_definition); }
