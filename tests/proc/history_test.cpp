#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "driver/proc/historyb.h"
#include "probe.h"

namespace {

// The driver's working values.
std::unique_ptr<TNX7_HistoryB> MakeHistory()
{
    auto h = std::make_unique<TNX7_HistoryB>();
    h->SetScaler(2.0f);
    h->SetRate(44);
    return h;
}

// Feeds `count` frames with every one of `n` channels at `value`; returns the last output.
std::vector<float> Feed(TNX7_HistoryB& h, int n, int value, int count)
{
    std::vector<uint8_t> frame(n, static_cast<uint8_t>(value));
    std::vector<float> last;
    for (int k = 0; k < count; ++k) {
        h.Input(nullptr, n, frame.data());
        last.assign(h.GetData(), h.GetData() + h.GetLength());
    }
    return last;
}

bool AllZero(const std::vector<float>& v)
{
    for (float x : v)
        if (x != 0.0f) return false;
    return !v.empty();
}

TEST(HistoryDiff, AsymAndSym)
{
    struct Row {
        int a, b, asym, sym;
    };
    const Row rows[] = {
        {100, 100, 0, 0},     {150, 100, 50, 50},    {44, 100, -56, -56},  {43, 100, 199, -57},
        {40, 100, 196, -60},  {5, 250, 11, 11},      {228, 100, 128, -128}, {99, 100, -1, -1},
        {0, 127, 129, -127},  {0, 128, 128, -128},   {255, 0, -1, -1},     {199, 0, 199, -57},
        {200, 0, -56, -56},   {127, 0, 127, 127},    {128, 0, 128, -128},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TNX7_HistoryB::AsymDiff(r.a, r.b), r.asym) << r.a << " vs " << r.b;
        EXPECT_EQ(TNX7_HistoryB::SymDiff(r.a, r.b), r.sym) << r.a << " vs " << r.b;
    }
}

TEST(History, LearnsConstantLevelIn26Frames)
{
    auto h = MakeHistory();
    FloatProbe p;
    h->OnOutput = p.Handler();
    std::vector<uint8_t> frame(40, 100);
    for (int k = 1; k <= 26; ++k) {
        h->Input(nullptr, 40, frame.data());
        ASSERT_EQ(p.Last().length, 40);
        EXPECT_TRUE(AllZero(p.Last().values)) << "frame " << k;
        // Candidates are recorded from the 17th frame, when the window first holds 17 frames.
        EXPECT_EQ(h->GetCandidateFill(), k < 17 ? 0 : k - 16) << "frame " << k;
    }
    std::vector<uint8_t> touched(40, 110);
    h->Input(nullptr, 40, touched.data());
    ASSERT_EQ(p.calls.size(), 27u);
    EXPECT_EQ(p.Last().values, std::vector<float>(40, 20.0f));
    EXPECT_EQ(p.Last().sender, h.get());
    EXPECT_EQ(h->GetBaseline(0), 100);
}

TEST(History, DistanceFromBaselineWrapsAsymmetrically)
{
    struct Row {
        int value;
        float expected;
    };
    const Row rows[] = {{150, 100.0f}, {44, -112.0f}, {43, 398.0f}, {40, 392.0f}, {100, 0.0f},
                        {99, -2.0f}};
    for (const Row& r : rows) {
        auto h = MakeHistory();
        Feed(*h, 24, 100, 27);
        const auto out = Feed(*h, 24, r.value, 1);
        EXPECT_EQ(out, std::vector<float>(24, r.expected)) << "value " << r.value;
    }
}

TEST(History, BaselineNearTopWrapsPastZero)
{
    auto h = MakeHistory();
    Feed(*h, 8, 250, 30);
    EXPECT_EQ(h->GetBaseline(3), 250);
    EXPECT_EQ(Feed(*h, 8, 5, 1), std::vector<float>(8, 22.0f));   // 11 above
}

TEST(History, HalfCircleStepBetweenNeighboursDropsFrame)
{
    auto h = MakeHistory();
    Feed(*h, 16, 100, 30);
    std::vector<uint8_t> frame(16, 100);

    frame[0] = 228;   // 128 above: neighbours differ by exactly half the circle
    h->Input(nullptr, 16, frame.data());
    EXPECT_TRUE(AllZero(std::vector<float>(h->GetData(), h->GetData() + 16)));

    frame[0] = 227;   // 127 above: unambiguous
    h->Input(nullptr, 16, frame.data());
    EXPECT_FLOAT_EQ(h->GetData()[0], 254.0f);
    EXPECT_FLOAT_EQ(h->GetData()[1], 0.0f);
}

TEST(History, TouchIsNotLearntIntoBaseline)
{
    auto h = MakeHistory();
    const int n = 24;
    Feed(*h, n, 100, 100);
    std::vector<uint8_t> frame(n, 100);
    frame[3] = 160;
    frame[4] = 140;
    for (int k = 0; k < 60; ++k) h->Input(nullptr, n, frame.data());
    EXPECT_EQ(h->GetBaseline(3), 100);
    EXPECT_FLOAT_EQ(h->GetData()[3], 120.0f);
    EXPECT_FLOAT_EQ(h->GetData()[4], 80.0f);
    EXPECT_FLOAT_EQ(h->GetData()[5], 0.0f);
}

