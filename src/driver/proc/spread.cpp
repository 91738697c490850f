#include "driver/proc/spread.h"

void TNX7_Spread::SetSpread(float value)
{
    if (!(value >= 0.0f)) value = 0.0f;
    if (value > 1.0f) value = 1.0f;
    FSpread = value;
}

void TNX7_Spread::Input(void* /*theSender*/, int theLength, const float* theData)
{
    const int n = theLength;
    if (n < 3 || !FActive || theData == nullptr || n > MaxChannels) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }
    for (int i = 0; i < n; ++i) {
        // An end wire takes the mean of the two end values as its missing neighbour.
        const float left = i == 0 ? (theData[0] + theData[1]) * 0.5f : theData[i - 1];
        const float right = i == n - 1 ? (theData[n - 1] + theData[n - 2]) * 0.5f : theData[i + 1];
        FOutput[i] = (left + right) * FSpread + theData[i];
    }
    if (OnOutput) OnOutput(this, n, FOutput.data());
}
