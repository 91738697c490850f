#include "driver/proc/packetsplitterb.h"

#include "share/sharevarbase.h"

TNX7_PacketSplitterB::TNX7_PacketSplitterB()
{
    FSplit0Var = FShareVars.AddItem("Split", "Split0", "Int", 1,
                                    [this](TShareVarBase* v) { DoSplit0Change(v); }, nullptr, true);
    FSplit1Var = FShareVars.AddItem("Split", "Split1", "Int", 1,
                                    [this](TShareVarBase* v) { DoSplit1Change(v); }, nullptr, true);
    FFlip0Var = FShareVars.AddItem("Split", "Flip0", "Int", 1,
                                   [this](TShareVarBase* v) { DoFlip0Change(v); }, nullptr, true);
    FFlip1Var = FShareVars.AddItem("Split", "Flip1", "Int", 1,
                                   [this](TShareVarBase* v) { DoFlip1Change(v); }, nullptr, true);
    FFlip2Var = FShareVars.AddItem("Split", "Flip2", "Int", 1,
                                   [this](TShareVarBase* v) { DoFlip2Change(v); }, nullptr, true);
    // Start values without posting a change.
    if (FSplit0Var) FSplit0Var->SetValueIntX(FSplit0);
    if (FSplit1Var) FSplit1Var->SetValueIntX(FSplit1);
    if (FFlip0Var) FFlip0Var->SetValueIntX(FFlip0);
    if (FFlip1Var) FFlip1Var->SetValueIntX(FFlip1);
    if (FFlip2Var) FFlip2Var->SetValueIntX(FFlip2);
}

int TNX7_PacketSplitterB::Limit(int value, int lo, int hi)
{
    if (value < lo) value = lo;
    if (value > hi) value = hi;
    return value;
}

void TNX7_PacketSplitterB::xmemcpy(uint8_t* dst, const uint8_t* src, int count, int flip)
{
    if (flip == 0) {
        for (int k = 0; k < count; ++k) dst[k] = src[k];
    } else {
        for (int k = 0; k < count; ++k) dst[k] = src[count - 1 - k];
    }
}

void TNX7_PacketSplitterB::Reset(void* /*theSender*/)
{
    if (OnRawX) OnRawX(this, 0, nullptr);
    if (OnRawY) OnRawY(this, 0, nullptr);
    if (OnRaw) OnRaw(this, 0, nullptr);
}

void TNX7_PacketSplitterB::Input(void* theSender, int theLength, const uint8_t* theData)
{
    if (theLength == 0) {
        Reset(theSender);
        return;
    }
    // The buffer is all the splitter owns; a longer frame is refused rather than cut short.
    if (theData == nullptr || theLength < 2 || theLength > MaxFrame) return;

    const int n = theLength;
    const int half = n / 2;
    int xCount = half;
    int yCount = n - half;

    int s0 = FSplit0;
    int s1 = FSplit1;
    if (s0 < 1 || n < s0) {
        s0 = 0;
        s1 = 0;
    }
    if (s0 < 1 || s1 < 1 || n <= s0 + s1) s1 = 0;

    if (s0 == 0) {
        xmemcpy(FBuffer.data(), theData, n, 0);
    } else if (s1 == 0) {
        xmemcpy(FBuffer.data(), theData, n, 0);
        xCount = s0;
        yCount = n - s0;
        if (xCount < 4 || yCount < 4) {
            xCount = half;
            yCount = n - half;
        }
    } else {
        const int tail = n - s0 - s1;
        xCount = s0 + tail;
        yCount = s1;
        if (xCount < 4 || yCount < 4) {
            xmemcpy(FBuffer.data(), theData, n, 0);
            xCount = half;
            yCount = n - half;
        } else {
            xmemcpy(FBuffer.data(), theData, s0, FFlip0);
            xmemcpy(FBuffer.data() + s0, theData + s0 + s1, tail, FFlip2);
            xmemcpy(FBuffer.data() + xCount, theData + s0, s1, FFlip1);
        }
    }

    if (OnRawX) OnRawX(this, xCount, FBuffer.data());
    if (OnRawY) OnRawY(this, yCount, FBuffer.data() + xCount);
    if (OnRaw) OnRaw(this, n, FBuffer.data());
}

void TNX7_PacketSplitterB::SetSplit0(int value)
{
    FSplit0 = Limit(value, 0, 64);
    if (FSplit0Var) FSplit0Var->SetValueInt(FSplit0);
}

void TNX7_PacketSplitterB::SetSplit1(int value)
{
    FSplit1 = Limit(value, 0, 64);
    if (FSplit1Var) FSplit1Var->SetValueInt(FSplit1);
}

void TNX7_PacketSplitterB::SetFlip0(int value)
{
    FFlip0 = Limit(value, 0, 1);
    if (FFlip0Var) FFlip0Var->SetValueInt(FFlip0);
}

void TNX7_PacketSplitterB::SetFlip1(int value)
{
    FFlip1 = Limit(value, 0, 1);
    if (FFlip1Var) FFlip1Var->SetValueInt(FFlip1);
}

void TNX7_PacketSplitterB::SetFlip2(int value)
{
    FFlip2 = Limit(value, 0, 1);
    if (FFlip2Var) FFlip2Var->SetValueInt(FFlip2);
}

void TNX7_PacketSplitterB::DoSplit0Change(TShareVarBase* theSender)
{
    if (theSender) FSplit0 = Limit(theSender->GetValueInt(), 0, 64);
}

void TNX7_PacketSplitterB::DoSplit1Change(TShareVarBase* theSender)
{
    if (theSender) FSplit1 = Limit(theSender->GetValueInt(), 0, 64);
}

void TNX7_PacketSplitterB::DoFlip0Change(TShareVarBase* theSender)
{
    if (theSender) FFlip0 = Limit(theSender->GetValueInt(), 0, 1);
}

void TNX7_PacketSplitterB::DoFlip1Change(TShareVarBase* theSender)
{
    if (theSender) FFlip1 = Limit(theSender->GetValueInt(), 0, 1);
}

void TNX7_PacketSplitterB::DoFlip2Change(TShareVarBase* theSender)
{
    if (theSender) FFlip2 = Limit(theSender->GetValueInt(), 0, 1);
}
