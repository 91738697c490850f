// Removes the mean and weights the wires, the end wires most (for short arrays of up to 8 wires;
// wires 8 onwards get weight 0).
#pragma once

#include <array>

#include "share/events.h"

class TNX7_EdgeSensitize {
public:
    static constexpr int MaxChannels = 66;

    TNX7_EdgeSensitize();

    // Inactive, fewer than 3 values, no data or more than 66 values: passes through unchanged.
    void Input(void* theSender, int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    float GetGain(int i) const { return FGain[i]; }

    TFloatArrayEvent OnOutput;

private:
    bool FActive = false;
    std::array<float, MaxChannels> FGain{};
    std::array<float, MaxChannels> FOutput{};
};
