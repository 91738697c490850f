#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "driver/proc/procdualpeakb.h"
#include "probe.h"
#include "share/sharevarbase.h"

namespace {

struct PeakCase {
    std::string name;
    float inner;   // DeWiggleInner
    std::vector<float> data;
    int pos1;
    float angle1, value1;
    int pos2;
    float angle2, value2;
};

// Position of a fit with sub-wire offset t on wire i of n, recomputed from the description.
float Angle(int i, int n, double t, double inner)
{
    const int h = static_cast<int>((t + 0.5) * 256);
    t += std::sin(2 * std::numbers::pi * h / 256) * inner * -0.2;
    return static_cast<float>((i + t) / (n - 1) * 2 - 1);
}

std::vector<float> Spike(int n, int at, float v)
{
    std::vector<float> d(n, 0.0f);
    d[at] = v;
    return d;
}

std::vector<float> Two(int n, int a, float va, int b, float vb)
{
    std::vector<float> d(n, 0.0f);
    d[a] = va;
    d[b] = vb;
    return d;
}

class DualPeakCases : public ::testing::TestWithParam<PeakCase> {};

TEST_P(DualPeakCases, FindsPeaks)
{
    const auto& c = GetParam();
    TNX7_ProcDualPeakB dp;
    dp.SetActive(true);
    dp.SetDeWiggleInner(c.inner);
    dp.Input(nullptr, static_cast<int>(c.data.size()), c.data.data());
    EXPECT_EQ(dp.GetPeakPos1(), c.pos1);
    EXPECT_NEAR(dp.GetPeakAngle1(), c.angle1, 1e-3f);
    EXPECT_NEAR(dp.GetPeakValue1(), c.value1, 0.01f);
    EXPECT_EQ(dp.GetPeakPos2(), c.pos2);
    EXPECT_NEAR(dp.GetPeakAngle2(), c.angle2, 1e-3f);
    EXPECT_NEAR(dp.GetPeakValue2(), c.value2, 0.01f);
    EXPECT_FLOAT_EQ(dp.GetAngle(), dp.GetPeakAngle1());
    EXPECT_FLOAT_EQ(dp.GetMag(), dp.GetPeakValue1());
}

// Strength of a fit of height c with offset t on wire i of n, recomputed from the description.
float Value(int i, int n, double t, double c, double inner)
{
    const double pi = std::numbers::pi;
    const int h = static_cast<int>((t + 0.5) * 256);
    const double v = c * (1 + 0.4 * (1 - std::sin(pi * h / 256)));
    t += std::sin(2 * pi * h / 256) * inner * -0.2;
    const int k = static_cast<int>((i + t) / (n - 1) * 1024);
    return static_cast<float>(v * (1 - 0.3 * std::sin(pi * k / 1024)));
}

// A peak with zero neighbours lies on its wire (t = 0).
float OnWire(float c, int i, int n)
{
    return Value(i, n, 0.0, c, 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DualPeakCases,
    ::testing::Values(
        PeakCase{"MidAxisSpike", 0.5f, Spike(11, 5, 10), 5, 0.0f, 7.0f, -1, 0, 0},
        PeakCase{"NearEdge", 0.5f, {10, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, -0.93f, 10.81f, -1, 0, 0},
        PeakCase{"FarEdge", 0.5f, {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 10}, 10, 0.93f, 10.81f, -1, 0, 0},
        PeakCase{"Between", 0.5f, {0, 0, 0, 0, 5, 10, 8, 0, 0, 0, 0}, 5, 0.0623f, 7.61f, -1, 0, 0},
        PeakCase{"BetweenNoDeWiggle", 0.0f, {0, 0, 0, 0, 5, 10, 8, 0, 0, 0, 0}, 5, Angle(5, 11, 1.5 / 7, 0), Value(5, 11, 1.5 / 7, 10, 0), -1, 0, 0},
        PeakCase{"BetweenFullDeWiggle", 1.0f, {0, 0, 0, 0, 5, 10, 8, 0, 0, 0, 0}, 5, Angle(5, 11, 1.5 / 7, 1), Value(5, 11, 1.5 / 7, 10, 1), -1, 0, 0},
        PeakCase{"StrongerFirst", 0.5f, Two(10, 2, 50, 6, 30), 2, Angle(2, 10, 0, 0.5), OnWire(50, 2, 10), 6, Angle(6, 10, 0, 0.5), OnWire(30, 6, 10)},
        PeakCase{"StrongerSecond", 0.5f, Two(10, 2, 30, 6, 50), 6, Angle(6, 10, 0, 0.5), OnWire(50, 6, 10), 2, Angle(2, 10, 0, 0.5), OnWire(30, 2, 10)},
        PeakCase{"EqualPeaksFirstWins", 0.5f, Two(10, 3, 40, 7, 40), 3, Angle(3, 10, 0, 0.5), OnWire(40, 3, 10), 7, Angle(7, 10, 0, 0.5), OnWire(40, 7, 10)},
        // Two equal tops: the finger halfway between them (t = 0.5, strength 5 × 1.4 × 0.7).
        PeakCase{"TwoWireFlatTop", 0.5f, {0, 5, 5, 0}, 1, 0.0f, 4.9f, -1, 0, 0},
        PeakCase{"TwoWireFlatTopOffCentre", 0.5f, {0, 0, 5, 5, 0, 0, 0}, 2, Angle(2, 7, 0.5, 0.5), Value(2, 7, 0.5, 5, 0.5), -1, 0, 0},
        PeakCase{"WidePlateau", 0.5f, {0, 5, 5, 5, 0}, -1, 0, 0, -1, 0, 0},
        PeakCase{"FlatTopAtTheEnd", 0.5f, {0, 0, 5, 5}, -1, 0, 0, -1, 0, 0},
        PeakCase{"AllNegativeFallingFromWire0", 0.5f, {-1, -2, -3, -4, -5}, -1, 0, 0, -1, 0, 0},
        PeakCase{"AtOrBelowMinus1000", 0.5f, {-2000, -1000, -2000, -3000}, -1, 0, 0, -1, 0, 0},
        // Peak 1 on wire 0 fails the edge test; peak 2 is still reported.
        PeakCase{"SecondReportedWhenFirstFails", 0.5f, {0, -1, -0.5f, -2, -3}, -1, 0, 0, 2, Angle(2, 5, -0.25, 0.5), Value(2, 5, -0.25, -0.5, 0.5)},
        PeakCase{"ThreeWires", 0.5f, {1, 4, 1}, 1, 0.0f, 2.8f, -1, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(DualPeak, ClassDefaults)
{
    TNX7_ProcDualPeakB dp;
    EXPECT_FALSE(dp.GetActive());
    EXPECT_EQ(dp.GetLength(), 0);
    EXPECT_EQ(dp.GetPeakPos1(), -1);
    EXPECT_EQ(dp.GetPeakPos2(), -1);
    EXPECT_FLOAT_EQ(dp.GetDeWiggleOuter(), 0.5f);
    EXPECT_FLOAT_EQ(dp.GetDeWiggleInner(), 0.5f);
    EXPECT_FALSE(dp.GetDeWiggleAdvanced());
}

TEST(DualPeak, InactiveReportsNothingAndPassesInputOn)
{
    TNX7_ProcDualPeakB dp;
    EXPECT_FALSE(dp.GetActive());
    FloatProbe p;
    dp.OnOutput = p.Handler();
    const auto data = Spike(11, 5, 10);

    dp.SetActive(true);
    dp.Input(nullptr, 11, data.data());
    EXPECT_EQ(dp.GetPeakPos1(), 5);
    EXPECT_EQ(dp.GetLength(), 11);
    EXPECT_EQ(dp.GetFirst(), 0);
    EXPECT_EQ(dp.GetLast(), 10);

    dp.SetActive(false);
    dp.Input(nullptr, 11, data.data());
    EXPECT_EQ(dp.GetPeakPos1(), -1);
    EXPECT_EQ(dp.GetPeakPos2(), -1);
    EXPECT_EQ(dp.GetPeakValue1(), 0.0f);
    EXPECT_EQ(dp.GetAngle(), 0.0f);
    EXPECT_EQ(dp.GetMag(), 0.0f);
    ASSERT_EQ(p.calls.size(), 2u);
    for (const auto& c : p.calls) {
        EXPECT_EQ(c.data, data.data());
        EXPECT_EQ(c.length, 11);
    }
}

TEST(DualPeak, ResultsClearedByEmptyOrShortInput)
{
    TNX7_ProcDualPeakB dp;
    dp.SetActive(true);
    FloatProbe p;
    dp.OnOutput = p.Handler();
    const auto data = Spike(11, 5, 10);
    for (int n : {0, 2}) {
        dp.Input(nullptr, 11, data.data());
        ASSERT_EQ(dp.GetPeakPos1(), 5);
        dp.Input(nullptr, n, n ? data.data() : nullptr);
        EXPECT_EQ(dp.GetPeakPos1(), -1);
        EXPECT_EQ(dp.GetPeakAngle1(), 0.0f);
        EXPECT_EQ(p.Last().length, n);
    }
}

TEST(DualPeak, SettingsKeptInRangeAndShared)
{
    TNX7_ProcDualPeakB dp;
    auto& vars = dp.GetShareVars();
    ASSERT_EQ(vars.GetCount(), 3);
    const char* names[] = {"Outer", "Inner", "Advanced"};
    const char* types[] = {"Float", "Float", "Bool"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(vars.GetVar(i)->GetSecName(), "DeWiggle");
        EXPECT_EQ(vars.GetVar(i)->GetVarName(), names[i]);
        // The variable reports its type as the INI type code, a prefix of the type name.
        EXPECT_EQ(std::string(types[i]).rfind(vars.GetVar(i)->GetVarType(), 0), 0u) << types[i];
        EXPECT_TRUE(vars.GetVar(i)->GetSaveable());
    }
    EXPECT_FLOAT_EQ(vars.GetVar(0)->GetValueFloat(), 0.5f);
    EXPECT_FLOAT_EQ(vars.GetVar(1)->GetValueFloat(), 0.5f);
    EXPECT_FALSE(vars.GetVar(2)->GetValueBool());

    struct Row {
        float in, out;
    };
    for (const Row r : {Row{2.0f, 1.0f}, Row{-1.0f, 0.0f}, Row{NAN, 0.0f}, Row{0.505f, 0.505f}}) {
        dp.SetDeWiggleInner(r.in);
        EXPECT_FLOAT_EQ(dp.GetDeWiggleInner(), r.out);
        EXPECT_FLOAT_EQ(vars.GetVar(1)->GetValueFloat(), r.out);
        dp.SetDeWiggleOuter(r.in);
        EXPECT_FLOAT_EQ(dp.GetDeWiggleOuter(), r.out);
        EXPECT_FLOAT_EQ(vars.GetVar(0)->GetValueFloat(), r.out);
    }
    dp.SetDeWiggleAdvanced(true);
    EXPECT_TRUE(vars.GetVar(2)->GetValueBool());

    // A change arriving through the variable is limited into the property only.
    vars.GetVar(1)->SetValueFloatX(2.0f);
    dp.DoDeWiggleInnerChange(vars.GetVar(1));
    EXPECT_FLOAT_EQ(dp.GetDeWiggleInner(), 1.0f);
    EXPECT_FLOAT_EQ(vars.GetVar(1)->GetValueFloat(), 2.0f);
    vars.GetVar(0)->SetValueFloatX(-3.0f);
    dp.DoDeWiggleOuterChange(vars.GetVar(0));
    EXPECT_FLOAT_EQ(dp.GetDeWiggleOuter(), 0.0f);
    vars.GetVar(2)->SetValueBoolX(false);
    dp.DoDeWiggleAdvancedChange(vars.GetVar(2));
    EXPECT_FALSE(dp.GetDeWiggleAdvanced());
}

TEST(DualPeak, OuterAndAdvancedDoNotChangeTheEstimate)
{
    const std::vector<float> data{0, 0, 0, 0, 5, 10, 8, 0, 0, 0, 0};
    TNX7_ProcDualPeakB a, b;
    a.SetActive(true);
    b.SetActive(true);
    b.SetDeWiggleOuter(0.0f);
    b.SetDeWiggleAdvanced(true);
    a.Input(nullptr, 11, data.data());
    b.Input(nullptr, 11, data.data());
    EXPECT_EQ(a.GetPeakAngle1(), b.GetPeakAngle1());
    EXPECT_EQ(a.GetPeakValue1(), b.GetPeakValue1());
}

TEST(DualPeak, DeWiggleTakesEffectOnNextInput)
{
    const std::vector<float> data{0, 0, 0, 0, 5, 10, 8, 0, 0, 0, 0};
    TNX7_ProcDualPeakB dp;
    dp.SetActive(true);
    dp.Input(nullptr, 11, data.data());
    const float withDefault = dp.GetPeakAngle1();
    dp.SetDeWiggleInner(0.0f);
    dp.Input(nullptr, 11, data.data());
    EXPECT_NEAR(dp.GetPeakAngle1(), Angle(5, 11, 1.5 / 7, 0), 1e-5f);
    EXPECT_GT(withDefault, dp.GetPeakAngle1());   // pushed away from the nearer wire
}

}  // namespace
