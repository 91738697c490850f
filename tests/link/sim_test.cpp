// The simulated sensor: its frames must cut correctly with the shipped splitter defaults, look
// like a real panel (differing drifting baselines, wrap-around, no zero bytes), and its sparse
// packets and recordings must follow the wire and file formats.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "driver/link/serialsensora.h"
#include "driver/proc/packetsplitterb.h"
#include "linktest.h"
#include "sim.h"

namespace {

sim::TFinger Finger(float x, float y, float strength)
{
    sim::TFinger f;
    f.Down = true;
    f.X = x, f.Y = y, f.Strength = strength;
    return f;
}

TEST(SimTest, FramesCutIntoWireOrderWithTheSplitDefaults)
{
    ManualLoop loop;
    MainLoop::SetCurrent(&loop);
    sim::TPanel panel(sim::TPanelConfig{});
    TNX7_PacketSplitterB split;
    split.SetSplit0(12);
    split.SetSplit1(40);
    split.SetFlip0(0);
    split.SetFlip1(0);
    split.SetFlip2(1);
    Bytes x, y;
    split.OnRawX = [&](void*, int n, const uint8_t* d) { x.assign(d, d + n); };
    split.OnRawY = [&](void*, int n, const uint8_t* d) { y.assign(d, d + n); };
    std::vector<uint8_t> frame;
    // A finger on X wire 18 (in the reversed tail) and Y wire 30.
    panel.Scan(1000, {Finger(18.0f / 23, 30.0f / 39, 60)}, frame);
    ASSERT_EQ(frame.size(), 64u);
    split.Input(nullptr, 64, frame.data());
    const auto& wires = panel.WireValues();
    EXPECT_EQ(x, Bytes(wires.begin(), wires.begin() + 24));
    EXPECT_EQ(y, Bytes(wires.begin() + 24, wires.end()));
    EXPECT_EQ(panel.FrameIndexX(0), 0);
    EXPECT_EQ(panel.FrameIndexX(12), 63);
    EXPECT_EQ(panel.FrameIndexX(23), 52);
    EXPECT_EQ(panel.FrameIndexY(0), 12);
    MainLoop::SetCurrent(nullptr);
}

TEST(SimTest, PanelLooksLikeHardware)
{
    sim::TPanelConfig cfg;
    cfg.Noise = 0;
    sim::TPanel panel(cfg);
    std::vector<uint8_t> frame;
    panel.Scan(0, {}, frame);
    const Bytes first = panel.WireValues();
    // Untouched levels differ from wire to wire.
    double mean = 0, var = 0;
    for (uint8_t v : first)
        mean += v / 64.0;
    for (uint8_t v : first)
        var += (v - mean) * (v - mean) / 64.0;
    EXPECT_GT(std::sqrt(var), 30.0);
    // They drift slowly: a few counts over a minute, not in one frame.
    panel.Scan(20, {}, frame);
    Bytes next = panel.WireValues();
    int maxStep = 0, maxDrift = 0;
    for (int i = 0; i < 64; ++i)
        maxStep = std::max(maxStep, std::abs(next[i] - first[i]));
    for (uint32_t t = 0; t <= 120000; t += 1000) {
        panel.Scan(t, {}, frame);
        for (int i = 0; i < 64; ++i)
            maxDrift = std::max(maxDrift, std::abs(panel.WireValues()[i] - first[i]));
        for (uint8_t b : frame)
            ASSERT_NE(b, 0);
    }
    EXPECT_LE(maxStep, 1);
    EXPECT_GE(maxDrift, 2);
    EXPECT_LE(maxDrift, 2 * static_cast<int>(cfg.DriftCounts) + 1);

    // A strong touch on a wire that sits high wraps past 255.
    int high = -1;
    for (int i = 0; i < 24; ++i)
        if (first[i] > 210)
            high = i;
    ASSERT_GE(high, 0) << "seed gives no high wire";
    panel.Scan(0, {Finger(high / 23.0f, 0.5f, 80)}, frame);
    EXPECT_LT(panel.WireValues()[high], first[high]);
    EXPECT_EQ((panel.WireValues()[high] - first[high] + 256) % 256, 80);
}

TEST(SimTest, ScriptsMoveFingers)
{
    struct Case {
        const char* Name;
        int MaxFingers;
    };
    for (const Case& c : std::vector<Case>{{"tap", 1}, {"press", 1}, {"drag", 1}, {"hold", 1}, {"two", 2}, {"random", 1}}) {
        SCOPED_TRACE(c.Name);
        sim::TScript script(c.Name, 9);
        int most = 0, downFrames = 0;
        float minX = 1, maxX = 0, minS = 1000, maxS = 0;
        for (uint32_t t = 0; t < 20000; t += 10) {
            int down = 0;
            for (const sim::TFinger& f : script.At(t)) {
                if (!f.Down)
                    continue;
                ++down;
                minX = std::min(minX, f.X), maxX = std::max(maxX, f.X);
                minS = std::min(minS, f.Strength), maxS = std::max(maxS, f.Strength);
                EXPECT_GE(f.X, 0.0f);
                EXPECT_LE(f.X, 1.0f);
            }
            most = std::max(most, down);
            downFrames += down > 0;
        }
        EXPECT_EQ(most, c.MaxFingers);
        EXPECT_GT(downFrames, 20);
        EXPECT_LT(downFrames, 2000);  // fingers lift again
        EXPECT_GT(maxX - minX, 0.05f);  // different places
    }
    EXPECT_FALSE(sim::TScript::Known("swipe"));
}

// Sparse packets decoded by the driver's serial front put the finger's wires where they belong.
TEST(SimTest, SparsePacketsCarryTheStrongestWires)
{
    ManualLoop loop;
    MainLoop::SetCurrent(&loop);
    {
        sim::TPanel panel(sim::TPanelConfig{});
        std::vector<uint8_t> frame, wire = {0};
        panel.Scan(0, {Finger(0.3f, 0.6f, 70)}, frame);
        sim::EncodeSparse(frame, 24, 40, panel.Rise(), 8, 0, wire);
        wire.push_back(1);
        EXPECT_EQ(wire.size(), 1 + 2 + 8 * 4 + 2 + 1u);
        TNX7_SerialSensorA s(&loop);
        FrameLog log;
        s.OnScanPacket = log.Sink();
        s.DoReceive(wire.data(), static_cast<int>(wire.size()));
        ASSERT_EQ(log.Frames.size(), 1u);
        ASSERT_EQ(log.Frames[0].size(), 64u);
        int peakX = panel.FrameIndexX(7), peakY = panel.FrameIndexY(23);  // 0.3 × 23, 0.6 × 39
        for (int i : {peakX - 1, peakX, peakX + 1, peakY - 1, peakY, peakY + 1})
            EXPECT_EQ(log.Frames[0][i], frame[i]) << i;
    }
    MainLoop::SetCurrent(nullptr);
}

TEST(SimTest, RecordingFollowsTheLogFormat)
{
    namespace fs = std::filesystem;
    fs::path path = fs::temp_directory_path() / ("zt7-sim-" + std::to_string(::getpid()) + ".log");
    {
        sim::TLogWriter log;
        ASSERT_TRUE(log.Open(path.string()));
        log.Write(0, Bytes(10, 7));
        log.Write(0x01020315, Bytes(20, 9));
        log.Write(5, Bytes{});
    }
    std::ifstream in(path, std::ios::binary);
    Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes want = Concat({{0, 0, 0, 0, 10}, Bytes(10, 7), {0x15, 0x03, 0x02, 0x01, 20}, Bytes(20, 9), {5, 0, 0, 0, 0}});
    EXPECT_EQ(all, want);
    fs::remove(path);
}

}  // namespace
