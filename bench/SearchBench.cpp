// A search over an unchanged tree, repeated in the same process, against the scan alone: the
// digest caches should make the repeat cost little more than the walk. And the first search of a
// process: with the digest store on disk filled by an earlier one (no file content read), with an
// empty store, and with none.
// The tree: $QUILLON_BENCH_TREE if set, else one generated once under $TMPDIR (20,000 files of
// 1-16 KiB in 2,000 folders, a quarter of them copies).
// Run: build/bench/quillon_bench --benchmark_filter='Scan|Search'
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "engine/Catalogue.h"
#include "engine/DigestStore.h"
#include "engine/FolderScan.h"
#include "engine/SearchRun.h"
#include "engine/SqliteDigestStore.h"
#include "platform/NativeName.h"
#include "platform/PosixFileSystem.h"

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

// The real file system, counting the bytes read through it.
class CCountingFileSystem final : public IFileSystem {
public:
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        return CPosixFileSystem::Instance().OpenFolder(path);
    }
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override
    {
        auto real = CPosixFileSystem::Instance().OpenFile(path);
        if (!real)
            return nullptr;
        return std::make_unique<Reader>(*this, std::move(real));
    }
    std::atomic<uint64_t> bytesRead{0};

private:
    class Reader final : public IFileReader {
    public:
        Reader(CCountingFileSystem& owner, std::unique_ptr<IFileReader> real) : m_owner(owner), m_real(std::move(real)) {}
        uint64_t Size() const override { return m_real->Size(); }
        int64_t Read(void* buffer, size_t count) override
        {
            const int64_t got = m_real->Read(buffer, count);
            if (got > 0)
                m_owner.bytesRead += static_cast<uint64_t>(got);
            return got;
        }

    private:
        CCountingFileSystem& m_owner;
        std::unique_ptr<IFileReader> m_real;
    };
};

// A store file of the benchmarks' own, under $TMPDIR.
std::string StoreFile(const char* name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon-bench-store/" + name + ".sqlite";
}

void RemoveStore(const std::string& file)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        unlink((file + suffix).c_str());
}

void ForgetDigestsInMemory()
{
    g_quickDigestCache.clear();
    g_fullDigestCache.clear();
}

void Search(const std::u16string& tree)
{
    BeginSearchRun(0, 0);
    SearchThreadProc(nullptr, {tree});
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
    const std::string file = StoreFile("second");
    RemoveStore(file);
    CSqliteDigestStore store(file);
    g_digestStore = &store;
    ForgetDigestsInMemory();
    Search(tree);  // the first search fills the digest caches
    for (auto _ : state) {
        BeginSearchRun(0, 0);
        SearchThreadProc(nullptr, {tree});
        benchmark::DoNotOptimize(g_duplicates.size());
    }
    state.counters["files"] = g_fileCount;
    state.counters["rows"] = static_cast<double>(g_duplicates.size());
    g_digestStore = nullptr;
}
BENCHMARK(BM_SecondSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first search of a new process whose store on disk an earlier search filled: a new store
// object (a new connection) and empty caches in memory each time.
void BM_FirstSearchWarmStore(benchmark::State& state)
{
    const std::u16string tree = Tree();
    const std::string file = StoreFile("warm");
    RemoveStore(file);
    {
        CSqliteDigestStore store(file);
        g_digestStore = &store;
        ForgetDigestsInMemory();
        Search(tree);
        g_digestStore = nullptr;
    }
    CCountingFileSystem counting;
    g_fileSystem = &counting;
    for (auto _ : state) {
        state.PauseTiming();
        ForgetDigestsInMemory();
        auto store = std::make_unique<CSqliteDigestStore>(file);
        g_digestStore = store.get();
        state.ResumeTiming();
        Search(tree);
        benchmark::DoNotOptimize(g_duplicates.size());
        state.PauseTiming();
        g_digestStore = nullptr;
        store.reset();
        state.ResumeTiming();
    }
    g_fileSystem = &CPosixFileSystem::Instance();
    state.counters["rows"] = static_cast<double>(g_duplicates.size());
    state.counters["bytes_read"] = static_cast<double>(counting.bytesRead.load());
}
BENCHMARK(BM_FirstSearchWarmStore)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first search of a new process with an empty store (arg 1) or with none (arg 0).
void BM_FirstSearch(benchmark::State& state)
{
    const std::u16string tree = Tree();
    const std::string file = StoreFile("empty");
    for (auto _ : state) {
        state.PauseTiming();
        ForgetDigestsInMemory();
        RemoveStore(file);
        std::unique_ptr<CSqliteDigestStore> store;
        if (state.range(0) != 0)
            store = std::make_unique<CSqliteDigestStore>(file);
        g_digestStore = store.get();
        state.ResumeTiming();
        Search(tree);
        benchmark::DoNotOptimize(g_duplicates.size());
        state.PauseTiming();
        g_digestStore = nullptr;
        store.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(g_duplicates.size());
}
BENCHMARK(BM_FirstSearch)->ArgName("store")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
