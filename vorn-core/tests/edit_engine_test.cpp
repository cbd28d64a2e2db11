// The edit engine's parts that a wrong answer from would go unseen by the
// Python suite: splices refusing to overlap, the pairing of items, and the
// engine driven by a C++ tree (diff) rather than by Python objects.
#include <gtest/gtest.h>
#include <string>
#include <variant>
#include <vector>

#include "edit/diff.hpp"
#include "edit/edit_text.hpp"
#include "edit/pair_items.hpp"
#include "edit/planner.hpp"
#include "edit/splice.hpp"
#include "read/read_document.hpp"
#include "read/syntax_index.hpp"

namespace {

using vorn::edit::no_item_paired;
using vorn::edit::Splice;
using vorn::edit::SpliceSet;

TEST(SpliceSet, RefusesWhatCutsIntoASpliceAddedBefore) {
    // Against one replacement of [10, 20): (begin, end, accepted).
    struct Row {
        std::uint32_t begin, end;
        bool accepted;
    };
    const std::vector<Row> rows = {
        {0, 10, true},    // ends where it begins
        {20, 30, true},   // begins where it ends
        {10, 10, true},   // an insertion before it
        {20, 20, true},   // an insertion after it
        {15, 15, false},  // an insertion inside it
        {5, 11, false},  {19, 25, false}, {12, 18, false}, {0, 30, false}, {10, 20, false},
    };
    for (const Row& row : rows) {
        SpliceSet splices;
        ASSERT_TRUE(splices.add({10, 20, "x"}));
        EXPECT_EQ(splices.add({row.begin, row.end, "y"}), row.accepted) << row.begin << ".." << row.end;
        EXPECT_EQ(splices.splices().size(), row.accepted ? 2u : 1u);
    }
}

TEST(SpliceSet, AppliesInsertionsAtOneOffsetInTheOrderAdded) {
    SpliceSet splices;
    ASSERT_TRUE(splices.add({4, 4, "1"}));
    ASSERT_TRUE(splices.add({2, 4, "<>"}));
    ASSERT_TRUE(splices.add({4, 4, "2"}));
    ASSERT_TRUE(splices.add({0, 1, ""}));
    EXPECT_EQ(splices.apply("abcdef", 0, 6), "b<>12ef");
    SpliceSet moved = splices.extract(2, 5);
    EXPECT_EQ(moved.splices().size(), 3u);
    EXPECT_EQ(moved.apply("abcdef", 2, 5), "<>12e");
}

TEST(PairItems, PairsByIdentityAndByPlaceBetweenTheItemsKeptInOrder) {
    constexpr auto none = no_item_paired;
    struct Row {
        std::vector<std::uint64_t> old_ids, new_ids;
        std::vector<std::uint32_t> pairs;
    };
    const std::vector<Row> rows = {
        {{1, 2, 3}, {1, 2, 3}, {0, 1, 2}},
        {{1, 2, 3}, {3, 1, 2}, {2, 0, 1}},           // a move
        {{1, 2, 3}, {1, 3}, {0, 2}},                 // a deletion
        {{1, 2, 3}, {1, 9, 3}, {0, 1, 2}},           // replaced in place: changed
        {{1, 2, 3}, {9, 1, 2, 3}, {none, 0, 1, 2}},  // an insertion
        {{1, 1, 2}, {1, 2, 1}, {0, 2, 1}},           // equal identities: first not taken
        {{}, {7, 8}, {none, none}},
        {{1, 2}, {}, {}},
        {{1, 2, 3, 4}, {4, 8, 9, 1}, {3, none, none, 0}},  // nothing in order between
    };
    for (const Row& row : rows) EXPECT_EQ(vorn::edit::pair_items(row.old_ids, row.new_ids), row.pairs);
}

TEST(PairItems, FindsALongestIncreasingRun) {
    const std::vector<std::uint32_t> values = {5, 1, no_item_paired, 2, 9, 3, 4, 0};
    const std::vector<std::size_t> run = vorn::edit::longest_increasing_run(values);
    EXPECT_EQ(run, (std::vector<std::size_t>{1, 3, 5, 6}));
}

vorn::Value value_of(const std::string& text) {
    const vorn::Result<vorn::Document> read = vorn::read_document(text);
    EXPECT_TRUE(read) << text;
    return read ? vorn::to_value(read.value().root()) : vorn::Value();
}

// The text `before` edited into the data `now`, or "refused: REASON".
std::string edited(const std::string& before, const vorn::Value& now) {
    vorn::SyntaxRecorder recorder(before);
    const vorn::Result<vorn::Document> read = vorn::read_document(before, recorder);
    EXPECT_TRUE(read) << before;
    const vorn::SyntaxIndex index(std::move(recorder).finish());
    const vorn::edit::ChangeSet changes = vorn::edit::diff(read.value().root(), now);
    auto result = vorn::edit::edit_text(before, index, read.value().root(), changes);
    if (auto* error = std::get_if<vorn::edit::EditError>(&result))
        return "refused: " + (error->reason.empty() ? std::string("cannot write") : error->reason);
    return std::get<std::string>(result);
}

TEST(EditText, ChangesOnlyWhatChangedInTheDocumentsWays) {
    const std::string head = "_vorn_version: 1.0\n";
    struct Row {
        const char *before, *after, *expected;
    };
    const std::vector<Row> rows = {
        // Quoting kept where it still reads back; a comment stays on its line.
        {"a: 'x'  # note\nb: y\n", "a: z\nb: y\n", "a: 'z'  # note\nb: y\n"},
        // A deleted entry goes with the comment lines above it.
        {"a: x\n# about b\nb: y\nc: z\n", "a: x\nc: z\n", "a: x\nc: z\n"},
        // Sorted keys get a new one at its place, spelled as its neighbours.
        {"a: x\nc: z\n", "a: x\nb: y\nc: z\n", "a: x\nb: y\nc: z\n"},
        // A moved item takes its comment along.
        {"l:\n  - a  # first\n  - b\n", "l:\n  - b\n  - a\n", "l:\n  - b\n  - a  # first\n"},
        // A scalar that becomes a block opens it below its key.
        {"a: x  # n\n", "a:\n  b: y\n", "a:  # n\n  b: y\n"},
        // An alias whose anchored block changed, while its own value did not,
        // is written out as the copy.
        {"a: &a\n  k: v\nb: *a\n", "a:\n  k: w\nb:\n  k: v\n", "a: &a\n  k: w\nb:\n  k: v\n"},
        // Nothing changed: the text as it was, byte for byte.
        {"a:   'x'\n\n\n", "a: x\n", "a:   'x'\n\n\n"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(edited(head + row.before, value_of(head + row.after)), head + row.expected) << row.before;
}

// The edit reads back only the lines its splices reach when that tells
// what reading the whole text would; a text that reads otherwise there is
// never taken for right, and what may tie far lines to it (an alias of a
// block around it) or blur where the stretch ends sends it to the whole
// reading.
TEST(EditText, ReadsBackOnlyTheLinesReachedWhereThatTells) {
    const std::string head = "_vorn_version: 1.0\n";
    struct Row {
        const char *before, *after;
        // What the edited text is changed into before it is checked, the
        // same length ("" for nothing), and whether the stretch tells.
        const char *from, *to;
        bool in_region;
    };
    const std::vector<Row> rows = {
        {"l:\n  - a\n  - b\n  - c\n", "l:\n  - a\n  - x\n  - c\n", "", "", true},
        {"l:\n  - a\n  - b\n  - c\n", "l:\n  - a\n  - x\n  - c\n", "- x", "- y", false},
        {"m:\n  a: 1\n  b: 2\n  c: 3\n", "m:\n  a: 1\n  b: 9\n  c: 3\n", "", "", true},
        // A line moved out of the block stands beside it.
        {"m:\n  a: 1\n  b: 2\n  c: 3\n", "m:\n  a: 1\n  b: 9\n  c: 3\n", "  b: 9", "b:   9", false},
        // The key written again, inside and outside the stretch.
        {"m:\n  a: 1\n  b: 2\n  c: 3\n", "m:\n  a: 1\n  b: 9\n  c: 3\n", "  b: 9", "  a: 9", false},
        {"r:\n  - n: 1\n    m: 2\n", "r:\n  - n: 1\n    m: 3\n", "", "", true},
        {"r:\n  - n: 1\n    m: 2\n", "r:\n  - n: 5\n    m: 2\n", "", "", true},
        {"a: |\n  x\n  y\nb: 1\n", "a: |\n  x\n  z\nb: 1\n", "", "", true},
        {"a: |\n  x\n  y\nb: 1\n", "a: |\n  x\n  z\nb: 1\n", "  z\nb", "  zzzb", false},
        // Copies elsewhere that do not reach the stretch leave it alone...
        {"a: &x\n  k: v\nb: *x\nc: 1\n", "a:\n  k: v\nb:\n  k: v\nc: 2\n", "", "", true},
        {"d: &d\n  p: 1\ns:\n  <<: *d\n  n: x\n", "d:\n  p: 1\ns:\n  p: 1\n  n: y\n", "", "", true},
        // ...but beside a merge its keys must stay,
        {"d: &d\n  p: 1\ns:\n  <<: *d\n  n: x\n", "d:\n  p: 1\ns:\n  p: 1\n  n: y\n", "n: y", "p: y", false},
        // and a block that an alias repeats is read back whole.
        {"a: &x\n  k: v\nb: *x\nc: 1\n", "a:\n  k: w\nb:\n  k: v\nc: 1\n", "", "", false},
    };
    for (const Row& row : rows) {
        const std::string before = head + row.before;
        vorn::SyntaxRecorder recorder(before);
        const vorn::Result<vorn::Document> read = vorn::read_document(before, recorder);
        ASSERT_TRUE(read) << before;
        const vorn::SyntaxIndex index(std::move(recorder).finish());
        const vorn::edit::ChangeSet changes = vorn::edit::diff(read.value().root(), value_of(head + row.after));
        vorn::edit::Planner planner(before, index, read.value().root(), changes);
        auto result = planner.run();
        ASSERT_TRUE(std::holds_alternative<std::string>(result)) << row.before;
        std::string text = std::get<std::string>(result);
        if (*row.from != '\0') {
            const std::size_t at = text.find(row.from);
            ASSERT_NE(at, std::string::npos) << text;
            text.replace(at, std::string_view(row.from).size(), row.to);
        }
        EXPECT_EQ(planner.reads_back_in_region(text), row.in_region) << row.before << " -> " << text;
    }
}

TEST(EditText, RefusesAVersionTheReaderWouldNotRead) {
    vorn::Value now = value_of("_vorn_version: 1.0\na: x\n");
    now.mapping().find("_vorn_version")->value.scalar() = "9.0";
    EXPECT_EQ(edited("_vorn_version: 1.0\na: x\n", now), "refused: cannot write");
}

}  // namespace
