// Pointer damping: the snapping filter and the first-order smoother.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "driver/touch/damped.h"
#include "driver/touch/damping.h"
#include "share/sharevarbase.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMTT = 30.0f, kMPT = 60.0f;
constexpr float kStrong = 500.0f;

struct Report {
    float x, y, mx, my, mtt, mpt;
};

// The driver form's damped filter with its reports collected.
struct Filter {
    TNX7_Damped d;
    std::vector<Report> out;
    Filter() {
        d.SetActive(true);
        d.SetMaxLength(100);
        d.SetSnapRadius(0.05f);
        d.OnOutput = [this](void*, float x, float y, float mx, float my, float mtt, float mpt) {
            out.push_back({x, y, mx, my, mtt, mpt});
        };
    }
    const Report& Frame(float x, float y, float m = kStrong) {
        d.Input(x, y, m, m, kMTT, kMPT);
        return out.back();
    }
};

// Jitter of ±0.01 around a point, repeatable.
float Wobble(int i) { return 0.01f * static_cast<float>((i * 7) % 5 - 2) / 2.0f; }

TEST(Damped, InactivePassesAtOnceAndActiveStartsEmpty)
{
    TNX7_Damped off;
    Report r{};
    off.OnOutput = [&](void*, float x, float y, float mx, float my, float mtt, float mpt) {
        r = {x, y, mx, my, mtt, mpt};
    };
    off.Input(0.3f, 0.4f, 1, 2, 3, 4);
    EXPECT_FLOAT_EQ(r.x, 0.3f);
    EXPECT_FLOAT_EQ(r.mpt, 4.0f);

    Filter f;
    const Report first = f.Frame(0.3f, 0.4f);
    EXPECT_FLOAT_EQ(first.x, 0.0f);
    EXPECT_FLOAT_EQ(first.y, 0.0f);
    EXPECT_FLOAT_EQ(first.mx, 0.0f);
    EXPECT_FLOAT_EQ(first.mtt, kMTT);  // thresholds are the current frame's
}

TEST(Damped, RestingFingerReportsTheMeanOfItsFrames)
{
    Filter f;
    const float cx = 0.3f, cy = -0.2f;
    std::vector<float> xs, ys;
    float worst = 0.0f;
    for (int i = 0; i < 60; ++i) {
        xs.push_back(cx + Wobble(i));
        ys.push_back(cy - Wobble(i + 2));
        const Report r = f.Frame(xs.back(), ys.back());
        if (i == 0)
            continue;
        // Reported one frame late: the mean of every frame so far, the newest included.
        double mx = 0, my = 0;
        for (size_t k = 0; k < xs.size(); ++k) {
            mx += xs[k];
            my += ys[k];
        }
        EXPECT_NEAR(r.x, mx / xs.size(), 1e-5) << i;
        EXPECT_NEAR(r.y, my / ys.size(), 1e-5) << i;
        EXPECT_FLOAT_EQ(r.mx, kStrong);
        if (i >= 20)
            worst = std::max(worst, std::fabs(r.x - cx));
    }
    EXPECT_LT(worst, 0.001f);  // input wobbles by 0.01
}

TEST(Damped, JumpIsFollowedOneFrameLateWithoutAveraging)
{
    Filter f;
    for (int i = 0; i < 20; ++i)
        f.Frame(0.3f + Wobble(i), 0.3f);
    const Report atJump = f.Frame(-0.4f, 0.5f);
    EXPECT_NEAR(atJump.x, 0.3f, 0.005f);  // still the old resting place
    const Report next = f.Frame(-0.4f, 0.5f);
    EXPECT_FLOAT_EQ(next.x, -0.4f);
    EXPECT_FLOAT_EQ(next.y, 0.5f);
    const Report moving = f.Frame(-0.2f, 0.5f);  // keeps following a moving finger
    EXPECT_FLOAT_EQ(moving.x, -0.4f);
    EXPECT_FLOAT_EQ(f.Frame(0.0f, 0.5f).x, -0.2f);
}

TEST(Damped, LiftOffReportsTheHistoryNearTheLastPositionOrTheRawOne)
{
    struct Case {
        const char* what;
        float touchStrength;  // of the resting frames
        float liftX;          // where the untouched frame lies
        bool wantsHistoryMean;
    };
    const Case cases[] = {
        {"strong touch, lift in place", kStrong, 0.305f, true},
        {"strong touch, lift far away", kStrong, 0.8f, false},
        // Between MTT and 1.2 × MTT: filtered, but never kept beyond one frame.
        {"weak touch, lift in place", 33.0f, 0.305f, false},
    };
    for (const auto& c : cases) {
        Filter f;
        double sum = 0;
        const int n = 30;
        for (int i = 0; i < n; ++i) {
            const float x = 0.3f + Wobble(i);
            sum += x;
            f.Frame(x, 0.1f, c.touchStrength);
        }
        f.Frame(c.liftX, 0.1f, 0.0f);
        const Report lift = f.Frame(c.liftX, 0.1f, 0.0f);  // reports the first untouched frame
        EXPECT_FLOAT_EQ(lift.mx, 0.0f) << c.what;
        if (c.wantsHistoryMean) {
            EXPECT_NEAR(lift.x, sum / n, 1e-5) << c.what;
            EXPECT_NE(lift.x, c.liftX) << c.what;
        } else {
            EXPECT_FLOAT_EQ(lift.x, c.liftX) << c.what;
        }
    }
}

