#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "driver/link/thread.h"
#include "platform/manualloop.h"
#include "share/ipthread.h"

namespace {

template <class T>
class TimerThread : public ::testing::Test {};
using ThreadTypes = ::testing::Types<TIPThread, TNX7_Thread>;
TYPED_TEST_SUITE(TimerThread, ThreadTypes);

TYPED_TEST(TimerThread, CreatedSuspendedThenTicksAtItsInterval)
{
    ManualLoop loop;
    TypeParam th(&loop);
    EXPECT_EQ(th.GetInterval(), 1000u);
    EXPECT_FALSE(th.GetRun());
    std::vector<uint32_t> at;
    th.OnPoll = [&](TypeParam* sender) {
        EXPECT_EQ(sender, &th);
        at.push_back(loop.NowMs());
    };
    loop.Advance(5000);
    EXPECT_TRUE(at.empty());
    th.SetInterval(50);
    th.SetRun(true);
    loop.Advance(120);
    EXPECT_EQ(at, (std::vector<uint32_t>{5050, 5100}));
    th.SetInterval(1000);  // counts from now
    loop.Advance(1000);
    EXPECT_EQ(at.back(), 6120u);
    th.SetRun(false);
    loop.Advance(5000);
    EXPECT_EQ(at.size(), 3u);
    th.SetRun(true);  // resumes, the interval counting from the resume
    loop.Advance(1000);
    EXPECT_EQ(at.back(), 12120u);
}

TYPED_TEST(TimerThread, RunFalseInsideOnPollStopsFurtherTicks)
{
    ManualLoop loop;
    TypeParam th(&loop);
    th.SetInterval(10);
    int n = 0;
    th.OnPoll = [&](TypeParam* sender) {
        if (++n == 2) sender->SetRun(false);
    };
    th.SetRun(true);
    loop.Advance(100);
    EXPECT_EQ(n, 2);
    EXPECT_FALSE(th.GetRun());
}

TYPED_TEST(TimerThread, UnsetOnPollAndDestructionWhileRunningAreHarmless)
{
    ManualLoop loop;
    {
        TypeParam th(&loop);
        th.SetInterval(10);
        th.SetRun(true);
        loop.Advance(30);
    }
    // The destroyed thread's timer must be gone: a leftover one would tick into freed memory,
    // which the sanitizer build reports.
    loop.Advance(100);
}

TYPED_TEST(TimerThread, UsesTheCurrentLoopWhenNoneIsGiven)
{
    ManualLoop loop;
    MainLoop::SetCurrent(&loop);
    int n = 0;
    {
        TypeParam th;
        th.SetInterval(100);
        th.OnPoll = [&](TypeParam*) { ++n; };
        th.SetRun(true);
        loop.Advance(300);
    }
    MainLoop::SetCurrent(nullptr);
    EXPECT_EQ(n, 3);
}

// A tick arriving while OnPoll is still running (a nested loop inside it): the share manager's
// thread skips it, the driver components' thread delivers it.
TEST(TIPThread, SkipsATickThatArrivesWhileThePreviousIsRunning)
{
    ManualLoop loop;
    TIPThread th(&loop);
    th.SetInterval(10);
    std::vector<uint32_t> at;
    th.OnPoll = [&](TIPThread*) {
        at.push_back(loop.NowMs());
        if (at.size() == 1) loop.Advance(35);  // ticks at 20, 30, 40 arrive meanwhile
    };
    th.SetRun(true);
    loop.Advance(60);
    EXPECT_EQ(at, (std::vector<uint32_t>{10, 50, 60}));
}

TEST(TNX7_Thread, DeliversTicksThatArriveWhileThePreviousIsRunning)
{
    ManualLoop loop;
    TNX7_Thread th(&loop);
    th.SetInterval(10);
    std::vector<uint32_t> at;
    th.OnPoll = [&](TNX7_Thread*) {
        at.push_back(loop.NowMs());
        if (at.size() == 1) loop.Advance(35);
    };
    th.SetRun(true);
    loop.Advance(60);
    EXPECT_EQ(at, (std::vector<uint32_t>{10, 20, 30, 40, 50, 60}));
}

TEST(TIPThread, BusyFlagClearsAfterAnExceptionInOnPoll)
{
    ManualLoop loop;
    TIPThread th(&loop);
    th.SetInterval(10);
    int n = 0;
    th.OnPoll = [&](TIPThread*) {
        if (++n == 1) throw std::runtime_error("poll failed");
    };
    th.SetRun(true);
    EXPECT_THROW(loop.Advance(10), std::runtime_error);
    loop.Advance(10);
    EXPECT_EQ(n, 2);
}

}  // namespace
