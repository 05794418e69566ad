// A search over an unchanged tree, repeated in the same process, against the scan alone: the
// digest caches should make the repeat cost little more than the walk.
// The tree: $QUILLON_BENCH_TREE if set, else one generated once under $TMPDIR (20,000 files of
// 1-16 KiB in 2,000 folders, a quarter of them copies).
// Run: build/bench/quillon_bench --benchmark_filter='Scan|Search'
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "engine/Catalogue.h"
#include "engine/FolderScan.h"
#include "engine/SearchRun.h"
#include "platform/NativeName.h"

namespace {

std::string GeneratedTree()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon-search-bench-tree";
    const std::string done = root + ".complete";
    struct stat st;
    if (stat(done.c_str(), &st) == 0)
        return root;
    std::mt19937 random(2024);
    mkdir(root.c_str(), 0755);
    std::string previous;
    for (int folder = 0; folder < 2000; ++folder) {
        const std::string path = root + "/" + std::to_string(folder / 100) + "/" + std::to_string(folder);
        mkdir((root + "/" + std::to_string(folder / 100)).c_str(), 0755);
        mkdir(path.c_str(), 0755);
        for (int file = 0; file < 10; ++file) {
            std::string content;
            if (!previous.empty() && random() % 4 == 0) {
                content = previous;  // a copy of an earlier file
            } else {
                content.resize(1024 + random() % (15 * 1024));
                for (char& c : content)
                    c = static_cast<char>(random());
                previous = content;
            }
            std::ofstream(path + "/f" + std::to_string(file), std::ios::binary) << content;
        }
    }
    std::ofstream(done) << "ok";
    return root;
}

std::u16string Tree()
{
    const char* given = std::getenv("QUILLON_BENCH_TREE");
    return DecodeNativeName(given && *given ? std::string(given) : GeneratedTree());
}

void BM_ScanOnly(benchmark::State& state)
{
    const std::u16string tree = Tree();
    for (auto _ : state) {
        BeginSearchRun(0, 0);
        ScanSearchFolders({tree}, nullptr);
        benchmark::DoNotOptimize(g_fileCount);
    }
    state.counters["files"] = g_fileCount;
}
BENCHMARK(BM_ScanOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SecondSearch(benchmark::State& state)
{
    const std::u16string tree = Tree();
    BeginSearchRun(0, 0);
    SearchThreadProc(nullptr, {tree});  // the first search fills the digest caches
    for (auto _ : state) {
        BeginSearchRun(0, 0);
        SearchThreadProc(nullptr, {tree});
        benchmark::DoNotOptimize(g_duplicates.size());
    }
    state.counters["files"] = g_fileCount;
    state.counters["rows"] = static_cast<double>(g_duplicates.size());
}
BENCHMARK(BM_SecondSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
