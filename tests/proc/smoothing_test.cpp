#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "driver/proc/coarsefine.h"
#include "driver/proc/convolveexp.h"
#include "driver/proc/spread.h"
#include "driver/proc/timespread.h"
#include "probe.h"

namespace {

// ---- Coarse/fine ----------------------------------------------------------------------------

TEST(CoarseFine, PassesThroughUnlessActiveWithTenValues)
{
    struct Row {
        bool active;
        int n;
    };
    for (const Row r : {Row{false, 24}, Row{false, 10}, Row{true, 12}, Row{true, 9}}) {
        TNX7_CoarseFine cf;
        cf.SetActive(r.active);
        FloatProbe p;
        cf.OnOutput = p.Handler();
        std::vector<float> in(r.n, 3.0f);
        cf.Input(nullptr, r.n, in.data());
        ASSERT_EQ(p.calls.size(), 1u);
        EXPECT_EQ(p.Last().length, r.n);
        EXPECT_EQ(p.Last().data, in.data());
    }
}

struct CoarseFineCase {
    std::string name;
    int mode;
    std::vector<float> fine, coarse;
    int offset;
};

class CoarseFineCases : public ::testing::TestWithParam<CoarseFineCase> {};

TEST_P(CoarseFineCases, ChoosesPositionAndFlattensOutside)
{
    const auto& c = GetParam();
    TNX7_CoarseFine cf;
    cf.SetActive(true);
    cf.SetMode(c.mode);
    FloatProbe p;
    cf.OnOutput = p.Handler();
    std::vector<float> in = c.fine;
    in.insert(in.end(), c.coarse.begin(), c.coarse.end());
    ASSERT_EQ(in.size(), 10u);
    cf.Input(nullptr, 10, in.data());

    EXPECT_EQ(cf.GetOffset(), c.offset);
    ASSERT_EQ(p.Last().length, 24);
    float fmin = c.fine[0];
    for (float f : c.fine) fmin = std::min(fmin, f);
    for (int x = 0; x < 24; ++x) {
        const float expected = std::abs(x - c.offset) <= 2 ? c.fine[x % 6] : fmin;
        EXPECT_FLOAT_EQ(p.Last().values[x], expected) << "position " << x;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, CoarseFineCases,
    ::testing::Values(
        // Mode 1 without coarse signal: the fine maximum in group 0.
        CoarseFineCase{"M1NoCoarse", 1, {1, 5, 2, 3, 9, 4}, {0, 0, 0, 0}, 4},
        // Coarse centroid 1: u = 23/3, w = 6.314, K = 6; best of 4..6 against best of 6..8.
        CoarseFineCase{"M1LowerWins", 1, {1, 2, 3, 4, 9, 5}, {0, 1, 0, 0}, 4},
        CoarseFineCase{"M1OnK", 1, {9, 1, 1, 1, 1, 1}, {0, 1, 0, 0}, 6},
        CoarseFineCase{"M1TieGoesUp", 1, {1, 1, 7, 1, 7, 1}, {0, 1, 0, 0}, 8},
        CoarseFineCase{"M1UpperWins", 1, {1, 8, 1, 1, 2, 1}, {0, 1, 0, 0}, 7},
        // Centroid at the top end: K clamps to 23.
        CoarseFineCase{"M1TopEnd", 1, {1, 1, 1, 1, 1, 9}, {0, 0, 0, 5}, 23},
        // Centroid at the bottom: w < 0 clamps K to 0.
        CoarseFineCase{"M1BottomEnd", 1, {9, 1, 1, 1, 1, 1}, {5, 0, 0, 0}, 0},
        CoarseFineCase{"M0BoundaryE1TieGoesTo5", 0, {9, 1, 1, 1, 1, 9}, {2, 5, 2, 0}, 11},
        CoarseFineCase{"M0BoundaryE1Left", 0, {9, 1, 1, 1, 1, 9}, {3, 5, 2, 0}, 6},
        CoarseFineCase{"M0BoundaryE0", 0, {9, 1, 1, 1, 1, 9}, {5, 4, 0, 0}, 5},
        CoarseFineCase{"M0BoundaryE0NoFlag", 0, {9, 1, 1, 1, 1, 9}, {5, 0.5f, 0, 0}, 0},
        CoarseFineCase{"M0BoundaryE2Left", 0, {9, 1, 1, 1, 1, 9}, {0, 3, 5, 2}, 12},
        CoarseFineCase{"M0BoundaryE2Right", 0, {9, 1, 1, 1, 1, 9}, {0, 2, 5, 3}, 17},
        CoarseFineCase{"M0BoundaryE3", 0, {9, 1, 1, 1, 1, 9}, {0, 0, 4, 5}, 18},
        CoarseFineCase{"M0NoBoundary", 0, {1, 1, 9, 1, 1, 1}, {0, 0, 4, 5}, 20},
        CoarseFineCase{"OtherModeFineInGroup", 2, {1, 1, 9, 1, 1, 1}, {0, 5, 4, 0}, 8}),
    [](const auto& info) { return info.param.name; });

// ---- Time spread ----------------------------------------------------------------------------

TEST(TimeSpread, AveragesRecentFrames)
{
    TNX7_TimeSpread ts;
    ts.SetActive(true);
    ts.SetHistory(2);
    FloatProbe p;
    ts.OnOutput = p.Handler();
    const std::vector<float> a{2, 4, 6}, b{4, 8, 0};
    ts.Input(nullptr, 3, a.data());
    EXPECT_EQ(p.Last().values, (std::vector<float>{1, 2, 3}));   // older row still zero
    ts.Input(nullptr, 3, b.data());
    EXPECT_EQ(p.Last().values, (std::vector<float>{3, 6, 3}));
    EXPECT_NE(p.Last().data, b.data());
}

TEST(TimeSpread, RingWrapsAfterTenFrames)
{
    TNX7_TimeSpread ts;
    ts.SetActive(true);
    ts.SetHistory(10);
    FloatProbe p;
    ts.OnOutput = p.Handler();
    for (int k = 1; k <= 23; ++k) {
        const float v[1] = {static_cast<float>(k)};
        ts.Input(nullptr, 1, v);
    }
    EXPECT_FLOAT_EQ(p.Last().values[0], 18.5f);   // mean of 14 … 23
}

TEST(TimeSpread, HistoryKeptInRangeAndInactivePassesThrough)
{
    TNX7_TimeSpread ts;
    EXPECT_EQ(ts.GetHistory(), 1);
    for (auto [in, out] : {std::pair{0, 1}, {15, 10}, {-4, 1}, {7, 7}}) {
        ts.SetHistory(in);
        EXPECT_EQ(ts.GetHistory(), out);
    }
    FloatProbe p;
    ts.OnOutput = p.Handler();
    const std::vector<float> a{1, 2, 3};
    ts.Input(nullptr, 3, a.data());
    EXPECT_EQ(p.Last().data, a.data());
}

// ---- Spread ---------------------------------------------------------------------------------

TEST(Spread, AddsNeighbours)
{
    struct Row {
        float spread;
        std::vector<float> in, out;
    };
    const Row rows[] = {
        {0.3f, {0, 10, 0}, {4.5f, 10, 4.5f}},
        {0.5f, {2, 4, 6}, {5.5f, 8, 10.5f}},
        {0.0f, {2, 4, 6, 1}, {2, 4, 6, 1}},
        {1.0f, {0, 0, 8, 0}, {0, 8, 8, 12}},
    };
    for (const Row& r : rows) {
        TNX7_Spread s;
        s.SetActive(true);
        s.SetSpread(r.spread);
        FloatProbe p;
        s.OnOutput = p.Handler();
        s.Input(nullptr, static_cast<int>(r.in.size()), r.in.data());
        ASSERT_EQ(p.Last().values.size(), r.out.size());
        for (size_t i = 0; i < r.out.size(); ++i)
            EXPECT_FLOAT_EQ(p.Last().values[i], r.out[i]) << "spread " << r.spread << " i " << i;
    }
}

TEST(Spread, SettingKeptInRangeAndShortArraysPass)
{
    TNX7_Spread s;
    EXPECT_FLOAT_EQ(s.GetSpread(), 0.2f);
    for (auto [in, out] : {std::pair{-1.0f, 0.0f}, {2.0f, 1.0f}, {NAN, 0.0f}, {0.3f, 0.3f}}) {
        s.SetSpread(in);
        EXPECT_FLOAT_EQ(s.GetSpread(), out);
    }
    s.SetActive(true);
    FloatProbe p;
    s.OnOutput = p.Handler();
    const float two[2] = {1, 2};
    s.Input(nullptr, 2, two);
    EXPECT_EQ(p.Last().data, two);
}

// ---- Exponential convolution ----------------------------------------------------------------

TEST(ConvolveExp, WeightsAreZeroMeanUnitSpreadFingerShape)
{
    TNX7_ConvolveExp c;
    c.ConvolveInit(20);
    struct Row {
        int row;
        std::vector<std::pair<int, float>> taps;
    };
    const Row rows[] = {
        {10, {{8, -0.982f}, {9, 0.109f}, {10, 1.746f}, {11, 0.109f}, {12, -0.982f}}},
        {0, {{0, 1.298f}, {1, -0.162f}, {2, -1.136f}}},
        {1, {{0, -0.140f}, {1, 1.540f}, {2, -0.140f}, {3, -1.260f}}},
        {19, {{17, -1.136f}, {18, -0.162f}, {19, 1.298f}}},
    };
    for (const Row& r : rows) {
        for (int j = 0; j < 20; ++j) {
            float expected = 0.0f;
            for (auto [col, w] : r.taps)
                if (col == j) expected = w;
            EXPECT_NEAR(c.GetWeight(r.row, j), expected, 0.001f) << "row " << r.row << " col " << j;
        }
    }
}

TEST(ConvolveExp, ImpulseAndConstant)
{
    TNX7_ConvolveExp c;
    c.SetActive(true);
    FloatProbe p;
    c.OnOutput = p.Handler();

    std::vector<float> impulse(16, 0.0f);
    impulse[10] = 1.0f;
    c.Input(nullptr, 16, impulse.data());
    const std::vector<float> expected{0, 0, 0, 0, 0, 0, 0, 0, -0.982f, 0.109f, 1.746f, 0.109f, -0.982f, 0, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(p.Last().values[i], expected[i], 0.001f) << i;

    const std::vector<float> flat(16, 37.5f);
    c.Input(nullptr, 16, flat.data());
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(p.Last().values[i], 0.0f, 1e-4f) << i;
}

TEST(ConvolveExp, RebuildsWeightsForNewCount)
{
    TNX7_ConvolveExp c;
    c.SetActive(true);
    FloatProbe p;
    c.OnOutput = p.Handler();
    std::vector<float> a(40, 0.0f), b(24, 0.0f);
    a[39] = 1.0f;
    b[23] = 1.0f;
    c.Input(nullptr, 40, a.data());
    EXPECT_NEAR(p.Last().values[39], 1.298f, 0.001f);
    c.Input(nullptr, 24, b.data());
    ASSERT_EQ(p.Last().length, 24);
    EXPECT_NEAR(p.Last().values[23], 1.298f, 0.001f);   // last row cut at the new end
    EXPECT_NEAR(p.Last().values[22], -0.140f, 0.001f);
    EXPECT_NEAR(p.Last().values[21], -0.982f, 0.001f);
}

TEST(ConvolveExp, ShortOrInactivePassesThrough)
{
    struct Row {
        bool active;
        int n;
    };
    for (const Row r : {Row{true, 2}, Row{false, 16}}) {
        TNX7_ConvolveExp c;
        c.SetActive(r.active);
        FloatProbe p;
        c.OnOutput = p.Handler();
        std::vector<float> in(r.n, 1.0f);
        c.Input(nullptr, r.n, in.data());
        EXPECT_EQ(p.Last().data, in.data());
        EXPECT_EQ(p.Last().length, r.n);
    }
}

}  // namespace

namespace {

TEST(ClassDefaults, StagesStartAsDescribed)
{
    TNX7_CoarseFine cf;
    EXPECT_FALSE(cf.GetActive());
    EXPECT_EQ(cf.GetMode(), 1);
    EXPECT_EQ(cf.GetOffset(), 0);
    TNX7_TimeSpread ts;
    EXPECT_FALSE(ts.GetActive());
    EXPECT_EQ(ts.GetHistory(), 1);
    TNX7_Spread sp;
    EXPECT_FALSE(sp.GetActive());
    EXPECT_FLOAT_EQ(sp.GetSpread(), 0.2f);
    TNX7_ConvolveExp cv;
    EXPECT_FALSE(cv.GetActive());
}

}  // namespace
