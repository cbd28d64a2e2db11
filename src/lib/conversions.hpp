// Conversions between Python objects and the Document core's trees.
// Both throw ErrorState on failure, with everything built so far released.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "vorn/result.hpp"
#include "vorn/value.hpp"

#include "borrowed_texts.hpp"
#include "py_ref.hpp"
#include "tree/document.hpp"
#include "value_snapshot.hpp"
#include "write/emit_flat_tree.hpp"
#include "write/flat_tree.hpp"

namespace vorn::binding {

// On either route to the text, each container takes one level of the
// interpreter's recursion budget under this name, so that both routes meet
// the limit at the same depth.
inline constexpr const char* dumps_recursion_context = " while converting an object for dumps";

// Builds a tree for writing from a str, list or dict (subclasses included,
// read through their built-in storage), nested freely. The object is
// borrowed; every str the tree points into is held by `texts`, which must
// outlive the tree's use.
FlatTree python_to_flat_tree(PyObject* object, BorrowedTexts& texts);

// The text emit_checked(python_to_flat_tree(object), checks) would give,
// written straight from the objects, and in `ascii` whether it is ASCII.
// Null, with no error set, when that route would raise or find a fault, or
// when the objects hold two keys of one text or nest deeper than 128
// levels: the caller then takes that route, whose report is the exact one.
std::optional<std::string> write_objects_directly(PyObject* object, WriteChecks checks, bool& ascii);

// A new str of a written text (`ascii` when every str it was made of is
// ASCII, which spares the decoding); the thread keeps the text's room for
// the next one. Throws for a failure to make the str.
PyRef str_of_written_text(std::string&& text, bool ascii);

// A new str of the text of `object` under `checks`: written straight from
// the objects, or where that gives no clean text through the flat tree,
// whose fault goes to `on_fault(tree, written)`; what that returns (a new
// reference, or it throws) is returned instead of a str. The strs the
// tree points into live until it returns.
template <typename OnFault>
PyObject* written_str(PyObject* object, WriteChecks checks, OnFault on_fault) {
    bool ascii = false;
    std::optional<std::string> text = write_objects_directly(object, checks, ascii);
    if (!text) {
        PyRef held = PyRef::borrow(object);
        BorrowedTexts texts;
        const FlatTree tree = python_to_flat_tree(object, texts);
        CheckedText written = emit_checked(tree, checks);
        if (written.fault != WriteFault::none) return on_fault(tree, written);
        text = std::move(written.text);
        ascii = texts.all_ascii();
    }
    return str_of_written_text(std::move(*text), ascii).release();
}

// Builds new dict, list and str objects from a tree; dict keys are inserted
// in the mapping's byte order. Only reads the tree.
PyRef value_to_python(const Value& value);
// The same for the reader's tree; every position of a shared value becomes
// containers of its own (its strs may be shared: they are immutable). With
// a snapshot, what was made is recorded there too.
PyRef document_to_python(const Document& document, ValueSnapshot* snapshot = nullptr);

// Reads the document `text` straight into new dict, list and str objects,
// each container made as soon as the reader closes its block: the same
// objects as document_to_python of read_document(text), without the whole
// tree held beside them. A document fault is returned; a failure to make an
// object throws.
Result<PyRef> read_to_python(std::string_view text);

}  // namespace vorn::binding
