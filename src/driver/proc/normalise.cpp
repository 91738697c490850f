#include "driver/proc/normalise.h"

#include <cmath>

void TNX7_Normalise::SetMode(int value)
{
    if (value <= 0) value = 1;
    if (value >= 5) value = 4;
    FMode = value;
}

void TNX7_Normalise::DoNormalise1(int n, const float* data)
{
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += data[i];
    const double mean = sum / n;
    double var = 0.0;
    for (int i = 0; i < n; ++i) var += (data[i] - mean) * (data[i] - mean);
    const float sd = static_cast<float>(std::sqrt(var / n));
    if (std::fabs(sd) > 0.01f) {
        FScore = sd;
        for (int i = 0; i < n; ++i)
            FOutput[i] = static_cast<float>((data[i] - mean) / (static_cast<double>(sd) * 0.01));
    }
}

void TNX7_Normalise::DoNormalise2(int n, const float* data)
{
    float lo = data[0], hi = data[0];
    for (int i = 1; i < n; ++i) {
        if (data[i] < lo) lo = data[i];
        if (data[i] > hi) hi = data[i];
    }
    const float range = hi - lo;
    if (std::fabs(range) > 0.01f) {
        FScore = range;
        const float k = 100.0f / range;
        for (int i = 0; i < n; ++i) FOutput[i] = (data[i] - lo) * k;
    }
}

bool TNX7_Normalise::PeakAndBase(int n, const float* data, float& peak, int& p, float& base)
{
    peak = data[0] - 1.0f;
    p = 0;
    for (int i = 0; i < n; ++i) {
        if (data[i] > peak) {
            peak = data[i];
            p = i;
        }
    }
    // The peak's local base: the values three wires to either side.
    float sum = 0.0f;
    int refs = 0;
    if (p - 3 >= 0) {
        sum += data[p - 3];
        ++refs;
    }
    if (p + 3 <= n - 1) {
        sum += data[p + 3];
        ++refs;
    }
    if (refs == 0) return false;
    base = sum / static_cast<float>(refs);
    return true;
}

void TNX7_Normalise::DoNormalise3(int n, const float* data)
{
    float peak, base;
    int p;
    if (!PeakAndBase(n, data, peak, p, base)) return;
    const float f = peak - base;
    if (f > 0.01f) {
        FScore = f;
        const float k = 100.0f / f;
        const int lo = p - 3 > 0 ? p - 3 : 0;
        const int hi = p + 3 < n - 1 ? p + 3 : n - 1;
        for (int j = lo; j <= hi; ++j) FOutput[j] = (data[j] - base) * k;
    }
}

void TNX7_Normalise::DoNormalise4(int n, const float* data)
{
    float peak, base;
    int p;
    float lo = data[0] + 1.0f;
    for (int i = 0; i < n; ++i)
        if (data[i] < lo) lo = data[i];
    if (!PeakAndBase(n, data, peak, p, base)) return;
    const float f = peak - base;
    const float range = peak - lo;
    if (f > 0.01f && range > 0.01f) {
        FScore = f;
        const float k = 100.0f / range;
        for (int j = 0; j < n; ++j) FOutput[j] = (data[j] - lo) * k;
    }
}

void TNX7_Normalise::Input(void* /*theSender*/, int theLength, const float* theData)
{
    FScore = 0.0f;
    FOutput.fill(0.0f);
    const int n = theLength;
    if (n <= 2 || !FActive || theData == nullptr || n > MaxChannels) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }
    switch (FMode) {
    case 1:
        DoNormalise1(n, theData);
        break;
    case 2:
        DoNormalise2(n, theData);
        break;
    case 4:
        DoNormalise4(n, theData);
        break;
    default:
        DoNormalise3(n, theData);
        break;
    }
    if (OnOutput) OnOutput(this, n, FOutput.data());
}
