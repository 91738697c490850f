// The native loop in real time: kept to a few short intervals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/loopcore.h"
#include "platform/nativeloop.h"

namespace {

TEST(NativeLoop, TimersFireInOrderAndQuitEndsRun)
{
    NativeLoop loop;
    std::vector<char> fired;
    uint32_t start = loop.NowMs();
    loop.AddTimer(5, [&] { fired.push_back('a'); });
    loop.AddTimer(12, [&] {
        fired.push_back('b');
        loop.Quit(4);
    });
    EXPECT_EQ(loop.Run(), 4);
    EXPECT_GE(uint32_t(loop.NowMs() - start), 12u);
    // On a loaded machine a late wake-up may merge ticks, but never reorders them, and nothing
    // fires after the quit.
    ASSERT_GE(fired.size(), 2u);
    EXPECT_EQ(fired.front(), 'a');
    EXPECT_EQ(fired.back(), 'b');
    EXPECT_LE(fired.size(), 3u);
}

TEST(NativeLoop, RemovedTimerStopsAndIntervalChangeApplies)
{
    NativeLoop loop;
    int fast = 0;
    int fastId = 0;
    fastId = loop.AddTimer(2, [&] {
        if (++fast == 3) loop.RemoveTimer(fastId);
    });
    int slow = loop.AddTimer(100000, [&] {
        if (fast >= 3) loop.Quit(1);
    });
    loop.SetTimerInterval(slow, 30);
    loop.AddTimer(5000, [&] { loop.Quit(99); });  // the interval change did not take
    EXPECT_EQ(loop.Run(), 1);
    EXPECT_EQ(fast, 3);
}

TEST(NativeLoop, WatchedFdWakesTheLoop)
{
    NativeLoop loop;
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    char got = 0;
    loop.WatchFd(p[0], [&] {
        ASSERT_EQ(::read(p[0], &got, 1), 1);
        loop.Quit();
    });
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(::write(p[1], "x", 1), 1);
    });
    loop.Run();
    writer.join();
    EXPECT_EQ(got, 'x');
    ::close(p[0]);
    ::close(p[1]);
}

TEST(NativeLoop, ClosedWatchedFdIsDroppedNotSpunOn)
{
    NativeLoop loop;
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    int calls = 0;
    loop.WatchFd(p[0], [&] { ++calls; });
    ::close(p[0]);
    ::close(p[1]);
    for (int i = 0; i < 5; ++i) loop.ProcessEvents(0);
    EXPECT_EQ(calls, 0);
}

TEST(NativeLoop, PostAndWaitFromWorkersRunsOnTheLoopThreadInOrder)
{
    NativeLoop loop;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> seen;  // touched only on the loop thread
    std::atomic<int> wrongThread{0};
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < 20; ++i) {
                bool ok = loop.PostAndWait([&, w, i] {
                    if (std::this_thread::get_id() != loopThread) ++wrongThread;
                    seen.push_back(w * 100 + i);
                });
                EXPECT_TRUE(ok);
            }
            loop.Post([&] {
                if (++done == 3) loop.Quit();
            });
        });
    }
    loop.Run();
    for (auto& t : workers) t.join();
    EXPECT_EQ(wrongThread.load(), 0);
    ASSERT_EQ(seen.size(), 60u);
    // Each worker's calls arrive in the order it made them.
    for (int w = 0; w < 3; ++w) {
        int last = -1;
        for (int v : seen)
            if (v / 100 == w) {
                EXPECT_GT(v % 100, last);
                last = v % 100;
            }
    }
}

TEST(NativeLoop, PostAndWaitAfterQuitReturnsFalseInsteadOfHanging)
{
    NativeLoop loop;
    loop.AddTimer(1, [&] { loop.Quit(); });
    loop.Run();
    bool ok = true;
    int ran = 0;
    std::thread t([&] { ok = loop.PostAndWait([&] { ++ran; }); });
    t.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(ran, 0);
}

TEST(NativeLoop, QuitFromAnotherThreadReleasesAWaiterQueuedBehindABusyLoop)
{
    NativeLoop loop;
    std::atomic<bool> waiterResult{true};
    std::atomic<bool> waiterDone{false};
    std::thread waiter;
    // The loop thread is busy inside a call when the waiter queues and another thread quits:
    // the waiter must come back (with false, or true had it run) and Run must end.
    loop.Post([&] {
        waiter = std::thread([&] {
            waiterResult = loop.PostAndWait([] {});
            waiterDone = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::thread([&] { loop.Quit(1); }).join();
    });
    EXPECT_EQ(loop.Run(), 1);
    waiter.join();
    EXPECT_TRUE(waiterDone.load());
    EXPECT_FALSE(waiterResult.load());
}

TEST(NativeLoop, PostAndWaitOnTheLoopThreadRunsInline)
{
    NativeLoop loop;
    int order = 0, inner = 0;
    loop.Post([&] {
        EXPECT_TRUE(loop.PostAndWait([&] { inner = ++order; }));
        ++order;
        loop.Quit();
    });
    loop.Run();
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(order, 2);
}

// Timers on a grain tick on one grid (through the moment the first timer was set), whenever
// they were started, and come back onto it after a late round; timers without a grain tick
// exactly an interval after they start.
TEST(TimerTable, GrainPutsTicksOnASharedGrid)
{
    loopcore::TimerTable t;
    std::vector<char> fired;
    auto rec = [&](char c) { return [&fired, c] { fired.push_back(c); }; };
    auto fireAll = [&](uint64_t now) {
        fired.clear();
        while (t.FireOne(now)) {
        }
        return fired;
    };
    using V = std::vector<char>;
    t.Add(1000, 1000, rec('a'), 1000);
    int b = t.Add(1234, 1000, rec('b'), 1000);
    t.Add(1300, 3000, rec('d'), 1000);
    int c = t.Add(1234, 10, rec('c'), 0);
    EXPECT_EQ(t.NextDue().value_or(0), 1244u);  // the short poll keeps its exact time
    t.Remove(c);

    EXPECT_EQ(fireAll(2999), V{'a'});
    EXPECT_EQ(fireAll(3000), (V{'a', 'b'}));  // one wake-up for both
    EXPECT_EQ(t.NextDue().value_or(0), 4000u);
    EXPECT_EQ(fireAll(4321), (V{'a', 'b'}));
    EXPECT_EQ(fireAll(5000), (V{'a', 'b', 'd'}));
    // A round more than an interval late fires no burst and lands back on the grid.
    EXPECT_EQ(fireAll(7500), (V{'a', 'b'}));
    EXPECT_EQ(fireAll(8000), V{'d'});
    EXPECT_EQ(fireAll(8999), V{});
    EXPECT_EQ(fireAll(9000), (V{'a', 'b'}));
    t.SetInterval(b, 9123, 2000, 1000);
    EXPECT_EQ(fireAll(10000), V{'a'});
    EXPECT_EQ(fireAll(11000), (V{'a', 'd'}));
    EXPECT_EQ(fireAll(12000), (V{'a', 'b'}));
}

}  // namespace
