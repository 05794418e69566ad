// Entry point of every test binary: gives the process private per-user folders so that no test
// reads or writes the settings, trash or runtime files of the person running the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/TempDir.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Death tests re-run the binary instead of forking a process that lacks the digest threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A death test's child runs this binary again and ends without cleaning up: it keeps the
    // folders of the process that started it, which that process removes.
    if (!std::getenv("QUILLON_TEST_HOME")) {
        static quillon::test::TempDir home("quillon-test-home");
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"}) {
            std::string dir = home.Path() + "/" + name;
            quillon::test::MakeDirs(dir);
            setenv(name, dir.c_str(), 1);
        }
        setenv("HOME", home.Path().c_str(), 1);
        setenv("QUILLON_TEST_HOME", home.Path().c_str(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return RUN_ALL_TESTS();
}
