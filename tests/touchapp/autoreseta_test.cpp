#include "driver/touch/autoreseta.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/manualloop.h"

namespace {

struct AutoResetFixture : ::testing::Test {
    ManualLoop loop;
    std::unique_ptr<TNX7_AutoResetA> r;
    // Poll number (1-based) at which each reset fired; the poll runs inside the second it ends.
    std::vector<int> loss, quick, slow, skew;
    int poll = 0;

    void SetUp() override {
        MainLoop::SetCurrent(&loop);
        r = std::make_unique<TNX7_AutoResetA>(&loop);
        r->OnLossReset = [this](void*) { loss.push_back(poll + 1); };
        r->OnQuickReset = [this](void*) { quick.push_back(poll + 1); };
        r->OnSlowReset = [this](void*) { slow.push_back(poll + 1); };
        r->OnSkewReset = [this](void*) { skew.push_back(poll + 1); };
    }
    void TearDown() override {
        r.reset();
        MainLoop::SetCurrent(nullptr);
    }
    // One second of virtual time; frame() runs every 100 ms within it when given.
    template <class F> void Second(F frame) {
        for (int i = 0; i < 10; ++i) {
            frame();
            loop.Advance(100);
        }
        ++poll;
    }
    void Second() {
        loop.Advance(1000);
        ++poll;
    }
};

TEST_F(AutoResetFixture, NoFramesGivesLossResetEveryFifthPoll) {
    for (int i = 0; i < 20; ++i)
        Second();
    EXPECT_EQ(loss, (std::vector<int>{5, 10, 15, 20}));
    EXPECT_TRUE(quick.empty());
    EXPECT_TRUE(skew.empty());
}

TEST_F(AutoResetFixture, FramesEvery100msNeverLoss) {
    for (int i = 0; i < 30; ++i)
        Second([&] { r->Input(this, 64, 0, 0); });
    EXPECT_TRUE(loss.empty());
    // A frame of length 0 is a reset, not a frame: it does not feed the loss timer.
    for (int i = 0; i < 5; ++i)
        Second([&] { r->Input(this, 0, 0, 0); });
    // The last frame came just before poll 30: more than 4000 ms have gathered at poll 34.
    EXPECT_EQ(loss, (std::vector<int>{34}));
}

TEST_F(AutoResetFixture, RestingFingerPostponesQuickResetByHoldPeriod) {
    r->SetQuickPeriod(60000);
    r->SetHoldPeriod(10000);
    r->SetThreshold(100);
    for (int i = 0; i < 150; ++i)
        Second([&] { r->Input(this, 64, 500, 500); });
    EXPECT_EQ(quick, (std::vector<int>{71, 142}));
}

TEST_F(AutoResetFixture, UntouchedQuickAndSlowResetsAtTheirPeriods) {
    r->SetQuickPeriod(60000);
    r->SetSlowPeriod(120000);
    for (int i = 0; i < 182; ++i)
        Second([&] { r->Input(this, 64, 0, 0); });
    // The slow reset at 121 also restarts the quick timer, so the next quick one is 61 later.
    EXPECT_EQ(quick, (std::vector<int>{61, 182}));
    EXPECT_EQ(slow, (std::vector<int>{121}));
}

TEST_F(AutoResetFixture, HoldPeriodClampedAtPoll) {
    struct Case {
        long set, expect;
    } cases[] = {{100, 1000}, {60000, 30000}, {5000, 5000}};
    for (const Case& c : cases) {
        r->SetHoldPeriod(c.set);
        EXPECT_EQ(r->GetHoldPeriod(), c.set) << "clamped only by the poll";
        Second();
        EXPECT_EQ(r->GetHoldPeriod(), c.expect) << c.set;
    }
}

TEST_F(AutoResetFixture, OneAxisAloneGivesOneSkewResetAndRestartsTimers) {
    r->SetThreshold(10);
    for (int i = 0; i < 6; ++i)
        Second([&] { r->Input(this, 64, 50, 5); });
    // Alone for 3 polls exceeds 2000 ms; the timers restart, so again 3 polls later.
    EXPECT_EQ(skew, (std::vector<int>{3, 6}));
    skew.clear();
    for (int i = 0; i < 3; ++i)
        Second([&] { r->Input(this, 64, 5, 50); });
    EXPECT_EQ(skew, (std::vector<int>{9}));
    skew.clear();
    for (int i = 0; i < 5; ++i)
        Second([&] { r->Input(this, 64, 50, 50); });
    EXPECT_TRUE(skew.empty()) << "both axes touched is no skew";
}

TEST_F(AutoResetFixture, ResetClearsQuickTimerAndOverFlagsButNotLoss) {
    r->SetQuickPeriod(5000);
    for (int i = 0; i < 4; ++i)
        Second([&] { r->Input(this, 64, 50, 5); });
    ASSERT_EQ(skew, (std::vector<int>{3}));
    r->Input(this, 0, 0, 0);  // the reset signal: quick timer, alone timers and flags cleared
    for (int i = 0; i < 6; ++i)
        Second();
    EXPECT_EQ(skew, (std::vector<int>{3})) << "over flags were cleared";
    EXPECT_EQ(quick, (std::vector<int>{10})) << "quick timer restarted at the reset";
    EXPECT_EQ(loss, (std::vector<int>{8})) << "loss timer kept running from the last frame";
}

TEST_F(AutoResetFixture, SlowResetClearsStateOnlyWhenAssigned) {
    for (bool assigned : {true, false}) {
        SetUp();
        poll = 0;
        r->SetSlowPeriod(1000);
        r->SetHoldPeriod(1000);
        r->SetQuickPeriod(100000);
        r->SetThreshold(10);
        if (!assigned) r->OnSlowReset = nullptr;
        for (int i = 0; i < 3; ++i)
            Second([&] { r->Input(this, 64, 50, 5); });
        // Touched, so the slow reset waits until its timer passes 2000 ms: poll 3. When assigned
        // it resets first, which also clears the X-alone timer that would give a skew at poll 3.
        if (assigned) {
            EXPECT_EQ(slow, (std::vector<int>{3}));
            EXPECT_TRUE(skew.empty());
        } else {
            EXPECT_TRUE(slow.empty());
            EXPECT_EQ(skew, (std::vector<int>{3}));
        }
        slow.clear();
        skew.clear();
    }
}

TEST_F(AutoResetFixture, DestructionStopsPolling) {
    r.reset();
    loop.Advance(10000);
    EXPECT_TRUE(loss.empty());
}

}  // namespace
