// The reader's arena tree: where its pieces live, and its conversion to an
// independent Value tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tree_builders.hpp"
#include "vorn/parse.hpp"

namespace vorn {
namespace {

using testing::annotated;
using testing::entry;
using testing::map;
using testing::scalar;
using testing::seq;

bool inside(std::string_view piece, std::string_view text) {
    return piece.data() >= text.data() && piece.data() + piece.size() <= text.data() + text.size();
}

TEST(Arena, AlignsEveryPieceAndKeepsLargeOnesWhole) {
    Arena arena;
    std::vector<std::pair<std::uintptr_t, std::size_t>> placed;
    for (std::size_t size : {1u, 3u, 8u, 5000u, 7u, 2'000'000u, 16u}) {
        for (std::size_t alignment : {1u, 8u, 16u}) {
            auto* piece = static_cast<unsigned char*>(arena.allocate(size, alignment));
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece) % alignment, 0u) << size << " " << alignment;
            piece[0] = 1;
            piece[size - 1] = 2;
            placed.emplace_back(reinterpret_cast<std::uintptr_t>(piece), size);
        }
    }
    // No two pieces overlap.
    std::sort(placed.begin(), placed.end());
    for (std::size_t i = 1; i < placed.size(); ++i) EXPECT_LE(placed[i - 1].first + placed[i - 1].second, placed[i].first);
    EXPECT_GE(arena.reserved_bytes(), 6'000'000u);
}

TEST(ReadDocument, ViewsUnchangedTextAndRewritesOnlyWhatChanges) {
    const std::string text =
        "_vorn_version: \"1.0\"\n"
        "plain: some words\n"
        "quoted: \"no escapes\"\n"
        "escaped: \"say \\\"hi\\\"\"\n"
        "block: |\n"
        "  one\n"
        "    two\n";
    Result<Document> read = read_document(text);
    ASSERT_TRUE(read.ok()) << read.error().render();
    const DocValue& root = read.value().root();
    EXPECT_TRUE(inside(root.find("plain")->value.text(), text));
    EXPECT_TRUE(inside(root.find("quoted")->value.text(), text));
    EXPECT_EQ(root.find("escaped")->value.text(), "say \"hi\"");
    EXPECT_FALSE(inside(root.find("escaped")->value.text(), text));
    EXPECT_EQ(root.find("block")->value.text(), "one\n  two");
    EXPECT_EQ(root.find("missing"), nullptr);
}

TEST(ToValue, GivesEveryPositionOfASharedValueItsOwnCopy) {
    const std::string text =
        "_vorn_version: \"1.0\"\n"
        "base: &b\n"
        "  # about k\n"
        "  k: v  # trailing\n"
        "copies:\n"
        "  - *b\n"
        "  - *b\n";
    Result<Document> read = read_document(text);
    ASSERT_TRUE(read.ok()) << read.error().render();
    const DocValue& copies = read.value().root().find("copies")->value;
    // The reader shares the recorded value among its aliases...
    EXPECT_EQ(copies.items()[0].value.entries().data(), copies.items()[1].value.entries().data());

    // ...and the Value tree holds separate, equal copies, comments included.
    Value value = to_value(read.value().root());
    const Value inner = map(entry("k", annotated(scalar("v"), {CommentLine{"# about k", 2}}, "# trailing")));
    EXPECT_TRUE(value.mapping().find("base")->value == inner);
    Sequence& items = value.mapping().find("copies")->value.sequence();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].value == inner);
    items[0].value.mapping().find("k")->value.scalar() = "changed";
    EXPECT_TRUE(items[1].value == inner);
}

TEST(ToValue, ConvertsDeepTreesWithoutRecursion) {
    constexpr int depth = 200'000;
    Arena arena;
    DocValue level = DocValue::scalar("leaf");
    for (int i = 0; i < depth; ++i) {
        const DocNode only{level};
        level = DocValue::sequence(arena.copy(std::span<const DocNode>(&only, 1)));
    }
    const Value converted = to_value(level);
    const Value* inner = &converted;
    int seen = 0;
    while (inner->is_sequence()) {
        inner = &inner->sequence()[0].value;
        ++seen;
    }
    EXPECT_EQ(seen, depth);
    EXPECT_EQ(inner->scalar(), "leaf");
}

TEST(ToValue, KeepsScalarsEmptyContainersAndKeyOrder) {
    Arena arena;
    const Value source = map(entry("b", seq(scalar("x"), Value::empty_mapping())), entry("a", Value::empty_sequence()),
                             entry("c", scalar(std::string("nul\0inside", 10))));
    EXPECT_TRUE(to_value(testing::in_arena(source, arena)) == source);
    EXPECT_TRUE(to_value(DocValue::scalar("alone")) == scalar("alone"));
}

}  // namespace
}  // namespace vorn
