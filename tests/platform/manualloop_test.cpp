#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/manualloop.h"

namespace {

using Fired = std::vector<std::pair<uint32_t, char>>;  // (virtual time, which timer)

TEST(ManualLoop, TimersFireInTimeOrderAtTheirDueTimes)
{
    ManualLoop loop(1000);
    Fired fired;
    loop.AddTimer(30, [&] { fired.emplace_back(loop.NowMs(), 'a'); });
    loop.AddTimer(50, [&] { fired.emplace_back(loop.NowMs(), 'b'); });
    loop.Advance(29);
    EXPECT_TRUE(fired.empty());
    loop.Advance(121);  // up to 1150
    Fired expected{{1030, 'a'}, {1050, 'b'}, {1060, 'a'}, {1090, 'a'}, {1100, 'b'},
                   {1120, 'a'}, {1150, 'a'}, {1150, 'b'}};
    EXPECT_EQ(fired, expected);
    EXPECT_EQ(loop.NowMs(), 1150u);
}

TEST(ManualLoop, IntervalChangeCountsFromTheChange)
{
    ManualLoop loop;
    std::vector<uint32_t> at;
    int id = loop.AddTimer(100, [&] { at.push_back(loop.NowMs()); });
    loop.Advance(150);
    loop.SetTimerInterval(id, 20);
    loop.Advance(50);
    // Changed from inside the callback: the new interval runs from that tick.
    loop.SetTimerInterval(id, 1000);
    loop.Advance(999);
    EXPECT_EQ(at, (std::vector<uint32_t>{100, 170, 190}));
    loop.Advance(1);
    EXPECT_EQ(at.back(), 1200u);
}

TEST(ManualLoop, IntervalChangedInsideItsOwnCallbackHolds)
{
    ManualLoop loop;
    std::vector<uint32_t> at;
    int id = 0;
    id = loop.AddTimer(10, [&] {
        at.push_back(loop.NowMs());
        loop.SetTimerInterval(id, 100);
    });
    loop.Advance(250);
    EXPECT_EQ(at, (std::vector<uint32_t>{10, 110, 210}));
}

TEST(ManualLoop, TimerRemovedDuringCallbacksDoesNotFireAgain)
{
    ManualLoop loop;
    int selfCount = 0, otherCount = 0, killerCount = 0;
    int self = 0, other = 0;
    self = loop.AddTimer(10, [&] {
        ++selfCount;
        loop.RemoveTimer(self);  // removes itself while running
    });
    loop.AddTimer(20, [&] {
        ++killerCount;
        loop.RemoveTimer(other);  // due at the same moment, not yet run
    });
    other = loop.AddTimer(20, [&] { ++otherCount; });
    loop.Advance(100);
    EXPECT_EQ(selfCount, 1);
    EXPECT_EQ(killerCount, 5);
    EXPECT_EQ(otherCount, 0);
}

TEST(ManualLoop, ZeroIntervalDoesNotStallVirtualTime)
{
    ManualLoop loop;
    int n = 0;
    loop.AddTimer(0, [&] { ++n; });
    loop.Advance(5);
    EXPECT_EQ(n, 5);
}

TEST(ManualLoop, TickCounterWrapsLikeA32BitCount)
{
    ManualLoop loop(0xFFFFFFF0u);
    std::vector<uint32_t> at;
    loop.AddTimer(10, [&] { at.push_back(loop.NowMs()); });
    loop.Advance(30);
    EXPECT_EQ(at, (std::vector<uint32_t>{0xFFFFFFFAu, 4u, 14u}));
    EXPECT_EQ(uint32_t(loop.NowMs() - 0xFFFFFFF0u), 30u);
}

TEST(ManualLoop, NestedAdvanceInsideACallbackKeepsTimeMonotonic)
{
    ManualLoop loop;
    std::vector<uint32_t> at;
    bool nested = false;
    loop.AddTimer(10, [&] {
        at.push_back(loop.NowMs());
        if (!nested) {
            nested = true;
            loop.Advance(25);
        }
    });
    loop.Advance(40);
    EXPECT_EQ(at, (std::vector<uint32_t>{10, 20, 30, 40}));
    EXPECT_EQ(loop.NowMs(), 40u);
}

TEST(ManualLoop, WatchedFdCallsBackWhenReadableAndStopsWhenUnwatched)
{
    ManualLoop loop;
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    std::string got;
    int id = loop.WatchFd(p[0], [&] {
        char buf[16];
        ssize_t n = ::read(p[0], buf, sizeof buf);
        if (n > 0) got.append(buf, size_t(n));
    });
    ASSERT_GT(id, 0);
    loop.RunPending();
    EXPECT_EQ(got, "");
    ASSERT_EQ(::write(p[1], "ab", 2), 2);
    loop.RunPending();
    EXPECT_EQ(got, "ab");
    ASSERT_EQ(::write(p[1], "c", 1), 1);
    loop.Advance(1);
    EXPECT_EQ(got, "abc");
    loop.UnwatchFd(id);
    ASSERT_EQ(::write(p[1], "d", 1), 1);
    loop.RunPending();
    EXPECT_EQ(got, "abc");
    EXPECT_EQ(loop.WatchFd(-1, [] {}), 0);
    ::close(p[0]);
    ::close(p[1]);
}

TEST(ManualLoop, PostRunsOnlyWhenTheTestThreadRunsPending)
{
    ManualLoop loop;
    std::atomic<int> n{0};
    std::thread t([&] { loop.Post([&] { ++n; }); });
    t.join();
    EXPECT_EQ(n.load(), 0);
    loop.RunPending();
    EXPECT_EQ(n.load(), 1);
}

TEST(ManualLoop, CallsPostedByPostedCallsRunInTheSameRound)
{
    ManualLoop loop;
    std::vector<int> order;
    loop.Post([&] {
        order.push_back(1);
        loop.Post([&] { order.push_back(3); });
        order.push_back(2);
    });
    int forever = 0;
    std::function<void()> again = [&] {
        ++forever;
        loop.Post(again);
    };
    loop.RunPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    // A call that keeps posting itself does not hang the test thread.
    loop.Post(again);
    loop.RunPending();
    EXPECT_GT(forever, 1);
}

TEST(ManualLoop, PostAndWaitFromAnotherThreadRunsOnTheTestThread)
{
    ManualLoop loop;
    const auto testThread = std::this_thread::get_id();
    std::atomic<bool> returned{false};
    std::thread::id ranOn;
    bool ok = false;
    std::thread t([&] {
        ok = loop.PostAndWait([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    // The caller stays blocked until the test thread lets pending calls run.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned.load());
    while (!returned.load()) loop.RunPending();
    t.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(ranOn, testThread);
}

TEST(ManualLoop, PostAndWaitOnTheLoopThreadRunsAtOnce)
{
    ManualLoop loop;
    int n = 0;
    EXPECT_TRUE(loop.PostAndWait([&] { ++n; }));
    EXPECT_EQ(n, 1);
}

TEST(ManualLoop, QuitReleasesWaitingCallersAndRefusesNewOnes)
{
    ManualLoop loop;
    std::atomic<int> ran{0};
    bool first = true, second = true;
    std::thread t([&] { first = loop.PostAndWait([&] { ++ran; }); });
    // Give the call time to be queued; quitting must release it without running it (and a call
    // arriving after the quit is refused the same way).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop.Quit(3);
    t.join();
    EXPECT_FALSE(first);
    std::thread t2([&] { second = loop.PostAndWait([&] { ++ran; }); });
    t2.join();
    EXPECT_FALSE(second);
    loop.RunPending();
    EXPECT_EQ(ran.load(), 0);
}

TEST(ManualLoop, RunJumpsToTimersUntilQuit)
{
    ManualLoop loop;
    std::vector<uint32_t> at;
    loop.AddTimer(1000, [&] {
        at.push_back(loop.NowMs());
        if (at.size() == 3) loop.Quit(7);
    });
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_EQ(at, (std::vector<uint32_t>{1000, 2000, 3000}));
}

TEST(ManualLoop, CurrentLoopAndTickCountFollowTheInstalledLoop)
{
    ManualLoop loop(500);
    MainLoop::SetCurrent(&loop);
    EXPECT_EQ(&MainLoop::Current(), &loop);
    EXPECT_EQ(GetTickCount(), 500u);
    loop.Advance(250);
    EXPECT_EQ(GetTickCount(), 750u);
    MainLoop::SetCurrent(nullptr);
    EXPECT_NE(&MainLoop::Current(), &loop);
    // The process's own loop is made on demand and stays the same object.
    EXPECT_EQ(&MainLoop::Current(), &MainLoop::Current());
}

TEST(ManualLoop, ADestroyedCurrentLoopIsNoLongerCurrent)
{
    ManualLoop other;
    MainLoop::SetCurrent(&other);
    {
        auto loop = std::make_unique<ManualLoop>(123);
        MainLoop::SetCurrent(loop.get());
        EXPECT_EQ(GetTickCount(), 123u);
    }
    EXPECT_NE(&MainLoop::Current(), &other);  // fell back to the process's own loop
    MainLoop::SetCurrent(&other);
    {
        ManualLoop notCurrent;
    }
    EXPECT_EQ(&MainLoop::Current(), &other);  // another loop's end leaves the current one alone
    MainLoop::SetCurrent(nullptr);
}

}  // namespace
