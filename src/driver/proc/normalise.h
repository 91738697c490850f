// Rescales the profile to a 0-to-100 style range by one of four rules:
// 1 standard score, 2 min–max, 3 peak over its local base (window of ±3 wires), 4 min–max once the
// peak stands out over its local base.
#pragma once

#include <array>

#include "share/events.h"

class TNX7_Normalise {
public:
    static constexpr int MaxChannels = 66;

    TNX7_Normalise() = default;

    // Inactive, fewer than 3 values, no data or more than 66 values: passes through unchanged.
    // Score and the output array are cleared on every input.
    void Input(void* theSender, int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    int GetMode() const { return FMode; }
    // ≤ 0 gives 1, ≥ 5 gives 4.
    void SetMode(int value);
    // The figure of the latest frame (spread, range or peak height); writing it does nothing.
    float GetScore() const { return FScore; }
    void SetScore(float) {}

    TFloatArrayEvent OnOutput;

private:
    void DoNormalise1(int n, const float* data);
    void DoNormalise2(int n, const float* data);
    void DoNormalise3(int n, const float* data);
    void DoNormalise4(int n, const float* data);
    // First largest value (from data[0] − 1) and its index; false when no side reference exists.
    static bool PeakAndBase(int n, const float* data, float& peak, int& p, float& base);

    bool FActive = false;
    int FMode = 3;
    float FScore = 0.0f;
    std::array<float, MaxChannels> FOutput{};
};
