// Every stage against arrays it cannot or should not process: no data, empty, shorter than an
// axis can be, longer than the stages' buffers. Run under the address and undefined-behaviour
// sanitizers, the arrays are exactly as long as stated so any read past them is caught.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver/proc/coarsefine.h"
#include "driver/proc/convolveexp.h"
#include "driver/proc/deslope.h"
#include "driver/proc/edgesensitize.h"
#include "driver/proc/historyb.h"
#include "driver/proc/normalise.h"
#include "driver/proc/packetsplitterb.h"
#include "driver/proc/procdualpeakb.h"
#include "driver/proc/sanitycheck.h"
#include "driver/proc/spread.h"
#include "driver/proc/timespread.h"
#include "platform/manualloop.h"
#include "probe.h"

namespace {

const int kLengths[] = {0, 1, 2, 3, 4, 10, 64, 65, 66, 67, 70, 200, 256, 257, 300};

std::vector<float> Profile(int n)
{
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) v[i] = 50.0f * std::sin(i * 0.7f) + (i % 5 == 0 ? 40.0f : 0.0f);
    return v;
}

// A float stage under test: its Input, where its event goes, its own buffer size, and the count
// it hands on for an input of n values it accepts.
struct FloatStage {
    std::string name;
    std::function<void(int, const float*)> input;
    int capacity;
};

class BadInput : public ::testing::Test {
protected:
    void SetUp() override { MainLoop::SetCurrent(&loop); }
    void TearDown() override { MainLoop::SetCurrent(nullptr); }

    // Checks the stage's events: each hands on the caller's array, or its own one of at most
    // `capacity` values; the element count is kept (coarse/fine: 24 from 10).
    void Check(const FloatStage& s, FloatProbe& p)
    {
        for (int n : kLengths) {
            const auto data = Profile(n);
            for (const float* d : {static_cast<const float*>(data.empty() ? nullptr : data.data()), static_cast<const float*>(nullptr)}) {
                p.Clear();
                s.input(n, d);
                ASSERT_LE(p.calls.size(), 1u) << s.name << " n " << n;
                if (p.calls.empty()) continue;
                const auto& c = p.Last();
                if (c.data == d) {
                    EXPECT_EQ(c.length, n) << s.name;
                } else {
                    ASSERT_NE(c.data, nullptr) << s.name << " n " << n;
                    EXPECT_LE(c.length, s.capacity) << s.name << " n " << n;
                    EXPECT_TRUE(c.length == n || (s.name == "coarsefine" && n == 10 && c.length == 24))
                        << s.name << " n " << n << " out " << c.length;
                }
            }
        }
    }

    ManualLoop loop{0};
};

TEST_F(BadInput, FloatStagesKeepWithinTheirBuffers)
{
    TNX7_CoarseFine cf;
    TNX7_TimeSpread ts;
    TNX7_Spread sp;
    TNX7_Deslope ds;
    TNX7_ConvolveExp cv;
    TNX7_EdgeSensitize es;
    TNX7_Normalise nm;
    TNX7_ProcDualPeakB dp;
    cf.SetActive(true);
    ts.SetActive(true);
    ts.SetHistory(10);
    sp.SetActive(true);
    ds.SetActive(true);
    cv.SetActive(true);
    es.SetActive(true);
    nm.SetActive(true);
    dp.SetActive(true);

    FloatProbe p;
    cf.OnOutput = ts.OnOutput = sp.OnOutput = ds.OnOutput = cv.OnOutput = es.OnOutput = nm.OnOutput =
        dp.OnOutput = p.Handler();

    const std::vector<FloatStage> stages{
        {"coarsefine", [&](int n, const float* d) { cf.Input(nullptr, n, d); }, 24},
        {"timespread", [&](int n, const float* d) { ts.Input(nullptr, n, d); }, 66},
        {"spread", [&](int n, const float* d) { sp.Input(nullptr, n, d); }, 66},
        {"deslope", [&](int n, const float* d) { ds.Input(nullptr, n, d); }, 64},
        {"convolveexp", [&](int n, const float* d) { cv.Input(nullptr, n, d); }, 66},
        {"edgesensitize", [&](int n, const float* d) { es.Input(nullptr, n, d); }, 66},
        {"normalise", [&](int n, const float* d) { nm.Input(nullptr, n, d); }, 66},
        {"procdualpeakb", [&](int n, const float* d) { dp.Input(nullptr, n, d); }, 0},
    };
    for (int mode = 1; mode <= 4; ++mode) {
        nm.SetMode(mode);
        Check(stages[6], p);
    }
    for (const auto& s : stages) Check(s, p);
}

TEST_F(BadInput, FloatStagesRaiseExactlyOncePerInputAndPassResetOn)
{
    TNX7_CoarseFine cf;
    TNX7_TimeSpread ts;
    TNX7_Spread sp;
    TNX7_Deslope ds;
    TNX7_ConvolveExp cv;
    TNX7_EdgeSensitize es;
    TNX7_Normalise nm;
    TNX7_ProcDualPeakB dp;
    for (bool active : {false, true}) {
        cf.SetActive(active);
        ts.SetActive(active);
        sp.SetActive(active);
        ds.SetActive(active);
        cv.SetActive(active);
        es.SetActive(active);
        nm.SetActive(active);
        dp.SetActive(active);
        FloatProbe p;
        cf.OnOutput = ts.OnOutput = sp.OnOutput = ds.OnOutput = cv.OnOutput = es.OnOutput =
            nm.OnOutput = dp.OnOutput = p.Handler();
        cf.Input(nullptr, 0, nullptr);
        ts.Input(nullptr, 0, nullptr);
        sp.Input(nullptr, 0, nullptr);
        ds.Input(nullptr, 0, nullptr);
        cv.Input(nullptr, 0, nullptr);
        es.Input(nullptr, 0, nullptr);
        nm.Input(nullptr, 0, nullptr);
        dp.Input(nullptr, 0, nullptr);
        ASSERT_EQ(p.calls.size(), 8u);
        for (const auto& c : p.calls) EXPECT_EQ(c.length, 0);
    }
}

