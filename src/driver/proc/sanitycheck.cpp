#include "driver/proc/sanitycheck.h"

#include "platform/mainloop.h"

TNX7_SanityCheck::TNX7_SanityCheck()
{
    DoClear();
}

void TNX7_SanityCheck::DoClear()
{
    FPrevIndex = -1;
    FFrameCount = 0;
    FJumpCount = 0;
    FDipCount = 0;
    FLastPoll = GetTickCount();
}

void TNX7_SanityCheck::Input(void* /*theSender*/, int theLength, const float* theData)
{
    if (theLength <= 0 || theData == nullptr || !OnReset) {
        DoClear();
        return;
    }
    float hi = theData[0], lo = theData[0];
    int m = 0;
    for (int i = 1; i < theLength; ++i) {
        if (theData[i] > hi) {
            hi = theData[i];
            m = i;
        }
        if (theData[i] < lo) lo = theData[i];
    }
    // A finger moves smoothly; a maximum that hops about is noise or a wrong baseline.
    const int d = m > FPrevIndex ? m - FPrevIndex : FPrevIndex - m;
    if (d > 1 && hi > FThreshold) ++FJumpCount;
    // A wire far below its baseline means the baseline was learnt under a finger.
    if (lo < -FThreshold) ++FDipCount;
    FPrevIndex = m;
    ++FFrameCount;
}

void TNX7_SanityCheck::DoPoll()
{
    const uint32_t now = GetTickCount();
    if (static_cast<uint32_t>(now - FLastPoll) <= WindowMs) return;
    FLastPoll = now;
    const int half = FFrameCount / 2;
    const bool bad = FFrameCount > MinFrames && (FJumpCount > half || FDipCount > half);
    DoClear();
    if (bad && OnReset) OnReset(this);
}
