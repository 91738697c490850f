// Spreads the band along each screen edge outwards so the pointer can reach the edge although a
// finger cannot centre on the outermost wires. Positions outside the bands pass unchanged.
#pragma once

#include "share/events.h"
#include "share/sharevarpoly.h"

class TNX7_EdgeStretch {
public:
    TNX7_EdgeStretch();
    ~TNX7_EdgeStretch();
    TNX7_EdgeStretch(const TNX7_EdgeStretch&) = delete;
    TNX7_EdgeStretch& operator=(const TNX7_EdgeStretch&) = delete;

    void Input(void* Sender, float X, float Y, float M, float MTT, float MPT);
    // Splits v into the part inside the band limits (window) and the part beyond them (excess).
    void DoWindow(float v, float& window, float& excess) const;
    void Reset(void* Sender) { (void)Sender; }

    bool GetActive() const { return FActive; }
    void SetActive(bool v) { FActive = v; }
    float GetEdgePos() const { return FEdgePos; }
    void SetEdgePos(float v);
    float GetTopGain() const { return FTopGain; }
    void SetTopGain(float v);
    float GetBottomGain() const { return FBottomGain; }
    void SetBottomGain(float v);
    float GetLeftGain() const { return FLeftGain; }
    void SetLeftGain(float v);
    float GetRightGain() const { return FRightGain; }
    void SetRightGain(float v);

    void DoTopGainChange(TShareVarBase* theSender);
    void DoBottomGainChange(TShareVarBase* theSender);
    void DoLeftGainChange(TShareVarBase* theSender);
    void DoRightGainChange(TShareVarBase* theSender);

    // value raised to min, then lowered to max; a value that is not a number gives min.
    static float Limit(float value, float min, float max);

    TShareVarPoly& GetVars() { return FVars; }

    TXYMEvent OnOutput;

private:
    bool FActive = false;
    float FEdgePos = 0.1f;
    float FTopGain = 0.0f;
    float FBottomGain = 0.0f;
    float FLeftGain = 0.0f;
    float FRightGain = 0.0f;

    TShareVarPoly FVars;
    TShareVarBase* FTopGainVar = nullptr;
    TShareVarBase* FBottomGainVar = nullptr;
    TShareVarBase* FLeftGainVar = nullptr;
    TShareVarBase* FRightGainVar = nullptr;
};
