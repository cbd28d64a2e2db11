// The module object: created once per process, in the first interpreter that
// imports it, with `loads` and `dumps` and nothing else in its namespace.
#include <atomic>
#include <cstdint>

#include "entry_points.hpp"
#include "error_state.hpp"

namespace vorn::binding {
namespace {

// The C API version the module is built for.
constexpr int api_version = 1013;

// The module caches one object for the process, so it can serve only the
// interpreter that created it; -1 until the first import.
std::atomic<std::int64_t> owner_interpreter_id{-1};
PyObject* cached_module = nullptr;

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "_vorn_native", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The doc strings carry only the text signatures, so __doc__ stays None.
PyMethodDef loads_definition = {
    "loads",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&loads)),
    METH_FASTCALL | METH_KEYWORDS,
    "loads(s)\n--\n\n",
};
PyMethodDef dumps_definition = {
    "dumps",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&dumps)),
    METH_FASTCALL | METH_KEYWORDS,
    "dumps(obj)\n--\n\n",
};

void claim_interpreter() {
    const std::int64_t current = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (current == -1) throw fetch_current_error();
    std::int64_t owner = -1;
    if (!owner_interpreter_id.compare_exchange_strong(owner, current) && owner != current)
        throw ErrorState::import_error(
            "_vorn_native does not support subinterpreters: it can be imported only "
            "in the interpreter that imported it first");
}

// The module's __all__, created empty when the module has none yet.
PyRef module_all(PyObject* module) {
    PyObject* found = nullptr;
    if (PyObject_GetOptionalAttrString(module, "__all__", &found) < 0) throw fetch_current_error();
    if (found != nullptr) return PyRef::steal(found);
    PyRef all = PyRef::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) throw fetch_current_error();
    return all;
}

void add_function(PyObject* module, PyMethodDef* definition) {
    PyRef function;
    {
        PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
        if (!module_name) throw fetch_current_error();
        function = PyRef::steal(PyCMethod_New(definition, module, module_name.get(), nullptr));
        if (!function) throw fetch_current_error();
    }
    PyRef name = PyRef::steal(PyObject_GetAttrString(function.get(), "__name__"));
    if (!name) throw fetch_current_error();
    PyRef all = module_all(module);
    if (PyList_Append(all.get(), name.get()) < 0) {
        PyErr_Clear();
        throw ErrorState::internal_fault("could not append __name__ to __all__");
    }
    if (PyObject_SetAttr(module, name.get(), function.get()) < 0) throw fetch_current_error();
}

PyRef create_module() {
    PyRef module = PyRef::steal(PyModule_Create2(&module_definition, api_version));
    if (!module) throw fetch_current_error();
    add_function(module.get(), &loads_definition);
    add_function(module.get(), &dumps_definition);
    return module;
}

}  // namespace
}  // namespace vorn::binding

PyMODINIT_FUNC PyInit__vorn_native() {
    using namespace vorn::binding;
    return guarded_entry([]() -> PyObject* {
        claim_interpreter();
        if (cached_module != nullptr) return Py_NewRef(cached_module);
        PyRef module = create_module();
        cached_module = Py_NewRef(module.get());
        return module.release();
    });
}
