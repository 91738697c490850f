#include "driver/touch/edgestretch.h"

#include "share/sharevarbase.h"

TNX7_EdgeStretch::TNX7_EdgeStretch()
{
    FTopGainVar = FVars.AddItem("Edge", "TopGain", "Float", 1,
                                [this](TShareVarBase* v) { DoTopGainChange(v); }, nullptr, true);
    FBottomGainVar = FVars.AddItem("Edge", "BottomGain", "Float", 1,
                                   [this](TShareVarBase* v) { DoBottomGainChange(v); }, nullptr, true);
    FLeftGainVar = FVars.AddItem("Edge", "LeftGain", "Float", 1,
                                 [this](TShareVarBase* v) { DoLeftGainChange(v); }, nullptr, true);
    FRightGainVar = FVars.AddItem("Edge", "RightGain", "Float", 1,
                                  [this](TShareVarBase* v) { DoRightGainChange(v); }, nullptr, true);
    FTopGainVar->SetValueFloatX(FTopGain);
    FBottomGainVar->SetValueFloatX(FBottomGain);
    FLeftGainVar->SetValueFloatX(FLeftGain);
    FRightGainVar->SetValueFloatX(FRightGain);
}

TNX7_EdgeStretch::~TNX7_EdgeStretch() = default;

float TNX7_EdgeStretch::Limit(float value, float min, float max)
{
    if (!(value >= min))
        value = min;
    if (value > max)
        value = max;
    return value;
}

void TNX7_EdgeStretch::SetEdgePos(float v) { FEdgePos = Limit(v, 0.0f, 0.2f); }

void TNX7_EdgeStretch::SetTopGain(float v)
{
    FTopGain = Limit(v, 0.0f, 2.0f);
    FTopGainVar->SetValueFloat(FTopGain);
}

void TNX7_EdgeStretch::SetBottomGain(float v)
{
    FBottomGain = Limit(v, 0.0f, 2.0f);
    FBottomGainVar->SetValueFloat(FBottomGain);
}

void TNX7_EdgeStretch::SetLeftGain(float v)
{
    FLeftGain = Limit(v, 0.0f, 2.0f);
    FLeftGainVar->SetValueFloat(FLeftGain);
}

void TNX7_EdgeStretch::SetRightGain(float v)
{
    FRightGain = Limit(v, 0.0f, 2.0f);
    FRightGainVar->SetValueFloat(FRightGain);
}

void TNX7_EdgeStretch::DoTopGainChange(TShareVarBase* v) { FTopGain = Limit(v->GetValueFloat(), 0.0f, 2.0f); }
void TNX7_EdgeStretch::DoBottomGainChange(TShareVarBase* v) { FBottomGain = Limit(v->GetValueFloat(), 0.0f, 2.0f); }
void TNX7_EdgeStretch::DoLeftGainChange(TShareVarBase* v) { FLeftGain = Limit(v->GetValueFloat(), 0.0f, 2.0f); }
void TNX7_EdgeStretch::DoRightGainChange(TShareVarBase* v) { FRightGain = Limit(v->GetValueFloat(), 0.0f, 2.0f); }

void TNX7_EdgeStretch::DoWindow(float v, float& window, float& excess) const
{
    const float e = FEdgePos < 0.01f ? 0.01f : FEdgePos;
    const float h = 1.0f - e;
    window = v;
    excess = 0.0f;
    if (v < e) {
        window = e;
        excess = v - e;
    }
    if (v > h) {
        window = h;
        excess = v - h;
    }
}

void TNX7_EdgeStretch::Input(void* Sender, float X, float Y, float M, float MTT, float MPT)
{
    (void)Sender;
    if (FActive) {
        float wX, eX, wY, eY;
        DoWindow(X, wX, eX);
        DoWindow(Y, wY, eY);
        const float gX = eX > 0.0f ? FRightGain : FLeftGain;
        const float gY = eY > 0.0f ? FBottomGain : FTopGain;
        X = (1.0f + gX) * eX + wX;
        Y = (1.0f + gY) * eY + wY;
    }
    if (OnOutput)
        OnOutput(this, X, Y, M, MTT, MPT);
}
