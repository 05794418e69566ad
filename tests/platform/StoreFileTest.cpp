// The store's file reached through symbolic links: one lock for every link to one file, the
// links kept, and a dangling link never turned into a file of its own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/StoreFile.h"
#include "tests/support/TempDir.h"

using quillon::test::Exists;
using quillon::test::Joined;
using quillon::test::MakeDirs;
using quillon::test::ReadFile;
using quillon::test::TempDir;
using quillon::test::WriteFile;

namespace {

bool IsLink(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Appends a line to the file in one change; 0 or the error.
long AppendLine(const CStoreFile& file, const std::string& line)
{
    return file.Apply([&](const std::string& current, std::string& replacement, bool& write) {
        replacement = current + line + "\n";
        write = true;
        return 0L;
    });
}

}  // namespace

TEST(StoreFile, WritersThroughDifferentLinksToOneFileLoseNoAcknowledgedWrite)
{
    constexpr int kWriters = 4;
    constexpr int kWrites = 150;
    TempDir dir("quillon-storefile");
    const std::string real = dir / "dotfiles/quillon.reg";
    WriteFile(real, "");
    const std::string links[] = {dir / "one/quillon.reg", dir / "two/quillon.reg"};
    MakeDirs(dir / "one");
    MakeDirs(dir / "two");
    ASSERT_EQ(symlink(real.c_str(), links[0].c_str()), 0);
    ASSERT_EQ(symlink("../dotfiles/quillon.reg", links[1].c_str()), 0);

    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            char go;
            while (read(start[0], &go, 1) < 0) {}  // 0 when the parent lets every writer go at once
            const CStoreFile file(links[writer % 2]);
            int failures = 0;
            for (int i = 0; i < kWrites; ++i)
                failures += AppendLine(file, Joined("w", writer, "-", i)) != ERROR_SUCCESS;
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    close(start[0]);
    close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    const std::string text = ReadFile(real);
    int lost = 0;
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int i = 0; i < kWrites; ++i)
            lost += text.find(Joined("w", writer, "-", i, "\n")) == std::string::npos;
    }
    EXPECT_EQ(lost, 0) << "acknowledged writes that are gone";
    EXPECT_TRUE(IsLink(links[0]) && IsLink(links[1]));
}

TEST(StoreFile, ADanglingLinkStaysALinkAndTheChangeCreatesTheFileItNames)
{
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;  // name -> target, made in order
        const char* created;                                     // relative to the folder; null: the change fails
    } cases[] = {
        {"relative target", {{"velvane/quillon.reg", "../dotfiles/quillon.reg"}}, "dotfiles/quillon.reg"},
        {"absolute target", {{"velvane/quillon.reg", "@/dotfiles/quillon.reg"}}, "dotfiles/quillon.reg"},
        {"a chain of links",
         {{"dotfiles/middle.reg", "quillon.reg"}, {"velvane/quillon.reg", "../dotfiles/middle.reg"}},
         "dotfiles/quillon.reg"},
        {"target in a missing folder", {{"velvane/quillon.reg", "../missing/quillon.reg"}}, nullptr},
        {"a loop", {{"velvane/quillon.reg", "quillon.reg"}}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir("quillon-storefile");
        MakeDirs(dir / "velvane");
        MakeDirs(dir / "dotfiles");
        for (const auto& [name, target] : c.links) {
            const std::string absolute = target[0] == '@' ? dir.Path() + target.substr(1) : target;
            ASSERT_EQ(symlink(absolute.c_str(), (dir / name).c_str()), 0);
        }
        const std::string store = dir / "velvane/quillon.reg";
        const long result = AppendLine(CStoreFile(store), "written");
        EXPECT_TRUE(IsLink(store));
        EXPECT_FALSE(Exists(store + ".tmp"));
        if (c.created) {
            EXPECT_EQ(result, ERROR_SUCCESS);
            EXPECT_EQ(ReadFile(dir / c.created), "written\n");
            EXPECT_EQ(ReadFile(store), "written\n");
            EXPECT_TRUE(Exists(dir / c.created + ".lock")) << "the lock is beside the file replaced";
        } else {
            EXPECT_NE(result, ERROR_SUCCESS);
        }
    }
}
