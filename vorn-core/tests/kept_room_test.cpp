#include "tree/kept_room.hpp"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "vorn/parse.hpp"

#include "tree/arena.hpp"

namespace vorn {
namespace {

std::string flat_document(int entries) {
    std::string text = "_vorn_version: 1.0\n";
    for (int i = 0; i < entries; ++i) text += "k" + std::to_string(i) + ": v\n";
    return text;
}

// Reads large enough that every kept buffer is in use.
void read_twice() {
    for (int i = 0; i < 2; ++i)
        if (!parse_document(flat_document(5000)).ok()) std::abort();
}

TEST(KeptRoomDeathTest, ReadsAfterTheThreadsObjectsAreDestroyedKeepNothing) {
    // std::exit destroys the thread's objects before it runs the exit
    // handlers, which read again.
    EXPECT_EXIT(
        {
            read_twice();
            std::atexit(read_twice);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// A chunk of `size` bytes, freed: kept for the next arena.
void keep_chunk_of(std::size_t size) {
    Arena arena;
    arena.allocate(size, 1);
}

TEST(KeptRoom, AnArenaReusesAKeptChunkOnlyForAPieceOfAboutItsSize) {
    keep_chunk_of(std::size_t{300} << 10);
    {
        Arena large;
        large.allocate(std::size_t{250} << 10, 1);
        // The kept chunk, larger than the piece, holds it.
        EXPECT_GT(large.reserved_bytes(), std::size_t{300} << 10);
    }
    Arena small;
    small.allocate(16, 1);
    // A small document, perhaps kept for long, does not hold the chunk.
    EXPECT_LT(small.reserved_bytes(), std::size_t{64} << 10);
}

TEST(KeptRoom, TakesOnlyRoomThatSuitsTheRead) {
    std::vector<int> buffer;
    buffer.reserve(100000);
    KeptRoom<int>::keep(std::move(buffer), 400000);
    EXPECT_EQ(KeptRoom<int>::take(10).capacity(), 0u);
    EXPECT_GE(KeptRoom<int>::take(400000).capacity(), 100000u);
    // Taken: nothing is kept until a buffer is given back.
    EXPECT_EQ(KeptRoom<int>::take(400000).capacity(), 0u);
}

}  // namespace
}  // namespace vorn
