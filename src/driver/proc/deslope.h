// Removes the least-squares straight line across the wires.
#pragma once

#include <array>

#include "share/events.h"

class TNX7_Deslope {
public:
    static constexpr int MaxChannels = 64;

    TNX7_Deslope() = default;

    // Inactive, fewer than 3 values, no data or more than 64 values: passes through unchanged.
    void Input(void* theSender, int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    float GetSlope() const { return FSlope; }
    float GetIntercept() const { return FIntercept; }

    TFloatArrayEvent OnOutput;

private:
    // Fits y over x = 0 … n−1 with sums in single precision.
    void BestFitLine(int n, const float* y);
    void FillSequence(int n, float* x);
    static float SigmaX(int n, const float* x);
    static float SigmaXxY(int n, const float* x, const float* y);
    void LineArray(int n, float* line) const;
    static void CopyArray(int n, const float* src, float* dst);
    static void SubtractArrays(int n, const float* a, const float* b, float* out);

    bool FActive = false;
    std::array<float, MaxChannels> FOutput{};
    std::array<float, MaxChannels> FLine{};
    std::array<float, MaxChannels> FSequence{};
    float FSlope = 0.0f;
    float FIntercept = 0.0f;
};
