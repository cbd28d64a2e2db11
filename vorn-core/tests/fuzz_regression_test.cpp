// Replays saved fuzz inputs through the checks of the target that found or
// exercises them: every file of fuzz/regressions/<target>/ (inputs that once
// crashed or broke a property, and hand-made hard cases) and of the committed
// corpus fuzz/corpus/<target>/. Built with the sanitizers like every core
// test, so a memory fault shows here as well as in the fuzzer.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "property_checks.hpp"

namespace {

namespace fs = std::filesystem;
using vorn::fuzz::FuzzTarget;

std::vector<fs::path> files_under(const fs::path& directory) {
    std::vector<fs::path> files;
    if (!fs::is_directory(directory)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(directory))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string read_bytes(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return bytes.str();
}

// Runs the target's check on every file; returns how many there were.
std::size_t replay(const FuzzTarget& target, const fs::path& directory) {
    const std::vector<fs::path> files = files_under(directory);
    for (const fs::path& file : files) {
        const vorn::fuzz::CheckFailure failure = target.check(read_bytes(file));
        EXPECT_FALSE(failure.has_value()) << file.string() << ": " << failure.value_or("");
    }
    return files.size();
}

class FuzzReplay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzReplay, saved_regressions_pass) {
    replay(GetParam(), fs::path(VORN_FUZZ_DIR) / "regressions" / std::string(GetParam().name));
}

TEST_P(FuzzReplay, committed_corpus_passes) {
    const std::size_t replayed = replay(GetParam(), fs::path(VORN_FUZZ_DIR) / "corpus" / std::string(GetParam().name));
    EXPECT_GT(replayed, 0u) << "the corpus of " << GetParam().name << " is missing";
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay,
                         ::testing::ValuesIn(vorn::fuzz::fuzz_targets().begin(), vorn::fuzz::fuzz_targets().end()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
