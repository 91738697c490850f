// Mouse output: levels with hysteresis, the seven press modes, enables, start delay, the still
// press that becomes a right click, and the action stream with its flags and coordinates.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/touch/output.h"
#include "platform/manualloop.h"
#include "share/sharevarbase.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMTT = 30.0f, kMPT = 60.0f;

struct Action {
    uint32_t flags;
    int32_t dx, dy;
    uint32_t time;
};

// One letter per action: M move, D/U left down/up, R/r right down/up.
char Letter(uint32_t flags)
{
    switch (flags) {
    case mf_AbsoluteMove: return 'M';
    case mf_LeftDown: return 'D';
    case mf_LeftUp: return 'U';
    case mf_RightDown: return 'R';
    case mf_RightUp: return 'r';
    default: return '?';
    }
}

class OutputTest : public ::testing::Test {
public:
    ManualLoop loop{1000};
    std::unique_ptr<TNX7_Output> out;
    TNX7_Output* self = nullptr;
    std::vector<Action> actions;

    void SetUp() override {
        MainLoop::SetCurrent(&loop);
        out = std::make_unique<TNX7_Output>();
        self = out.get();
        out->OnMouseSend = [this](void* s, TWinVersionType wv, uint32_t flags, int32_t dx,
                                  int32_t dy, uint32_t time) {
            EXPECT_EQ(s, self);
            EXPECT_EQ(wv, wvt_98);
            actions.push_back({flags, dx, dy, time});
        };
        out->SetEnabled1(true);
    }
    void TearDown() override {
        out->OnMouseSend = nullptr;
        out.reset();
        MainLoop::SetCurrent(nullptr);
    }

    // One frame; returns the letters of the actions it caused.
    std::string Frame(float m, float x = 0.25f, float y = 0.75f, int seconds = 100) {
        const size_t before = actions.size();
        out->Input(nullptr, x, y, m, kMTT, kMPT, 0, seconds);
        std::string s;
        for (size_t i = before; i < actions.size(); ++i)
            s += Letter(actions[i].flags);
        return s;
    }
    TShareVarBase* Var(const std::string& name) {
        for (int i = 0; i < out->GetVars().GetCount(); ++i)
            if (out->GetVars().GetVar(i)->GetVarName() == name)
                return out->GetVars().GetVar(i);
        return nullptr;
    }
    void PanelWriteBool(const std::string& name, bool v) {
        TShareVarBase* var = Var(name);
        ASSERT_NE(var, nullptr);
        var->SetValueBoolX(v);
        var->OnChange(var);
    }
    void PanelWriteInt(const std::string& name, int v) {
        TShareVarBase* var = Var(name);
        ASSERT_NE(var, nullptr);
        var->SetValueIntX(v);
        if (var->OnChange)
            var->OnChange(var);
    }
};

TEST_F(OutputTest, LevelsWithHysteresisWhileTheButtonIsDown)
{
    out->SetPressType(mpt_SelectMoveRelease);
    struct Case {
        bool held;
        float m;
        int level;
    };
    const Case cases[] = {
        {false, 30.0f, 0}, {false, 45.0f, 1}, {false, 60.0f, 1}, {false, 61.0f, 2},
        {true, 58.0f, 2},  // press level 57 while held
        {true, 57.0f, 1}, {true, 28.6f, 1},  // touch level 28.5 while held
        {true, 28.5f, 0},
    };
    for (const auto& c : cases) {
        Frame(0.0f);
        if (c.held)
            Frame(100.0f);
        ASSERT_EQ(out->GetButtonDown(), c.held);
        Frame(c.m);
        EXPECT_EQ(out->GetLevel(), c.level) << "held " << c.held << " M " << c.m;
        EXPECT_EQ(Var("Button")->GetValueInt(), c.level);
    }
}

TEST_F(OutputTest, EachPressModeOnTouchPressRelease)
{
    struct Case {
        const char* what;
        int mode;
        std::vector<std::string> want;  // per frame: none, touch, press, press, touch, none
    };
    const Case cases[] = {
        {"disable", mpt_Disable, {"", "", "", "", "", ""}},
        {"move", mpt_Move, {"", "M", "M", "M", "M", ""}},
        {"click on press", mpt_OnPress, {"", "M", "MDU", "M", "M", ""}},
        {"click on release", mpt_OnRelease, {"", "M", "M", "M", "MDU", ""}},
        {"select/move/release", mpt_SelectMoveRelease, {"", "M", "MD", "M", "MU", ""}},
        {"select/hold/release", mpt_SelectHoldRelease, {"", "M", "MD", "", "UM", ""}},
        {"select/move/release/right", mpt_SelectMoveReleaseRC, {"", "M", "MD", "M", "MU", ""}},
        {"unknown code 9", 9, {"", "", "", "", "", ""}},
    };
    const float strengths[] = {0.0f, 45.0f, 100.0f, 100.0f, 45.0f, 0.0f};
    for (const auto& c : cases) {
        out->SetPressType(static_cast<TMousePressType>(c.mode));
        for (size_t i = 0; i < 6; ++i) {
            const float x = 0.1f * static_cast<float>(i + 1);
            EXPECT_EQ(Frame(strengths[i], x, 0.5f), c.want[i]) << c.what << " frame " << i;
        }
        EXPECT_FALSE(out->GetButtonDown()) << c.what;
        loop.Advance(2000);
    }
}

