// The window's sink: a worker's message runs its handler on the window thread and the worker
// goes on only once the handler has returned; a send from the window thread itself runs at once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "app/WindowSink.h"
#include "tests/widgets/QtTestEnvironment.h"

namespace {

TEST(WindowSink, AWorkersMessageIsHandledOnTheWindowThreadBeforeTheSendReturns)
{
    QObject receiver;
    std::vector<unsigned> handled;
    std::atomic<bool> onWindowThread{true};
    int handlerWrote = 0;
    CWindowSink sink(&receiver, [&](unsigned message) {
        onWindowThread = onWindowThread && QThread::currentThread() == receiver.thread();
        handled.push_back(message);
        handlerWrote = static_cast<int>(message);
    });
    std::atomic<bool> done{false};
    std::vector<int> seenAfterSend;
    std::thread worker([&] {
        for (unsigned message : {6u, 8u, 7u}) {
            sink.SendMessage(message);
            seenAfterSend.push_back(handlerWrote);  // written by the handler, read once it returned
        }
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 10000));
    worker.join();
    EXPECT_TRUE(onWindowThread);
    EXPECT_EQ(handled, (std::vector<unsigned>{6, 8, 7}));
    EXPECT_EQ(seenAfterSend, (std::vector<int>{6, 8, 7}));
}

TEST(WindowSink, ASendFromTheWindowThreadRunsTheHandlerAtOnce)
{
    QObject receiver;
    unsigned handled = 0;
    CWindowSink sink(&receiver, [&](unsigned message) { handled = message; });
    sink.SendMessage(7);  // a blocking call into its own thread would never return
    EXPECT_EQ(handled, 7u);
}

TEST(WindowSink, ScanProgressIsThinnedOutWhileEveryOtherMessageGetsThrough)
{
    QObject receiver;
    std::vector<unsigned> handled;
    CWindowSink sink(&receiver, [&](unsigned message) { handled.push_back(message); });
    for (int round = 0; round < 2; ++round) {
        handled.clear();
        // A burst of folders entered within a few milliseconds, then the other messages.
        for (int folder = 0; folder < 1000; ++folder)
            sink.SendMessage(WMU_SCANPROGRESS);
        sink.SendMessage(WMU_COMPAREPROGRESS);
        sink.SendMessage(WMU_COMPAREPROGRESS);
        sink.SendMessage(WMU_SEARCHDONE);
        ASSERT_GE(handled.size(), 4u);
        EXPECT_EQ(handled.front(), WMU_SCANPROGRESS) << "the first of each run gets through";
        EXPECT_LT(handled.size(), 100u) << "not one per folder";
        EXPECT_EQ(std::vector<unsigned>(handled.end() - 3, handled.end()),
                  (std::vector<unsigned>{WMU_COMPAREPROGRESS, WMU_COMPAREPROGRESS, WMU_SEARCHDONE}));
    }
}

}  // namespace
