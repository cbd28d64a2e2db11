// What SyntaxTree.edit gives Python: EditOutcome(text, fault, foreign), with
// EditFault(kind, steps, fault, reason) when the text could not be made.
#pragma once

#include <Python.h>

#include "edit/edit_text.hpp"
#include "py_ref.hpp"

namespace vorn::binding {

// Adds EditOutcome and EditFault to `module`; -1 with an exception set on
// failure.
int add_edit_outcome_types(PyObject* module);

// EditOutcome(text, fault, foreign): `text` (borrowed) when the edit was
// made, else the fault `error`; `foreign` when the caller's code ran while
// the data were compared.
PyRef edit_outcome(PyObject* text, const edit::EditError* error, bool foreign);

// The name the package maps to a message, for a fault of the checked writer.
const char* write_fault_name(WriteFault fault);

}  // namespace vorn::binding
