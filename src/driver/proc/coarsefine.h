// Coarse/fine combination for an axis of 6 fine electrodes repeating along it and 4 coarse ones,
// each covering a group of 6 fine positions: from the 10 values it builds a 24-position profile in
// which the coarse values choose the group and the fine values give the shape.
// Only arrays of exactly 10 values are combined; anything else passes through.
#pragma once

#include <array>

#include "share/events.h"

class TNX7_CoarseFine {
public:
    static constexpr int FineCount = 6;
    static constexpr int CoarseCount = 4;
    static constexpr int Positions = 24;

    TNX7_CoarseFine() = default;

    void Input(void* theSender, int theLength, const float* theData);
    // Raises OnOutput(self, theLength, theData) when assigned.
    void Output(int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    // 0: fine peak with a boundary rule, 1: coarse centroid, other: fine peak in the coarse group.
    int GetMode() const { return FMode; }
    void SetMode(int value) { FMode = value; }
    // Chosen position 0 to 23 after the latest active frame.
    int GetOffset() const { return FOffset; }

    TFloatArrayEvent OnOutput;

private:
    bool FActive = false;
    int FMode = 1;
    int FOffset = 0;
    int FAboveCount = 0;
    std::array<bool, FineCount> FFineAbove{};
    std::array<bool, CoarseCount> FCoarseAbove{};
    std::array<float, Positions> FProfile{};
};
