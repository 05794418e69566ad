#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "engine/FolderScan.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

constexpr int kLevels = 1500;
constexpr const char* kLevelName = "level";  // 1500 levels of "/level": 9000 bytes of path

// A chain of kLevels folders under `top`, made relative to each parent (no path of that length
// can be named at once), with a pair of equal files at level 700 and at the bottom.
void MakeChain(const std::string& top)
{
    MakeDirs(top);
    int folder = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    for (int level = 1; level <= kLevels; ++level) {
        ASSERT_EQ(mkdirat(folder, kLevelName, 0755), 0);
        const int next = openat(folder, kLevelName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(folder);
        ASSERT_GE(next, 0);
        folder = next;
        if (level == 700 || level == kLevels) {
            for (const char* name : {"copy-1", "copy-2"}) {
                const int fd = openat(folder, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                ASSERT_GE(fd, 0);
                const std::string content = Joined("found at level ", level);
                ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
                close(fd);
            }
        }
    }
    close(folder);
}

// Removes the chain from the top: each time the next level moves up beside `top`'s parent, so
// no path grows long.
void RemoveChain(const std::string& top)
{
    std::string current = top;
    for (int i = 0;; ++i) {
        const std::string moved = Joined(top, "-up", i);
        const bool more = std::rename((current + "/" + kLevelName).c_str(), moved.c_str()) == 0;
        RemoveTree(current);
        if (!more)
            return;
        current = moved;
    }
}

std::string ChainPath(const std::string& top, int levels)
{
    std::string path = top;
    for (int i = 0; i < levels; ++i)
        path += std::string("/") + kLevelName;
    return path;
}

class DeepTreeTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        MakeChain(dir / "top");
    }
    void TearDown() override
    {
        RemoveChain(dir / "top");
        EngineTest::TearDown();
    }
};

}  // namespace

TEST_F(DeepTreeTest, ATreeDeeperThanPathMaxIsWalkedAndItsDuplicatesFound)
{
    ASSERT_GT(ChainPath(dir / "top", kLevels).size(), 8192u);
    Search({dir / "top"});
    ASSERT_EQ(g_fileList.size(), 4u);
    ASSERT_EQ(g_duplicates.size(), 2u);
    EXPECT_EQ(g_duplicates[1].originalPath, U(ChainPath(dir / "top", kLevels) + "/copy-2"));

    // A search started inside a folder whose path is already longer than PATH_MAX.
    const std::string deep = ChainPath(dir / "top", 1000);
    ASSERT_GT(deep.size(), size_t{PATH_MAX});
    Search({deep});
    EXPECT_EQ(g_duplicates.size(), 1u);
}

TEST_F(DeepTreeTest, UnderALowDescriptorLimitEveryLevelIsStillWalked)
{
    // In a child whose process may hold 64 descriptors: the walk must reach the bottom.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{64, 64};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            _exit(100);
        ResetEngine();
        BeginSearchRun(0, 0);
        SearchThreadProc(nullptr, {U(dir / "top")});
        _exit(static_cast<int>(g_fileList.size() * 10 + g_duplicates.size()));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42) << "four files listed, two rows made";
}
