// Averages every wire over the History most recent frames.
#pragma once

#include <array>

#include "share/events.h"

class TNX7_TimeSpread {
public:
    static constexpr int MaxChannels = 66;
    static constexpr int RingRows = 10;

    TNX7_TimeSpread() = default;

    // Inactive, empty, or longer than 66 values: the input passes on unchanged.
    void Input(void* theSender, int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    int GetHistory() const { return FHistory; }
    // Kept within 1 to 10.
    void SetHistory(int value);

    TFloatArrayEvent OnOutput;

private:
    bool FActive = false;
    int FHistory = 1;
    // Rows never written hold zeros and are averaged in like the others.
    std::array<std::array<float, MaxChannels>, RingRows> FRing{};
    int FWriteIndex = 0;
    std::array<float, MaxChannels> FOutput{};
};
