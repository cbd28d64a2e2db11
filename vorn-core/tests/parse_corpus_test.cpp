// The reading side against the corpus in tests/data: every invalid document
// fails with its exact error text, and every valid one with content
// survives a trip through the writer and back, comments included.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "vorn/emit.hpp"
#include "vorn/parse.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<fs::path> documents(const char* kind) {
    std::vector<fs::path> paths;
    for (const auto& item : fs::directory_iterator(fs::path(VORN_TEST_DATA_DIR) / kind))
        if (item.path().extension() == ".vorn") paths.push_back(item.path());
    return paths;
}

TEST(ParseCorpus, InvalidDocumentsFailWithTheirExactError) {
    const std::vector<fs::path> paths = documents("invalid");
    ASSERT_FALSE(paths.empty());
    for (const fs::path& path : paths) {
        std::string expected = read_file(fs::path(path).replace_extension(".error"));
        ASSERT_TRUE(!expected.empty() && expected.back() == '\n') << path;
        expected.pop_back();
        Result<Value> parsed = parse_document(read_file(path));
        ASSERT_FALSE(parsed.ok()) << path;
        EXPECT_EQ("parse error: " + parsed.error().render(), expected) << path;
    }
}

TEST(ParseCorpus, ValidDocumentsReadBackFromWhatTheWriterMakes) {
    const std::vector<fs::path> paths = documents("valid");
    ASSERT_FALSE(paths.empty());
    for (const fs::path& path : paths) {
        Result<Value> parsed = parse_document(read_file(path));
        ASSERT_TRUE(parsed.ok()) << path << ": " << parsed.error().render();
        // The writer spells an empty root "{}", which is no document.
        if (parsed.value().mapping().empty()) continue;
        const std::string written = emit(parsed.value());
        Result<Value> reread = parse_document(written);
        ASSERT_TRUE(reread.ok()) << path << ": " << reread.error().render() << "\n" << written;
        EXPECT_TRUE(reread.value() == parsed.value()) << path << "\n" << written;
    }
}

}  // namespace
}  // namespace vorn