TEST(Damped, NonFiniteFramesNeverEnterTheHistory)
{
    for (float bad : {kNaN, kInf, -kInf}) {
        Filter f;
        for (int i = 0; i < 10; ++i)
            f.Frame(0.3f, 0.3f);
        f.Frame(bad, 0.3f);
        f.Frame(0.3f, bad);
        f.Frame(0.3f, 0.3f, bad);
        for (int i = 0; i < 10; ++i) {
            const Report r = f.Frame(0.3f, 0.3f);
            if (i >= 2) {
                EXPECT_NEAR(r.x, 0.3f, 1e-6) << bad;
                EXPECT_NEAR(r.y, 0.3f, 1e-6) << bad;
            }
        }
    }
}

TEST(Damped, SettingsAreClamped)
{
    TNX7_Damped d;
    d.SetMaxLength(2);
    EXPECT_EQ(d.GetMaxLength(), 4);
    d.SetMaxLength(500);
    EXPECT_EQ(d.GetMaxLength(), 128);

    TShareVarBase* var = nullptr;
    for (int i = 0; i < d.GetVars().GetCount(); ++i)
        if (d.GetVars().GetVar(i)->GetVarName() == "SnapRadius")
            var = d.GetVars().GetVar(i);
    ASSERT_NE(var, nullptr);
    EXPECT_FLOAT_EQ(var->GetValueFloat(), 0.2f);

    d.SetSnapRadius(0.05f);
    struct Case {
        float written, kept;
    };
    for (const Case c : {Case{0.0505f, 0.05f}, Case{0.0f, 0.001f}, Case{kNaN, 0.001f},
                         Case{3.0f, 0.5f}, Case{0.2f, 0.2f}}) {
        var->SetValueFloatX(c.written);
        var->OnChange(var);
        EXPECT_FLOAT_EQ(d.GetSnapRadius(), c.kept) << c.written;
    }
    // A kept value is written back with its clamp.
    d.SetSnapRadius(7.0f);
    EXPECT_FLOAT_EQ(var->GetValueFloat(), 0.5f);
}

TEST(Damped, NumericUtilities)
{
    float b0, b1;
    const float line[] = {1, 3, 5, 7};
    TNX7_Damped::FitLine(line, 4, b0, b1);
    EXPECT_NEAR(b0, 1.0f, 1e-6);
    EXPECT_NEAR(b1, 2.0f, 1e-6);
    TNX7_Damped::FitLine(line, 1, b0, b1);
    EXPECT_FLOAT_EQ(b0, 1.0f);
    EXPECT_FLOAT_EQ(b1, 0.0f);

    float mean, mw;
    const float v[] = {1, 3}, w[] = {1, 3}, w0[] = {0.001f, 0.002f};
    TNX7_Damped::WeightedAverage(v, w, 2, mean, mw);
    EXPECT_FLOAT_EQ(mean, 2.5f);
    EXPECT_FLOAT_EQ(mw, 2.0f);
    TNX7_Damped::WeightedAverage(v, w0, 2, mean, mw);  // weights add to almost nothing
    EXPECT_FLOAT_EQ(mean, 1.0f);
    EXPECT_FLOAT_EQ(mw, 0.001f);
    TNX7_Damped::WeightedAverage(v, w, 1, mean, mw);
    EXPECT_FLOAT_EQ(mean, 1.0f);

    EXPECT_FLOAT_EQ(TNX7_Damped::Range(5.0f, 2.0f, 1.0f), 2.0f);
    EXPECT_FLOAT_EQ(TNX7_Damped::Range(-5.0f, 2.0f, 1.0f), 1.0f);
}

TEST(Damping, StepsAtWeakAndFirmTouch)
{
    struct Case {
        const char* what;
        float m;
        std::vector<float> want;
    };
    const Case cases[] = {
        {"weak touch halves the gap", 50.0f, {0.5f, 0.75f, 0.875f}},
        {"firm touch follows at once", 61.0f, {1.0f, 1.0f, 1.0f}},
    };
    for (const auto& c : cases) {
        TNX7_Damping d;
        d.SetActive(true);
        d.SetDamping(0.5f);
        std::vector<float> got;
        d.OnOutput = [&](void*, float x, float, float, float, float, float) { got.push_back(x); };
        for (int i = 0; i < 3; ++i)
            d.Input(1.0f, 0.0f, c.m, c.m, kMTT, kMPT);
        ASSERT_EQ(got.size(), c.want.size()) << c.what;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_FLOAT_EQ(got[i], c.want[i]) << c.what << " step " << i;
    }
}

TEST(Damping, InactivePassesClampsAndIgnoresNonFinitePositions)
{
    TNX7_Damping d;
    float x = -1;
    d.OnOutput = [&](void*, float X, float, float, float, float, float) { x = X; };
    d.Input(0.7f, 0, 1, 1, 30, 60);
    EXPECT_FLOAT_EQ(x, 0.7f);

    d.SetDamping(0.05f);
    EXPECT_FLOAT_EQ(d.GetDamping(), 0.1f);
    d.SetDamping(3.0f);
    EXPECT_FLOAT_EQ(d.GetDamping(), 1.0f);
    d.SetDamping(kNaN);
    EXPECT_FLOAT_EQ(d.GetDamping(), 0.1f);

    d.SetActive(true);
    d.SetDamping(0.5f);
    d.Input(kNaN, 0, 50, 50, 30, 60);
    d.Input(1.0f, 0, 50, 50, 30, 60);
    EXPECT_FLOAT_EQ(x, 0.5f);
}

}  // namespace
