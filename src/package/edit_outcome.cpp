#include "edit_outcome.hpp"

#include <string>

#include "error_state.hpp"
#include "str_from_utf8.hpp"

namespace vorn::binding {
namespace {

PyStructSequence_Field outcome_fields[] = {
    {"text", "the edited text, read back and found equal to the data; None with a fault"},
    {"fault", "the EditFault that kept the text from being made, or None"},
    {"foreign", "whether the caller's code ran while the data were compared"},
    {nullptr, nullptr},
};
PyStructSequence_Desc outcome_description = {"vorn._native.EditOutcome", "What an edit of a document's text gave.",
                                             outcome_fields, 3};

PyStructSequence_Field fault_fields[] = {
    {"kind", "'cannot_write' for data the format cannot carry, 'not_in_place' for an edit that cannot be made"},
    {"steps", "the keys and indices of the value at fault, from the root"},
    {"fault", "for cannot_write, which: a name of the checked writer's faults; else ''"},
    {"reason", "for not_in_place, why"},
    {nullptr, nullptr},
};
PyStructSequence_Desc fault_description = {"vorn._native.EditFault", "Why an edit's text could not be made.",
                                           fault_fields, 4};

// Made once: the module serves only the main interpreter.
PyTypeObject* outcome_type = nullptr;
PyTypeObject* fault_type = nullptr;

PyRef steps_list(const std::vector<edit::DataStep>& steps) {
    PyRef list = checked(PyList_New(0));
    for (const edit::DataStep& step : steps) {
        PyRef item = std::holds_alternative<std::string>(step)
                         ? checked(str_from_utf8(std::get<std::string>(step)))
                         : checked(PyLong_FromSize_t(std::get<std::size_t>(step)));
        if (PyList_Append(list.get(), item.get()) < 0) throw fetch_current_error();
    }
    return list;
}

}  // namespace

const char* write_fault_name(WriteFault fault) {
    switch (fault) {
        case WriteFault::none:
            return "";
        case WriteFault::line_feed_in_key:
            return "line_feed_in_key";
        case WriteFault::tab_in_key:
            return "tab_in_key";
        case WriteFault::tab_in_text:
            return "tab_in_text";
        case WriteFault::empty_line:
            return "empty_line";
        case WriteFault::white_space_line:
            return "white_space_line";
        case WriteFault::final_line_feed:
            return "final_line_feed";
        case WriteFault::trailing_white_space:
            return "trailing_white_space";
        case WriteFault::leading_white_space:
            return "leading_white_space";
        case WriteFault::common_indentation:
            return "common_indentation";
        case WriteFault::root_not_mapping:
            return "root_not_mapping";
        case WriteFault::missing_version:
            return "missing_version";
        case WriteFault::version_not_text:
            return "version_not_text";
        case WriteFault::unsupported_version:
            return "unsupported_version";
    }
    throw ErrorState::internal_fault("no name for a write fault");
}

int add_edit_outcome_types(PyObject* module) {
    if (outcome_type == nullptr) {
        outcome_type = PyStructSequence_NewType(&outcome_description);
        if (outcome_type == nullptr) return -1;
    }
    if (fault_type == nullptr) {
        fault_type = PyStructSequence_NewType(&fault_description);
        if (fault_type == nullptr) return -1;
    }
    if (PyModule_AddObjectRef(module, "EditOutcome", reinterpret_cast<PyObject*>(outcome_type)) < 0) return -1;
    return PyModule_AddObjectRef(module, "EditFault", reinterpret_cast<PyObject*>(fault_type));
}

PyRef edit_outcome(PyObject* text, const edit::EditError* error, bool foreign) {
    PyRef fault = PyRef::borrow(Py_None);
    if (error != nullptr) {
        fault = checked(PyStructSequence_New(fault_type));
        const char* kind = error->kind == edit::EditError::Kind::cannot_write ? "cannot_write" : "not_in_place";
        PyStructSequence_SetItem(fault.get(), 0, checked(PyUnicode_FromString(kind)).release());
        PyStructSequence_SetItem(fault.get(), 1, steps_list(error->path).release());
        PyStructSequence_SetItem(fault.get(), 2,
                                 checked(PyUnicode_FromString(write_fault_name(error->fault))).release());
        PyStructSequence_SetItem(fault.get(), 3, checked(str_from_utf8(error->reason)).release());
    }
    PyRef outcome = checked(PyStructSequence_New(outcome_type));
    PyStructSequence_SetItem(outcome.get(), 0, Py_NewRef(text != nullptr ? text : Py_None));
    PyStructSequence_SetItem(outcome.get(), 1, fault.release());
    PyStructSequence_SetItem(outcome.get(), 2, Py_NewRef(foreign ? Py_True : Py_False));
    return outcome;
}

}  // namespace vorn::binding
