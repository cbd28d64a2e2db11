// The copy budget of anchors, aliases and merges: what a copy costs, and
// that a refused copy leaves the budget as it was.
#include "read/copy_budget.hpp"

#include <gtest/gtest.h>
#include <string>

#include "tree_builders.hpp"

namespace vorn {
namespace {

using testing::annotated;
using testing::entry;
using testing::in_arena;
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
        Arena arena;
        CopyBudget budget(1'000);
        EXPECT_EQ(budget.charge(in_arena(c.value, arena), {1, 1}), std::nullopt) << c.name;
        EXPECT_EQ(budget.used(), c.cost) << c.name;
    }
}

TEST(CopyBudget, RefusesTheCopyThatWouldPassTheLimit) {
    Arena arena;
    const DocValue three = in_arena(seq(scalar("a"), scalar("b")), arena);
    CopyBudget budget(7);
    ASSERT_EQ(budget.charge(three, {1, 1}), std::nullopt);
    ASSERT_EQ(budget.charge(three, {1, 1}), std::nullopt);
    EXPECT_EQ(budget.used(), 6u);
    EXPECT_EQ(budget.charge(three, {12, 5, 300}), (ParseError{"alias expansion exceeds limit of 7 nodes", 12, 5, 300}));
    EXPECT_EQ(budget.used(), 6u);
    EXPECT_EQ(budget.charge(DocValue::scalar("fits exactly"), {1, 1}), std::nullopt);
    EXPECT_NE(budget.charge(DocValue::scalar("one too many"), {1, 1}), std::nullopt);
    EXPECT_EQ(budget.used(), 7u);
}

TEST(CopyBudget, ChargesAKnownCostLikeTheWalkItSpares) {
    Arena arena;
    CopyBudget budget(10);
    ASSERT_EQ(budget.charge(in_arena(seq(scalar("a"), scalar("b")), arena), {1, 1}), std::nullopt);
    EXPECT_EQ(budget.last_cost(), 3u);
    ASSERT_EQ(budget.charge_known(budget.last_cost(), {2, 1}), std::nullopt);
    ASSERT_EQ(budget.charge_known(budget.last_cost(), {3, 1}), std::nullopt);
    EXPECT_EQ(budget.charge_known(budget.last_cost(), {4, 9, 40}),
              (ParseError{"alias expansion exceeds limit of 10 nodes", 4, 9, 40}));
    EXPECT_EQ(budget.used(), 9u);
}

}  // namespace
}  // namespace vorn
