// Touch and press levels, the crude-touch detector and the automatic touch-level procedure.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "driver/touch/autothreshold.h"
#include "share/sharevarbase.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Wire arrays of one compact finger (peak at wire 10, neighbours 9 and 11) and of no finger.
struct Wires {
    std::vector<float> finger = std::vector<float>(16, 0.0f);
    std::vector<float> flat = std::vector<float>(16, 0.0f);
    Wires() {
        finger[9] = 2.0f;
        finger[10] = 5.0f;
        finger[11] = 3.0f;
    }
};

TShareVarBase* VarNamed(TNX7_AutoThreshold& at, const std::string& name)
{
    for (int i = 0; i < at.GetVars().GetCount(); ++i)
        if (at.GetVars().GetVar(i)->GetVarName() == name)
            return at.GetVars().GetVar(i);
    return nullptr;
}

// What the panel does: store a value and let the change reach the handler.
void PanelWriteFloat(TNX7_AutoThreshold& at, const std::string& name, float v)
{
    TShareVarBase* var = VarNamed(at, name);
    ASSERT_NE(var, nullptr) << name;
    var->SetValueFloatX(v);
    var->OnChange(var);
}

void PanelWriteBool(TNX7_AutoThreshold& at, const std::string& name, bool v)
{
    TShareVarBase* var = VarNamed(at, name);
    ASSERT_NE(var, nullptr) << name;
    var->SetValueBoolX(v);
    var->OnChange(var);
}

// The driver form's settings.
void DriverSettings(TNX7_AutoThreshold& at)
{
    at.SetFixed(true);
    at.SetFixedThreshold(300.0f);
    at.SetMinThreshold(10.0f);
    at.SetMaxThreshold(500.0f);
    at.SetTrackingTimeConstant(0.001f);
}

struct LevelCase {
    const char* what;
    bool advanced;
    float touchRatio, pressRatio;
    float touch, press;
};

TEST(AutoThresholdLevels, FixedLevelsFollowRatiosAndFloor)
{
    const LevelCase cases[] = {
        {"shipped ratios, plain mode", false, 0.205f, 0.105f, 31.5f, 31.5f},
        {"shipped ratios, advanced", true, 0.205f, 0.105f, 61.5f, 61.5f},
        {"advanced, separate levels", true, 0.1f, 0.3f, 30.0f, 90.0f},
        {"ratio below the floor", false, 0.2f, 0.05f, 30.0f, 30.0f},
        {"touch ratio above press ratio lifts press", true, 0.5f, 0.2f, 150.0f, 150.0f},
    };
    for (const auto& c : cases) {
        TNX7_AutoThreshold at;
        DriverSettings(at);
        at.SetAdvanced(c.advanced);
        at.SetTouchRatio(c.touchRatio);
        at.SetPressRatio(c.pressRatio);
        at.Input(nullptr, 0.0f, 0.0f, 50.0f);
        EXPECT_NEAR(at.GetTouchThreshold(), c.touch, 1e-3) << c.what;
        EXPECT_NEAR(at.GetPressThreshold(), c.press, 1e-3) << c.what;
        EXPECT_FLOAT_EQ(at.GetThreshold(), 300.0f) << c.what;
    }
}

TEST(AutoThresholdLevels, TrackingRisesFastFallsSlowlyAndStopsAtMax)
{
    TNX7_AutoThreshold at;  // class defaults: not fixed, tracked level starts at 10
    at.SetMaxThreshold(500.0f);
    at.SetTrackingTimeConstant(0.01f);
    at.Input(nullptr, 0, 0, 110.0f);
    EXPECT_FLOAT_EQ(at.GetTrackedLevel(), 100.0f);  // 90 % of the way up at once
    at.Input(nullptr, 0, 0, 0.0f);
    EXPECT_FLOAT_EQ(at.GetTrackedLevel(), 99.0f);  // 1 % of the gap down
    EXPECT_FLOAT_EQ(at.GetThreshold(), 99.0f);
    at.Input(nullptr, 0, 0, 10000.0f);
    EXPECT_FLOAT_EQ(at.GetTrackedLevel(), 500.0f);
    // Below a tenth of FixedThreshold the base level is held at that floor.
    for (int i = 0; i < 3000; ++i)
        at.Input(nullptr, 0, 0, 0.0f);
    EXPECT_LT(at.GetTrackedLevel(), 30.0f);
    EXPECT_FLOAT_EQ(at.GetThreshold(), 30.0f);
}