TEST_F(BadInput, NonFiniteValuesDoNotUpsetTheFinder)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<float>> rows{
        {0, inf, 0, 0, 0}, {inf, 0, 0, 0, 0}, {0, 0, 0, 0, inf}, {0, nan, 5, 0, 0},
        {nan, nan, nan, nan}, {0, 3, -inf, 0, 0}, {0, 5, inf, inf, 0}, {1e30f, 0, 0, 0, 0},
    };
    TNX7_ProcDualPeakB dp;
    dp.SetActive(true);
    TNX7_CoarseFine cf;
    cf.SetActive(true);
    for (const auto& r : rows) {
        dp.Input(nullptr, static_cast<int>(r.size()), r.data());
        const float a1 = dp.GetPeakAngle1(), a2 = dp.GetPeakAngle2();
        EXPECT_TRUE(!std::isfinite(a1) || (a1 >= -1.0f && a1 <= 1.0f));
        EXPECT_TRUE(!std::isfinite(a2) || (a2 >= -1.0f && a2 <= 1.0f));
        std::vector<float> ten(10, r[1]);
        ten[7] = r[2];
        cf.Input(nullptr, 10, ten.data());
        EXPECT_GE(cf.GetOffset(), 0);
        EXPECT_LE(cf.GetOffset(), 23);
    }
}

TEST_F(BadInput, HistoryReadsOnlyWhatItIsGiven)
{
    auto h = std::make_unique<TNX7_HistoryB>();
    FloatProbe p;
    h->OnOutput = p.Handler();
    for (int round = 0; round < 30; ++round) {
        for (int n : kLengths) {
            std::vector<uint8_t> frame(n, static_cast<uint8_t>(100 + round % 3));
            p.Clear();
            h->Input(nullptr, n, n ? frame.data() : nullptr);
            ASSERT_EQ(p.calls.size(), 1u);
            const int expected = n == 0 ? 0 : std::clamp(n, 4, 64);
            EXPECT_EQ(p.Last().length, expected) << "n " << n;
            EXPECT_EQ(h->GetLength(), expected);
            h->Input(nullptr, n, nullptr);
            EXPECT_EQ(p.Last().length, 0);
            EXPECT_EQ(h->GetLength(), 0);
        }
    }
    h->Input(nullptr, -5, nullptr);
    EXPECT_EQ(h->GetLength(), 0);
}

TEST_F(BadInput, SplitterHandsOutOnlyWhatTheFrameHolds)
{
    TNX7_PacketSplitterB s;
    RawProbe px, py, pr;
    s.OnRawX = px.Handler();
    s.OnRawY = py.Handler();
    s.OnRaw = pr.Handler();
    for (auto [s0, s1, f] : {std::tuple{0, 0, 0}, {12, 40, 1}, {64, 64, 1}, {3, 1, 0}}) {
        s.SetSplit0(s0);
        s.SetSplit1(s1);
        s.SetFlip0(f);
        s.SetFlip1(f);
        s.SetFlip2(f);
        for (int n : kLengths) {
            std::vector<uint8_t> frame(n, 9);
            for (const uint8_t* d : {static_cast<const uint8_t*>(n ? frame.data() : nullptr), static_cast<const uint8_t*>(nullptr)}) {
                px.Clear();
                py.Clear();
                pr.Clear();
                s.Input(nullptr, n, d);
                if (n == 0) {
                    ASSERT_EQ(pr.calls.size(), 1u);
                    EXPECT_EQ(pr.Last().length, 0);
                    continue;
                }
                if (!d || n < 2 || n > TNX7_PacketSplitterB::MaxFrame) {
                    EXPECT_TRUE(px.calls.empty() && py.calls.empty() && pr.calls.empty()) << n;
                    continue;
                }
                ASSERT_EQ(pr.calls.size(), 1u);
                EXPECT_EQ(px.Last().length + py.Last().length, n);
                EXPECT_EQ(pr.Last().values, frame);
            }
        }
    }
}

TEST_F(BadInput, SanityCheckCountsAnyLengthAndClearsOnEmpty)
{
    TNX7_SanityCheck sc;
    sc.OnReset = [](void*) {};
    int frames = 0;
    for (int n : kLengths) {
        const auto data = Profile(n);
        sc.Input(nullptr, n, n ? data.data() : nullptr);
        if (n == 0) {
            EXPECT_EQ(sc.GetFrameCount(), 0);
            frames = 0;
        } else {
            EXPECT_EQ(sc.GetFrameCount(), ++frames);
        }
        sc.Input(nullptr, n, nullptr);
        EXPECT_EQ(sc.GetFrameCount(), 0);
        frames = 0;
    }
}

}  // namespace
