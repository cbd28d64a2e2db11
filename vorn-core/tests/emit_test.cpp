#include "vorn/emit.hpp"

#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

#include "tree_builders.hpp"

namespace vorn {
namespace {

using namespace vorn::testing;

TEST(Emit, LayoutExampleWithoutComments) {
    const Value root =
        map(entry("_vorn_version", scalar("1.0")),
            entry("list", seq(scalar("x"), map(entry("k", scalar("v"))), Value::empty_sequence(), seq(scalar("y")))),
            entry("empty", Value::empty_mapping()));
    EXPECT_EQ(emit(root),
              "_vorn_version: \"1.0\"\n"
              "empty: {}\n"
              "list:\n"
              "  - \"x\"\n"
              "  - \n"
              "    k: \"v\"\n"
              "  - []\n"
              "  - \n"
              "    - \"y\"\n");
}

TEST(Emit, LayoutExampleWithComments) {
    const Value root = map(entry("items", annotated(seq(annotated(scalar("a"), {}, "#first"),
                                                        annotated(map(entry("k", scalar("v"))), {{"#sub", 4}}, "#map")),
                                                    {{"#top", 0}}, "#list")));
    EXPECT_EQ(emit(root),
              "#top\n"
              "items: #list\n"
              "  - \"a\" #first\n"
              "    #sub\n"
              "  -  #map\n"
              "    k: \"v\"\n");
}

TEST(Emit, ScalarExampleWithBlockQuotedKeyAndComment) {
    const Value root = map(entry("a", scalar("one\ntwo")), entry("b", annotated(scalar("say hi"), {}, "#greeting")),
                           entry("c d", scalar("")));
    EXPECT_EQ(emit(root),
              "a: |\n"
              "  one\n"
              "  two\n"
              "b: \"say hi\" #greeting\n"
              "\"c d\": \"\"\n");
}

TEST(Emit, RootsOfEveryKind) {
    EXPECT_EQ(emit(Value::empty_mapping()), "{}\n");
    EXPECT_EQ(emit(Value::empty_sequence()), "[]\n");
    EXPECT_EQ(emit(scalar("")), "\"\"\n");
    EXPECT_EQ(emit(scalar("a\nb")), "|\n  a\n  b\n");
    EXPECT_EQ(emit(seq(scalar("a"), scalar("b"))), "- \"a\"\n- \"b\"\n");
}

TEST(Emit, EntriesInByteOrderWithoutMovingTheVersion) {
    const Value root = map(entry("b", scalar("")), entry("\xC3\xA9", scalar("")), entry("a", scalar("")),
                           entry("_vorn_version", scalar("1.0")), entry("B", scalar("")), entry("ab", scalar("")),
                           entry("", scalar("")));
    EXPECT_EQ(emit(root),
              ": \"\"\n"
              "B: \"\"\n"
              "_vorn_version: \"1.0\"\n"
              "a: \"\"\n"
              "ab: \"\"\n"
              "b: \"\"\n"
              "\xC3\xA9: \"\"\n");
}

TEST(Emit, NestingIndentsTwoSpacesPerLevel) {
    const Value mapping_in_sequence_in_mapping =
        map(entry("outer", seq(map(entry("inner", map(entry("leaf", scalar("v"))))))));
    EXPECT_EQ(emit(mapping_in_sequence_in_mapping),
              "outer:\n"
              "  - \n"
              "    inner:\n"
              "      leaf: \"v\"\n");

    const Value sequence_in_sequence = seq(seq(seq(scalar("deep")), scalar("x")));
    EXPECT_EQ(emit(sequence_in_sequence),
              "- \n"
              "  - \n"
              "    - \"deep\"\n"
              "  - \"x\"\n");
}

TEST(Emit, EmptyCollectionsStayOnTheirParentsLine) {
    const Value root = map(entry("e", seq(Value::empty_mapping(), Value::empty_sequence())),
                           entry("m", Value::empty_mapping()), entry("s", Value::empty_sequence()));
    EXPECT_EQ(emit(root),
              "e:\n"
              "  - {}\n"
              "  - []\n"
              "m: {}\n"
              "s: []\n");
}

struct CommentCase {
    const char* name;
    Value root;
    std::string expected;
};

TEST(Emit, CommentsInTheirPlaces) {
    CommentCase cases[] = {
        {"comment lines keep their own indentation, not the node's",
         map(entry("k", seq(annotated(scalar("x"), {{"#six", 6}, {"#zero", 0}})))),
         "k:\n      #six\n#zero\n  - \"x\"\n"},
        {"comment line deeper than a root entry", map(entry("k", annotated(scalar("v"), {{"#c", 4}}))),
         "    #c\nk: \"v\"\n"},
        {"inline comment after an empty sequence and an empty mapping",
         map(entry("a", annotated(Value::empty_sequence(), {}, "#s")),
             entry("b", annotated(Value::empty_mapping(), {}, "#m"))),
         "a: [] #s\nb: {} #m\n"},
        {"inline comment on empty collections as items",
         seq(annotated(Value::empty_sequence(), {}, "#s"), annotated(Value::empty_mapping(), {}, "#m")),
         "- [] #s\n- {} #m\n"},
        {"inline comment on an entry holding a non-empty mapping",
         map(entry("k", annotated(map(entry("a", scalar("b"))), {}, "#c"))), "k: #c\n  a: \"b\"\n"},
        {"inline comment on an item holding a non-empty sequence", seq(annotated(seq(scalar("a")), {}, "#c")),
         "-  #c\n  - \"a\"\n"},
        {"inline comment after the bar of a literal block", seq(annotated(scalar("a\nb"), {}, "# c")),
         "- | # c\n  a\n  b\n"},
    };
    for (auto& c : cases) EXPECT_EQ(emit(c.root), c.expected) << c.name;
}

// Runs `job` on a thread whose stack is far too small for a walk that
// recurses once per level of a deep tree.
template <typename Job>
void run_on_small_stack(Job& job) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 256 * 1024), 0);
    pthread_t thread;
    auto trampoline = [](void* argument) -> void* {
        (*static_cast<Job*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, trampoline, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(Emit, DeepTreesUseNoNativeRecursion) {
    // The output grows with the square of the depth (two spaces per level),
    // so the depth is bounded by memory; the small stack does the proving.
    constexpr std::size_t depth = 4000;
    Value nested_sequence = scalar("leaf");
    Value nested_mapping = scalar("leaf");
    for (std::size_t i = 0; i < depth; ++i) {
        nested_sequence = seq(std::move(nested_sequence));
        nested_mapping = map(entry("k", std::move(nested_mapping)));
    }
    std::string sequence_text;
    std::string mapping_text;
    auto job = [&] {
        sequence_text = emit(nested_sequence);
        mapping_text = emit(nested_mapping);
    };
    run_on_small_stack(job);

    // Line i (0-based) holds 2i spaces and a bare hyphen; the last holds the leaf.
    const std::string last_item = std::string(2 * (depth - 1), ' ') + "- \"leaf\"\n";
    ASSERT_GE(sequence_text.size(), last_item.size());
    EXPECT_EQ(sequence_text.substr(sequence_text.size() - last_item.size()), last_item);
    EXPECT_EQ(sequence_text.substr(0, 7), "- \n  - ");

    const std::string last_entry = std::string(2 * (depth - 1), ' ') + "k: \"leaf\"\n";
    ASSERT_GE(mapping_text.size(), last_entry.size());
    EXPECT_EQ(mapping_text.substr(mapping_text.size() - last_entry.size()), last_entry);
    EXPECT_EQ(mapping_text.substr(0, 7), "k:\n  k:");
}

}  // namespace
}  // namespace vorn