TEST_F(OutputTest, HoldReleaseJumpsToTheFingerOnRelease)
{
    out->SetPressType(mpt_SelectHoldRelease);
    Frame(100.0f, 0.2f, 0.2f);
    Frame(100.0f, 0.4f, 0.4f);
    Frame(100.0f, 0.6f, 0.6f);
    actions.clear();
    Frame(0.0f, 0.8f, 0.7f);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].flags, static_cast<uint32_t>(mf_LeftUp));
    EXPECT_EQ(actions[1].flags, mf_AbsoluteMove);
    EXPECT_EQ(actions[1].dx, static_cast<int32_t>(0.8f * 65535.0f));
    EXPECT_EQ(actions[1].dy, static_cast<int32_t>(0.7f * 65535.0f));
}

TEST_F(OutputTest, MoveCoordinatesFlagsAndTime)
{
    out->SetPressType(mpt_Move);
    struct Case {
        float x, y;
        int32_t dx, dy;
    };
    const Case cases[] = {
        {0.25f, 0.75f, 16383, 49151},
        {0.0f, 1.0f, 0, 65535},
        {1.2f, -0.1f, 65535, 0},
        {kInf, -kInf, 65535, 0},
    };
    for (const auto& c : cases) {
        actions.clear();
        loop.Advance(7);
        Frame(45.0f, c.x, c.y);
        ASSERT_EQ(actions.size(), 1u) << c.x;
        EXPECT_EQ(actions[0].flags, 0x8001u);
        EXPECT_EQ(actions[0].dx, c.dx) << c.x;
        EXPECT_EQ(actions[0].dy, c.dy) << c.y;
        EXPECT_EQ(actions[0].time, loop.NowMs());
    }
    // A position that is not a number moves nothing.
    for (float bad : {kNaN}) {
        EXPECT_EQ(Frame(45.0f, bad, 0.5f), "");
        EXPECT_EQ(Frame(45.0f, 0.5f, bad), "");
    }
    // Button actions carry no coordinates.
    out->SetPressType(mpt_SelectMoveRelease);
    actions.clear();
    Frame(100.0f);
    Frame(0.0f);
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[1].flags, 0x0002u);
    EXPECT_EQ(actions[1].dx, 0);
    EXPECT_EQ(actions[1].dy, 0);
    EXPECT_EQ(actions[2].flags, 0x0004u);
    EXPECT_EQ(actions[2].dx, 0);
    EXPECT_EQ(actions[2].dy, 0);
}

TEST_F(OutputTest, StillPressBecomesRightClickInVirtualTime)
{
    out->SetPressType(mpt_SelectMoveReleaseRC);
    Frame(45.0f);  // a touch first: the measure starts cleared
    const uint32_t start = loop.NowMs();
    std::vector<uint32_t> rightAt;
    for (int t = 0; t < 6500; t += 10) {
        const std::string s = Frame(100.0f);
        if (s.find('R') != std::string::npos) {
            EXPECT_NE(s.find("Rr"), std::string::npos);
            rightAt.push_back(loop.NowMs() - start);
        }
        EXPECT_EQ(s.find('U'), std::string::npos) << "left button let go at " << t;
        loop.Advance(10);
    }
    // The measure needs four fresh buckets (about a second) before the hold timer runs for
    // 2.5 s; then it repeats every 2.5 s.
    ASSERT_EQ(rightAt.size(), 2u);
    EXPECT_GT(rightAt[0], 3250u);
    EXPECT_LT(rightAt[0], 3800u);
    EXPECT_NEAR(static_cast<double>(rightAt[1] - rightAt[0]), 2510.0, 20.0);
    EXPECT_TRUE(out->GetButtonDown());
}

TEST_F(OutputTest, MovingPressNeverRightClicks)
{
    out->SetPressType(mpt_SelectMoveReleaseRC);
    std::string all;
    for (int t = 0; t < 8000; t += 10) {
        const float x = 0.5f + 0.2f * std::sin(static_cast<float>(t) / 300.0f);
        all += Frame(100.0f, x, 0.5f);
        loop.Advance(10);
    }
    EXPECT_EQ(all.find('R'), std::string::npos);
}

