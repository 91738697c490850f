// First-order smoother of the pointer position; a firm touch passes unsmoothed.
#pragma once

#include "share/events.h"

class TNX7_Damping {
public:
    TNX7_Damping() = default;

    void Input(float X, float Y, float MX, float MY, float MTT, float MPT);

    bool GetActive() const { return FActive; }
    void SetActive(bool v) { FActive = v; }
    float GetDamping() const { return FDamping; }
    // Kept within 0.1 to 1.0.
    void SetDamping(float v);

    TXYEvent OnOutput;

private:
    bool FActive = false;
    float FDamping = 0.5f;
    float FSmoothX = 0.0f;
    float FSmoothY = 0.0f;
};
