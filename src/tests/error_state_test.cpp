// The error mapping: how each kind of ErrorState is raised, the internal
// fault class, and guarded_entry's mapping of every C++ failure.
#include "error_state.hpp"

#include <new>
#include <stdexcept>

#include "embedded_python.hpp"

namespace {

using namespace vorn::binding;
using testing_support::holds;
using testing_support::take_exception;

PyRef raised(ErrorState error) {
    raise_at_boundary(std::move(error));
    return take_exception();
}

TEST(RaiseAtBoundary, PendingErrorsBecomeTheirTypeWithTheMessageAsOnlyArgument) {
    struct Case {
        ErrorState error;
        const char* check;
    };
    Case cases[] = {
        {ErrorState::type_error("bad type"), "type(x) is TypeError and x.args == ('bad type',)"},
        {ErrorState::value_error("bad value \xC3\xA9"), "type(x) is ValueError and x.args == ('bad value \\u00e9',)"},
        {ErrorState::import_error("no import"), "type(x) is ImportError and x.args == ('no import',)"},
        {ErrorState::pending(PyExc_SystemError, ""), "type(x) is SystemError and x.args == ('',)"},
        {ErrorState::internal_fault("broken"),
         "type(x).__name__ == 'InternalFault' and x.args == ('broken',) and x.__cause__ is None"},
    };
    for (Case& c : cases) EXPECT_TRUE(holds(c.check, raised(std::move(c.error)).get())) << c.check;
}

TEST(RaiseAtBoundary, AMessageThatIsNotUtf8IsStillRaised) {
    EXPECT_TRUE(holds("type(x) is ValueError and x.args == ('a\\ufffdb',)", raised(ErrorState::value_error("a\xFF"
                                                                                                           "b"))
                                                                                .get()));
}

TEST(RaiseAtBoundary, FetchedErrorsAreRaisedUnchanged) {
    PyErr_SetString(PyExc_KeyError, "k");
    ErrorState error = fetch_current_error();
    ASSERT_TRUE(error.is_fetched());
    PyRef original = PyRef::borrow(error.exception());
    PyRef again = raised(std::move(error));
    EXPECT_EQ(again.get(), original.get());
}

TEST(FetchCurrentError, WithNothingSetIsASystemError) {
    ErrorState error = fetch_current_error();
    EXPECT_FALSE(error.is_fetched());
    EXPECT_TRUE(holds("type(x) is SystemError and x.args == ('attempted to fetch exception but none was set',)",
                      raised(std::move(error)).get()));
}

TEST(Concretize, TurnsAPendingErrorIntoAnInstanceAndLeavesNothingSet) {
    ErrorState concrete = ErrorState::type_error("m").concretize();
    EXPECT_EQ(PyErr_Occurred(), nullptr);
    ASSERT_TRUE(concrete.is_fetched());
    EXPECT_TRUE(holds("type(x) is TypeError and x.args == ('m',)", concrete.exception()));

    PyObject* instance = concrete.exception();
    ErrorState again = std::move(concrete).concretize();
    EXPECT_EQ(again.exception(), instance);
}

TEST(InternalFaultClass, IsCreatedOnceAsADirectSubclassOfBaseException) {
    PyObject* fault_class = internal_fault_class();
    EXPECT_EQ(internal_fault_class(), fault_class);
    EXPECT_TRUE(
        holds("x.__module__ == 'native_runtime' and x.__qualname__ == 'InternalFault'"
              " and x.__bases__ == (BaseException,) and 'BaseException' in x.__doc__"
              " and set(vars(x)) <= {'__module__', '__doc__', '__weakref__', '__dict__'}",
              fault_class));
}

TEST(ApiCallFailed, PrintsAndClearsThePendingErrorThenFaults) {
    PyErr_SetString(PyExc_OverflowError, "from the API");
    ErrorState error = api_call_failed();
    EXPECT_EQ(PyErr_Occurred(), nullptr);
    EXPECT_TRUE(error.is_internal_fault());
    EXPECT_TRUE(holds("x.args == ('Python API call failed',)", raised(std::move(error)).get()));
}

TEST(GuardedEntry, MapsEveryFailureToExactlyOneException) {
    struct Case {
        PyObject* (*body)();
        const char* check;
    };
    const Case cases[] = {
        {[]() -> PyObject* { throw ErrorState::value_error("v"); }, "type(x) is ValueError and x.args == ('v',)"},
        {[]() -> PyObject* { throw std::bad_alloc(); }, "type(x) is MemoryError"},
        {[]() -> PyObject* { throw std::runtime_error("invariant"); },
         "type(x).__name__ == 'InternalFault' and x.args == ('invariant',)"},
        {[]() -> PyObject* { throw 42; },
         "type(x).__name__ == 'InternalFault' and x.args == ('unexpected native exception',)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(guarded_entry(c.body), nullptr);
        EXPECT_TRUE(holds(c.check, take_exception().get())) << c.check;
    }
}

TEST(GuardedEntry, SuccessReturnsTheBodysReferenceWithNothingSet) {
    PyObject* result = guarded_entry([] { return PyUnicode_FromString("ok"); });
    PyRef owned = PyRef::steal(result);
    EXPECT_TRUE(holds("x == 'ok'", owned.get()));
    EXPECT_EQ(PyErr_Occurred(), nullptr);
}

}  // namespace