TEST_F(OutputTest, EveryEnableOrModeChangeReleasesTheButton)
{
    struct Case {
        const char* what;
        std::function<void(OutputTest&)> change;
        bool releases;
    };
    const Case cases[] = {
        {"Enabled1 off", [](OutputTest& t) { t.out->SetEnabled1(false); }, true},
        {"Enabled2 off (settings load)", [](OutputTest& t) { t.out->SetEnabled2(false); }, true},
        {"Enabled3 off (touch levels busy)", [](OutputTest& t) { t.out->SetEnabled3(false); }, true},
        {"Enabled4 off (calibration busy)", [](OutputTest& t) { t.out->SetEnabled4(false); }, true},
        {"press type set", [](OutputTest& t) { t.out->SetPressType(mpt_Move); }, true},
        {"panel switches output off", [](OutputTest& t) { t.PanelWriteBool("Enabled", false); }, true},
        {"panel changes the mode", [](OutputTest& t) { t.PanelWriteInt("PressType", 2); }, true},
        {"panel writes mode 260 (code 4, unchanged)",
         [](OutputTest& t) { t.PanelWriteInt("PressType", 260); }, false},
        {"Enabled3 written unchanged", [](OutputTest& t) { t.out->SetEnabled3(true); }, false},
        {"panel writes Enabled unchanged", [](OutputTest& t) { t.PanelWriteBool("Enabled", true); }, false},
    };
    for (const auto& c : cases) {
        out->SetEnabled1(true);
        out->SetEnabled2(true);
        out->SetEnabled3(true);
        out->SetEnabled4(true);
        out->SetPressType(mpt_SelectMoveRelease);
        Frame(0.0f);
        Frame(100.0f);
        ASSERT_TRUE(out->GetButtonDown()) << c.what;
        actions.clear();
        c.change(*this);
        if (c.releases) {
            ASSERT_EQ(actions.size(), 1u) << c.what;
            EXPECT_EQ(actions[0].flags, static_cast<uint32_t>(mf_LeftUp)) << c.what;
            EXPECT_FALSE(out->GetButtonDown()) << c.what;
        } else {
            EXPECT_TRUE(actions.empty()) << c.what;
            EXPECT_TRUE(out->GetButtonDown()) << c.what;
        }
    }
}

TEST_F(OutputTest, DestructionLetsGoOfTheButton)
{
    out->SetPressType(mpt_SelectMoveRelease);
    Frame(100.0f);
    ASSERT_TRUE(out->GetButtonDown());
    actions.clear();
    out.reset();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].flags, static_cast<uint32_t>(mf_LeftUp));
    out = std::make_unique<TNX7_Output>();  // for TearDown
}

TEST_F(OutputTest, DisabledOutputIsSilentButStillPublishes)
{
    out->SetPressType(mpt_SelectMoveRelease);
    out->SetEnabled3(false);
    float seenMTT = 0;
    out->OnOutput = [&](void*, float, float, float, float mtt, float) { seenMTT = mtt; };
    EXPECT_EQ(Frame(100.0f, 0.3f, 0.4f), "");
    EXPECT_FALSE(out->GetButtonDown());
    EXPECT_FLOAT_EQ(seenMTT, kMTT);
    EXPECT_FLOAT_EQ(Var("X")->GetValueFloat(), 0.3f);
    EXPECT_FLOAT_EQ(Var("Y")->GetValueFloat(), 0.4f);
    EXPECT_EQ(Var("Button")->GetValueInt(), 2);
    out->Input(nullptr, 0.3f, 0.4f, 0.0f, kMTT, kMPT, 1, 100);
    EXPECT_EQ(Var("CrudeTouch")->GetValueInt(), 1);
}

TEST_F(OutputTest, StartDelayIsClampedAndHoldsTheOutputBack)
{
    out->SetPressType(mpt_Move);
    struct Case {
        int written, used;
    };
    for (const Case c : {Case{5, 5}, Case{500, 120}, Case{-3, 0}}) {
        PanelWriteInt("StartDelay", c.written);
        EXPECT_EQ(out->GetStartDelay(), c.used);
        if (c.used > 0) {
            EXPECT_EQ(Frame(45.0f, 0.5f, 0.5f, c.used - 1), "") << c.written;
        }
        EXPECT_EQ(Frame(45.0f, 0.5f, 0.5f, c.used), "M") << c.written;
    }
}

TEST_F(OutputTest, BadStrengthsNeverStickTheButton)
{
    struct Case {
        const char* what;
        float m, mtt, mpt;
        int level;
    };
    const Case cases[] = {
        {"strength not a number", kNaN, kMTT, kMPT, 0},
        {"levels not numbers", 100.0f, kNaN, kNaN, 0},
        {"infinite strength", kInf, kMTT, kMPT, 2},
        {"minus infinite strength", -kInf, kMTT, kMPT, 0},
        {"infinite levels", 100.0f, kInf, kInf, 0},
    };
    for (const auto& c : cases) {
        out->SetPressType(mpt_SelectMoveRelease);
        Frame(100.0f);
        ASSERT_TRUE(out->GetButtonDown());
        out->Input(nullptr, 0.5f, 0.5f, c.m, c.mtt, c.mpt, 0, 100);
        EXPECT_EQ(out->GetLevel(), c.level) << c.what;
        EXPECT_EQ(out->GetButtonDown(), c.level == 2) << c.what;
        Frame(0.0f);
        EXPECT_FALSE(out->GetButtonDown()) << c.what;
    }
    for (const auto& a : actions) {
        if (a.flags == mf_AbsoluteMove) {
            EXPECT_GE(a.dx, 0);
            EXPECT_LE(a.dx, 65535);
            EXPECT_GE(a.dy, 0);
            EXPECT_LE(a.dy, 65535);
        }
    }
}

}  // namespace
