#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/Digest.h"
#include "engine/DigestLanes.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/EngineHelpers.h"

using namespace quillon::test;

namespace {

enum class EFault { None, Vanishes, ReadFails, Shrinks, Empty };

// Files of lengths around the block, quick-digest and step edges, more of them than the lanes of
// every thread hold, some of which fail in every way a single file can.
class DigestLanesTest : public EngineTest {
protected:
    struct File {
        std::string name;
        std::string content;
        EFault fault = EFault::None;
    };

    void SetUp() override
    {
        EngineTest::SetUp();
        static const size_t kSizes[] = {1, 63, 64, 1000, 1024, 1025, 4200, 65535, 65536, 65537, 140000, 300000};
        for (size_t i = 0; i < 48; ++i) {
            File file{Joined("f", i), RandomBytes(kSizes[i % std::size(kSizes)], static_cast<unsigned>(i) + 1)};
            file.fault = i == 5 ? EFault::Vanishes
                : i == 11       ? EFault::ReadFails
                : i == 23       ? EFault::Shrinks
                : i == 30       ? EFault::Empty
                                : EFault::None;
            if (file.fault == EFault::Empty)
                file.content.clear();
            WriteFile(dir / file.name, file.content);
            paths.push_back(U(dir / file.name));
            if (file.fault == EFault::Vanishes)
                fs.failFiles.insert(paths.back());
            if (file.fault == EFault::ReadFails)
                fs.failReads.insert(paths.back());
            files.push_back(std::move(file));
        }
        fs.afterRead = [this](const std::u16string& path, uint64_t) {
            if (path == paths[23]) {
                ASSERT_EQ(truncate((dir / "f23").c_str(), 1000), 0);
            }
            if (slowReads.fetch_sub(1) > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));  // as if from a cold disk
            if (onRead)
                onRead(path);
        };
    }

    std::vector<DigestJob> Jobs() const
    {
        std::vector<DigestJob> jobs(paths.size());
        for (size_t i = 0; i < paths.size(); ++i)
            jobs[i].path = paths[i];
        return jobs;
    }

    std::vector<File> files;
    std::vector<std::u16string> paths;
    std::function<void(const std::u16string&)> onRead;
    std::atomic<int> slowReads{0};  // the next reads wait as for a disk: the threads then open files ahead
};

}  // namespace

TEST_F(DigestLanesTest, EveryFileGetsTheDigestOrTheFailureOfTheSequentialDigestOnAWarmOrColdDisk)
{
    for (const auto& [limit, coldDisk] : {std::pair{kQuickDigestBytes, false}, std::pair{uint64_t{0}, false},
                                          std::pair{kQuickDigestBytes, true}, std::pair{uint64_t{0}, true}}) {
        slowReads = coldDisk ? 16 : 0;
        fs.opened.clear();
        std::vector<DigestJob> jobs = Jobs();
        ComputeAll(jobs, limit, false);
        // Reading ahead for a cold disk is a hint, not an opening: each file is opened once.
        EXPECT_EQ(fs.opened.size(), paths.size()) << "limit " << limit << (coldDisk ? " cold" : "");
        for (size_t i = 0; i < files.size(); ++i) {
            const File& file = files[i];
            const uint64_t bytes = limit != 0 && limit < file.content.size() ? limit : file.content.size();
            // A file that shrinks fails only when it is read in more than one step.
            const bool fails = file.fault == EFault::Vanishes || file.fault == EFault::ReadFails || file.fault == EFault::Empty ||
                (file.fault == EFault::Shrinks && bytes > kDigestStep);
            EXPECT_TRUE(jobs[i].computed) << file.name;
            ASSERT_EQ(jobs[i].succeeded, !fails) << file.name << " limit " << limit << (coldDisk ? " cold" : "");
            if (fails)
                continue;
            EXPECT_EQ(jobs[i].bytes, bytes) << file.name;
            EXPECT_EQ(jobs[i].digest, CMd5::Of(file.content.data(), bytes)) << file.name << " limit " << limit;
        }
        WriteFile(dir / "f23", files[23].content);  // it shrank during the full digests
    }
}

TEST_F(DigestLanesTest, AfterAStopOnlyDigestsOfMoreThanOneStepFailAndFilesNotYetBegunMayBeSkipped)
{
    for (const bool skipAfterStop : {false, true}) {
        g_stopFlag.store(0);
        WriteFile(dir / "f23", files[23].content);
        // The stop comes while the first two-step file is being read.
        onRead = [this](const std::u16string& path) {
            if (path == paths[9])
                g_stopFlag.store(1);
        };
        std::vector<DigestJob> jobs = Jobs();
        ComputeAll(jobs, 0, skipAfterStop);
        EXPECT_FALSE(jobs[9].succeeded) << "its second step comes after the stop";
        for (size_t i = 0; i < files.size(); ++i) {
            const File& file = files[i];
            if (!jobs[i].computed) {
                EXPECT_TRUE(skipAfterStop) << file.name << " was skipped without a stop to skip for";
                continue;
            }
            if (file.fault == EFault::None && file.content.size() <= kDigestStep) {
                EXPECT_TRUE(jobs[i].succeeded) << file.name << ": one step never looks at the flag";
            }
            if (jobs[i].succeeded) {
                EXPECT_EQ(jobs[i].digest, CMd5::Of(file.content.data(), file.content.size())) << file.name;
            }
        }
    }
}
