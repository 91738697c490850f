// Watches an axis's baseline output for signals that cannot be a finger: a maximum that jumps by
// more than one wire between frames, or a deep negative dip. When most frames of a 30-second window
// show one, asks for a link reset (at most once per window).
#pragma once

#include <cstdint>

#include "share/events.h"

class TNX7_SanityCheck {
public:
    static constexpr uint32_t WindowMs = 30000;
    static constexpr int MinFrames = 150;

    // Starts cleared; reads the tick counter of the current main loop.
    TNX7_SanityCheck();

    // Counts one frame; length 0, no data, or no OnReset handler clears the counters instead.
    void Input(void* theSender, int theLength, const float* theData);
    // Every 100 ms: once more than 30 s have passed since the last decision, decide and clear.
    void DoPoll();
    void DoClear();

    float GetThreshold() const { return FThreshold; }
    void SetThreshold(float value) { FThreshold = value; }

    int GetFrameCount() const { return FFrameCount; }
    int GetJumpCount() const { return FJumpCount; }
    int GetDipCount() const { return FDipCount; }

    TNotifyEvent OnReset;

private:
    float FThreshold = 10.0f;
    int FFrameCount = 0;
    int FJumpCount = 0;
    int FDipCount = 0;
    int FPrevIndex = -1;
    uint32_t FLastPoll = 0;
};
