#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "engine/DigestPool.h"

TEST(DigestPool, RunsEveryTaskExactlyOnceAcrossTheCallerAndItsHelpers)
{
    CDigestPool pool(3);
    EXPECT_EQ(pool.Threads(), 4u);
    for (size_t count : {0u, 1u, 2u, 7u, 1000u}) {
        std::vector<std::atomic<int>> runs(count);
        std::mutex mutex;
        std::set<std::thread::id> threads;
        pool.Run(count, [&](size_t i) {
            runs[i].fetch_add(1);
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
        });
        for (size_t i = 0; i < count; ++i)
            ASSERT_EQ(runs[i].load(), 1) << "task " << i << " of " << count;
    }
}

TEST(DigestPool, WithoutHelpersTheCallerDoesEverythingInOrder)
{
    CDigestPool pool(0);
    std::vector<size_t> order;
    pool.Run(5, [&](size_t i) { order.push_back(i); });
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4}));
}

TEST(DigestPool, AForkedChildRunsEveryTaskItselfAndExitsCleanly)
{
    CDigestPool pool(2);
    pool.Run(4, [](size_t) {});  // the helpers exist and have worked
    const pid_t child = fork();
    if (child == 0) {
        std::atomic<int> done{0};
        pool.Run(50, [&](size_t) { done.fetch_add(1); });
        _exit(done.load() == 50 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DigestPool, StartedTasksRunWhileTheCallerWorksAndFinishLeavesNoneUndone)
{
    for (size_t helpers : {0u, 1u, 3u}) {
        CDigestPool pool(helpers);
        pool.Finish();  // nothing started: nothing to do
        std::vector<std::atomic<int>> runs(64);
        std::atomic<bool> callerWorking{true};
        std::atomic<int> whileCallerWorked{0};
        pool.Start(runs.size(), [&](size_t i) {
            runs[i].fetch_add(1);
            if (callerWorking.load())
                whileCallerWorked.fetch_add(1);
        });
        // The caller's own work; with helpers, at least one task runs meanwhile.
        for (int spins = 0; helpers != 0 && whileCallerWorked.load() == 0 && spins < 5000; ++spins)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        callerWorking.store(false);
        pool.Finish();
        for (size_t i = 0; i < runs.size(); ++i)
            ASSERT_EQ(runs[i].load(), 1) << "task " << i << " with " << helpers << " helpers";
        EXPECT_EQ(whileCallerWorked.load() > 0, helpers != 0) << helpers << " helpers";
    }
}

TEST(DigestPoolDeathTest, ASecondCallerWhileTheTasksOfAStartAreUnfinishedEndsTheProcess)
{
    // Overwriting the tasks under the helpers' feet would run the wrong code on freed captures.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* what;
        std::function<void(CDigestPool&)> call;
    } cases[] = {
        {"Start", [](CDigestPool& pool) { pool.Start(4, [](size_t) {}); }},
        {"Run", [](CDigestPool& pool) { pool.Run(4, [](size_t) {}); }},
        {"Finish", [](CDigestPool& pool) { std::thread([&] { pool.Finish(); }).join(); }},
    };
    for (const auto& c : cases) {
        EXPECT_DEATH(
            {
                CDigestPool pool(1);
                pool.Start(4, [](size_t) {});
                c.call(pool);
            },
            "CDigestPool::")
            << c.what;
    }
}
