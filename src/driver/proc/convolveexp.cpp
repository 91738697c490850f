#include "driver/proc/convolveexp.h"

#include <algorithm>
#include <cmath>

TNX7_ConvolveExp::TNX7_ConvolveExp() = default;

void TNX7_ConvolveExp::ConvolveInit(int n)
{
    n = std::clamp(n, 0, MaxChannels);
    if (n == FMatrixCount) return;
    FMatrixCount = n;
    for (int i = 0; i < n; ++i) {
        // Kernel taps that fall on the array for a finger centred on wire i.
        double sum = 0.0;
        int used = 0;
        for (int j = 0; j < n; ++j) {
            const int k = j + KernelCentre - i;
            if (k >= 0 && k <= KernelLast) {
                sum += FKernel[k];
                ++used;
            }
        }
        const double mean = used > 0 ? sum / used : 0.0;
        double var = 0.0;
        for (int j = 0; j < n; ++j) {
            const int k = j + KernelCentre - i;
            if (k >= 0 && k <= KernelLast) var += (FKernel[k] - mean) * (FKernel[k] - mean);
        }
        const double sd = used > 0 ? std::sqrt(var / used) : 0.0;
        for (int j = 0; j < MaxChannels; ++j) {
            const int k = j + KernelCentre - i;
            const bool tap = j < n && k >= 0 && k <= KernelLast && sd > 0.0;
            FMatrix[i][j] = tap ? static_cast<float>((FKernel[k] - mean) / sd) : 0.0f;
        }
    }
}

float TNX7_ConvolveExp::ConvolveStep(int n, int i, const float* in) const
{
    // Only the kernel's band is non-zero; summed in column order as the full row would be.
    if (i < 0 || i >= MaxChannels) return 0.0f;
    const int lo = std::max(0, i - KernelCentre);
    const int hi = std::min({n - 1, i + KernelLast - KernelCentre, MaxChannels - 1});
    float acc = 0.0f;
    for (int j = lo; j <= hi; ++j) acc += in[j] * FMatrix[i][j];
    return acc;
}

void TNX7_ConvolveExp::Convolve(int n, const float* in, float* out) const
{
    n = std::min(n, MaxChannels);
    for (int i = 0; i < n; ++i) out[i] = ConvolveStep(n, i, in);
}

void TNX7_ConvolveExp::Input(void* /*theSender*/, int theLength, const float* theData)
{
    const int n = theLength;
    if (n < 3 || !FActive || theData == nullptr || n > MaxChannels) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }
    ConvolveInit(n);
    Convolve(n, theData, FOutput.data());
    if (OnOutput) OnOutput(this, n, FOutput.data());
}
