// Time per scan frame of the scan processing: the driver's effective chain (splitter, then per axis
// baseline history, exponential convolution and dual-peak finder) and the chain with every stage
// switched on, for a 64-byte frame of 24 X and 40 Y wires with a finger moving across it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "driver/proc/packetsplitterb.h"
#include "proc/axischain.h"
#include "platform/manualloop.h"

namespace {

constexpr int kX = 24, kY = 40, kFrame = kX + kY;

using Axis = AxisChain;

// Frames in the sensor's wire order (X 0..11, Y 0..39, X 23..12): per-wire levels, ±1 noise and a
// finger circling the panel; the first `quiet` frames are untouched so the baselines are learnt.
std::vector<std::vector<uint8_t>> MakeFrames(int count, int quiet)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-1, 1);
    std::vector<std::vector<uint8_t>> frames(count, std::vector<uint8_t>(kFrame));
    auto wire = [&](int axisBase, int i, double centre, bool touched) {
        double v = (axisBase + 53 * i) % 256 + noise(rng);
        if (touched) v += 120 * std::exp(-(i - centre) * (i - centre) / 2);
        return static_cast<uint8_t>(static_cast<int>(std::lround(v)) & 255);
    };
    for (int k = 0; k < count; ++k) {
        const bool touched = k >= quiet;
        const double cx = (kX - 1) * (0.5 + 0.45 * std::sin(k * 0.01));
        const double cy = (kY - 1) * (0.5 + 0.45 * std::cos(k * 0.013));
        uint8_t x[kX], y[kY];
        for (int i = 0; i < kX; ++i) x[i] = wire(200, i, cx, touched);
        for (int i = 0; i < kY; ++i) y[i] = wire(90, i, cy, touched);
        auto& f = frames[k];
        for (int i = 0; i < 12; ++i) f[i] = x[i];
        for (int i = 0; i < kY; ++i) f[12 + i] = y[i];
        for (int j = 0; j < 12; ++j) f[63 - j] = x[12 + j];
    }
    return frames;
}

void RunChain(benchmark::State& state, bool everyStage)
{
    ManualLoop loop(0);
    MainLoop::SetCurrent(&loop);
    {
        TNX7_PacketSplitterB splitter;
        splitter.SetSplit0(12);
        splitter.SetSplit1(40);
        splitter.SetFlip2(1);
        auto x = std::make_unique<Axis>(everyStage);
        auto y = std::make_unique<Axis>(everyStage);
        float sink = 0.0f;
        splitter.OnRawX = [&](void* s, int n, const uint8_t* d) { x->history->Input(s, n, d); };
        splitter.OnRawY = [&](void* s, int n, const uint8_t* d) { y->history->Input(s, n, d); };
        splitter.OnRaw = [&](void*, int, const uint8_t*) {
            sink += x->dp.GetPeakAngle1() + y->dp.GetPeakAngle1();
        };

        // Learn, then fill the history to its working size (60 s at 44 frames per second) so every
        // frame also retires the oldest one, as in steady operation.
        const auto learn = MakeFrames(300, 300);
        for (const auto& f : learn) splitter.Input(nullptr, kFrame, f.data());
        const auto frames = MakeFrames(4096, 0);
        for (int k = 0; k < 2640; ++k) splitter.Input(nullptr, kFrame, frames[k % frames.size()].data());

        size_t k = 0;
        for (auto _ : state) {
            splitter.Input(nullptr, kFrame, frames[k].data());
            k = (k + 1) % frames.size();
            if (everyStage && k % 4 == 0) {
                x->sc.DoPoll();
                y->sc.DoPoll();
            }
        }
        benchmark::DoNotOptimize(sink);
        state.counters["peakX"] = x->dp.GetPeakPos1();
        state.counters["peakY"] = y->dp.GetPeakPos1();
    }
    MainLoop::SetCurrent(nullptr);
}

void BM_EffectiveChainPerFrame(benchmark::State& state)
{
    RunChain(state, false);
}

void BM_EveryStagePerFrame(benchmark::State& state)
{
    RunChain(state, true);
}

// The stages alone, on one 40-wire axis.
void BM_HistoryY(benchmark::State& state)
{
    auto h = std::make_unique<TNX7_HistoryB>();
    h->SetRate(44);
    const auto frames = MakeFrames(4096, 300);
    for (int k = 0; k < 3000; ++k) h->Input(nullptr, kY, frames[k % frames.size()].data() + 12);
    size_t k = 0;
    for (auto _ : state) {
        h->Input(nullptr, kY, frames[k].data() + 12);
        k = (k + 1) % frames.size();
    }
}

void BM_ConvolveY(benchmark::State& state)
{
    TNX7_ConvolveExp c;
    c.SetActive(true);
    float in[kY];
    for (int i = 0; i < kY; ++i) in[i] = static_cast<float>(i % 7);
    float sink = 0;
    c.OnOutput = [&](void*, int, const float* d) { sink += d[3]; };
    for (auto _ : state) c.Input(nullptr, kY, in);
    benchmark::DoNotOptimize(sink);
}

void BM_DualPeakY(benchmark::State& state)
{
    TNX7_ProcDualPeakB dp;
    dp.SetActive(true);
    float in[kY];
    for (int i = 0; i < kY; ++i) in[i] = 100.0f * std::exp(-(i - 17.3f) * (i - 17.3f) / 2) + (i % 3);
    for (auto _ : state) {
        dp.Input(nullptr, kY, in);
        benchmark::DoNotOptimize(dp.GetPeakAngle1());
    }
}

}  // namespace

BENCHMARK(BM_EffectiveChainPerFrame);
BENCHMARK(BM_EveryStagePerFrame);
BENCHMARK(BM_HistoryY);
BENCHMARK(BM_ConvolveY);
BENCHMARK(BM_DualPeakY);
