#include "write/flat_tree.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "vorn/emit.hpp"

#include "tree_builders.hpp"
#include "write/emit_flat_tree.hpp"

namespace vorn {
namespace {

using Kind = FlatTree::Kind;
using namespace vorn::testing;

// A flat tree built by `build` and the value tree it stands for, given as
// its entries in the same order of arrival.
struct FlatCase {
    const char* name;
    std::function<void(FlatTreeBuilder&)> build;
    std::function<Value()> equivalent;
};

std::string emit_built(const FlatCase& c) {
    FlatTreeBuilder builder;
    c.build(builder);
    return emit(builder.finish());
}

TEST(FlatTree, EmitsAsTheValueTreeWould) {
    const FlatCase cases[] = {
        {"scalar root", [](FlatTreeBuilder& b) { b.add_scalar({}, "a\"b\\"); }, [] { return scalar("a\"b\\"); }},
        {"multi-line scalar root", [](FlatTreeBuilder& b) { b.add_scalar({}, "a\nb"); }, [] { return scalar("a\nb"); }},
        {"empty sequence root",
         [](FlatTreeBuilder& b) {
             b.open(Kind::sequence, {});
             b.close();
         },
         [] { return Value::empty_sequence(); }},
        {"empty mapping root",
         [](FlatTreeBuilder& b) {
             b.open(Kind::mapping, {}, 5);
             b.close();
         },
         [] { return Value::empty_mapping(); }},
        {"keys added out of order are written in byte order",
         [](FlatTreeBuilder& b) {
             b.open(Kind::mapping, {});
             b.add_scalar("b", "2");
             b.add_scalar("\xc3\xa9", "3");
             b.add_scalar("a", "1");
             b.add_scalar("B", "0");
             b.close();
         },
         [] {
             return map(entry("b", scalar("2")), entry("\xc3\xa9", scalar("3")), entry("a", scalar("1")),
                        entry("B", scalar("0")));
         }},
        {"of equal keys the last added stays, wherever it sorts",
         [](FlatTreeBuilder& b) {
             b.open(Kind::mapping, {});
             b.add_scalar("k", "first");
             b.add_scalar("a", "x");
             b.add_scalar("k", "second");
             b.add_scalar("k", "third");
             b.close();
         },
         [] {
             return map(entry("k", scalar("first")), entry("a", scalar("x")), entry("k", scalar("second")),
                        entry("k", scalar("third")));
         }},
        {"equal keys in a row, the earlier a container",
         [](FlatTreeBuilder& b) {
             b.open(Kind::mapping, {});
             b.open(Kind::sequence, "k");
             b.add_scalar({}, "dropped");
             b.close();
             b.add_scalar("k", "kept");
             b.close();
         },
         [] { return map(entry("k", seq(scalar("dropped"))), entry("k", scalar("kept"))); }},
        {"reordered entries carry their whole subtrees",
         [](FlatTreeBuilder& b) {
             b.open(Kind::mapping, {});
             b.open(Kind::mapping, "z");
             b.add_scalar("y", "1");
             b.add_scalar("x", "2");
             b.close();
             b.open(Kind::sequence, "m", 3);
             b.add_scalar({}, "i");
             b.open(Kind::sequence, {});
             b.close();
             b.open(Kind::mapping, {});
             b.close();
             b.close();
             b.add_scalar("a", "line\nline");
             b.close();
         },
         [] {
             return map(entry("z", map(entry("y", scalar("1")), entry("x", scalar("2")))),
                        entry("m", seq(scalar("i"), Value::empty_sequence(), Value::empty_mapping())),
                        entry("a", scalar("line\nline")));
         }},
        {"sequence of mappings in key order, nested two deep",
         [](FlatTreeBuilder& b) {
             b.open(Kind::sequence, {});
             b.open(Kind::mapping, {});
             b.add_scalar("a", "1");
             b.open(Kind::sequence, "b");
             b.add_scalar({}, "x");
             b.close();
             b.close();
             b.add_scalar({}, "tail");
             b.close();
         },
         [] { return seq(map(entry("a", scalar("1")), entry("b", seq(scalar("x")))), scalar("tail")); }},
        {"keys needing quotes",
         [](FlatTreeBuilder& b) {
             b.open(Kind::mapping, {});
             b.add_scalar("a b", "v");
             b.add_scalar("c:d", "e");
             b.close();
         },
         [] { return map(entry("a b", scalar("v")), entry("c:d", scalar("e"))); }},
    };
    for (const FlatCase& c : cases) EXPECT_EQ(emit_built(c), emit(c.equivalent())) << c.name;
}

// The lines a flat tree writes in one piece, decided 16, 8 or 4 bytes at a
// time, against the value tree's writer, which decides byte by byte: each
// byte that quotes a key or changes a scalar's spelling, at each place of
// keys and scalars of every length across those pieces' bounds, at depths
// either side of the deepest line written in one piece.
TEST(FlatTree, LinesWrittenWholeAreSpelledAsTheValueTreeSpellsThem) {
    const std::string bytes[] = {"\t",       "\n",       "\v",          "\f", "\r", " ", "#",
                                 ":",        "?",        "\"",          "'",  "\\", "-", std::string(1, '\0'),
                                 "\xc2\xa0", "\xc3\xa9", "\xe2\x80\xa8"};
    std::vector<std::string> texts;
    for (std::size_t length = 0; length <= 70; ++length) {
        texts.push_back(std::string(length, 'a'));
        for (const std::string& byte : bytes)
            for (std::size_t at = 0; at < length; at += (length < 20 ? 1 : 7))
                texts.push_back(std::string(at, 'a') + byte + std::string(length - at, 'b'));
    }
    // The tree borrows its strings.
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < texts.size(); ++i) keys.push_back(std::to_string(i));
    for (std::size_t i = 0; i < texts.size(); ++i) keys.push_back(std::to_string(i) + "s");
    for (const std::size_t depth : {std::size_t{0}, std::size_t{127}, std::size_t{128}, std::size_t{129}}) {
        FlatTreeBuilder builder;
        for (std::size_t level = 0; level <= depth; ++level) builder.open(Kind::mapping, level == 0 ? "" : "k");
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (texts[i].find('\n') == std::string::npos) builder.add_scalar(texts[i], "v");
            builder.add_scalar(keys[i], texts[i]);
            builder.open(Kind::sequence, keys[texts.size() + i]);
            builder.add_scalar({}, texts[i]);
            builder.close();
        }
        for (std::size_t level = 0; level <= depth; ++level) builder.close();
        const FlatTree tree = builder.finish();
        EXPECT_EQ(emit(tree), emit(to_value(tree))) << "depth " << depth;
    }
}

