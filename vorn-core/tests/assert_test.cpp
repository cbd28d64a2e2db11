#include "vorn/assert.hpp"

#include <gtest/gtest.h>
#include <string>

#include "vorn/value.hpp"

namespace vorn {
namespace {

#if VORN_ASSERTIONS

TEST(AssertDeathTest, FailureNamesConditionFileAndLineAndAborts) {
    const int two = 2;
    EXPECT_DEATH(VORN_ASSERT(two + 1 == 4), "assert_test\\.cpp:[0-9]+: vorn assertion failed: two \\+ 1 == 4");
    VORN_ASSERT(two + 1 == 3);  // a holding condition passes silently
}

TEST(AssertDeathTest, AppendInOrderRefusesAKeyThatDoesNotSortLast) {
    Mapping mapping;
    mapping.append_in_order("b", Node());
    EXPECT_DEATH(mapping.append_in_order("a", Node()), "entries_\\.back\\(\\)\\.first < key");
    EXPECT_DEATH(mapping.append_in_order("b", Node()), "entries_\\.back\\(\\)\\.first < key");
}

#else

TEST(Assert, ConditionIsNotEvaluatedWithoutAssertions) {
    int evaluated = 0;
    VORN_ASSERT(++evaluated == 0);
    EXPECT_EQ(evaluated, 0);
}

#endif

}  // namespace
}  // namespace vorn
