#include "driver/proc/edgesensitize.h"

TNX7_EdgeSensitize::TNX7_EdgeSensitize()
{
    // Ends of a short axis see less of a finger: weight them up.
    static constexpr float kGain[8] = {1.5f, 1.2f, 1.1f, 1.0f, 1.0f, 1.1f, 1.2f, 1.5f};
    FGain.fill(0.0f);
    for (int i = 0; i < 8; ++i) FGain[i] = kGain[i];
}

void TNX7_EdgeSensitize::Input(void* /*theSender*/, int theLength, const float* theData)
{
    const int n = theLength;
    if (n < 3 || !FActive || theData == nullptr || n > MaxChannels) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum += theData[i];
    const float mean = sum / static_cast<float>(n);
    for (int i = 0; i < n; ++i) FOutput[i] = (theData[i] - mean) * FGain[i];
    if (OnOutput) OnOutput(this, n, FOutput.data());
}
