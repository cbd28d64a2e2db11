#define PY_SSIZE_T_CLEAN
#include <Python.h>
static PyModuleDef def = {PyModuleDef_HEAD_INIT, "_vorn_native", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr};
PyMODINIT_FUNC PyInit__vorn_native() { return PyModule_Create(&def); }