TEST(AutoThresholdLevels, NonFiniteStrengthNeverPoisonsTheLevels)
{
    for (float bad : {kNaN, kInf, -kInf}) {
        TNX7_AutoThreshold at;
        at.SetMaxThreshold(500.0f);
        at.Input(nullptr, 0, 0, 110.0f);
        at.Input(nullptr, kNaN, kInf, bad);
        at.Input(nullptr, 0, 0, 110.0f);
        EXPECT_TRUE(std::isfinite(at.GetTrackedLevel())) << bad;
        EXPECT_TRUE(std::isfinite(at.GetTouchThreshold())) << bad;
        EXPECT_TRUE(std::isfinite(at.GetPressThreshold())) << bad;
        EXPECT_GE(at.GetTouchThreshold(), 30.0f) << bad;
    }
}

TEST(AutoThresholdSettings, EverySettingIsClampedWhetherSetOrWrittenByThePanel)
{
    struct Case {
        const char* var;
        float written, kept;
        float (TNX7_AutoThreshold::*get)() const;
        void (TNX7_AutoThreshold::*set)(float);
    };
    const Case cases[] = {
        {"FixedThreshold", 5.0f, 10.0f, &TNX7_AutoThreshold::GetFixedThreshold, &TNX7_AutoThreshold::SetFixedThreshold},
        {"FixedThreshold", 2000.0f, 1000.0f, &TNX7_AutoThreshold::GetFixedThreshold, &TNX7_AutoThreshold::SetFixedThreshold},
        {"FixedThreshold", kNaN, 10.0f, &TNX7_AutoThreshold::GetFixedThreshold, &TNX7_AutoThreshold::SetFixedThreshold},
        {"MinThreshold", 0.0f, 1.0f, &TNX7_AutoThreshold::GetMinThreshold, &TNX7_AutoThreshold::SetMinThreshold},
        {"MinThreshold", 500.0f, 100.0f, &TNX7_AutoThreshold::GetMinThreshold, &TNX7_AutoThreshold::SetMinThreshold},
        {"TouchRatio", -1.0f, 0.0f, &TNX7_AutoThreshold::GetTouchRatio, &TNX7_AutoThreshold::SetTouchRatio},
        {"TouchRatio", kInf, 1.0f, &TNX7_AutoThreshold::GetTouchRatio, &TNX7_AutoThreshold::SetTouchRatio},
        {"PressRatio", 2.0f, 1.0f, &TNX7_AutoThreshold::GetPressRatio, &TNX7_AutoThreshold::SetPressRatio},
        {"PressRatio", -kInf, 0.0f, &TNX7_AutoThreshold::GetPressRatio, &TNX7_AutoThreshold::SetPressRatio},
    };
    for (const auto& c : cases) {
        TNX7_AutoThreshold viaVar;
        PanelWriteFloat(viaVar, c.var, c.written);
        EXPECT_FLOAT_EQ((viaVar.*c.get)(), c.kept) << c.var << " written " << c.written;

        TNX7_AutoThreshold viaSetter;
        (viaSetter.*c.set)(c.written);
        EXPECT_FLOAT_EQ((viaSetter.*c.get)(), c.kept) << c.var << " set " << c.written;
        // The setter publishes the value it kept.
        EXPECT_FLOAT_EQ(VarNamed(viaSetter, c.var)->GetValueFloat(), c.kept) << c.var;
    }

    TNX7_AutoThreshold at;
    at.SetMaxThreshold(5.0f);
    EXPECT_FLOAT_EQ(at.GetMaxThreshold(), 10.0f);
    at.SetTrackingTimeConstant(1.0f);
    EXPECT_FLOAT_EQ(at.GetTrackingTimeConstant(), 0.1f);
    at.SetTrackingTimeConstant(0.0f);
    EXPECT_FLOAT_EQ(at.GetTrackingTimeConstant(), 0.00001f);
    at.SetRate(5);
    EXPECT_EQ(at.GetRate(), 10);
    EXPECT_EQ(at.GetCountLimit(0), 100);
    at.SetRate(5000);
    EXPECT_EQ(at.GetRate(), 1000);
    EXPECT_EQ(at.GetCountLimit(2), 10000);
}

