#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "driver/proc/deslope.h"
#include "driver/proc/edgesensitize.h"
#include "driver/proc/normalise.h"
#include "probe.h"

namespace {

void ExpectValues(const std::vector<float>& got, const std::vector<float>& want, float tol,
                  const std::string& what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tol) << what << " i " << i;
}

TEST(Deslope, RemovesStraightLine)
{
    struct Row {
        std::vector<float> in, out;
    };
    const Row rows[] = {
        {{1, 2, 3, 4}, {0, 0, 0, 0}},
        {{3, 3, 3}, {0, 0, 0}},
        {{0, 1, 0}, {-1.0f / 3, 2.0f / 3, -1.0f / 3}},
        {{10, 8, 6, 4, 2}, {0, 0, 0, 0, 0}},
        {{0, 0, 6, 0, 0}, {-1.2f, -1.2f, 4.8f, -1.2f, -1.2f}},
    };
    for (const Row& r : rows) {
        TNX7_Deslope d;
        d.SetActive(true);
        FloatProbe p;
        d.OnOutput = p.Handler();
        d.Input(nullptr, static_cast<int>(r.in.size()), r.in.data());
        ExpectValues(p.Last().values, r.out, 1e-5f, "deslope");
    }
    TNX7_Deslope d;
    d.SetActive(true);
    const std::vector<float> line{1, 2, 3, 4};
    d.Input(nullptr, 4, line.data());
    EXPECT_FLOAT_EQ(d.GetSlope(), 1.0f);
    EXPECT_FLOAT_EQ(d.GetIntercept(), 1.0f);
}

TEST(EdgeSensitize, RemovesMeanAndWeightsEnds)
{
    TNX7_EdgeSensitize e;
    e.SetActive(true);
    FloatProbe p;
    e.OnOutput = p.Handler();
    const std::vector<float> three{1, 2, 3};
    e.Input(nullptr, 3, three.data());
    ExpectValues(p.Last().values, {-1.5f, 0.0f, 1.1f}, 1e-6f, "three");

    // Wires 8 onwards get no weight.
    const std::vector<float> ten{0, 0, 0, 0, 0, 0, 0, 0, 10, 10};
    e.Input(nullptr, 10, ten.data());
    ExpectValues(p.Last().values, {-3.0f, -2.4f, -2.2f, -2.0f, -2.0f, -2.2f, -2.4f, -3.0f, 0, 0}, 1e-5f,
                 "ten");
}

struct NormCase {
    std::string name;
    int mode;
    std::vector<float> in, out;
    float score;
};

class NormaliseCases : public ::testing::TestWithParam<NormCase> {};

TEST_P(NormaliseCases, Rescales)
{
    const auto& c = GetParam();
    TNX7_Normalise nm;
    nm.SetActive(true);
    nm.SetMode(c.mode);
    FloatProbe p;
    nm.OnOutput = p.Handler();
    nm.Input(nullptr, static_cast<int>(c.in.size()), c.in.data());
    ASSERT_EQ(p.calls.size(), 1u);
    ExpectValues(p.Last().values, c.out, 1e-3f, c.name);
    EXPECT_NEAR(nm.GetScore(), c.score, 1e-4f);
}

const std::vector<float> kBump{0, 10, 50, 10, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Modes, NormaliseCases,
    ::testing::Values(
        NormCase{"Mode4Bump", 4, kBump, {0, 20, 100, 20, 0, 0, 0}, 50},
        NormCase{"Mode3Bump", 3, kBump, {0, 20, 100, 20, 0, 0, 0}, 50},
        // Mode 3 writes only the ±3 window; out[0] and out[1] lie outside it here.
        NormCase{"Mode3WindowOnly", 3, {7, 7, 0, 0, 0, 50, 0, 0}, {0, 0, 0, 0, 0, 100, 0, 0}, 50},
        // Mode 4 uses the base of both sides for the peak test but the minimum for scaling.
        NormCase{"Mode4BothSides", 4, {-10, 0, 0, 20, 0, 0, 16}, {0, 33.333f, 33.333f, 100, 33.333f, 33.333f, 86.667f}, 17},
        NormCase{"Mode4PeakTooLow", 4, {10, 0, 0, 10.005f, 0, 0, 10}, {0, 0, 0, 0, 0, 0, 0}, 0},
        NormCase{"Mode3NoSideReference", 3, {0, 5, 0}, {0, 0, 0}, 0},
        NormCase{"Mode4NoSideReference", 4, {0, 5, 0}, {0, 0, 0}, 0},
        NormCase{"Mode2MinMax", 2, {2, 4, 6}, {0, 50, 100}, 4},
        NormCase{"Mode2Flat", 2, {3, 3, 3.005f}, {0, 0, 0}, 0},
        NormCase{"Mode1StandardScore", 1, {1, 2, 3}, {-122.474f, 0, 122.474f}, 0.816497f},
        NormCase{"Mode1Flat", 1, {5, 5, 5, 5}, {0, 0, 0, 0}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(Normalise, ModeKeptInRangeAndScoreReadOnly)
{
    TNX7_Normalise nm;
    EXPECT_EQ(nm.GetMode(), 3);
    for (auto [in, out] : {std::pair{0, 1}, {9, 4}, {-3, 1}, {5, 4}, {2, 2}, {4, 4}}) {
        nm.SetMode(in);
        EXPECT_EQ(nm.GetMode(), out) << in;
    }
    nm.SetScore(42.0f);
    EXPECT_FLOAT_EQ(nm.GetScore(), 0.0f);
}

TEST(Normalise, InactiveOrShortPassesThroughAndClearsScore)
{
    TNX7_Normalise nm;
    nm.SetActive(true);
    nm.SetMode(4);
    FloatProbe p;
    nm.OnOutput = p.Handler();
    nm.Input(nullptr, 7, kBump.data());
    EXPECT_FLOAT_EQ(nm.GetScore(), 50.0f);

    nm.Input(nullptr, 2, kBump.data());
    EXPECT_EQ(p.Last().data, kBump.data());
    EXPECT_FLOAT_EQ(nm.GetScore(), 0.0f);

    nm.SetActive(false);
    nm.Input(nullptr, 7, kBump.data());
    EXPECT_EQ(p.Last().data, kBump.data());
    EXPECT_EQ(p.Last().length, 7);
}

TEST(ShapingStages, InactiveByDefaultAndPassThrough)
{
    TNX7_Deslope d;
    TNX7_EdgeSensitize e;
    TNX7_Normalise nm;
    EXPECT_FALSE(d.GetActive());
    EXPECT_FALSE(e.GetActive());
    EXPECT_FALSE(nm.GetActive());
    FloatProbe p;
    d.OnOutput = e.OnOutput = nm.OnOutput = p.Handler();
    d.Input(nullptr, 7, kBump.data());
    e.Input(nullptr, 7, kBump.data());
    nm.Input(nullptr, 7, kBump.data());
    ASSERT_EQ(p.calls.size(), 3u);
    for (const auto& c : p.calls) {
        EXPECT_EQ(c.data, kBump.data());
        EXPECT_EQ(c.length, 7);
    }
}

}  // namespace
