// The reader's kept growth buffers: a finished block holds exactly its
// elements, a kept buffer comes back empty with its capacity, and what is
// kept stays bounded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../src/lib/mapping_builder.hpp"
#include "../src/lib/scratch_vectors.hpp"

namespace vorn {
namespace {

// Its own element type, so that no other test's blocks share the pool.
struct Probe {
    std::string text;
};
using Pool = ScratchVectors<Probe>;

void drain_pool() {
    while (Pool::take().capacity() != 0) {
    }
}

std::vector<Probe> collected(std::size_t count) {
    std::vector<Probe> buffer;
    for (std::size_t i = 0; i < count; ++i) buffer.push_back(Probe{std::string(40, 'a') + std::to_string(i)});
    return buffer;
}

TEST(ScratchVectors, ExactCopyHoldsTheElementsInOrderAtTheirNumber) {
    struct Case {
        std::size_t count;
        bool exact;  // false: the collecting array itself is the result
    };
    const Case cases[] = {{1, true}, {3, true}, {10, true}, {200, true}, {257, false}, {5000, false}};
    for (const Case& c : cases) {
        drain_pool();
        std::vector<Probe> buffer = collected(c.count);
        const std::size_t capacity = buffer.capacity();
        const std::vector<Probe> result = Pool::exact_copy(std::move(buffer));
        ASSERT_EQ(result.size(), c.count);
        EXPECT_EQ(result.capacity(), c.exact ? c.count : capacity) << c.count;
        for (std::size_t i = 0; i < c.count; ++i) ASSERT_EQ(result[i].text, std::string(40, 'a') + std::to_string(i));
        // A copied buffer went back to the pool, emptied; a kept array did not.
        const std::vector<Probe> next = Pool::take();
        EXPECT_TRUE(next.empty());
        EXPECT_EQ(next.capacity() != 0, c.exact && capacity != c.count) << c.count;
    }
}

TEST(ScratchVectors, KeepsAtMostThirtyTwoSmallBuffers) {
    drain_pool();
    for (int i = 0; i < 40; ++i) Pool::give_back(collected(4));
    Pool::give_back(collected(1000));  // too large to keep
    int kept = 0;
    while (Pool::take().capacity() != 0) ++kept;
    EXPECT_EQ(kept, 32);
}

TEST(ScratchVectors, MappingsFromKeptBuffersAreExactAndIndependent) {
    // The second builder reuses the first one's buffer; the first mapping
    // must be unaffected and both hold exactly their entries.
    std::vector<Mapping> mappings;
    for (int round = 0; round < 2; ++round) {
        MappingBuilder builder;
        for (int i = 0; i < 5; ++i)
            builder.put(std::string(1, static_cast<char>('a' + i)), Node(Value(std::to_string(round))));
        mappings.push_back(std::move(builder).finish());
    }
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(mappings[round].size(), 5u);
        for (const auto& [key, node] : mappings[round]) EXPECT_EQ(node.value.scalar(), std::to_string(round)) << key;
    }
}

}  // namespace
}  // namespace vorn
