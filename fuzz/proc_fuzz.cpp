// Arbitrary bytes as a session of scan frames. The first bytes choose the splitter's cut and which
// stages run; the rest is a run of frames, each a length byte (0 is the reset signal, lengths past
// the splitter's buffer included) and that many bytes. Every array handed on must be readable to
// its stated length and the finder's positions must stay on the axis.
#include <cmath>
#include <cstdint>
#include <cstdlib>
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

namespace {

volatile float gSink;

void Touch(int n, const float* d)
{
    if (n < 0) std::abort();
    float s = 0;
    for (int i = 0; i < n; ++i) s += d[i];
    gSink = s;
}

struct Axis {
    std::unique_ptr<TNX7_HistoryB> history = std::make_unique<TNX7_HistoryB>();
    TNX7_CoarseFine cf;
    TNX7_TimeSpread ts;
    TNX7_Spread sp;
    TNX7_Deslope ds;
    TNX7_ConvolveExp cv;
    TNX7_EdgeSensitize es;
    TNX7_Normalise nm;
    TNX7_ProcDualPeakB dp;
    TNX7_SanityCheck sc;

    Axis(uint8_t active, uint8_t mode)
    {
        cf.SetActive(active & 1);
        ts.SetActive(active & 2);
        sp.SetActive(active & 4);
        ds.SetActive(active & 8);
        cv.SetActive(active & 16);
        es.SetActive(active & 32);
        nm.SetActive(active & 64);
        dp.SetActive(active & 128);
        cf.SetMode(mode % 3);
        nm.SetMode(mode % 6);
        ts.SetHistory(mode % 12);
        sp.SetSpread((mode % 7) * 0.2f);
        dp.SetDeWiggleInner((mode % 5) * 0.3f);
        history->SetScaler((mode % 9) * 1.5f);
        sc.OnReset = [](void*) {};
        auto tap = [](int n, const float* d) { Touch(n, d); };
        history->OnOutput = [this, tap](void* s, int n, const float* d) {
            tap(n, d);
            cf.Input(s, n, d);
            sc.Input(s, n, d);
        };
        cf.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); ts.Input(s, n, d); };
        ts.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); sp.Input(s, n, d); };
        sp.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); ds.Input(s, n, d); };
        ds.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); cv.Input(s, n, d); };
        cv.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); es.Input(s, n, d); };
        es.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); nm.Input(s, n, d); };
        nm.OnOutput = [this, tap](void* s, int n, const float* d) { tap(n, d); dp.Input(s, n, d); };
    }

    void Check() const
    {
        for (float a : {dp.GetPeakAngle1(), dp.GetPeakAngle2()})
            if (a < -1.0f || a > 1.0f) std::abort();
        if (dp.GetPeakPos1() >= history->GetLength() && dp.GetPeakPos1() >= 0 &&
            !cf.GetActive())
            std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8) return 0;
    static ManualLoop loop(0);
    MainLoop::SetCurrent(&loop);

    TNX7_PacketSplitterB splitter;
    splitter.SetSplit0(data[0] % 80);
    splitter.SetSplit1(data[1] % 80);
    splitter.SetFlip0(data[2] & 1);
    splitter.SetFlip1(data[2] & 2);
    splitter.SetFlip2(data[2] & 4);
    auto x = std::make_unique<Axis>(data[3], data[4]);
    auto y = std::make_unique<Axis>(data[5], data[6]);
    const int rate = data[7];
    splitter.OnRawX = [&](void* s, int n, const uint8_t* d) {
        for (int i = 0; i < n; ++i) gSink = d[i];
        x->history->SetRate(rate);
        x->history->Input(s, n, d);
    };
    splitter.OnRawY = [&](void* s, int n, const uint8_t* d) {
        for (int i = 0; i < n; ++i) gSink = d[i];
        y->history->Input(s, n, d);
    };
    splitter.OnRaw = [&](void*, int n, const uint8_t* d) {
        for (int i = 0; i < n; ++i) gSink = d[i];
        x->Check();
        y->Check();
    };

    size_t at = 8;
    while (at < size) {
        // A length byte; 255 stands for an oversized frame that reuses the bytes that follow.
        const int len = data[at] == 255 ? 300 : data[at];
        ++at;
        std::vector<uint8_t> frame(static_cast<size_t>(len));
        for (int i = 0; i < len; ++i) frame[i] = at + i < size ? data[at + i] : static_cast<uint8_t>(i);
        at += static_cast<size_t>(len);
        // Repeat each frame so the history can learn within a short input.
        for (int rep = 0; rep < 20; ++rep) splitter.Input(nullptr, len, len ? frame.data() : nullptr);
        loop.Advance(15000);
        x->sc.DoPoll();
        y->sc.DoPoll();
    }
    MainLoop::SetCurrent(nullptr);
    return 0;
}
