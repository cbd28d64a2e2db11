// The value tree: key order, replacement on insert, deep copies, ownership
// and trees far deeper than the native stack could walk recursively.
#include "vorn/value.hpp"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tree_builders.hpp"

namespace {

using vorn::CommentLine;
using vorn::Mapping;
using vorn::Node;
using vorn::Sequence;
using vorn::Value;
using vorn::testing::annotated;
using vorn::testing::entry;
using vorn::testing::map;
using vorn::testing::scalar;
using vorn::testing::seq;

std::vector<std::string> keys_of(const Mapping& mapping) {
    std::vector<std::string> keys;
    for (const auto& [key, node] : mapping) keys.push_back(key);
    return keys;
}

TEST(MappingOrder, KeysIterateInByteOrderWhateverTheInsertionOrder) {
    std::array<std::string, 6> keys{"b", "a", "ab", "B", "_vorn_version", "\xC3\xA9"};
    const std::vector<std::string> expected{"B", "_vorn_version", "a", "ab", "b", "\xC3\xA9"};
    std::sort(keys.begin(), keys.end());  // so that every order is visited
    int orders = 0;
    do {
        Mapping mapping;
        for (const std::string& key : keys) mapping.insert(key, Node(scalar(key)));
        ASSERT_EQ(keys_of(mapping), expected);
        ++orders;
    } while (std::next_permutation(keys.begin(), keys.end()));
    EXPECT_EQ(orders, 720);
}

TEST(MappingOrder, EmptyKeyComesFirstAndNonAsciiLast) {
    Value value = map(entry("\xE4\xB8\x80", scalar("x")), entry("~", scalar("x")), entry("", scalar("x")),
                      entry("0", scalar("x")));
    EXPECT_EQ(keys_of(value.mapping()), (std::vector<std::string>{"", "0", "~", "\xE4\xB8\x80"}));
}

TEST(MappingInsert, LaterInsertReplacesTheEarlierNodeWithItsComments) {
    Mapping mapping;
    mapping.insert("k", annotated(scalar("first"), {{"# above first", 2}}, "# first"));
    mapping.insert("k", Node(scalar("second")));
    ASSERT_EQ(mapping.size(), 1u);
    EXPECT_EQ(mapping.find("k")->value.scalar(), "second");
    EXPECT_TRUE(mapping.find("k")->comments.empty());
    EXPECT_FALSE(mapping.find("k")->inline_comment.has_value());
}

// Random runs of insert, insert_if_absent and reads against std::map: keys
// in and out of order, repeated, few and many (past the small-mapping sort),
// with reads between the additions.
TEST(MappingInsert, AgreesWithAnOrderedMapInAnyOrderOfKeysAndReads) {
    std::mt19937 random(7);
    for (const int key_range : {3, 20, 200}) {
        for (const int length : {1, 10, 40, 600}) {
            Mapping mapping;
            std::map<std::string, std::string> model;
            for (int step = 0; step < length; ++step) {
                const std::string key = "k" + std::to_string(random() % key_range);
                const std::string value = std::to_string(step);
                switch (random() % 8) {
                    case 0:
                        mapping.insert_if_absent(key, Node(scalar(value)));
                        model.try_emplace(key, value);
                        break;
                    case 1: {
                        const Node* found = mapping.find(key);
                        const auto it = model.find(key);
                        ASSERT_EQ(found != nullptr, it != model.end()) << key;
                        if (found != nullptr) {
                            EXPECT_EQ(found->value.scalar(), it->second);
                        }
                        break;
                    }
                    default:
                        mapping.insert(key, Node(scalar(value)));
                        model[key] = value;
                }
            }
            std::vector<std::pair<std::string, std::string>> entries;
            for (const auto& [key, node] : mapping) entries.emplace_back(key, node.value.scalar());
            EXPECT_EQ(entries, (std::vector<std::pair<std::string, std::string>>(model.begin(), model.end())))
                << key_range << " keys, " << length << " steps";
            EXPECT_EQ(mapping.size(), model.size());
        }
    }
}

TEST(MappingInsert, InsertIfAbsentFillsOnlyAnAbsentKeyAndALaterInsertStillWins) {
    Mapping mapping;
    mapping.insert_if_absent("k", Node(scalar("first")));
    mapping.insert_if_absent("k", Node(scalar("second")));
    EXPECT_EQ(mapping.find("k")->value.scalar(), "first");
    // Arrivals out of order, sorted together at the next read.
    mapping.insert_if_absent("b", Node(scalar("merged")));
    mapping.insert("b", Node(scalar("own")));
    mapping.insert("a", Node(scalar("own")));
    mapping.insert_if_absent("a", Node(scalar("merged")));
    EXPECT_EQ(mapping.find("a")->value.scalar(), "own");
    EXPECT_EQ(mapping.find("b")->value.scalar(), "own");
    EXPECT_EQ(mapping.size(), 3u);
}

TEST(MappingFind, MatchesBytesExactly) {
    Value value = map(entry("a", scalar("1")), entry(std::string("a\0b", 3), scalar("2")));
    const Mapping& mapping = value.mapping();
    EXPECT_EQ(mapping.find("a")->value.scalar(), "1");
    EXPECT_EQ(mapping.find(std::string_view("a\0b", 3))->value.scalar(), "2");
    EXPECT_EQ(mapping.find("A"), nullptr);
    EXPECT_EQ(mapping.find("a "), nullptr);
}

// A tree with comments at several levels, used by the copy tests.
Value annotated_tree() {
    return map(entry("list", annotated(seq(annotated(scalar("x"), {{"# on x", 4}}, "# after x"),
                                           map(entry("inner", annotated(scalar("y"), {}, "# after y")))),
                                       {{"# top", 0}, {"# second", 1}})),
               entry("text", scalar("plain")));
}

TEST(NodeComments, AbsentOrEmptyCommentsReadAsNone) {
    Node node(scalar("v"));
    const Node& read = node;
    EXPECT_TRUE(read.comments.empty());
    EXPECT_EQ(static_cast<const std::vector<CommentLine>&>(read.comments).size(), 0u);
    EXPECT_FALSE(read.inline_comment);
    EXPECT_EQ(static_cast<const std::optional<std::string>&>(read.inline_comment), std::nullopt);

    node.comments = std::vector<CommentLine>{};
    node.inline_comment = std::optional<std::string>{};
    EXPECT_TRUE(read.comments.empty());
    EXPECT_FALSE(read.inline_comment);
    EXPECT_EQ(node, Node(scalar("v")));
}

TEST(NodeComments, CopiesOwnTheirCommentsAndCompareByText) {
    Node original = annotated(scalar("v"), {{"# one", 0}, {"# two", 4}}, "# end");
    Node copy = vorn::deep_copy(original);
    EXPECT_EQ(copy, original);
    EXPECT_EQ(copy.comments, (std::vector<CommentLine>{{"# one", 0}, {"# two", 4}}));
    EXPECT_EQ(*copy.inline_comment, "# end");

    copy.comments[1].indent = 2;
    copy.inline_comment = std::optional<std::string>("# other");
    EXPECT_EQ(original.comments[1].indent, 4u);
    EXPECT_EQ(original.inline_comment, "# end");
    EXPECT_FALSE(copy == original);

    copy = vorn::deep_copy(original);
    EXPECT_EQ(copy, original);
    copy.inline_comment = std::optional<std::string>{};
    EXPECT_FALSE(copy == original);
}

TEST(DeepCopy, IsEqualIncludingComments) {
    Value original = annotated_tree();
    Value copy = vorn::deep_copy(original);
    EXPECT_TRUE(copy == original);
    const Node& list = *copy.mapping().find("list");
    EXPECT_EQ(list.comments, (std::vector<CommentLine>{{"# top", 0}, {"# second", 1}}));
    EXPECT_EQ(list.value.sequence()[0].inline_comment, "# after x");
    EXPECT_EQ(list.value.sequence()[1].value.mapping().find("inner")->inline_comment, "# after y");
}

TEST(DeepCopy, SharesNothingWithTheOriginal) {
    Value original = annotated_tree();
    Value copy = vorn::deep_copy(original);
    Node& copied_list = *copy.mapping().find("list");
    const Node& original_list = *original.mapping().find("list");
    EXPECT_NE(&copied_list.value.sequence(), &original_list.value.sequence());

    copied_list.value.sequence()[0].value.scalar() = "changed";
    copied_list.value.sequence()[0].comments[0].text = "# changed";
    copied_list.value.sequence()[1].value.mapping().insert("new", Node(scalar("z")));
    copy.mapping().find("text")->value.scalar().append("!");

    EXPECT_TRUE(original == annotated_tree());
    EXPECT_FALSE(copy == original);
}

TEST(DeepCopy, OfANodeKeepsItsOwnComments) {
    Node node = annotated(seq(scalar("a")), {{"# c", 3}}, "# i");
    Node copy = vorn::deep_copy(node);
    EXPECT_TRUE(copy == node);
    EXPECT_NE(&copy.value.sequence(), &node.value.sequence());
}

TEST(Equality, CommentsCountForEqualityButNotForSameValues) {
    Value plain = map(entry("k", scalar("v")));
    Value commented = map(entry("k", annotated(scalar("v"), {{"# c", 0}})));
    EXPECT_FALSE(plain == commented);
    EXPECT_TRUE(vorn::same_values(plain, commented));
    EXPECT_FALSE(vorn::same_values(plain, map(entry("k", scalar("w")))));
    EXPECT_FALSE(vorn::same_values(plain, map(entry("K", scalar("v")))));
    EXPECT_FALSE(vorn::same_values(seq(scalar("v")), map(entry("k", scalar("v")))));
    EXPECT_FALSE(vorn::same_values(seq(scalar("a")), seq(scalar("a"), scalar("b"))));
}

TEST(Ownership, MovingAContainerKeepsItsStorage) {
    Value value = seq(scalar("a"), scalar("b"));
    const Sequence* storage = &value.sequence();
    Value moved = std::move(value);
    EXPECT_EQ(&moved.sequence(), storage);

    Node node(std::move(moved));
    EXPECT_EQ(&node.value.sequence(), storage);
}

TEST(CountValues, CountsEveryValueUpToTheLimit) {
    Value value = map(entry("a", seq(scalar("x"), scalar("y"))), entry("b", map()));
    EXPECT_EQ(vorn::count_values(value, 100), 5u);
    EXPECT_EQ(vorn::count_values(value, 2), 3u);  // stops just past the limit
}

// A chain of `depth` containers, sequences and mappings alternating, each
// child carrying a comment line, with a scalar at the bottom.
Value deep_chain(std::size_t depth) {
    Value current = scalar("bottom");
    for (std::size_t level = 0; level < depth; ++level) {
        Node child = annotated(std::move(current), {{"# level", level}});
        if (level % 2 == 0) {
            Sequence items;
            items.append(std::move(child));
            current = Value(std::move(items));
        } else {
            Mapping entries;
            entries.insert("k", std::move(child));
            current = Value(std::move(entries));
        }
    }
    return current;
}

constexpr std::size_t deep = 100'000;

TEST(DeepTrees, CopyCompareCountAndDestroyWithoutRecursion) {
    Value original = deep_chain(deep);
    Value copy = vorn::deep_copy(original);
    EXPECT_TRUE(copy == original);
    EXPECT_TRUE(vorn::same_values(copy, original));
    EXPECT_EQ(vorn::count_values(copy, deep * 2), deep + 1);

    // Change the bottom of the copy: the comparison must reach it.
    const Value* bottom = &copy;
    while (!bottom->is_scalar())
        bottom = bottom->is_sequence() ? &bottom->sequence()[0].value : &bottom->mapping().begin()->second.value;
    const_cast<Value*>(bottom)->scalar() = "changed";
    EXPECT_FALSE(copy == original);
}

TEST(DeepTrees, AssignmentOverADeepTreeReleasesIt) {
    Value value = deep_chain(deep);
    value = scalar("small");
    EXPECT_EQ(value.scalar(), "small");
    Node node(deep_chain(deep));
    node.value = deep_chain(deep);
    EXPECT_EQ(vorn::count_values(node.value, deep * 2), deep + 1);
}

}  // namespace
