// The reader's arena tree: where its pieces live, and its conversion to an
// independent Value tree.
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/parse.hpp"

#include "read/read_document.hpp"
#include "tree_builders.hpp"

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
    for (std::size_t i = 1; i < placed.size(); ++i)
        EXPECT_LE(placed[i - 1].first + placed[i - 1].second, placed[i].first);
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

TEST(ReadDocument, MayDropCommentsOutsideAnchoredBlocksOnly) {
    const std::string text =
        "# top\n"
        "_vorn_version: \"1.0\"  # inline\n"
        "base: &b\n"
        "  # kept: it counts towards copying base\n"
        "  k: v\n"
        "plain:\n"
        "  # dropped\n"
        "  k: v  # dropped too\n";
    Result<Document> kept = read_document(text, Comments::kept);
    Result<Document> values = read_document(text, Comments::may_drop);
    ASSERT_TRUE(kept.ok() && values.ok());
    EXPECT_NE(kept.value().root().find("plain")->value.find("k")->notes, nullptr);
    EXPECT_EQ(values.value().root().find("plain")->value.find("k")->notes, nullptr);
    EXPECT_EQ(values.value().root().find("_vorn_version")->notes, nullptr);
    const DocNotes* inside = values.value().root().find("base")->value.find("k")->notes;
    ASSERT_NE(inside, nullptr);
    EXPECT_EQ(inside->comments[0].text, "# kept: it counts towards copying base");
    EXPECT_TRUE(same_values(to_value(kept.value().root()), to_value(values.value().root())));
}

// The copy budget counts the comments inside an anchored block, so both
// kinds of read refuse the same alias, at the same place.
TEST(ReadDocument, ChargesCommentsInsideAnchoredBlocksEitherWay) {
    std::string text = "_vorn_version: \"1.0\"\nbase: &b\n  - x  # " + std::string(6400, 'c') + "\ncopies:\n";
    for (int i = 0; i < 11'000; ++i) text += "  - *b\n";
    Result<Document> kept = read_document(text, Comments::kept);
    Result<Document> values = read_document(text, Comments::may_drop);
    ASSERT_FALSE(kept.ok());
    ASSERT_FALSE(values.ok());
    EXPECT_EQ(kept.error(), values.error());
    EXPECT_NE(kept.error().message.find("alias expansion exceeds limit"), std::string::npos);
}

// Each error points at one byte of the text: the first tab, the colon of
// the entry at fault, or the start of the line's content. '@' marks that
// byte in each case and is taken out before reading.
TEST(ReadDocument, ErrorsPointAtTheirByte) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"the first tab, not the line", "_vorn_version: 1.0\na:\n  b: x@\ty\t\n"},
        {"a line without a colon", "_vorn_version: 1.0\na: 1\n  \n   @broken\n"},
        {"an unknown alias in an entry", "_vorn_version: 1.0\nkey@: *nope\n"},
        {"after multi-byte text", "_vorn_version: 1.0\n\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87@: *nope\n"},
        {"inside an item's inline mapping", "_vorn_version: 1.0\ns:\n  -   k@: *nope\n"},
        {"an item whose key is empty", "_vorn_version: 1.0\ns:\n  - @: *x\n"},
        {"a bare item", "_vorn_version: 1.0\ns:\n  @- *nope\n"},
        {"an anchor without a block", "_vorn_version: 1.0\ns@: &a\n"},
        {"a merge of a list", "_vorn_version: 1.0\na: &a\n  - x\nb:\n  <<@: *a\n"},
        {"an inline mapping continued by items", "_vorn_version: 1.0\ns:\n  - k@: v\n    - x\n"},
        {"a line deeper than its block", "_vorn_version: 1.0\na: 1\n    @b: 2\n"},
        {"a line one space off", "_vorn_version: 1.0\na:\n  b: 1\n @c: 2\n"},
        {"a root sequence", "\n@- a\n"},
        {"the root, at a comment line too", "\n   @# c\n"},
    };
    for (const auto& [name, marked] : cases) {
        std::string text(marked);
        const std::size_t at = text.find('@');
        text.erase(at, 1);
        Result<Document> read = read_document(text, Comments::may_drop);
        ASSERT_FALSE(read.ok()) << name;
        EXPECT_EQ(read.error().offset, at) << name << ": " << read.error().render();
    }
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
