// Throughput of the digest path: MD5 over a buffer in memory, and full digests of a file that is
// in the page cache (read through the engine's one reused buffer, as a search does).
// Run: build/bench/quillon_bench --benchmark_filter=Md5|FullDigest
// BM_Md5EightStreams digests eight buffers of 256 MiB at once in the lanes of CMd5Lanes, fed in
// steps of 64 KiB as the file digests feed them; QUILLON_MD5=scalar measures the one-stream code
// on the same path.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/Md5.h"
#include "engine/Md5Lanes.h"
#include "platform/NativeName.h"

namespace {

std::vector<uint8_t> RandomBuffer(size_t size)
{
    std::vector<uint8_t> buffer(size);
    std::mt19937_64 random(42);
    for (size_t i = 0; i + 8 <= size; i += 8) {
        const uint64_t value = random();
        std::memcpy(buffer.data() + i, &value, 8);
    }
    return buffer;
}

void BM_Md5Buffer(benchmark::State& state)
{
    const auto buffer = RandomBuffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        Md5Digest digest = CMd5::Of(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Md5Buffer)->Arg(256 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

// Eight streams of 256 MiB in memory, digested side by side on the calling thread.
void BM_Md5EightStreams(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    constexpr size_t kStep = 65536;
    std::vector<std::vector<uint8_t>> streams;
    for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane) {
        streams.push_back(RandomBuffer(size));
        streams.back()[0] = static_cast<uint8_t>(lane);
    }
    CMd5Lanes lanes;
    state.SetLabel(lanes.Wide() ? "eight lanes" : "one stream at a time");
    for (auto _ : state) {
        size_t offset[CMd5Lanes::kLanes] = {};
        for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane)
            lanes.Start(lane);
        for (bool busy = true; busy;) {
            busy = false;
            for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane) {
                if (lanes.Busy(lane)) {
                    busy = true;
                } else if (offset[lane] < size) {
                    const size_t step = std::min(kStep, size - offset[lane]);
                    lanes.Update(lane, streams[lane].data() + offset[lane], step);
                    offset[lane] += step;
                    if (offset[lane] == size)
                        lanes.Finish(lane);
                    busy = true;
                }
            }
            lanes.Run();
        }
        Md5Digest digest = lanes.Digest(0);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0) * CMd5Lanes::kLanes);
}
BENCHMARK(BM_Md5EightStreams)->Arg(256 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full digest of one file kept in the page cache, bypassing the digest cache.
void BM_FullDigestCachedFile(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(state.range(0));
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon-digest-bench.bin";
    {
        const auto buffer = RandomBuffer(size);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) {
            state.SkipWithError("cannot write the test file");
            return;
        }
        close(fd);
    }
    const std::u16string path16 = DecodeNativeName(path);
    Md5Digest digest{};
    uint64_t bytes = 0;
    ComputeDigest(path16, 0, digest, bytes);  // warm the page cache
    for (auto _ : state) {
        if (!ComputeDigest(path16, 0, digest, bytes))
            state.SkipWithError("digest failed");
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    unlink(path.c_str());
}
BENCHMARK(BM_FullDigestCachedFile)->Arg(256 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