TEST(AutoThresholdSettings, HandlersWriteTheFieldOnlyNotTheVariableBack)
{
    TNX7_AutoThreshold at;
    PanelWriteFloat(at, "FixedThreshold", 5000.0f);
    EXPECT_FLOAT_EQ(at.GetFixedThreshold(), 1000.0f);
    EXPECT_FLOAT_EQ(VarNamed(at, "FixedThreshold")->GetValueFloat(), 5000.0f);
    PanelWriteBool(at, "Advanced", true);
    EXPECT_TRUE(at.GetAdvanced());
}

TEST(AutoThresholdPeaks, FindPeaksIndices)
{
    struct Case {
        std::vector<float> v;
        int max, second, third, min;
    };
    const Case cases[] = {
        {{5, 1, 2, 3}, 0, 0, 0, 1},         // maximum first: second and third stay 0
        {{1, 3, 3, 0}, 2, 1, 0, 3},         // ties go to the later index
        {{0, 1, 2, 9, 4, 0}, 3, 4, 2, 5},
        {{1, 2, 9}, 2, 1, 1, 0},            // maximum last: third is the second
        {{7, 8}, 0, 0, 0, 0},               // too short
        {{}, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        int a, b, t, m;
        TNX7_AutoThreshold::FindPeaks(static_cast<int>(c.v.size()), c.v.data(), a, b, t, m);
        EXPECT_EQ(a, c.max);
        EXPECT_EQ(b, c.second);
        EXPECT_EQ(t, c.third);
        EXPECT_EQ(m, c.min);
    }
}

TEST(AutoThresholdCrude, NeedsFourQualifyingFramesInARowAndDropsOnTheFirstFailure)
{
    Wires w;
    TNX7_AutoThreshold at;
    // The first finger frame moves the remembered peak from wire 0 to wire 10 and so does not
    // qualify; the next four do.
    std::vector<int> crude;
    for (int i = 0; i < 6; ++i) {
        at.CrudeInput(nullptr, 16, w.finger.data(), 16, w.finger.data());
        crude.push_back(at.GetCrudeTouch());
    }
    EXPECT_EQ(crude, (std::vector<int>{0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(at.GetNotCrudeTouch(), 0);

    std::vector<int> notCrude;
    at.CrudeInput(nullptr, 16, w.flat.data(), 16, w.flat.data());
    EXPECT_EQ(at.GetCrudeTouch(), 0);
    notCrude.push_back(at.GetNotCrudeTouch());
    for (int i = 0; i < 3; ++i) {
        at.CrudeInput(nullptr, 16, w.flat.data(), 16, w.flat.data());
        notCrude.push_back(at.GetNotCrudeTouch());
    }
    EXPECT_EQ(notCrude, (std::vector<int>{0, 0, 0, 1}));
}

TEST(AutoThresholdCrude, ShortOrBrokenArraysNeverQualify)
{
    Wires w;
    std::vector<float> nan(16, kNaN);
    struct Case {
        const char* what;
        int nX;
        const float* X;
        int nY;
        const float* Y;
    };
    const Case cases[] = {
        {"two wires", 2, w.finger.data(), 2, w.finger.data()},
        {"no Y array", 16, w.finger.data(), 16, nullptr},
        {"negative length", -5, w.finger.data(), 16, w.finger.data()},
        {"not numbers", 16, nan.data(), 16, nan.data()},
    };
    for (const auto& c : cases) {
        TNX7_AutoThreshold at;
        for (int i = 0; i < 10; ++i)
            at.CrudeInput(nullptr, c.nX, c.X, c.nY, c.Y);
        EXPECT_EQ(at.GetCrudeTouch(), 0) << c.what;
        EXPECT_EQ(at.GetNotCrudeTouch(), 1) << c.what;
    }
}

// Drives the procedure frame by frame the way the processing graph does.
struct Procedure {
    Wires w;
    TNX7_AutoThreshold at;
    int starts = 0, completes = 0, cancels = 0;

    Procedure() {
        DriverSettings(at);
        at.OnStart = [this](void*) { ++starts; };
        at.OnComplete = [this](void*) { ++completes; };
        at.OnCancel = [this](void*) { ++cancels; };
    }
    void Frame(bool finger, float A, float B, float value) {
        const auto& arr = finger ? w.finger : w.flat;
        at.SetRate(10);
        at.CrudeInput(nullptr, 16, arr.data(), 16, arr.data());
        at.Input(nullptr, A, B, value);
    }
    // Touched frames until the touch phase ends (or maxFrames).
    int TouchUntilRelease(float value, int maxFrames = 1000) {
        int n = 0;
        while (at.GetState() == ats_Touch && n < maxFrames) {
            Frame(true, 0.1f, -0.2f, value);
            ++n;
        }
        return n;
    }
};

TEST(AutoThresholdProcedure, TouchThenReleaseGivesLevelsThirtyPercentUp)
{
    Procedure p;
    PanelWriteBool(p.at, "Start", true);
    EXPECT_EQ(p.starts, 1);
    EXPECT_EQ(p.at.GetState(), ats_Touch);
    EXPECT_TRUE(p.at.GetBusy());
    EXPECT_TRUE(VarNamed(p.at, "Busy")->GetValueBool());
    EXPECT_EQ(VarNamed(p.at, "State")->GetValueInt(), ats_Touch);

    // Accepted frames before the phase ends: exactly limit + 1.
    int accepted = 0;
    while (p.at.GetState() == ats_Touch) {
        const int before = p.at.GetCount0();
        p.Frame(true, 0.1f, -0.2f, 100.0f);
        if (p.at.GetCount0() > before || p.at.GetState() != ats_Touch)
            ++accepted;
        ASSERT_LT(accepted, 200);
    }
    EXPECT_EQ(accepted, 101);
    EXPECT_EQ(p.at.GetState(), ats_Release);
    EXPECT_EQ(p.at.GetCount2(), 0);  // the release phase has its own budget

    // One frame in, the ratio shows progress against the limit of 10 × Rate.
    p.Frame(false, 0.0f, 0.0f, 20.0f);
    EXPECT_FLOAT_EQ(VarNamed(p.at, "CountRatio1")->GetValueFloat(), 0.01f);
    int released = 1;
    while (p.at.GetState() == ats_Release) {
        p.Frame(false, 0.0f, 0.0f, 20.0f);
        ++released;
        ASSERT_LT(released, 200);
    }
    EXPECT_EQ(released, 101);
    EXPECT_EQ(p.at.GetState(), ats_Idle);
    EXPECT_FALSE(p.at.GetBusy());
    EXPECT_FALSE(VarNamed(p.at, "Busy")->GetValueBool());
    EXPECT_EQ(VarNamed(p.at, "State")->GetValueInt(), ats_Idle);
    EXPECT_EQ(p.completes, 1);
    EXPECT_EQ(p.cancels, 0);

    EXPECT_NEAR(p.at.GetFixedThreshold(), 180.0f, 1e-3);
    EXPECT_NEAR(p.at.GetMinThreshold(), 24.0f, 1e-3);
    EXPECT_NEAR(p.at.GetTouchRatio(), 44.0f / 180.0f, 1e-5);
    EXPECT_NEAR(p.at.GetPressRatio(), 44.0f / 180.0f, 1e-5);
    EXPECT_FALSE(p.at.GetAdvanced());
    EXPECT_NEAR(VarNamed(p.at, "FixedThreshold")->GetValueFloat(), 180.0f, 1e-3);
    EXPECT_NEAR(VarNamed(p.at, "PressRatio")->GetValueFloat(), 44.0f / 180.0f, 1e-5);

    // The new levels sit 30 % of the way from released to touched.
    p.Frame(false, 0, 0, 20.0f);
    EXPECT_NEAR(p.at.GetTouchThreshold(), 44.0f, 1e-3);
    EXPECT_NEAR(p.at.GetPressThreshold(), 44.0f, 1e-3);

    // A later cancel restores the set stored on success, not the one from before the run.
    p.at.DoCancel(nullptr);
    EXPECT_NEAR(p.at.GetFixedThreshold(), 180.0f, 1e-3);
}

TEST(AutoThresholdProcedure, TouchPhaseLengthScalesWithRate)
{
    Procedure p;
    p.at.DoStart(nullptr);
    int accepted = 0;
    while (p.at.GetState() == ats_Touch && accepted < 2000) {
        p.at.SetRate(100);
        p.at.CrudeInput(nullptr, 16, p.w.finger.data(), 16, p.w.finger.data());
        const int before = p.at.GetCount0();
        p.at.Input(nullptr, 0, 0, 100.0f);
        if (p.at.GetCount0() > before || p.at.GetState() != ats_Touch)
            ++accepted;
    }
    EXPECT_EQ(accepted, 1001);
}

TEST(AutoThresholdProcedure, RejectedFramesCountAndTooManyCancel)
{
    struct Case {
        const char* what;
        bool finger;
        float A, B, value;
    };
    const Case cases[] = {
        {"A at +0.5", true, 0.5f, 0.0f, 100.0f},
        {"A at -0.5", true, -0.5f, 0.0f, 100.0f},
        {"B at +0.5", true, 0.0f, 0.5f, 100.0f},
        {"B beyond -0.5", true, 0.0f, -0.7f, 100.0f},
        {"no compact finger", false, 0.0f, 0.0f, 100.0f},
        {"position not a number", true, kNaN, 0.0f, 100.0f},
        {"strength not a number", true, 0.0f, 0.0f, kNaN},
    };
    for (const auto& c : cases) {
        Procedure p;
        p.at.SetFixedThreshold(250.0f);
        p.at.DoStart(nullptr);
        p.at.SetFixedThreshold(400.0f);  // changed during the run, restored by the cancel
        int frames = 0;
        while (p.at.GetState() == ats_Touch && frames < 1000) {
            p.Frame(c.finger, c.A, c.B, c.value);
            ++frames;
        }
        EXPECT_EQ(p.at.GetCount0(), 0) << c.what;
        EXPECT_EQ(frames, 101) << c.what;
        EXPECT_EQ(p.at.GetState(), ats_Idle) << c.what;
        EXPECT_EQ(p.cancels, 1) << c.what;
        EXPECT_EQ(p.completes, 1) << c.what;
        EXPECT_FLOAT_EQ(p.at.GetFixedThreshold(), 250.0f) << c.what;
        EXPECT_FALSE(VarNamed(p.at, "Busy")->GetValueBool()) << c.what;
    }
}

TEST(AutoThresholdProcedure, ReleasePhaseCancelsWhenTheFingerStays)
{
    Procedure p;
    p.at.DoStart(nullptr);
    p.TouchUntilRelease(100.0f);
    ASSERT_EQ(p.at.GetState(), ats_Release);
    int frames = 0;
    while (p.at.GetState() == ats_Release && frames < 1000) {
        p.Frame(true, 0.0f, 0.0f, 100.0f);
        ++frames;
    }
    EXPECT_EQ(frames, 101);
    EXPECT_EQ(p.cancels, 1);
    EXPECT_FLOAT_EQ(p.at.GetFixedThreshold(), 300.0f);
}

TEST(AutoThresholdProcedure, ComputeWithTooFewSamplesRestoresWithoutCancel)
{
    Procedure p;
    p.at.DoStart(nullptr);
    p.at.SetFixedThreshold(400.0f);
    p.Frame(true, 0, 0, 100.0f);
    p.at.SetState(ats_Compute);
    EXPECT_EQ(p.at.GetState(), ats_Idle);
    EXPECT_EQ(p.completes, 1);
    EXPECT_EQ(p.cancels, 0);
    EXPECT_FLOAT_EQ(p.at.GetFixedThreshold(), 300.0f);
    EXPECT_FALSE(p.at.GetBusy());
}

TEST(AutoThresholdProcedure, StartingAgainRestartsTheCount)
{
    Procedure p;
    PanelWriteBool(p.at, "Start", true);
    for (int i = 0; i < 50; ++i)
        p.Frame(true, 0, 0, 100.0f);
    ASSERT_GT(p.at.GetCount0(), 0);
    PanelWriteBool(p.at, "Start", false);  // any write starts, whatever the value
    EXPECT_EQ(p.starts, 2);
    EXPECT_EQ(p.at.GetCount0(), 0);
    EXPECT_EQ(p.at.GetCount2(), 0);
    EXPECT_FLOAT_EQ(VarNamed(p.at, "CountRatio0")->GetValueFloat(), 0.0f);
    EXPECT_EQ(p.at.GetState(), ats_Touch);
}

TEST(AutoThresholdProcedure, CancelWhileIdleRestoresTheLastStoredSet)
{
    TNX7_AutoThreshold at;
    DriverSettings(at);
    int cancels = 0, completes = 0;
    at.OnCancel = [&](void*) { ++cancels; };
    at.OnComplete = [&](void*) { ++completes; };
    PanelWriteBool(at, "Cancel", true);
    // Nothing stored yet: the all-zero set, clamped on its way back.
    EXPECT_FLOAT_EQ(at.GetFixedThreshold(), 10.0f);
    EXPECT_FLOAT_EQ(at.GetMinThreshold(), 1.0f);
    EXPECT_FLOAT_EQ(at.GetTouchRatio(), 0.0f);
    EXPECT_FLOAT_EQ(at.GetPressRatio(), 0.0f);
    EXPECT_FALSE(at.GetAdvanced());
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(completes, 1);
    EXPECT_EQ(at.GetState(), ats_Idle);
}

TEST(AutoThresholdProcedure, UnknownRequestLandsInNoneAndCountsAsBusy)
{
    TNX7_AutoThreshold at;
    EXPECT_FALSE(at.GetBusy());
    at.SetState(static_cast<AutoThresholdStateType>(42));
    EXPECT_EQ(at.GetState(), ats_None);
    EXPECT_TRUE(at.GetBusy());
    at.SetState(ats_Idle);
    EXPECT_FALSE(at.GetBusy());
}

TEST(AutoThresholdProcedure, ResetRestartsTrackingFromMinThreshold)
{
    TNX7_AutoThreshold at;
    at.SetMaxThreshold(500.0f);
    at.Input(nullptr, 0, 0, 400.0f);
    ASSERT_GT(at.GetTrackedLevel(), 300.0f);
    at.SetMinThreshold(40.0f);
    at.Reset(nullptr);
    EXPECT_FLOAT_EQ(at.GetTrackedLevel(), 40.0f);
}

}  // namespace
