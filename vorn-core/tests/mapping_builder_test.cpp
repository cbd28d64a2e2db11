// The reader's mapping builder against the plain rules it must follow: a
// later entry replaces an earlier one under the same key, a merged entry
// fills only a key absent at its arrival, and the result is in key order.
#include "tree/mapping_builder.hpp"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace vorn {
namespace {

// One arrival: a plain entry, or a merge of several (key, text) entries.
struct Arrival {
    bool merge;
    std::vector<std::pair<std::string, std::string>> entries;
};

// The rules applied one arrival at a time to an ordered map.
std::map<std::string, std::string> expected_after(const std::vector<Arrival>& arrivals) {
    std::map<std::string, std::string> result;
    for (const Arrival& arrival : arrivals) {
        for (const auto& [key, text] : arrival.entries) {
            if (arrival.merge) {
                result.try_emplace(key, text);
            } else {
                result[key] = text;
            }
        }
    }
    return result;
}

std::map<std::string, std::string> built_from(const std::vector<Arrival>& arrivals) {
    // Entries left on the stack by an enclosing mapping must stay untouched.
    std::vector<DocEntry> stack = {{"enclosing", DocNode{DocValue::scalar("kept")}}};
    Arena arena;
    MappingBuilder builder(stack);
    for (const Arrival& arrival : arrivals) {
        if (!arrival.merge) {
            builder.put(arrival.entries[0].first, DocNode{DocValue::scalar(arrival.entries[0].second)});
            continue;
        }
        std::vector<DocEntry> source;
        for (const auto& [key, text] : arrival.entries) source.push_back({key, DocNode{DocValue::scalar(text)}});
        builder.merge(source);
    }
    const DocValue finished = std::move(builder).finish(arena);
    EXPECT_EQ(stack.size(), 1u);
    EXPECT_EQ(stack[0].key, "enclosing");
    std::map<std::string, std::string> result;
    std::string_view previous;
    for (const DocEntry& entry : finished.entries()) {
        EXPECT_TRUE(result.empty() || previous < entry.key) << "keys out of order at " << entry.key;
        previous = entry.key;
        result.emplace(entry.key, entry.node.value.text());
    }
    EXPECT_EQ(result.size(), finished.entries().size());
    return result;
}

Arrival put(std::string key, std::string text) { return {false, {{std::move(key), std::move(text)}}}; }
Arrival merged(std::vector<std::pair<std::string, std::string>> entries) { return {true, std::move(entries)}; }

TEST(MappingBuilder, FollowsTheRulesInEveryArrivalOrder) {
    const std::vector<std::pair<const char*, std::vector<Arrival>>> cases = {
        {"nothing", {}},
        {"ascending", {put("a", "1"), put("b", "2"), put("c", "3")}},
        {"the last key again", {put("a", "1"), put("b", "2"), put("b", "3")}},
        {"an earlier key again while ascending", {put("a", "1"), put("b", "2"), put("a", "3"), put("c", "4")}},
        {"descending", {put("c", "1"), put("b", "2"), put("a", "3")}},
        {"out of order, then replaced", {put("b", "1"), put("a", "2"), put("b", "3"), put("a", "4")}},
        {"merge into nothing", {merged({{"a", "m"}, {"b", "m"}}), put("a", "1")}},
        {"merge keeps present keys", {put("b", "1"), merged({{"a", "m"}, {"b", "m"}, {"c", "m"}})}},
        {"merge after out of order", {put("c", "1"), put("a", "2"), merged({{"a", "m"}, {"b", "m"}, {"c", "m"}})}},
        {"plain entry after a merge replaces",
         {merged({{"a", "m"}}), put("b", "1"), merged({{"a", "n"}}), put("a", "2")}},
        {"second merge loses to the first", {put("z", "1"), merged({{"a", "m"}}), merged({{"a", "n"}, {"b", "n"}})}},
        {"merged key below the last, later replaced",
         {put("z", "1"), merged({{"a", "m"}}), put("a", "2"), merged({{"a", "n"}})}},
    };
    for (const auto& [name, arrivals] : cases) EXPECT_EQ(built_from(arrivals), expected_after(arrivals)) << name;
}

TEST(MappingBuilder, AgreesWithTheRulesOnRandomArrivals) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 500; ++round) {
        std::vector<Arrival> arrivals;
        // Every tenth round is long enough for the general sort, and for
        // more flags than a word holds.
        const int count = static_cast<int>(round % 10 == 0 ? 40 + random() % 120 : random() % 12);
        for (int i = 0; i < count; ++i) {
            auto key = [&] { return std::string(1, static_cast<char>('a' + random() % 6)); };
            const std::string text = std::to_string(i);
            if (random() % 4 != 0) {
                arrivals.push_back(put(key(), text));
                continue;
            }
            std::map<std::string, std::string> source;
            for (int j = static_cast<int>(random() % 4); j >= 0; --j) source.emplace(key(), text);
            arrivals.push_back(merged({source.begin(), source.end()}));
        }
        ASSERT_EQ(built_from(arrivals), expected_after(arrivals)) << "round " << round;
    }
}

}  // namespace
}  // namespace vorn
