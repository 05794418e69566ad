#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "engine/Md5Lanes.h"
#include "tests/support/Md5Reference.h"
#include "tests/support/TempDir.h"

using quillon::test::Hex;
using quillon::test::kMd5ReferenceSuite;
using quillon::test::RandomBytes;

namespace {

// Runs the lanes on the code path QUILLON_MD5 selects ("scalar" stands for a processor without
// AVX2), restoring the variable afterwards.
class ScopedMd5Choice {
public:
    explicit ScopedMd5Choice(const char* choice)
    {
        if (const char* old = std::getenv("QUILLON_MD5"))
            m_old = old, m_had = true;
        if (choice)
            setenv("QUILLON_MD5", choice, 1);
        else
            unsetenv("QUILLON_MD5");
    }
    ~ScopedMd5Choice()
    {
        if (m_had)
            setenv("QUILLON_MD5", m_old.c_str(), 1);
        else
            unsetenv("QUILLON_MD5");
    }

private:
    std::string m_old;
    bool m_had = false;
};

// Feeds messages through the lanes the way the file digests do: each lane takes the next message
// as soon as its last one is digested, and gives it in steps of its own size (so lanes start,
// end and refill at different blocks); Run goes on while any lane is busy. Lane 7 gives each step
// in two Updates, the second one before the first was digested. Returns the digests in message order.
std::vector<Md5Digest> DigestThroughLanes(CMd5Lanes& lanes, const std::vector<std::string>& messages)
{
    static const size_t kStep[CMd5Lanes::kLanes] = {1024, 64, 65, 4096, 1000, 63, 333, 130};
    struct Feed {
        size_t message = SIZE_MAX;
        size_t offset = 0;
    } feed[CMd5Lanes::kLanes];
    std::vector<Md5Digest> digests(messages.size());
    size_t nextMessage = 0;
    for (;;) {
        bool anyBusy = false;
        for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane) {
            Feed& f = feed[lane];
            if (lanes.Busy(lane)) {
                anyBusy = true;
                continue;
            }
            if (f.message != SIZE_MAX && f.offset == messages[f.message].size() + 1) {
                digests[f.message] = lanes.Digest(lane);
                f.message = SIZE_MAX;
            }
            if (f.message == SIZE_MAX) {
                if (nextMessage == messages.size())
                    continue;
                f = Feed{nextMessage++, 0};
                lanes.Start(lane);
            }
            const std::string& message = messages[f.message];
            const size_t step = std::min(kStep[lane], message.size() - f.offset);
            if (lane == 7 && step > 1) {
                lanes.Update(lane, message.data() + f.offset, step / 2);
                lanes.Update(lane, message.data() + f.offset + step / 2, step - step / 2);
            } else {
                lanes.Update(lane, message.data() + f.offset, step);
            }
            f.offset += step;
            if (f.offset == message.size()) {
                lanes.Finish(lane);
                f.offset = message.size() + 1;
            }
            anyBusy = true;
        }
        if (!anyBusy)
            return digests;
        lanes.Run();
    }
}

}  // namespace

TEST(Md5Lanes, EveryLaneGivesTheScalarDigestWhateverTheLengthsAndTheRefills)
{
    // Every length from 0 to 4,200 bytes: across the 56- and 64-byte padding edges, the 1024-byte
    // quick digest and several steps, in lanes that refill at different blocks. Then the same
    // messages longest first, so that other lanes meet other lengths.
    std::vector<std::string> messages;
    for (size_t length = 0; length <= 4200; ++length)
        messages.push_back(RandomBytes(length, static_cast<unsigned>(length) + 1));
    std::vector<std::string> reversed(messages.rbegin(), messages.rend());
    // Every code path this processor has: the best, AVX2 alone, and the one-stream code that a
    // processor without AVX2 runs.
    for (const std::string choice : {"", "avx2", "scalar"}) {
        ScopedMd5Choice scope(choice.empty() ? nullptr : choice.c_str());
        CMd5Lanes lanes;
        EXPECT_EQ(lanes.Wide(), choice != "scalar" && __builtin_cpu_supports("avx2")) << "QUILLON_MD5=" << choice;
        EXPECT_EQ(lanes.UsesAvx512(), choice.empty() && __builtin_cpu_supports("avx512vl")) << "QUILLON_MD5=" << choice;
        for (const auto* input : {&messages, &reversed}) {
            const std::vector<Md5Digest> digests = DigestThroughLanes(lanes, *input);
            for (size_t i = 0; i < input->size(); ++i) {
                ASSERT_EQ(digests[i], CMd5::Of((*input)[i].data(), (*input)[i].size()))
                    << "length " << (*input)[i].size() << " QUILLON_MD5=" << choice;
            }
        }
    }
}

TEST(Md5Lanes, TheReferenceSuiteComesOutOfEveryLane)
{
    const auto& cases = kMd5ReferenceSuite;
    constexpr size_t kCases = std::size(cases);
    // The lanes read their input while they run: it lives as long as the test.
    std::vector<std::string> inputs;
    for (const auto& [message, digest] : cases)
        inputs.emplace_back(message);
    for (size_t run = 0; run < 3 * CMd5Lanes::kLanes; ++run) {
        const size_t shift = run % CMd5Lanes::kLanes;
        ScopedMd5Choice scope(run < CMd5Lanes::kLanes ? nullptr : run < 2 * CMd5Lanes::kLanes ? "avx2" : "scalar");
        CMd5Lanes lanes;
        for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane) {
            const std::string& input = inputs[(lane + shift) % kCases];
            lanes.Start(lane);
            lanes.Update(lane, input.data(), input.size());
            lanes.Finish(lane);
        }
        for (bool busy = true; busy;) {
            lanes.Run();
            busy = false;
            for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane)
                busy = busy || lanes.Busy(lane);
        }
        for (size_t lane = 0; lane < CMd5Lanes::kLanes; ++lane)
            EXPECT_EQ(Hex(lanes.Digest(lane)), cases[(lane + shift) % kCases].second) << "lane " << lane;
    }
}
