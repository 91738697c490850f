#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/proc/sanitycheck.h"
#include "platform/manualloop.h"

namespace {

constexpr int kWires = 24;

// One baseline-corrected frame: a maximum of `peak` on wire `at`, every other wire at `floor`.
std::vector<float> Frame(int at, float peak, float floor = 0.0f)
{
    std::vector<float> f(kWires, floor);
    f[at] = peak;
    return f;
}

class SanityCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MainLoop::SetCurrent(&loop);
        sc = std::make_unique<TNX7_SanityCheck>();
        sc->OnReset = [this](void* s) {
            EXPECT_EQ(s, sc.get());
            ++resets;
        };
    }
    void TearDown() override
    {
        sc.reset();
        MainLoop::SetCurrent(nullptr);
    }
    void Feed(const std::vector<float>& f, int count = 1)
    {
        for (int k = 0; k < count; ++k) sc->Input(nullptr, kWires, f.data());
    }
    // Runs the driver's rhythm: a frame every framePeriodMs, a poll every 100 ms.
    void Run(int ms, int framePeriodMs, const std::function<std::vector<float>(int)>& frame)
    {
        int frameNo = 0;
        for (int t = 0; t < ms; t += 5) {
            if (t % framePeriodMs == 0) Feed(frame(frameNo++));
            if (t % 100 == 0) sc->DoPoll();
            loop.Advance(5);
        }
    }

    ManualLoop loop{1000};
    std::unique_ptr<TNX7_SanityCheck> sc;
    int resets = 0;
};

TEST_F(SanityCheckTest, StillFingerAt40HzNeverResets)
{
    Run(65000, 25, [](int) { return Frame(10, 50.0f); });
    EXPECT_EQ(resets, 0);
}

TEST_F(SanityCheckTest, HoppingMaximumAt40HzResetsOncePerWindow)
{
    Run(65000, 25, [](int k) { return Frame(k % 2 ? 20 : 5, 50.0f); });
    EXPECT_EQ(resets, 2);   // decided at about 30 s and 60 s
}

struct WindowCase {
    std::string name;
    int hops;       // frames whose maximum alternates between wires 5 and 20
    int still;      // then frames that stay on wire 20
    float peak;     // maximum of every frame
    float floor;    // all other wires
    bool reset;
};

class SanityWindow : public SanityCheckTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(SanityWindow, DecidesAfterWindow)
{
    const auto& c = GetParam();
    for (int k = 0; k < c.hops; ++k) Feed(Frame(k % 2 ? 20 : 5, c.peak, c.floor));
    Feed(Frame(20, c.peak, c.floor), c.still);
    loop.Advance(30001);
    sc->DoPoll();
    EXPECT_EQ(resets, c.reset ? 1 : 0);
    EXPECT_EQ(sc->GetFrameCount(), 0);   // cleared after every decision
}

INSTANTIATE_TEST_SUITE_P(
    Windows, SanityWindow,
    ::testing::Values(
        WindowCase{"Hops150FramesTooFew", 150, 0, 50, 0, false},
        WindowCase{"Hops151Frames", 151, 0, 50, 0, true},
        WindowCase{"Hops60PercentOf1000", 600, 400, 50, 0, true},
        WindowCase{"HopsExactlyHalfOf1000", 500, 500, 50, 0, false},
        WindowCase{"HopsAtThresholdNotCounted", 400, 0, 10, 0, false},
        WindowCase{"DipBelowThreshold", 0, 200, 5, -11, true},
        WindowCase{"DipAtThresholdNotCounted", 0, 200, 5, -10, false},
        WindowCase{"StillFinger", 0, 1000, 300, 0, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(SanityCheckTest, WindowIsMoreThan30Seconds)
{
    Feed(Frame(20, 50.0f, -20.0f), 200);
    loop.Advance(30000);
    sc->DoPoll();
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(sc->GetFrameCount(), 200);
    loop.Advance(1);
    sc->DoPoll();
    EXPECT_EQ(resets, 1);
    // A new window starts at the decision.
    Feed(Frame(20, 50.0f, -20.0f), 200);
    loop.Advance(30000);
    sc->DoPoll();
    EXPECT_EQ(resets, 1);
    loop.Advance(1);
    sc->DoPoll();
    EXPECT_EQ(resets, 2);
}

TEST_F(SanityCheckTest, EmptyArrayClearsCounters)
{
    Feed(Frame(20, 50.0f, -20.0f), 200);
    EXPECT_EQ(sc->GetDipCount(), 200);
    sc->Input(nullptr, 0, nullptr);
    EXPECT_EQ(sc->GetFrameCount(), 0);
    EXPECT_EQ(sc->GetDipCount(), 0);
    EXPECT_EQ(sc->GetJumpCount(), 0);
    loop.Advance(30001);
    sc->DoPoll();
    EXPECT_EQ(resets, 0);
}

TEST_F(SanityCheckTest, WithoutResetHandlerNothingIsCounted)
{
    sc->OnReset = nullptr;
    Feed(Frame(20, 50.0f, -20.0f), 200);
    EXPECT_EQ(sc->GetFrameCount(), 0);
    loop.Advance(30001);
    sc->DoPoll();   // must not call the missing handler
}

TEST_F(SanityCheckTest, FirstFrameAfterClearHasNoPreviousIndex)
{
    struct Row {
        int at;
        float peak;
        int jumps;
    };
    for (const Row r : {Row{0, 50, 0}, Row{1, 50, 1}, Row{7, 50, 1}, Row{7, 5, 0}}) {
        sc->DoClear();
        Feed(Frame(r.at, r.peak));
        EXPECT_EQ(sc->GetJumpCount(), r.jumps) << "wire " << r.at << " peak " << r.peak;
    }
}

TEST_F(SanityCheckTest, ThresholdFollowsSetter)
{
    EXPECT_FLOAT_EQ(sc->GetThreshold(), 10.0f);
    sc->SetThreshold(300.0f);
    Feed(Frame(20, 50.0f, -200.0f), 200);
    EXPECT_EQ(sc->GetDipCount(), 0);
    EXPECT_EQ(sc->GetJumpCount(), 0);
}

TEST(SanityCheckClock, TickCounterWrapDoesNotStallTheWindow)
{
    ManualLoop loop(0xFFFFFFFFu - 10000u);
    MainLoop::SetCurrent(&loop);
    {
        TNX7_SanityCheck sc;
        int resets = 0;
        sc.OnReset = [&](void*) { ++resets; };
        std::vector<float> f(kWires, -20.0f);
        for (int k = 0; k < 200; ++k) sc.Input(nullptr, kWires, f.data());
        loop.Advance(30001);   // the 32-bit tick count wraps inside the window
        sc.DoPoll();
        EXPECT_EQ(resets, 1);
    }
    MainLoop::SetCurrent(nullptr);
}

}  // namespace
