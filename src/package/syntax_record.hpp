// vorn._native.SyntaxRecord: one entry, item or merge line of a document as
// written, with named fields; and the enums SyntaxKind and SyntaxForm, made
// from the core's own names so that Python never spells them again.
#pragma once

#include <Python.h>
#include <cstdint>

#include "py_ref.hpp"
#include "read/syntax.hpp"
#include "syntax_tree_state.hpp"

namespace vorn::binding {

// Adds SyntaxKind, SyntaxForm, SyntaxRecord and WrittenPlace to `module`; -1
// with an exception set on failure.
int add_syntax_record_types(PyObject* module);

// The record `index` of the SyntaxTree `tree`.
PyRef make_syntax_record(PyObject* tree, std::uint32_t index);

// A vorn.Span of `span`: where it starts and one past where it ends.
PyRef span_object(SyntaxTreeState& state, ByteSpan span);

// An int, or None for no_record.
PyRef record_index_or_none(std::uint32_t index);

// WrittenPlace(record, key_record, via) of `place`.
PyRef written_place_object(const WrittenPlace& place);

}  // namespace vorn::binding
