// What the reader keeps beyond the values a Python caller sees: the comment
// lines and inline comments of each node, through nesting, anchors, aliases
// and merges. Also documents far deeper than the native stack.
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/parse.hpp"

#include "tree_builders.hpp"

namespace vorn {
namespace {

using testing::annotated;
using testing::entry;
using testing::map;
using testing::scalar;
using testing::seq;

constexpr std::string_view version_line = "_vorn_version: 1.0\n";

// The root of a document made of the version line and `body`, with the
// version entry taken out so expectations need not repeat it.
Value parse_body(std::string_view body) {
    Result<Value> parsed = parse_document(std::string(version_line) + std::string(body));
    EXPECT_TRUE(parsed.ok()) << (parsed.ok() ? "" : parsed.error().render());
    if (!parsed.ok()) return Value();
    Value root = std::move(parsed).value();
    root.mapping().insert("_vorn_version", Node());  // normalise: tested elsewhere
    return root;
}

Value with_version(Value expected) {
    expected.mapping().insert("_vorn_version", Node());
    return expected;
}

CommentLine comment(std::string text, std::uint64_t indent) { return CommentLine{std::move(text), indent}; }

struct AnnotationCase {
    std::string_view name;
    std::string_view body;
    Value expected;
};

TEST(ParseDocument, KeepsCommentLinesAndInlineComments) {
    AnnotationCase cases[] = {
        {"comment goes to the next entry", "x: 1\n#c\ny: 2\n",
         map(entry("x", scalar("1")), entry("y", annotated(scalar("2"), {comment("#c", 0)})))},
        {"deeper comment keeps its indent", "a: 1\n      #c\nb: 2\n",
         map(entry("a", scalar("1")), entry("b", annotated(scalar("2"), {comment("#c", 6)})))},
        {"comments at the end of a block go to the next entry, at the end of the document nowhere",
         "a:\n  x: 1\n  #kept\nb: 2\n#gone\n",
         map(entry("a", map(entry("x", scalar("1")))), entry("b", annotated(scalar("2"), {comment("#kept", 2)})))},
        {"comment between items", "a:\n  - x\n  #c\n    #d\n  - y\n",
         map(entry("a", seq(scalar("x"), annotated(scalar("y"), {comment("#c", 2), comment("#d", 4)}))))},
        {"shallower comment closes the sequence", "a:\n  - x\n#c\nb: 1\n",
         map(entry("a", seq(scalar("x"))), entry("b", annotated(scalar("1"), {comment("#c", 0)})))},
        {"comment above a nested block's entry", "#top\na: # on a\n  #in\n  k: v # on k\n",
         map(entry("a", annotated(map(entry("k", annotated(scalar("v"), {comment("#in", 2)}, "# on k"))),
                                  {comment("#top", 0)}, "# on a")))},
        {"inline comments of items and literal blocks",
         "s: # list\n  - a # one\n  - | # block\n    text\n  - # nested\n    - b\n",
         map(entry("s", annotated(seq(annotated(scalar("a"), {}, "# one"), annotated(scalar("text"), {}, "# block"),
                                      annotated(seq(scalar("b")), {}, "# nested")),
                                  {}, "# list")))},
        {"inline mapping: the item carries the comments, its entries carry their own",
         "s:\n  - x\n  #above\n  - k: v # item\n    #c\n    j: w # on j\n",
         map(entry("s",
                   seq(scalar("x"), annotated(map(entry("k", scalar("v")),
                                                  entry("j", annotated(scalar("w"), {comment("#c", 4)}, "# on j"))),
                                              {comment("#above", 2)}, "# item"))))},
        {"anchored entry keeps its own comments, the copy does not get them",
         "#top\na: &x # anchored\n  #inner\n  k: v\nb: *x # alias\n",
         map(entry("a", annotated(map(entry("k", annotated(scalar("v"), {comment("#inner", 2)}))), {comment("#top", 0)},
                                  "# anchored")),
             entry("b", annotated(map(entry("k", annotated(scalar("v"), {comment("#inner", 2)}))), {}, "# alias")))},
        {"a merge line passes the comments above it to the next entry and drops its own",
         "b: &b\n  k: v # kept\nm:\n  #above\n  <<: *b # dropped\n  j: w\n",
         map(entry("b", map(entry("k", annotated(scalar("v"), {}, "# kept")))),
             entry("m", map(entry("j", annotated(scalar("w"), {comment("#above", 2)})),
                            entry("k", annotated(scalar("v"), {}, "# kept")))))},
        {"inline merge of an anchored block", "s:\n  - <<: &n # item\n     k: v # on k\n  - *n\n",
         map(entry("s", seq(annotated(map(entry("k", annotated(scalar("v"), {}, "# on k"))), {}, "# item"),
                            map(entry("k", annotated(scalar("v"), {}, "# on k"))))))},
        {"deeper comment lines alone are an empty nested mapping", "a:\n  #c\nb: 1\n",
         map(entry("a", Value::empty_mapping()), entry("b", annotated(scalar("1"), {comment("#c", 2)})))},
    };
    for (AnnotationCase& c : cases) {
        EXPECT_TRUE(parse_body(c.body) == with_version(std::move(c.expected))) << c.name;
    }
}

TEST(ParseDocument, AliasesAreIndependentCopies) {
    Value root = parse_body("a: &x\n  k:\n    - v\nb: *x\nc: *x\n");
    root.mapping().find("b")->value.mapping().find("k")->value.sequence().append(Node(scalar("changed")));
    EXPECT_TRUE(same_values(root.mapping().find("a")->value, map(entry("k", seq(scalar("v"))))));
    EXPECT_TRUE(same_values(root.mapping().find("c")->value, map(entry("k", seq(scalar("v"))))));
}

TEST(ParseDocument, TwelveThousandLevelsDeep) {
    constexpr std::size_t levels = 12'000;
    std::string text(version_line);
    for (std::size_t level = 0; level < levels; ++level) text.append(level, ' ').append("k:\n");
    Result<Value> parsed = parse_document(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error().render();
    const Value* value = &parsed.value();
    std::size_t depth = 0;
    while (value->is_mapping()) {
        const Node* next = value->mapping().find("k");
        ASSERT_NE(next, nullptr);
        value = &next->value;
        ++depth;
    }
    EXPECT_EQ(depth, levels);
    EXPECT_EQ(value->scalar(), "");
}

TEST(ParseDocument, FourThousandInlineMappingsDeep) {
    // Each item "- k: N" goes on with an entry "n:" whose value is the next
    // sequence: three open frames per level, 12,000 in all.
    constexpr std::size_t levels = 4'000;
    std::string text(version_line);
    text += "s:\n";
    for (std::size_t level = 0; level < levels; ++level) {
        text.append(3 * level + 1, ' ').append("- k: ").append(std::to_string(level)).append("\n");
        text.append(3 * level + 3, ' ').append("n:\n");
    }
    text.append(3 * levels + 1, ' ').append("- end\n");
    Result<Value> parsed = parse_document(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error().render();
    const Value* value = &parsed.value().mapping().find("s")->value;
    for (std::size_t level = 0; level < levels; ++level) {
        ASSERT_TRUE(value->is_sequence() && value->sequence().size() == 1) << level;
        const Mapping& item = value->sequence()[0].value.mapping();
        ASSERT_EQ(item.size(), 2u) << level;
        EXPECT_EQ(item.find("k")->value.scalar(), std::to_string(level));
        value = &item.find("n")->value;
    }
    EXPECT_TRUE(same_values(*value, seq(scalar("end"))));
}

TEST(ParseDocument, BlankTextIsAnEmptyMappingWithoutVersion) {
    for (std::string_view text : {"", "\n\n", "  \n  \r\n"}) {
        Result<Value> parsed = parse_document(text);
        ASSERT_TRUE(parsed.ok()) << text;
        EXPECT_TRUE(parsed.value().is_mapping() && parsed.value().mapping().empty()) << text;
    }
}

}  // namespace
}  // namespace vorn
