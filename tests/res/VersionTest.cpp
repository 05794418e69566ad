// The version is defined once, by the project() line of CMakeLists.txt, and reaches the program
// through the configured header res/Version.h. Every place a person reads it must say the same:
// the About box, quillon-find --version, the AppStream metainfo that software centres show, the
// manual pages and the changelog of the package.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "res/Version.h"
#include "widgets/AboutDlg.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first match of `pattern`'s first group in `text`, or "(none)".
std::string FirstMatch(const std::string& text, const std::string& pattern)
{
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "(none)";
}

std::string OutputOf(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

}  // namespace

TEST(Version, IsTheOneOfTheProjectLineWhereverItIsShown)
{
    const std::string version = QUILLON_VERSION;
    ASSERT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+)"))) << version;
    const std::string majorMinor = version.substr(0, version.rfind('.'));
    const std::string build = QUILLON_BINARY_DIR;
    const std::string metainfo = ReadFile(build + "/res/example.velvane.quillon.metainfo.xml");

    struct Shown {
        const char* where;
        std::string text;
        std::string expected;
    };
    const Shown cases[] = {
        {"About box", CAboutDlg::VersionText(), majorMinor},
        {"quillon-find --version", OutputOf("'" + build + "/cli/quillon-find' --version"), "quillon-find " + version + "\n"},
        {"metainfo release", FirstMatch(metainfo, R"re(<release version="([^"]*)")re"), version},
        {"metainfo release date", FirstMatch(metainfo, R"re(<release [^>]*date="([^"]*)")re"), QUILLON_RELEASE_DATE},
        {"quillon-find.1", FirstMatch(ReadFile(build + "/cli/quillon-find.1"), R"(\n\.TH (.*))"),
         std::string("QUILLON-FIND 1 ") + QUILLON_RELEASE_DATE + " \"Quillon " + version + "\" \"User Commands\""},
        {"quillon.1", FirstMatch(ReadFile(build + "/res/quillon.1"), R"(\n\.TH (.*))"),
         std::string("QUILLON 1 ") + QUILLON_RELEASE_DATE + " \"Quillon " + version + "\" \"User Commands\""},
        {"changelog", FirstMatch(ReadFile(build + "/packaging/changelog"), R"(^quillon \(([^)]*)\))"), version},
    };
    for (const Shown& shown : cases)
        EXPECT_EQ(shown.text, shown.expected) << shown.where;
}
