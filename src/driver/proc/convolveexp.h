// Correlates the profile with the expected finger shape 1, 3, 6, 3, 1 centred on each wire, cut at
// the ends of the array, made zero-mean and scaled to unit spread: a single finger stands out as a
// positive peak and a broad offset gives nothing.
#pragma once

#include <array>

#include "share/events.h"

class TNX7_ConvolveExp {
public:
    static constexpr int MaxChannels = 66;
    static constexpr int KernelCentre = 2;
    static constexpr int KernelLast = 4;

    TNX7_ConvolveExp();

    // Inactive, fewer than 3 values, no data or more than 66 values: passes through unchanged.
    void Input(void* theSender, int theLength, const float* theData);

    // Rebuilds the weights when the element count changes.
    void ConvolveInit(int n);
    // out[0..n−1] := weights × in, accumulated in single precision.
    void Convolve(int n, const float* in, float* out) const;
    float ConvolveStep(int n, int i, const float* in) const;
    // Weight of column j in row i of the current matrix.
    float GetWeight(int i, int j) const { return FMatrix[i][j]; }

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }

    TFloatArrayEvent OnOutput;

private:
    bool FActive = false;
    std::array<float, KernelLast + 1> FKernel{1.0f, 3.0f, 6.0f, 3.0f, 1.0f};
    std::array<std::array<float, MaxChannels>, MaxChannels> FMatrix{};
    int FMatrixCount = 0;
    std::array<float, MaxChannels> FOutput{};
};
