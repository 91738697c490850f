#include "driver/touch/damping.h"

#include <cmath>

void TNX7_Damping::SetDamping(float v)
{
    if (!(v >= 0.1f))
        v = 0.1f;
    if (v > 1.0f)
        v = 1.0f;
    FDamping = v;
}

void TNX7_Damping::Input(float X, float Y, float MX, float MY, float MTT, float MPT)
{
    if (!FActive) {
        if (OnOutput)
            OnOutput(this, X, Y, MX, MY, MTT, MPT);
        return;
    }
    float k = FDamping;
    if (MX > 2.0f * MTT && MY > 2.0f * MTT)
        k = 1.0f;  // a firm touch is followed as it is
    // A position that is not a finite number would stick in the smoothed value for good.
    if (std::isfinite(X)) {
        const float dx = X - FSmoothX;
        FSmoothX = FSmoothX + k * dx;
    }
    if (std::isfinite(Y)) {
        const float dy = Y - FSmoothY;
        FSmoothY = FSmoothY + k * dy;
    }
    if (OnOutput)
        OnOutput(this, FSmoothX, FSmoothY, MX, MY, MTT, MPT);
}
