#include "driver/proc/coarsefine.h"

#include <algorithm>
#include <cmath>

void TNX7_CoarseFine::Output(int theLength, const float* theData)
{
    if (OnOutput) OnOutput(this, theLength, theData);
}

void TNX7_CoarseFine::Input(void* /*theSender*/, int theLength, const float* theData)
{
    if (theLength != FineCount + CoarseCount || theData == nullptr || !FActive) {
        Output(theLength, theData);
        return;
    }

    const float* f = theData;
    const float* c = theData + FineCount;
    for (int j = 0; j < CoarseCount; ++j)
        for (int i = 0; i < FineCount; ++i) FProfile[FineCount * j + i] = f[i];

    float fmin = f[0], fmax = f[0];
    int D = 0;
    for (int i = 1; i < FineCount; ++i) {
        if (f[i] < fmin) fmin = f[i];
        if (f[i] > fmax) {
            fmax = f[i];
            D = i;
        }
    }
    float rangeF = fmax - fmin;
    if (rangeF < 0.001f) rangeF = 0.001f;

    float cmin = c[0], cmax = c[0];
    int E = 0;
    for (int j = 1; j < CoarseCount; ++j) {
        if (c[j] < cmin) cmin = c[j];
        if (c[j] > cmax) {
            cmax = c[j];
            E = j;
        }
    }
    float rangeC = cmax - cmin;
    if (rangeC < 0.001f) rangeC = 0.001f;

    FAboveCount = 0;
    for (int i = 0; i < FineCount; ++i) {
        FFineAbove[i] = f[i] > fmin + 0.5f * rangeF;
        if (FFineAbove[i]) ++FAboveCount;
    }
    for (int j = 0; j < CoarseCount; ++j) {
        FCoarseAbove[j] = c[j] > cmin + 0.2f * rangeC;
        if (FCoarseAbove[j]) ++FAboveCount;
    }

    FOffset = D + FineCount * E;

    if (FMode == 0) {
        // A finger where fine electrode 5 of one group meets electrode 0 of the next lights both;
        // the coarse values tell which group it belongs to.
        if (FFineAbove[0] && FFineAbove[5]) {
            switch (E) {
            case 0:
                if (FCoarseAbove[1]) D = 5;
                break;
            case 1:
                D = c[0] > c[2] ? 0 : 5;
                break;
            case 2:
                D = c[1] > c[3] ? 0 : 5;
                break;
            case 3:
                if (FCoarseAbove[2]) D = 0;
                break;
            default:
                break;
            }
            FOffset = D + FineCount * E;
        }
    } else if (FMode == 1) {
        const float S = c[0] + c[1] + c[2] + c[3];
        const float T = 0.0f * c[0] + 1.0f * c[1] + 2.0f * c[2] + 3.0f * c[3];
        if (S > 0.1f) {
            // Coarse centroid on 0..23, then 3..20 stretched onto 0..23.
            const float u = static_cast<float>((static_cast<double>(T) / S) * 23.0 * (1.0 / 3.0));
            const float w = static_cast<float>((static_cast<double>(u) - 3.0) * 23.0 * (1.0 / 17.0));
            // Clamp before converting: a non-finite centroid must not reach the int conversion.
            const float r = std::floor(w + 0.5f);
            const int K = r >= 0.0f ? (r <= Positions - 1 ? static_cast<int>(r) : Positions - 1) : 0;
            FOffset = K;

            int lower = K, upper = K;
            for (int m = 0; m <= 2; ++m) {
                const int lo = K - m, hi = K + m;
                if (lo >= 0 && lo < Positions && FProfile[lo] > FProfile[lower]) lower = lo;
                if (hi >= 0 && hi < Positions && FProfile[hi] > FProfile[upper]) upper = hi;
            }
            FOffset = FProfile[lower] > FProfile[upper] ? lower : upper;
        }
    }

    FOffset = std::clamp(FOffset, 0, Positions - 1);

    for (int x = 0; x < Positions; ++x)
        if (x < FOffset - 2 || x > FOffset + 2) FProfile[x] = fmin;

    Output(Positions, FProfile.data());
}
