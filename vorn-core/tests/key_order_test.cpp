// The radix order of keys against a stable comparison sort, on keys made to
// tie where the radix sort could go wrong: on their first 16 bytes, in the
// zero padding of short keys (a key ending in NUL bytes), and as duplicates.
#include "tree/key_order.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {
namespace {

std::string random_key(std::mt19937& random) {
    static const std::vector<std::string> stems = {"", "a", "ab", "service.database", "abcdefgh", "abcdefghijklmnop"};
    std::string key = stems[random() % stems.size()];
    const std::size_t tail = random() % 20;
    for (std::size_t i = 0; i < tail; ++i) key += "\0a\x7f\x80\xff"[random() % 5];
    return key;
}

TEST(KeyOrder, RadixOrderIsTheStableByteOrder) {
    std::mt19937 random(7);
    for (const std::size_t count : {radix_sort_limit + 1, std::size_t{1000}, std::size_t{5000}}) {
        std::vector<std::string> owned;
        for (std::size_t i = 0; i < count; ++i) owned.push_back(random_key(random));
        const std::vector<std::string_view> keys(owned.begin(), owned.end());

        std::vector<std::uint32_t> expected(count);
        std::iota(expected.begin(), expected.end(), 0u);
        std::stable_sort(expected.begin(), expected.end(),
                         [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
        EXPECT_EQ(order_by_key_bytes(keys), expected) << count << " keys";

        // And sort_by_key, which the builders call, moves the items so.
        std::vector<std::size_t> items(count);
        std::iota(items.begin(), items.end(), std::size_t{0});
        sort_by_key(
            std::span<std::size_t>(items), [&keys](std::size_t i) { return keys[i]; },
            [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
        EXPECT_TRUE(std::equal(items.begin(), items.end(), expected.begin())) << count << " keys";
    }
}

}  // namespace
}  // namespace vorn
