// The check before a file is touched: the file and the copy that stays, against what a search saw
// of them, and byte for byte against each other.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/FileCheck.h"
#include "tests/support/TempDir.h"

using quillon::test::TempDir;
using quillon::test::WriteFile;

TEST(FileCheck, AFileEqualsItsCopyOnlyWhileBothAreAsSeenAndTheirBytesAgree)
{
    const std::string content = std::string(300000, 'q') + "tail";  // more than one read
    const struct {
        const char* what;
        std::function<void(const std::string& file, const std::string& copy, FileSeen& seen, FileSeen& copySeen)> since;
        FileCheckResult result;
    } cases[] = {
        {"unchanged", [](auto&, auto&, FileSeen&, FileSeen&) {}, FileCheckResult::Same},
        {"the last byte differs although the search saw one content",
         [&](auto&, const std::string& copy, FileSeen&, FileSeen& seen) {
             WriteFile(copy, std::string(300000, 'q') + "taiL");
             seen = *CFileCheck::Look(copy);
         },
         FileCheckResult::Different},
        {"the copy deleted", [](auto&, const std::string& copy, FileSeen&, FileSeen&) { ::unlink(copy.c_str()); },
         FileCheckResult::CopyGone},
        {"the copy rewritten later",
         [](auto&, const std::string& copy, FileSeen&, FileSeen&) {
             WriteFile(copy, std::string(300000, 'q') + "taiL");
             quillon::test::SetMtime(copy, 1000000);
         },
         FileCheckResult::CopyChanged},
        {"a FIFO in the copy's place (never opened, so never waited on)",
         [](auto&, const std::string& copy, FileSeen&, FileSeen&) {
             ::unlink(copy.c_str());
             ::mkfifo(copy.c_str(), 0600);
         },
         FileCheckResult::CopyChanged},
        {"a link to the file in the copy's place",
         [](const std::string& file, const std::string& copy, FileSeen&, FileSeen&) {
             ::unlink(copy.c_str());
             ::symlink(file.c_str(), copy.c_str());
         },
         FileCheckResult::CopyChanged},
        {"the file deleted", [](const std::string& file, auto&, FileSeen&, FileSeen&) { ::unlink(file.c_str()); },
         FileCheckResult::Gone},
        {"the file touched", [](const std::string& file, auto&, FileSeen&, FileSeen&) { quillon::test::SetMtime(file, 1000000); },
         FileCheckResult::Changed},
        {"the copy a hard link of the file: one file, nothing to compare",
         [](const std::string& file, const std::string& copy, FileSeen& seen, FileSeen& copySeen) {
             ::unlink(copy.c_str());
             ::link(file.c_str(), copy.c_str());
             seen = *CFileCheck::Look(file);  // a new link changes the file's change time
             copySeen = *CFileCheck::Look(copy);
         },
         FileCheckResult::SameFile},
    };
    TempDir dir("quillon-filecheck");
    CFileCheck check;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir / "file";
        const std::string copy = dir / "copy";
        ::unlink(copy.c_str());
        WriteFile(file, content);
        WriteFile(copy, content);
        FileSeen seen = *CFileCheck::Look(file);
        FileSeen copySeen = *CFileCheck::Look(copy);
        c.since(file, copy, seen, copySeen);
        EXPECT_EQ(check.EqualToCopy(file, seen, copy, copySeen), c.result);
        EXPECT_EQ(check.Error(), 0);
    }
}
