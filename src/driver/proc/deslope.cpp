#include "driver/proc/deslope.h"

void TNX7_Deslope::FillSequence(int n, float* x)
{
    for (int i = 0; i < n; ++i) x[i] = static_cast<float>(i);
}

float TNX7_Deslope::SigmaX(int n, const float* x)
{
    float s = 0.0f;
    for (int i = 0; i < n; ++i) s += x[i];
    return s;
}

float TNX7_Deslope::SigmaXxY(int n, const float* x, const float* y)
{
    float s = 0.0f;
    for (int i = 0; i < n; ++i) s += x[i] * y[i];
    return s;
}

void TNX7_Deslope::BestFitLine(int n, const float* y)
{
    FillSequence(n, FSequence.data());
    const float* x = FSequence.data();
    const float fn = static_cast<float>(n);
    const float sx = SigmaX(n, x);
    const float sy = SigmaX(n, y);
    const float sxy = SigmaXxY(n, x, y);
    const float sxx = SigmaXxY(n, x, x);
    FSlope = (sxy - sx * sy / fn) / (sxx - sx * sx / fn);
    FIntercept = sy / fn - FSlope * sx / fn;
}

void TNX7_Deslope::LineArray(int n, float* line) const
{
    for (int i = 0; i < n; ++i) line[i] = FIntercept + FSlope * static_cast<float>(i);
}

void TNX7_Deslope::CopyArray(int n, const float* src, float* dst)
{
    for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void TNX7_Deslope::SubtractArrays(int n, const float* a, const float* b, float* out)
{
    for (int i = 0; i < n; ++i) out[i] = a[i] - b[i];
}

void TNX7_Deslope::Input(void* /*theSender*/, int theLength, const float* theData)
{
    const int n = theLength;
    if (n < 3 || !FActive || theData == nullptr || n > MaxChannels) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }
    BestFitLine(n, theData);
    LineArray(n, FLine.data());
    CopyArray(n, theData, FOutput.data());
    SubtractArrays(n, FOutput.data(), FLine.data(), FOutput.data());
    if (OnOutput) OnOutput(this, n, FOutput.data());
}