TEST(History, QuietCountCarriesOverBusyBinThatSetsNoBest)
{
    // Values cycle 0, 100, 130 on every wire. Once all three are busy the quiet stretches are
    // 90, 20 and 116 bins; only because the 20 carries over into the 116 does a wire reach a
    // quiet count above 128 (136), so candidates keep being recorded at the lower edge 0.
    auto h = MakeHistory();
    const int n = 8;
    const int cycle[3] = {0, 100, 130};
    std::vector<uint8_t> frame(n);
    for (int f = 1; f <= 61; ++f) {
        std::fill(frame.begin(), frame.end(), static_cast<uint8_t>(cycle[(f - 1) % 3]));
        h->Input(nullptr, n, frame.data());
    }
    // First recorded at frame 49 (value 0 busy alone), then on every frame.
    EXPECT_EQ(h->GetCandidateFill(), 13);
    EXPECT_EQ(h->GetBaseline(0), 0);
    std::fill(frame.begin(), frame.end(), uint8_t{100});
    h->Input(nullptr, n, frame.data());
    EXPECT_FLOAT_EQ(h->GetData()[0], 200.0f);
}

TEST(History, ChannelCountChangeRestartsLearning)
{
    auto h = MakeHistory();
    Feed(*h, 40, 100, 40);
    EXPECT_EQ(Feed(*h, 40, 110, 1), std::vector<float>(40, 20.0f));
    EXPECT_TRUE(AllZero(Feed(*h, 24, 100, 26)));
    EXPECT_EQ(h->GetLength(), 24);
    EXPECT_EQ(Feed(*h, 24, 110, 1), std::vector<float>(24, 20.0f));
}

TEST(History, EmptyInputForgetsChannelCountAndPassesResetOn)
{
    auto h = MakeHistory();
    FloatProbe p;
    h->OnOutput = p.Handler();
    Feed(*h, 24, 100, 40);
    h->Input(nullptr, 0, nullptr);
    EXPECT_EQ(h->GetLength(), 0);
    EXPECT_EQ(p.Last().length, 0);
    // The next frame restarts the learning even at the same size.
    EXPECT_TRUE(AllZero(Feed(*h, 24, 110, 26)));
    EXPECT_EQ(Feed(*h, 24, 120, 1), std::vector<float>(24, 20.0f));
}

TEST(History, OversizedAndUndersizedInputsNeverLearn)
{
    struct Row {
        int n, length;
    };
    for (const Row r : {Row{70, 64}, Row{65, 64}, Row{3, 4}, Row{1, 4}}) {
        auto h = MakeHistory();
        FloatProbe p;
        h->OnOutput = p.Handler();
        for (int k = 0; k < 40; ++k) {
            std::vector<uint8_t> frame(r.n, static_cast<uint8_t>(k < 30 ? 100 : 130));
            h->Input(nullptr, r.n, frame.data());
            ASSERT_EQ(p.Last().length, r.length);
            ASSERT_TRUE(AllZero(p.Last().values)) << "n " << r.n << " frame " << k;
        }
        EXPECT_EQ(h->GetFrameCount(), 1);   // re-initialised on every frame
    }
}

TEST(History, RateSetsCapacityAndShrinksGradually)
{
    auto h = MakeHistory();
    struct Row {
        int rate, kept, capacity;
    };
    for (const Row r : {Row{5, 10, 600}, Row{200, 100, 6000}, Row{44, 44, 2640}, Row{-1, 10, 600}}) {
        h->SetRate(r.rate);
        EXPECT_EQ(h->GetRate(), r.kept);
        EXPECT_EQ(h->GetCapacity(), r.capacity);
    }

    h->SetRate(20);
    Feed(*h, 8, 100, 1300);
    EXPECT_EQ(h->GetFrameCount(), 1200);
    h->SetRate(10);
    Feed(*h, 8, 100, 1);
    EXPECT_EQ(h->GetFrameCount(), 1199);   // two out, one in
    Feed(*h, 8, 100, 598);
    EXPECT_EQ(h->GetFrameCount(), 601);
    Feed(*h, 8, 100, 50);
    EXPECT_EQ(h->GetFrameCount(), 600);
}

TEST(History, FullCapacityRingKeepsLearningWhenFull)
{
    // Run the 6000-frame ring past its wrap: a baseline drifted to a new level is learnt.
    auto h = std::make_unique<TNX7_HistoryB>();   // class defaults: rate 100, Scaler 1
    Feed(*h, 4, 50, 6100);
    EXPECT_EQ(h->GetFrameCount(), 6000);
    EXPECT_EQ(h->GetBaseline(0), 50);
    Feed(*h, 4, 60, 6100);
    EXPECT_EQ(h->GetBaseline(0), 60);
    EXPECT_EQ(Feed(*h, 4, 61, 1), std::vector<float>(4, 1.0f));
}

TEST(History, ScalerKeptInRange)
{
    auto h = std::make_unique<TNX7_HistoryB>();
    EXPECT_FLOAT_EQ(h->GetScaler(), 1.0f);
    EXPECT_EQ(h->GetRate(), 100);
    EXPECT_EQ(h->GetLength(), 0);
    struct Row {
        float in, out;
    };
    for (const Row r : {Row{0.0f, 0.1f}, Row{20.0f, 10.0f}, Row{-3.0f, 0.1f}, Row{NAN, 0.1f},
                        Row{2.0f, 2.0f}, Row{10.0f, 10.0f}}) {
        h->SetScaler(r.in);
        EXPECT_FLOAT_EQ(h->GetScaler(), r.out) << r.in;
    }
}

}  // namespace