TEST(FlatTree, LargeMappingsSortAsByteStringsWithTheLastOfEqualKeysKept) {
    // Past the small-mapping sort, with keys equal in their first eight bytes,
    // keys that are prefixes of others, bytes above 0x7f, and duplicates.
    std::vector<std::string> keys;
    for (int i = 40; i > 0; --i) keys.push_back("key" + std::to_string(i % 13));
    for (const char* key : {"same8byt_z", "same8byt", "same8byt_a", "same8byt\x01", "\xc3\xa9t\xc3\xa9", "a"})
        keys.push_back(key);
    std::map<std::string, std::string> expected_entries;
    FlatTreeBuilder builder;
    builder.open(Kind::mapping, {});
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const std::string& key : keys) {
        values.push_back("v" + std::to_string(values.size()));
        builder.add_scalar(key, values.back());
        expected_entries[key] = values.back();
    }
    builder.close();
    std::string expected;
    for (const auto& [key, value] : expected_entries) expected += key + ": \"" + value + "\"\n";
    EXPECT_EQ(emit(builder.finish()), expected);
}

TEST(FlatTree, ExpectedSizeIsTheWrittenSizeWhenNothingIsEscaped) {
    FlatTreeBuilder builder;
    builder.open(Kind::mapping, {});
    builder.add_scalar("b", "two");
    builder.open(Kind::sequence, "a");
    builder.add_scalar({}, "x");
    builder.open(Kind::mapping, {});
    builder.add_scalar("k", "v");
    builder.close();
    builder.close();
    builder.close();
    const FlatTree tree = builder.finish();
    const std::string text = emit(tree);
    // Each container counts as a line holding a quoted scalar: 5 bytes over
    // for the root, which writes no line of its own, 3 for "a:" and 2 for
    // the bare hyphen.
    EXPECT_EQ(tree.expected_text_size(), text.size() + 5 + 3 + 2) << text;
}

TEST(FlatTree, DeepNestingIsWrittenWithoutRecursion) {
    constexpr int depth = 3000;
    FlatTreeBuilder builder;
    for (int level = 0; level < depth; ++level) builder.open(Kind::mapping, "k");
    builder.add_scalar("k", "leaf");
    for (int level = 0; level < depth; ++level) builder.close();
    const std::string text = emit(builder.finish());
    const std::string last_line = std::string(2 * (depth - 1), ' ') + "k: \"leaf\"\n";
    ASSERT_GE(text.size(), last_line.size());
    EXPECT_EQ(text.substr(text.size() - last_line.size()), last_line);
}

}  // namespace
}  // namespace vorn
