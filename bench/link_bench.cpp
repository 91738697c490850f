// Serial packet assembler throughput on streams recorded from the simulated sensor (raw and
// sparse packets) and on line noise. 38400 baud is 3.84 kB/s.
#include <benchmark/benchmark.h>

#include <random>

#include "driver/link/serialsensora.h"
#include "platform/manualloop.h"
#include "sim.h"

namespace {

// One minute of a 24 + 40 wire panel at 50 frames/s, as it went over the wire.
std::vector<uint8_t> RecordStream(bool sparse)
{
    sim::TPanelConfig cfg;
    sim::TPanel panel(cfg);
    sim::TScript script("demo", 3);
    std::vector<uint8_t> frame, wire;
    uint32_t counter = 0;
    for (uint32_t t = 0; t < 60000; t += 20) {
        panel.Scan(t, script.At(t), frame);
        if (sparse)
            sim::EncodeSparse(frame, cfg.XWires, cfg.YWires, panel.Rise(), 8, counter++, wire);
        else
            sim::EncodeRaw(frame, wire);
    }
    return wire;
}

void Run(benchmark::State& state, const std::vector<uint8_t>& stream)
{
    ManualLoop loop;
    MainLoop::SetCurrent(&loop);
    {
        TNX7_SerialSensorA sensor(&loop);
        long frames = 0;
        long bytes = 0;
        sensor.OnScanPacket = [&](void*, int n, const uint8_t* d) {
            frames += 1;
            bytes += n;
            benchmark::DoNotOptimize(d);
        };
        // In reads of the size one 10 ms poll takes at most.
        constexpr int Chunk = TNX7_SerialSensorA::ReceiveSize;
        for (auto _ : state) {
            for (size_t at = 0; at < stream.size(); at += Chunk)
                sensor.DoReceive(stream.data() + at, static_cast<int>(std::min<size_t>(Chunk, stream.size() - at)));
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
        state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
        benchmark::DoNotOptimize(bytes);
    }
    MainLoop::SetCurrent(nullptr);
}

void BM_SerialRaw(benchmark::State& state)
{
    static const std::vector<uint8_t> stream = RecordStream(false);
    Run(state, stream);
}
BENCHMARK(BM_SerialRaw);

void BM_SerialSparse(benchmark::State& state)
{
    static const std::vector<uint8_t> stream = RecordStream(true);
    Run(state, stream);
}
BENCHMARK(BM_SerialSparse);

void BM_SerialNoise(benchmark::State& state)
{
    static const std::vector<uint8_t> stream = [] {
        std::mt19937 rng(1);
        std::vector<uint8_t> b(1 << 20);
        for (auto& x : b)
            x = static_cast<uint8_t>(rng() % 8 == 0 ? 0 : 1 + rng() % 255);
        return b;
    }();
    Run(state, stream);
}
BENCHMARK(BM_SerialNoise);

}  // namespace
