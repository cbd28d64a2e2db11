// value_to_python: the objects it builds, key order, deep trees, and the
// internal fault of a creation call that fails, with nothing leaked.
#include <string>

#include "conversions.hpp"
#include "embedded_python.hpp"
#include "error_state.hpp"
#include "tree_builders.hpp"

namespace {

using namespace vorn::binding;
using testing_support::holds;
using testing_support::take_exception;
using vorn::Mapping;
using vorn::Node;
using vorn::Sequence;
using vorn::Value;
using vorn::testing::annotated;
using vorn::testing::entry;
using vorn::testing::map;
using vorn::testing::scalar;
using vorn::testing::seq;

// Converts, expecting success with no exception left set.
PyRef convert(const Value& value) {
    PyRef result = value_to_python(value);
    EXPECT_TRUE(result);
    EXPECT_EQ(PyErr_Occurred(), nullptr);
    return result;
}

// Converts, expecting the conversion to throw; returns the error raised.
PyRef convert_failing(const Value& value) {
    try {
        PyRef unexpected = value_to_python(value);
        ADD_FAILURE() << "the conversion succeeded";
        return {};
    } catch (ErrorState& error) {
        raise_at_boundary(std::move(error));
        return take_exception();
    }
}

TEST(ValueToPython, ScalarsKeepEveryCharacter) {
    EXPECT_TRUE(holds("x == '' and type(x) is str", convert(scalar("")).get()));
    EXPECT_TRUE(holds("x == 'a\\nb\\x00c'", convert(scalar(std::string("a\nb\0c", 5))).get()));
    EXPECT_TRUE(holds("x == '\\u00e9\\U0001F600'", convert(scalar("\xC3\xA9\xF0\x9F\x98\x80")).get()));
}

TEST(ValueToPython, DictKeysFollowTheMappingsByteOrder) {
    Value value =
        map(entry("b", scalar("2")), entry("a", scalar("1")), entry("_vorn_version", scalar("1.0")),
            entry("\xC3\xA9", scalar("3")), entry("B", scalar("0")), entry(std::string("a\0", 2), scalar("4")));
    PyRef dict = convert(value);
    EXPECT_TRUE(
        holds("type(x) is dict and list(x) == ['B', '_vorn_version', 'a', 'a\\x00', 'b', '\\u00e9']", dict.get()));
    EXPECT_TRUE(holds("x['_vorn_version'] == '1.0' and x['a\\x00'] == '4'", dict.get()));
}

TEST(ValueToPython, EmptyContainers) {
    EXPECT_TRUE(holds("type(x) is list and x == []", convert(Value::empty_sequence()).get()));
    EXPECT_TRUE(holds("type(x) is dict and x == {}", convert(Value::empty_mapping()).get()));
    EXPECT_TRUE(holds(
        "x == {'a': [], 'b': {}, 'c': ''}",
        convert(map(entry("a", Value::empty_sequence()), entry("b", Value::empty_mapping()), entry("c", scalar(""))))
            .get()));
}

TEST(ValueToPython, EqualPositionsBecomeDistinctObjects) {
    PyRef list = convert(seq(map(entry("k", scalar("v"))), map(entry("k", scalar("v"))), scalar("s"), scalar("s")));
    EXPECT_TRUE(holds("x[0] == x[1] and x[0] is not x[1] and x[2] == x[3] == 's'", list.get()));
}

TEST(ValueToPython, MixedNestingInDocumentOrder) {
    Value value = map(entry("list", seq(scalar("a"), seq(scalar("b"), map()), map(entry("k", seq())), scalar("c"))),
                      entry("map", map(entry("z", scalar("1")), entry("y", map(entry("x", scalar("2")))))));
    EXPECT_TRUE(
        holds("x == {'list': ['a', ['b', {}], {'k': []}, 'c'], 'map': {'y': {'x': '2'}, 'z': '1'}}"
              " and list(x['map']) == ['y', 'z']",
              convert(value).get()));
}

TEST(ValueToPython, CommentsLeaveNoTrace) {
    Value value = seq(annotated(scalar("a"), {{"# above", 0}}, "# after"),
                      annotated(map(entry("k", annotated(scalar("v"), {{"# c", 2}}))), {}, "# m"));
    EXPECT_TRUE(holds("x == ['a', {'k': 'v'}]", convert(value).get()));
}

// A chain of `depth` containers, sequences and mappings alternating, with a
// scalar at the bottom.
Value deep_chain(std::size_t depth) {
    Value current = scalar("bottom");
    for (std::size_t level = 0; level < depth; ++level) {
        if (level % 2 == 0) {
            Sequence items;
            items.append(Node(std::move(current)));
            current = Value(std::move(items));
        } else {
            Mapping entries;
            entries.insert("k", Node(std::move(current)));
            current = Value(std::move(entries));
        }
    }
    return current;
}

// Walks a converted chain without recursion and returns its depth, or -1
// when a level has the wrong shape.
long chain_depth(PyObject* current) {
    long depth = 0;
    for (; !PyUnicode_Check(current); ++depth) {
        if (PyList_CheckExact(current) && PyList_GET_SIZE(current) == 1)
            current = PyList_GET_ITEM(current, 0);
        else if (PyDict_CheckExact(current) && PyDict_GET_SIZE(current) == 1)
            current = PyDict_GetItemString(current, "k");
        else
            return -1;
        if (current == nullptr) return -1;
    }
    return depth;
}

Py_ssize_t allocated_blocks() {
    PyRef count = testing_support::evaluate("__import__('sys').getallocatedblocks()");
    return count ? PyLong_AsSsize_t(count.get()) : -1;
}

TEST(ValueToPython, DeepTreesConvertWithoutRecursion) {
    for (std::size_t depth : {12'000u, 100'000u}) {
        PyRef root = convert(deep_chain(depth));
        EXPECT_TRUE(holds("type(x) is dict", root.get()));  // the last level made is a mapping
        EXPECT_EQ(chain_depth(root.get()), static_cast<long>(depth));
    }
}

// A scalar or key that is not UTF-8 cannot become a str: the creation call
// fails, which is an internal fault, and everything built so far is released.
TEST(ValueToPython, FailedCreationIsAnInternalFaultAndLeaksNothing) {
    const std::string invalid = "\xFF";
    // The first fault imports what printing the pending error needs; that
    // must not count as a leak.
    convert_failing(scalar(invalid));
    for (int invalid_key = 0; invalid_key < 2; ++invalid_key) {
        Sequence items;
        for (int i = 0; i < 20'000; ++i) items.append(Node(seq(scalar("item"), map(entry("k", scalar("v"))))));
        Value bad = invalid_key ? map(entry(invalid, scalar("v"))) : seq(scalar(invalid));
        items.append(Node(deep_chain(50)));
        items.append(Node(seq(std::move(bad))));
        Value tree(std::move(items));

        const Py_ssize_t blocks_before = allocated_blocks();
        PyRef fault = convert_failing(tree);
        ASSERT_TRUE(fault);
        EXPECT_TRUE(
            holds("type(x).__module__ == 'native_runtime' and type(x).__name__ == 'InternalFault'"
                  " and type(x).__bases__ == (BaseException,) and not isinstance(x, Exception)"
                  " and x.args == ('Python API call failed',)",
                  fault.get()));
        fault = PyRef();
        // 20,000 leaked lists and dicts would show here; the slack covers
        // the interpreter's own caches.
        EXPECT_LT(allocated_blocks() - blocks_before, 1000) << (invalid_key ? "invalid key" : "invalid scalar");
    }
}

}  // namespace
