#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "vorn/emit.hpp"
#include "vorn/parse.hpp"

#include "tree_builders.hpp"
#include "write/emit_flat_tree.hpp"
#include "write/flat_tree.hpp"

namespace vorn {
namespace {

using namespace vorn::testing;
using Kind = FlatTree::Kind;

// A root mapping (position 0) of the given entries (1, 2, ...), scalars all.
FlatTree root_of(std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
    FlatTreeBuilder builder;
    builder.open(Kind::mapping, {});
    for (const auto& [key, text] : entries) builder.add_scalar(key, text);
    builder.close();
    return builder.finish();
}

struct StringCase {
    const char* name;
    std::string_view key;
    std::string_view text;
    WriteFault lossless;  // what WriteChecks::lossless reports, at the entry (position 2)
};

TEST(EmitChecked, FindsEveryStringThatWouldNotReadBack) {
    const StringCase cases[] = {
        {"plain", "k", "v", WriteFault::none},
        {"escapes and a carriage return inside a line", "k", "\"a\"\\\rb", WriteFault::none},
        {"literal block", "k", "a\n  b\nc", WriteFault::none},
        {"indented lines under one that is not", "k", "  a\nb", WriteFault::none},
        {"tab in a short string", "k", "a\tb", WriteFault::tab_in_text},
        {"tab in a long string", "k", "a long string of more than thirty-two bytes\t", WriteFault::tab_in_text},
        {"tab in a literal block", "k", "a\n\tb", WriteFault::tab_in_text},
        {"empty line", "k", "a\n\nb", WriteFault::empty_line},
        {"empty first line", "k", "\na", WriteFault::empty_line},
        {"final line feed", "k", "a\n", WriteFault::final_line_feed},
        {"line of spaces", "k", "a\n  \nb", WriteFault::white_space_line},
        {"line of other White_Space", "k", "a\n \xE3\x80\x80\nb", WriteFault::white_space_line},
        {"space at the end of a line", "k", "a \nb", WriteFault::trailing_white_space},
        {"carriage return before a line feed", "k", "a\r\nb", WriteFault::trailing_white_space},
        {"no-break space at the end", "k", "a\nb\xC2\xA0", WriteFault::trailing_white_space},
        {"no-break space at the start", "k",
         "a\n\xC2\xA0"
         "b",
         WriteFault::leading_white_space},
        {"no-break space after spaces", "k",
         "a\n  \xC2\xA0"
         "b",
         WriteFault::leading_white_space},
        {"every line indented", "k", " a\n  b", WriteFault::common_indentation},
        {"quoted key", "a: #b", "v", WriteFault::none},
        {"tab in a key", "a\tb", "v", WriteFault::tab_in_key},
        {"line feed in a key", "a\nb", "v", WriteFault::line_feed_in_key},
        {"line feed before a tab in a key", "\t\n", "v", WriteFault::line_feed_in_key},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FlatTree tree = root_of({{"_vorn_version", "1.0"}, {c.key, c.text}});
        const CheckedText checked = emit_checked(tree, WriteChecks::lossless);
        EXPECT_EQ(checked.fault, c.lossless);
        if (c.lossless == WriteFault::none) {
            EXPECT_EQ(checked.text, emit(tree));
            // What passes reads back as given.
            const Result<Value> reread = parse_document(checked.text);
            ASSERT_TRUE(reread);
            const Node* node = reread.value().mapping().find(c.key);
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->value.scalar(), c.text);
        } else {
            EXPECT_EQ(checked.node, 2u);
            EXPECT_TRUE(checked.text.empty());
        }
        // Only a line feed in a key stops the keys-only check.
        const CheckedText keys_only = emit_checked(tree, WriteChecks::keys);
        if (c.lossless == WriteFault::line_feed_in_key) {
            EXPECT_EQ(keys_only.fault, WriteFault::line_feed_in_key);
            EXPECT_EQ(keys_only.node, 2u);
        } else {
            EXPECT_EQ(keys_only.fault, WriteFault::none);
            EXPECT_EQ(keys_only.text, emit(tree));
        }
    }
}

TEST(EmitChecked, RootMustBeAMappingWithTheVersion) {
    FlatTreeBuilder scalar_root;
    scalar_root.add_scalar({}, "1.0");
    FlatTreeBuilder version_block;
    version_block.open(Kind::mapping, {});
    version_block.open(Kind::sequence, "_vorn_version");
    version_block.add_scalar({}, "1.0");
    version_block.close();
    version_block.close();

    struct RootCase {
        const char* name;
        FlatTree tree;
        WriteFault fault;
        std::size_t node;
    };
    RootCase cases[] = {
        {"scalar", scalar_root.finish(), WriteFault::root_not_mapping, 0},
        {"empty mapping", root_of({}), WriteFault::missing_version, 0},
        {"no version", root_of({{"_vorn_versio", "1.0"}}), WriteFault::missing_version, 0},
        {"other version", root_of({{"a", "x"}, {"_vorn_version", "1.00"}}), WriteFault::unsupported_version, 2},
        {"version as a collection", version_block.finish(), WriteFault::version_not_text, 1},
        {"version among White_Space", root_of({{"_vorn_version", " 1.0\xE3\x80\x80"}}), WriteFault::none, 0},
        {"of equal keys the one kept counts", root_of({{"_vorn_version", "1.0"}, {"_vorn_version", "2.0"}}),
         WriteFault::unsupported_version, 2},
    };
    for (const RootCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CheckedText checked = emit_checked(c.tree, WriteChecks::lossless);
        EXPECT_EQ(checked.fault, c.fault);
        EXPECT_EQ(checked.node, c.node);
        // The keys-only check leaves the root alone.
        EXPECT_EQ(emit_checked(c.tree, WriteChecks::keys).text, emit(c.tree));
    }
}

TEST(EmitChecked, ReportsTheFirstFaultInWrittenOrder) {
    // Entries 1 to 4 are written in the order 1, 4, 3, 2 (keys in byte order).
    const FlatTree tree = root_of({{"_vorn_version", "1.0"}, {"z", "tab\t"}, {"b", "end\n"}, {"a\nb", "v"}});
    EXPECT_EQ(emit_checked(tree, WriteChecks::lossless).node, 4u);
    const FlatTree without_key = root_of({{"_vorn_version", "1.0"}, {"z", "tab\t"}, {"b", "end\n"}});
    EXPECT_EQ(emit_checked(without_key, WriteChecks::lossless).fault, WriteFault::final_line_feed);
}

TEST(EmitChecked, FindUnwritableKeyWalksInWrittenOrder) {
    const Value clean = map(entry("a", seq(map(entry("b c", scalar("x\ny"))))), entry("k", scalar("\n")));
    EXPECT_EQ(find_unwritable_key(clean), nullptr);
    EXPECT_EQ(find_unwritable_key(scalar("a\nb")), nullptr);

    const Value faulty = map(entry("z\n", scalar("")),
                             entry("a", seq(scalar("x"), map(entry("ok", scalar("")), entry("in\nner", scalar(""))))));
    const std::string* found = find_unwritable_key(faulty);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*found, "in\nner");
    EXPECT_FALSE(is_writable_key("\n"));
    EXPECT_TRUE(is_writable_key(""));
    EXPECT_TRUE(is_writable_key("a\rb"));
}

TEST(EmitChecked, FindUnwritableKeyNeedsNoRecursion) {
    Value nested = map(entry("deep\nkey", scalar("")));
    for (int i = 0; i < 200'000; ++i) nested = seq(std::move(nested));
    const std::string* found = find_unwritable_key(nested);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*found, "deep\nkey");
}

}  // namespace
}  // namespace vorn
