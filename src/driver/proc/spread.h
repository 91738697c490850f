// Adds a fraction of each wire's two neighbours to it.
#pragma once

#include <array>

#include "share/events.h"

class TNX7_Spread {
public:
    static constexpr int MaxChannels = 66;

    TNX7_Spread() = default;

    // Inactive, fewer than 3 values, no data or more than 66 values: passes through unchanged.
    void Input(void* theSender, int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    float GetSpread() const { return FSpread; }
    // Below 0 (or not a number) gives 0, above 1 gives 1.
    void SetSpread(float value);

    TFloatArrayEvent OnOutput;

private:
    bool FActive = false;
    float FSpread = 0.2f;
    std::array<float, MaxChannels> FOutput{};
};
