// Simulated touch sensor: a panel of X and Y sensing wires with differing, drifting baselines,
// noise and 8-bit wrap-around, touched by fingers that follow a script; frames come out in the
// sensor's scan order and are encoded as raw or sparse serial packets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace sim {

struct TFinger {
    bool Down = false;
    float X = 0.5f;       // 0 left … 1 right
    float Y = 0.5f;       // 0 top … 1 bottom
    float Strength = 0;   // peak rise over the baseline, in counts
};

struct TPanelConfig {
    int XWires = 24;
    int YWires = 40;
    // Scan order: the first Split0 X wires in order, the Y wires in order, then the remaining X
    // wires in reverse (the sensor's usual wiring).
    int Split0 = 12;
    float Noise = 1.0f;        // standard deviation, counts
    float DriftCounts = 6.0f;  // slow baseline wander, peak
    float FingerWidth = 1.3f;  // wires (Gaussian sigma)
    uint32_t Seed = 1;
};

class TPanel {
public:
    explicit TPanel(const TPanelConfig& config);
    int Length() const { return Config.XWires + Config.YWires; }
    // One scan at time tMs with the given fingers, in scan order; every byte is 1 … 255.
    void Scan(uint32_t tMs, const std::vector<TFinger>& fingers, std::vector<uint8_t>& frame);
    // Wire-order values of the last scan (X then Y), before scan ordering.
    const std::vector<uint8_t>& WireValues() const { return FWire; }
    // Finger rise of the last scan per frame byte (what a sparse sensor picks its groups by).
    const std::vector<float>& Rise() const { return FRise; }
    // Frame index of X wire i and of Y wire j.
    int FrameIndexX(int i) const;
    int FrameIndexY(int j) const;

    TPanelConfig Config;

private:
    float Baseline(int wire, uint32_t tMs) const;

    std::mt19937 FRng;
    std::normal_distribution<float> FNoise{0.0f, 1.0f};
    std::vector<float> FBase, FDriftAmp, FDriftPeriod, FDriftPhase;
    std::vector<uint8_t> FWire;
    std::vector<float> FRise;
};

// Finger scripts: "tap", "press", "drag", "hold", "two", "random" and "demo" (all of them in
// turn). Levels: touch about 30 counts, press about 70.
class TScript {
public:
    TScript(const std::string& name, uint32_t seed, float touch = 30.0f, float press = 70.0f);
    static bool Known(const std::string& name);
    // Fingers at time tMs; Describe() tells what began at or before it (empty when nothing new).
    std::vector<TFinger> At(uint32_t tMs);
    std::string TakeEvent();

private:
    struct TStroke {
        uint32_t Start = 0, Length = 0;
        float X0 = 0.5f, Y0 = 0.5f, X1 = 0.5f, Y1 = 0.5f;
        float Level0 = 0, Level1 = 0;  // strength at start and end (a press rises)
        int FingerIndex = 0;
        std::string What;
    };
    void Plan(uint32_t fromMs);
    void AddKind(const std::string& kind, uint32_t& t);

    std::string FName;
    std::mt19937 FRng;
    float FTouch, FPress;
    std::vector<TStroke> FStrokes;
    size_t FAnnounced = 0;
    uint32_t FPlannedTo = 0;
    int FDemoStep = 0;
    std::string FEvent;
};

// Serial packets: a raw packet is the frame and one zero; a sparse packet is X and Y counts and
// groups (centre index, three values) around the strongest wires, then exactly two zeros.
void EncodeRaw(const std::vector<uint8_t>& frame, std::vector<uint8_t>& out);
void EncodeSparse(const std::vector<uint8_t>& frame, int xCount, int yCount, const std::vector<float>& rise,
                  int groups, uint32_t counter, std::vector<uint8_t>& out);

// "ZT7.LOG" recording: per frame 4 bytes time (ms, little-endian), 1 byte length, the bytes.
class TLogWriter {
public:
    ~TLogWriter();
    bool Open(const std::string& path);
    void Write(uint32_t tMs, const std::vector<uint8_t>& frame);
    void Close();
    bool IsOpen() const { return FFile != nullptr; }

private:
    std::FILE* FFile = nullptr;
};

}  // namespace sim
