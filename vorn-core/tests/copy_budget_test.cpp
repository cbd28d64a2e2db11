// The copy budget of anchors, aliases and merges: what a copy costs, and
// that a refused copy leaves the budget as it was.
#include <gtest/gtest.h>

#include <string>

#include "../src/lib/copy_budget.hpp"
#include "tree_builders.hpp"

namespace vorn {
namespace {

using testing::annotated;
using testing::entry;
using testing::map;
using testing::scalar;
using testing::seq;

TEST(CopyBudget, LimitGrowsTenPerLine) {
    EXPECT_EQ(copy_limit_for(0), 1'000'000u);
    EXPECT_EQ(copy_limit_for(20'052), 1'200'520u);
}

struct CostCase {
    const char* name;
    Value value;
    std::uint64_t cost;
};

TEST(CopyBudget, ChargesOnePerValueAndOnePer64BytesOfText) {
    CostCase cases[] = {
        {"short scalar", scalar("x"), 1},
        {"63-byte scalar", scalar(std::string(63, 'x')), 1},
        {"64-byte scalar", scalar(std::string(64, 'x')), 2},
        {"6400-byte scalar", scalar(std::string(6400, 'x')), 101},
        {"empty sequence", Value::empty_sequence(), 1},
        {"mapping of two", map(entry("a", scalar("1")), entry("b", seq(scalar("2")))), 4},
        {"long key", map(entry(std::string(128, 'k'), scalar("v"))), 4},
        {"comments", seq(annotated(scalar("v"), {CommentLine{std::string(100, '#'), 0}}, std::string(28, '#'))), 4},
    };
    for (CostCase& c : cases) {
        CopyBudget budget(1'000);
        Result<Value> copy = budget.copy(c.value, 1, 1);
        ASSERT_TRUE(copy.ok()) << c.name;
        EXPECT_TRUE(copy.value() == c.value) << c.name;
        EXPECT_EQ(budget.used(), c.cost) << c.name;
    }
}

TEST(CopyBudget, RefusesTheCopyThatWouldPassTheLimit) {
    const Value three = seq(scalar("a"), scalar("b"));
    CopyBudget budget(7);
    ASSERT_TRUE(budget.copy(three, 1, 1).ok());
    ASSERT_TRUE(budget.copy(three, 1, 1).ok());
    EXPECT_EQ(budget.used(), 6u);
    Result<Value> refused = budget.copy(three, 12, 5);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), (ParseError{"alias expansion exceeds limit of 7 nodes", 12, 5}));
    EXPECT_EQ(budget.used(), 6u);
    EXPECT_TRUE(budget.copy(scalar("fits exactly"), 1, 1).ok());
    EXPECT_FALSE(budget.copy(scalar("one too many"), 1, 1).ok());
}

}  // namespace
}  // namespace vorn
