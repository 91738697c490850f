// Baseline history of one axis: learns every wire's untouched level from about the last minute of
// frames and outputs each wire's distance from it, as floats.
//
// Values wrap modulo 256. Per wire a histogram of the held frames shows an occupied range (the
// untouched level, its noise and touches above it) and a long quiet range; the frame's candidate
// is the lower edge of the occupied range, found by walking up out of the longest quiet stretch,
// and the baseline is the most frequent of the last 100 candidates.
//
// The object is about 600 KB (frame ring and histograms) and allocates nothing after construction;
// keep it on the heap.
#pragma once

#include <array>
#include <cstdint>

#include "share/events.h"

class TNX7_HistoryB {
public:
    static constexpr int MaxChannels = 64;
    static constexpr int MinChannels = 4;
    static constexpr int MaxCapacity = 6000;   // 60 s at the highest rate
    static constexpr int CandidateSlots = 100;

    TNX7_HistoryB();
    TNX7_HistoryB(const TNX7_HistoryB&) = delete;
    TNX7_HistoryB& operator=(const TNX7_HistoryB&) = delete;

    // One channel array of bytes; raises OnOutput exactly once. Length 0 or no data forgets the
    // channel count (the next frame restarts learning) and passes length 0 on. An array of another
    // size than the last restarts learning; Length is kept within 4 to 64, so a shorter array is
    // read as far as it goes (the rest counts as 0) and a longer one only to 64.
    void Input(void* theSender, int theLength, const uint8_t* theData);

    // Channel count of the current input, 4 to 64; 0 after a reset.
    int GetLength() const { return FLength; }
    float GetScaler() const { return FScaler; }
    // Below 0.1 (or not a number) gives 0.1, above 10 gives 10.
    void SetScaler(float value);
    int GetRate() const { return FRate; }
    // Scans per second of the link, kept within 10 to 100; the history holds 60 × rate frames.
    void SetRate(int value);
    int GetCapacity() const { return FCapacity; }
    // The float output of the latest Input (GetLength values).
    const float* GetData() const { return FOutput.data(); }

    // Learning state, for the touch levels' diagnostics and tests.
    int GetFrameCount() const { return FFrameCount; }
    int GetCandidateFill() const { return FCandFill; }
    int GetBaseline(int channel) const;
    // The latest frame's candidate (lower edge of the occupied range) and longest quiet count.
    int GetCandidate(int channel) const;
    int GetQuietCount(int channel) const;

    // (a − b) modulo 256 read as −56 to 199: up to 56 steps below counts as below.
    static int AsymDiff(int a, int b);
    // (a − b) modulo 256 read as a signed byte, −128 to 127.
    static int SymDiff(int a, int b);

    TFloatArrayEvent OnOutput;

private:
    void Init();
    void RemoveFromHistory();
    void AddToHistory(const uint8_t* frame);
    void WindowAdd(int channel, int value);
    void WindowRemove(int channel, int value);
    void CandidateAdd(int channel, int value);
    void CandidateRemove(int channel, int value);
    void FindCandidates();
    void RecordCandidates();
    void CalcExtDiff();
    void Scale();

    int FLength = 0;
    float FScaler = 1.0f;
    int FRate = 100;
    int FCapacity = 60 * 100;

    // Frame ring.
    std::array<std::array<uint8_t, MaxChannels>, MaxCapacity> FRing{};
    int FWriteIndex = 0;
    int FReadIndex = 0;
    int FFrameCount = 0;

    // A: value histogram; B: ten-value window histogram (v adds to v … v+9, wrapping).
    std::array<std::array<int, 256>, MaxChannels> FValueHist{};
    std::array<std::array<int, 256>, MaxChannels> FWindowHist{};

    // Latest frame's candidate and longest quiet count per channel.
    std::array<int, MaxChannels> FCand{};
    std::array<int, MaxChannels> FQuiet{};

    // Candidate ring and its histogram.
    std::array<std::array<int, MaxChannels>, CandidateSlots> FCandRing{};
    int FCandIndex = 0;
    int FCandFill = 0;
    std::array<std::array<int, 256>, MaxChannels> FCandHist{};

    // Per channel, which window bins are above the busy (16) and solid (32) counts, kept with B so
    // the walk steps from run to run instead of bin to bin.
    using Bins = std::array<uint64_t, 4>;
    std::array<Bins, MaxChannels> FBusy{};
    std::array<Bins, MaxChannels> FSolid{};
    // Most frequent candidate per channel (lowest value on a tie), kept as H changes.
    std::array<int, MaxChannels> FCandMode{};

    std::array<int, MaxChannels> FBaseline{};
    std::array<int, MaxChannels> FDiff{};
    std::array<int, MaxChannels> FExtDiff{};
    std::array<float, MaxChannels> FOutput{};
    // Input copied to full width so a short array is never read past its end.
    std::array<uint8_t, MaxChannels> FFrame{};
};
