// Parse and emit throughput of the Document core on a directory of
// documents: `vorn_core_bench --docs=DIR [google benchmark flags]`.
// Every `*.vorn` file in DIR becomes two benchmarks, parse/NAME and
// emit/NAME, whose bytes-per-second counter is the document's size (the
// emitted text's size for emit). mapping_insert/ORDER/N builds a value
// tree's Mapping of N keys given in ascending, descending or shuffled order
// and reads it once.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vorn/emit.hpp"
#include "vorn/parse.hpp"
#include "vorn/value.hpp"

#include "read/read_document.hpp"

namespace {

namespace fs = std::filesystem;

struct Document {
    std::string name;
    std::string text;
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Document> read_documents(const fs::path& dir) {
    std::vector<Document> documents;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().extension() == ".vorn") {
            documents.push_back({entry.path().stem().string(), read_file(entry.path())});
        }
    }
    // Directory order is arbitrary; a stable order keeps reports comparable.
    std::sort(documents.begin(), documents.end(), [](const Document& a, const Document& b) { return a.name < b.name; });
    return documents;
}

// The reader as `loads` uses it: text to the arena tree, dropped each time.
void parse_benchmark(benchmark::State& state, const Document* document) {
    for (auto _ : state) {
        auto result = vorn::read_document(document->text);
        if (!result) {
            state.SkipWithError(result.error().render().c_str());
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document->text.size()));
}

void emit_benchmark(benchmark::State& state, const Document* document) {
    auto parsed = vorn::parse_document(document->text);
    if (!parsed) {
        state.SkipWithError(parsed.error().render().c_str());
        for (auto _ : state) {
        }
        return;
    }
    std::size_t emitted_size = 0;
    for (auto _ : state) {
        std::string text = vorn::emit(parsed.value());
        emitted_size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * emitted_size));
}

enum class KeyOrder { ascending, descending, shuffled };

// Inserting N keys, then one lookup: the first read is where arrivals out of
// order are sorted, so it belongs to the cost of building.
void mapping_insert_benchmark(benchmark::State& state, KeyOrder order) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> keys;
    keys.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string number = std::to_string(i);
        keys.push_back("key" + std::string(8 - number.size(), '0') + number);
    }
    if (order == KeyOrder::descending) std::reverse(keys.begin(), keys.end());
    if (order == KeyOrder::shuffled) std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
    for (auto _ : state) {
        vorn::Mapping mapping;
        for (const std::string& key : keys) mapping.insert(key, vorn::Node());
        benchmark::DoNotOptimize(mapping.find(keys.front()));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

// Takes `--docs=DIR` out of the arguments that Google Benchmark left over.
std::string take_docs_flag(int argc, char** argv) {
    constexpr std::string_view prefix = "--docs=";
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.starts_with(prefix)) {
            return std::string(arg.substr(prefix.size()));
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string docs_dir = take_docs_flag(argc, argv);
    if (docs_dir.empty() || !fs::is_directory(docs_dir)) {
        std::fprintf(stderr, "usage: %s --docs=DIR [benchmark flags]\n", argv[0]);
        return 2;
    }
    // The benchmarks hold pointers into this list; it must outlive the run.
    const auto documents = std::make_unique<std::vector<Document>>(read_documents(docs_dir));
    if (documents->empty()) {
        std::fprintf(stderr, "no .vorn documents in %s\n", docs_dir.c_str());
        return 2;
    }
    for (const auto& document : *documents) {
        benchmark::RegisterBenchmark(("parse/" + document.name).c_str(), parse_benchmark, &document)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("emit/" + document.name).c_str(), emit_benchmark, &document)
            ->Unit(benchmark::kMillisecond);
    }
    for (const auto& [name, order] :
         {std::pair{"ascending", KeyOrder::ascending}, std::pair{"descending", KeyOrder::descending},
          std::pair{"shuffled", KeyOrder::shuffled}}) {
        benchmark::RegisterBenchmark((std::string("mapping_insert/") + name).c_str(), mapping_insert_benchmark, order)
            ->Arg(40'000)
            ->Arg(160'000)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
