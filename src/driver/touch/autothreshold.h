// Touch and press levels for every frame, the crude single-finger detector, and the automatic
// touch-level procedure (touch the centre, then let go, then derive the levels).
#pragma once

#include "share/events.h"
#include "share/sharevarpoly.h"

enum AutoThresholdStateType : int {
    ats_None = 0,     // any request outside 1..6; counts as busy
    ats_Start = 1,    // request only
    ats_Touch = 2,
    ats_Release = 3,
    ats_Compute = 4,  // request only
    ats_Cancel = 5,   // request only
    ats_Idle = 6,
};

class TNX7_AutoThreshold {
public:
    TNX7_AutoThreshold();
    ~TNX7_AutoThreshold();
    TNX7_AutoThreshold(const TNX7_AutoThreshold&) = delete;
    TNX7_AutoThreshold& operator=(const TNX7_AutoThreshold&) = delete;

    // Baseline-corrected wire arrays of both axes.
    void CrudeInput(void* Sender, int nX, const float* X, int nY, const float* Y);
    // Primary peak positions (-1..+1) and the weaker primary peak strength.
    void Input(void* Sender, float A, float B, float Value);
    void Reset(void* Sender);

    bool GetFixed() const { return FFixed; }
    void SetFixed(bool v) { FFixed = v; }
    float GetFixedThreshold() const { return FFixedThreshold; }
    void SetFixedThreshold(float v);
    float GetMinThreshold() const { return FMinThreshold; }
    void SetMinThreshold(float v);
    float GetMaxThreshold() const { return FMaxThreshold; }
    void SetMaxThreshold(float v);
    float GetTrackingTimeConstant() const { return FTrackingTimeConstant; }
    void SetTrackingTimeConstant(float v);
    float GetTouchRatio() const { return FTouchRatio; }
    void SetTouchRatio(float v);
    float GetPressRatio() const { return FPressRatio; }
    void SetPressRatio(float v);
    bool GetAdvanced() const { return FAdvanced; }
    void SetAdvanced(bool v);

    float GetThreshold() const { return FThreshold; }
    float GetTouchThreshold() const { return FTouchThreshold; }
    float GetPressThreshold() const { return FPressThreshold; }
    float GetTrackedLevel() const { return FTracked; }
    int GetCrudeTouch() const { return FCrudeTouch; }
    int GetNotCrudeTouch() const { return FNotCrudeTouch; }

    AutoThresholdStateType GetState() const { return FState; }
    void SetState(AutoThresholdStateType request);
    bool GetBusy() const { return FState != ats_Idle; }

    int GetRate() const { return FRate; }
    void SetRate(int rate);
    int GetCount0() const { return FCount[0]; }
    int GetCount1() const { return FCount[1]; }
    int GetCount2() const { return FCount[2]; }
    void SetCount0(int v) { SetCount(0, v); }
    void SetCount1(int v) { SetCount(1, v); }
    void SetCount2(int v) { SetCount(2, v); }
    int GetCountLimit(int i) const { return FLimit[i < 0 || i > 2 ? 0 : i]; }

    // Local start and cancel buttons.
    void DoStart(void* Sender);
    void DoCancel(void* Sender);

    // Shared-variable handlers.
    void DoFixedThresholdChange(TShareVarBase* theSender);
    void DoMinThresholdChange(TShareVarBase* theSender);
    void DoTouchRatioChange(TShareVarBase* theSender);
    void DoPressRatioChange(TShareVarBase* theSender);
    void DoAdvancedChange(TShareVarBase* theSender);
    void DoStartChange(TShareVarBase* theSender);
    void DoCancelChange(TShareVarBase* theSender);

    // Indices of the maximum, second, third highest and minimum of v (all 0 when n < 3).
    static void FindPeaks(int n, const float* v, int& iMax, int& iSecond, int& iThird, int& iMin);
    // value raised to min, then lowered to max; a value that is not a number gives min.
    static float Limit(float value, float min, float max);

    TShareVarPoly& GetVars() { return FVars; }

    TNotifyEvent OnStart;
    TNotifyEvent OnComplete;
    TNotifyEvent OnCancel;
    TNotifyEvent OnUpdate;

private:
    struct LevelSet {
        float FixedThreshold = 0.0f;
        float TouchRatio = 0.0f;
        float PressRatio = 0.0f;
        float MinThreshold = 0.0f;
        bool Advanced = false;
    };

    void UpdateCrudeTouch(int nX, const float* X, int nY, const float* Y);
    void InputSampler(float A, float B, float Value);
    bool DoComputeLevels();
    void DoStore();
    void DoRestore();
    void SetCount(int i, int v);
    void ClearCounters();

    bool FFixed = false;
    float FFixedThreshold = 300.0f;
    float FMinThreshold = 10.0f;
    float FMaxThreshold = 100.0f;
    float FTrackingTimeConstant = 0.01f;
    float FTouchRatio = 0.2f;
    float FPressRatio = 0.1f;
    bool FAdvanced = false;

    float FTracked = 10.0f;
    float FThreshold = 0.0f;
    float FTouchThreshold = 0.0f;
    float FPressThreshold = 0.0f;

    AutoThresholdStateType FState = ats_Idle;
    int FRate = 10;
    int FCount[3] = {0, 0, 0};
    int FLimit[3] = {100, 100, 100};
    float FTouchSum = 0.0f;
    int FTouchSamples = 0;
    float FReleaseSum = 0.0f;
    int FReleaseSamples = 0;
    LevelSet FStored;

    int FCrudeTouch = 0;
    int FNotCrudeTouch = 0;
    int FCrudeStreak = 0;
    int FNoTouchStreak = 0;
    int FPrevXMax = 0, FPrevXSecond = 0, FPrevYMax = 0, FPrevYSecond = 0;

    TShareVarPoly FVars;
    TShareVarBase* FFixedThresholdVar = nullptr;
    TShareVarBase* FMinThresholdVar = nullptr;
    TShareVarBase* FTouchRatioVar = nullptr;
    TShareVarBase* FPressRatioVar = nullptr;
    TShareVarBase* FTrackThreshVar = nullptr;
    TShareVarBase* FTouchThreshVar = nullptr;
    TShareVarBase* FPressThreshVar = nullptr;
    TShareVarBase* FPressValueVar = nullptr;
    TShareVarBase* FAVar = nullptr;
    TShareVarBase* FBVar = nullptr;
    TShareVarBase* FAdvancedVar = nullptr;
    TShareVarBase* FStateVar = nullptr;
    TShareVarBase* FStartVar = nullptr;
    TShareVarBase* FCancelVar = nullptr;
    TShareVarBase* FBusyVar = nullptr;
    TShareVarBase* FCountRatioVar[3] = {nullptr, nullptr, nullptr};
};
