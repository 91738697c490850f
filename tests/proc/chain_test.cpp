// The per-axis chain as the driver wires it: splitter, then per axis baseline history, coarse/fine,
// time spread, spread, deslope, exponential convolution, edge sensitise, normalise and dual-peak
// finder, with the driver's values (only the convolution and the finder active).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
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
#include "synth.h"

namespace {

struct AxisChain {
    std::unique_ptr<TNX7_HistoryB> history = std::make_unique<TNX7_HistoryB>();
    TNX7_CoarseFine coarseFine;
    TNX7_TimeSpread timeSpread;
    TNX7_Spread spread;
    TNX7_Deslope deslope;
    TNX7_ConvolveExp convolve;
    TNX7_EdgeSensitize edge;
    TNX7_Normalise normalise;
    TNX7_ProcDualPeakB peak;
    TNX7_SanityCheck sanity;
    int resetRequests = 0;

    AxisChain()
    {
        history->SetScaler(2.0f);
        history->SetRate(44);
        coarseFine.SetMode(1);
        timeSpread.SetHistory(2);
        spread.SetSpread(0.3f);
        convolve.SetActive(true);
        normalise.SetMode(4);
        peak.SetActive(true);
        peak.SetDeWiggleOuter(0.5f);
        peak.SetDeWiggleInner(0.5f);
        sanity.OnReset = [this](void*) { ++resetRequests; };

        history->OnOutput = [this](void* s, int n, const float* d) {
            coarseFine.Input(s, n, d);
            sanity.Input(s, n, d);
        };
        coarseFine.OnOutput = [this](void* s, int n, const float* d) { timeSpread.Input(s, n, d); };
        timeSpread.OnOutput = [this](void* s, int n, const float* d) { spread.Input(s, n, d); };
        spread.OnOutput = [this](void* s, int n, const float* d) { deslope.Input(s, n, d); };
        deslope.OnOutput = [this](void* s, int n, const float* d) { convolve.Input(s, n, d); };
        convolve.OnOutput = [this](void* s, int n, const float* d) { edge.Input(s, n, d); };
        edge.OnOutput = [this](void* s, int n, const float* d) { normalise.Input(s, n, d); };
        normalise.OnOutput = [this](void* s, int n, const float* d) { peak.Input(s, n, d); };
    }

    // Peak position in wires (0 = first wire).
    double Wire1() const { return (peak.GetPeakAngle1() + 1.0) * 0.5 * (history->GetLength() - 1); }
    double Wire2() const { return (peak.GetPeakAngle2() + 1.0) * 0.5 * (history->GetLength() - 1); }
};

class ChainTest : public ::testing::Test {
protected:
    static constexpr int kX = 24, kY = 40;

    void SetUp() override
    {
        MainLoop::SetCurrent(&loop);
        x = std::make_unique<AxisChain>();
        y = std::make_unique<AxisChain>();
        splitter.SetSplit0(12);
        splitter.SetSplit1(40);
        splitter.SetFlip2(1);
        splitter.OnRawX = [this](void*, int n, const uint8_t* d) { x->history->Input(this, n, d); };
        splitter.OnRawY = [this](void*, int n, const uint8_t* d) { y->history->Input(this, n, d); };
        splitter.OnRaw = [this](void*, int n, const uint8_t*) { lastFrameLength = n; };
    }
    void TearDown() override
    {
        x.reset();
        y.reset();
        MainLoop::SetCurrent(nullptr);
    }

    // The sensor's wire order: X 0..11, Y 0..39, then X 23 down to 12.
    void Send(const std::vector<uint8_t>& xs, const std::vector<uint8_t>& ys)
    {
        std::vector<uint8_t> frame(kX + kY);
        for (int i = 0; i < 12; ++i) frame[i] = xs[i];
        for (int i = 0; i < kY; ++i) frame[12 + i] = ys[i];
        for (int k = 0; k < 12; ++k) frame[63 - k] = xs[12 + k];
        splitter.Input(nullptr, static_cast<int>(frame.size()), frame.data());
    }

    void Learn(int frames = 300)
    {
        for (int k = 0; k < frames; ++k) Send(sx.Frame(), sy.Frame());
    }

