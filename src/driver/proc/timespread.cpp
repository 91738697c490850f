#include "driver/proc/timespread.h"

#include <algorithm>

void TNX7_TimeSpread::SetHistory(int value)
{
    FHistory = std::clamp(value, 1, RingRows);
}

void TNX7_TimeSpread::Input(void* /*theSender*/, int theLength, const float* theData)
{
    const int n = theLength;
    if (!FActive || n < 1 || theData == nullptr || n > MaxChannels) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }

    std::copy_n(theData, n, FRing[FWriteIndex].begin());

    std::fill_n(FOutput.begin(), n, 0.0f);
    int row = FWriteIndex;
    for (int h = 0; h < FHistory; ++h) {
        const auto& r = FRing[row];
        for (int i = 0; i < n; ++i) FOutput[i] += r[i];
        row = row == 0 ? RingRows - 1 : row - 1;
    }

    FWriteIndex = (FWriteIndex + 1) % RingRows;

    const float h = static_cast<float>(FHistory);
    for (int i = 0; i < n; ++i) FOutput[i] = FOutput[i] / h;
    if (OnOutput) OnOutput(this, n, FOutput.data());
}
