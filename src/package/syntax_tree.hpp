// vorn._native.SyntaxTree: a document read with its syntax records, kept
// alive with the str it views, answering where each value was written.
#pragma once

#include <Python.h>
#include <string_view>
#include <vector>

#include "py_ref.hpp"
#include "read/syntax.hpp"
#include "tree/document.hpp"
#include "value_snapshot.hpp"

namespace vorn::binding {

// Readies the type and adds it to `module`; -1 with an exception set on
// failure.
int add_syntax_tree_type(PyObject* module);

// A SyntaxTree that owns `document` and `records`, both read from `utf8`,
// the UTF-8 form of the str `text` (which it keeps alive for them), and
// the snapshot of the values made from them.
PyRef make_syntax_tree(PyObject* text, std::string_view utf8, Document document, std::vector<SyntaxRecord> records,
                       ValueSnapshot snapshot);

}  // namespace vorn::binding
