#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <set>

#include "engine/Digest.h"
#include "tests/engine/EngineFixture.h"

using namespace quillon::test;

namespace {

// Change times come from a coarse clock: two changes within one of its ticks look alike. Waits
// (touching a probe file) until a change made now would carry a later time than the file's.
void WaitForChangeTimeToPass(const std::string& file, const std::string& probe)
{
    struct stat before;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    for (;;) {
        WriteFile(probe, "tick");
        struct stat now;
        ASSERT_EQ(stat(probe.c_str(), &now), 0);
        if (now.st_ctim.tv_sec > before.st_ctim.tv_sec ||
            (now.st_ctim.tv_sec == before.st_ctim.tv_sec && now.st_ctim.tv_nsec > before.st_ctim.tv_nsec))
            return;
    }
}

class DigestCacheTest : public EngineTest {
protected:
    std::set<std::u16string> OpenedPaths() const { return {fs.opened.begin(), fs.opened.end()}; }
};

} // namespace

TEST_F(DigestCacheTest, ASecondSearchReadsExactlyTheFilesThatAreNotProvablyTheOnesDigested)
{
    // Three files of one size: a and b equal, c different. Between two searches a change is made;
    // the second search must read exactly the files named, and its rows follow the new content.
    const std::string same = std::string(3000, 's');
    const std::string other = std::string(3000, 'o');
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> change;
        size_t rows;
        std::set<std::string> read;
    };
    const std::vector<Case> cases = {
        {"untouched", [](const TempDir&) {}, 1, {}},
        {"rewritten in place with its size and time",
         [&](const TempDir& d) {
             WriteFile(d / "c", same);
             SetMtime(d / "c", 1600000000);
         },
         2, {"c"}},
        {"replaced by a copy with the same size and time",
         [&](const TempDir& d) {
             WriteFile(d / "copy", same);
             SetMtime(d / "copy", 1600000000);
             ASSERT_EQ(std::rename((d / "copy").c_str(), (d / "c").c_str()), 0);
         },
         2, {"c"}},
        {"renamed",
         [](const TempDir& d) { ASSERT_EQ(std::rename((d / "b").c_str(), (d / "renamed").c_str()), 0); },
         1, {"renamed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetEngine();
        g_fileSystem = &fs;
        TempDir tree;
        for (const auto& [name, content] : {std::pair{"a", same}, {"b", same}, {"c", other}}) {
            WriteFile(tree / name, content);
            SetMtime(tree / name, 1600000000);
        }
        Search({tree.Path()});
        ASSERT_EQ(g_duplicates.size(), 1u);
        WaitForChangeTimeToPass(tree / "c", dir / "probe");
        c.change(tree);
        fs.opened.clear();
        Search({tree.Path()});
        EXPECT_EQ(g_duplicates.size(), c.rows);
        std::set<std::u16string> read;
        for (const std::string& name : c.read)
            read.insert(U(tree / name));
        EXPECT_EQ(OpenedPaths(), read);
    }
}
