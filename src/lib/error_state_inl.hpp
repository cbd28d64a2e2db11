// Template part of error_state.hpp.
#pragma once

#include <exception>
#include <new>

namespace vorn::binding {

template <typename Body>
PyObject* guarded_entry(Body&& body) noexcept {
    try {
        return body();
    } catch (ErrorState& error) {
        raise_at_boundary(std::move(error));
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& unexpected) {
        raise_at_boundary(ErrorState::internal_fault(unexpected.what()));
    } catch (...) {
        raise_at_boundary(ErrorState::internal_fault("unexpected native exception"));
    }
    return nullptr;
}

}  // namespace vorn::binding