    ManualLoop loop{0};
    TNX7_PacketSplitterB splitter;
    std::unique_ptr<AxisChain> x, y;
    SynthAxis sx{kX, 11, 1}, sy{kY, 12, 1};
    int lastFrameLength = 0;
};

// Bounds of the position error by distance from the nearer end of the axis: the convolution is
// cut at the ends and the end wires use a neighbour ratio, so the estimate is coarser there.
double Allowed(double centre, int wires)
{
    const double d = std::min(centre, wires - 1 - centre);
    if (d >= 2.5) return 0.1;
    if (d >= 1.5) return 0.25;
    return 0.5;
}

TEST_F(ChainTest, PeakTracksFingerAcrossBothAxes)
{
    Learn();
    ASSERT_EQ(x->history->GetLength(), kX);
    ASSERT_EQ(y->history->GetLength(), kY);
    ASSERT_EQ(lastFrameLength, kX + kY);

    const double amplitude = 120;
    struct Sweep {
        AxisChain* chain;
        SynthAxis* moving;
        int wires;
    };
    for (const Sweep& s : {Sweep{x.get(), &sx, kX}, Sweep{y.get(), &sy, kY}}) {
        double previous = -1;
        int interiorChecked = 0;
        for (double c = 0.03; c <= s.wires - 1; c += 0.1) {
            const Finger moving{c, amplitude};
            const Finger still{(s.moving == &sx ? kY : kX) * 0.4, amplitude};
            if (s.moving == &sx)
                Send(sx.Frame({moving}), sy.Frame({still}));
            else
                Send(sx.Frame({still}), sy.Frame({moving}));

            ASSERT_GE(s.chain->peak.GetPeakPos1(), 0) << "finger at " << c << " not found";
            const double got = s.chain->Wire1();
            EXPECT_NEAR(got, c, Allowed(c, s.wires)) << "axis of " << s.wires << " wires";
            EXPECT_GT(got, previous) << "position must rise with the finger, at " << c;
            // Noise ripples may show as a second maximum, but far weaker than a finger.
            EXPECT_LT(s.chain->peak.GetPeakValue2(), 0.2f * s.chain->peak.GetPeakValue1()) << c;
            previous = got;
            if (Allowed(c, s.wires) == 0.1) ++interiorChecked;
        }
        EXPECT_GT(interiorChecked, (s.wires - 6) * 9);
    }
}

TEST_F(ChainTest, BaselineWrapsPastZeroOnSomeWires)
{
    // The synthetic levels put several wires within a finger's height of 255, so the raw bytes of
    // a touch wrap past 0 there; the chain must still see one clean finger.
    int wrapping = 0;
    for (int i = 0; i < kY; ++i)
        if (sy.Base(i) + 120 > 255) ++wrapping;
    ASSERT_GE(wrapping, 5);
    Learn();
    for (double c : {3.2, 11.7, 20.4, 33.9}) {
        Send(sx.Frame(), sy.Frame({{c, 120}}));
        EXPECT_NEAR(y->Wire1(), c, 0.1);
        EXPECT_LT(y->peak.GetPeakValue2(), 0.2f * y->peak.GetPeakValue1());
        // The untouched axis shows at most a noise ripple, far below a finger.
        EXPECT_LT(x->peak.GetPeakValue1(), 30.0f);
    }
}

TEST_F(ChainTest, TwoFingersGiveBothPeaks)
{
    Learn();
    // Peaks are ranked by the smoothed profile at their wire, so the fingers differ clearly.
    struct Row {
        double a, ampA, b, ampB;
    };
    for (const Row r : {Row{8.3, 120, 27.6, 90}, Row{8.3, 90, 27.6, 120}, Row{5.5, 130, 14.2, 90},
                        Row{30.1, 100, 20.8, 130}}) {
        Send(sx.Frame({{10.0, 120}}), sy.Frame({{r.a, r.ampA}, {r.b, r.ampB}}));
        const double strong = r.ampA >= r.ampB ? r.a : r.b;
        const double weak = r.ampA >= r.ampB ? r.b : r.a;
        ASSERT_GE(y->peak.GetPeakPos1(), 0);
        ASSERT_GE(y->peak.GetPeakPos2(), 0);
        EXPECT_NEAR(y->Wire1(), strong, 0.15) << r.a << " / " << r.b;
        EXPECT_NEAR(y->Wire2(), weak, 0.15) << r.a << " / " << r.b;
        EXPECT_GT(y->peak.GetPeakValue1(), y->peak.GetPeakValue2());
        EXPECT_NEAR(y->peak.GetPeakPos1(), strong, 0.5);   // the wire nearest the finger
        EXPECT_NEAR(y->peak.GetPeakPos2(), weak, 0.5);
    }
}

TEST_F(ChainTest, ResetRestartsLearningOnBothAxes)
{
    Learn();
    Send(sx.Frame({{10.0, 120}}), sy.Frame({{20.0, 120}}));
    ASSERT_EQ(x->peak.GetPeakPos1(), 10);
    ASSERT_EQ(y->peak.GetPeakPos1(), 20);

    splitter.Reset(nullptr);
    EXPECT_EQ(lastFrameLength, 0);
    for (AxisChain* a : {x.get(), y.get()}) {
        EXPECT_EQ(a->history->GetLength(), 0);
        EXPECT_EQ(a->peak.GetPeakPos1(), -1);
        EXPECT_EQ(a->sanity.GetFrameCount(), 0);
    }

    // Learning restarts: the output stays flat until enough candidates are recorded.
    for (int k = 0; k < 26; ++k) {
        Send(sx.Frame(), sy.Frame());
        ASSERT_EQ(x->peak.GetPeakPos1(), -1) << "frame " << k;
        ASSERT_EQ(y->peak.GetPeakPos1(), -1) << "frame " << k;
    }
    Learn(30);
    Send(sx.Frame({{10.0, 120}}), sy.Frame({{20.0, 120}}));
    EXPECT_EQ(x->peak.GetPeakPos1(), 10);
    EXPECT_EQ(y->peak.GetPeakPos1(), 20);
}

TEST_F(ChainTest, SteadyTouchDoesNotTriggerSanityReset)
{
    Learn();
    for (int t = 0; t < 31000; t += 25) {
        Send(sx.Frame({{10.2, 120}}), sy.Frame({{20.7, 120}}));
        if (t % 100 == 0) {
            x->sanity.DoPoll();
            y->sanity.DoPoll();
        }
        loop.Advance(25);
    }
    EXPECT_EQ(x->resetRequests, 0);
    EXPECT_EQ(y->resetRequests, 0);
    EXPECT_EQ(x->peak.GetPeakPos1(), 10);
    EXPECT_EQ(y->peak.GetPeakPos1(), 21);
}

}  // namespace
