// What a document's data were when read, and what changed since: the
// editor keeps a snapshot of the data and compares the data with it when
// asked for text, so it rewrites only what changed.
#pragma once

#include <Python.h>

namespace vorn::binding {

// copy_containers(obj, /): `obj` with every dict and list in it copied and
// every other object shared.
PyObject* copy_containers(PyObject* module, PyObject* obj);

// changes(old, new, /): None when `new` equals the snapshot `old`, else
// where they differ.
PyObject* changes(PyObject* module, PyObject* const* arguments, Py_ssize_t count);

}  // namespace vorn::binding
