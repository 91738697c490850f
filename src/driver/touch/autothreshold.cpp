#include "driver/touch/autothreshold.h"

#include <cmath>
#include <cstdlib>

#include "share/sharevarbase.h"

namespace {
// Streaks only matter up to 4; stop counting well before a 32-bit wrap.
constexpr int kStreakCap = 1000000;
}  // namespace

TNX7_AutoThreshold::TNX7_AutoThreshold()
{
    auto add = [this](const char* name, const char* type, bool saveable,
                      void (TNX7_AutoThreshold::*handler)(TShareVarBase*)) {
        TShareVarBase::TVarEvent onChange;
        if (handler)
            onChange = [this, handler](TShareVarBase* v) { (this->*handler)(v); };
        return FVars.AddItem("Sense", name, type, 1, onChange, nullptr, saveable);
    };
    FFixedThresholdVar = add("FixedThreshold", "Float", true, &TNX7_AutoThreshold::DoFixedThresholdChange);
    FMinThresholdVar = add("MinThreshold", "Float", true, &TNX7_AutoThreshold::DoMinThresholdChange);
    FTouchRatioVar = add("TouchRatio", "Float", true, &TNX7_AutoThreshold::DoTouchRatioChange);
    FPressRatioVar = add("PressRatio", "Float", true, &TNX7_AutoThreshold::DoPressRatioChange);
    FTrackThreshVar = add("TrackThresh", "Float", false, nullptr);
    FTouchThreshVar = add("TouchThresh", "Float", false, nullptr);
    FPressThreshVar = add("PressThresh", "Float", false, nullptr);
    FPressValueVar = add("PressValue", "Float", false, nullptr);
    FAVar = add("A", "Float", false, nullptr);
    FBVar = add("B", "Float", false, nullptr);
    FAdvancedVar = add("Advanced", "Bool", true, &TNX7_AutoThreshold::DoAdvancedChange);
    FStateVar = add("State", "Int", false, nullptr);
    FStartVar = add("Start", "Bool", false, &TNX7_AutoThreshold::DoStartChange);
    FCancelVar = add("Cancel", "Bool", false, &TNX7_AutoThreshold::DoCancelChange);
    FBusyVar = add("Busy", "Bool", false, nullptr);
    FCountRatioVar[0] = add("CountRatio0", "Float", false, nullptr);
    FCountRatioVar[1] = add("CountRatio1", "Float", false, nullptr);
    FCountRatioVar[2] = add("CountRatio2", "Float", false, nullptr);

    FFixedThresholdVar->SetValueFloatX(300.0f);
    FMinThresholdVar->SetValueFloatX(10.0f);
    FTouchRatioVar->SetValueFloatX(0.2f);
    FPressRatioVar->SetValueFloatX(0.1f);
    FAdvancedVar->SetValueBoolX(false);
    FBusyVar->SetValueBoolX(false);
    for (auto* v : FCountRatioVar)
        v->SetValueFloatX(0.0f);
    FStateVar->SetValueIntX(ats_Idle);
}

TNX7_AutoThreshold::~TNX7_AutoThreshold() = default;

float TNX7_AutoThreshold::Limit(float value, float min, float max)
{
    if (!(value >= min))  // a value that is not a number lands on min as well
        value = min;
    if (value > max)
        value = max;
    return value;
}

// ---- settings -------------------------------------------------------------------------------

void TNX7_AutoThreshold::SetFixedThreshold(float v)
{
    FFixedThreshold = Limit(v, 10.0f, 1000.0f);
    FFixedThresholdVar->SetValueFloat(FFixedThreshold);
}

void TNX7_AutoThreshold::SetMinThreshold(float v)
{
    FMinThreshold = Limit(v, 1.0f, 100.0f);
    FMinThresholdVar->SetValueFloat(FMinThreshold);
}

void TNX7_AutoThreshold::SetMaxThreshold(float v) { FMaxThreshold = Limit(v, 10.0f, 1000.0f); }

void TNX7_AutoThreshold::SetTrackingTimeConstant(float v)
{
    FTrackingTimeConstant = Limit(v, 0.00001f, 0.1f);
}

void TNX7_AutoThreshold::SetTouchRatio(float v)
{
    FTouchRatio = Limit(v, 0.0f, 1.0f);
    FTouchRatioVar->SetValueFloat(FTouchRatio);
}

void TNX7_AutoThreshold::SetPressRatio(float v)
{
    FPressRatio = Limit(v, 0.0f, 1.0f);
    FPressRatioVar->SetValueFloat(FPressRatio);
}

void TNX7_AutoThreshold::SetAdvanced(bool v)
{
    FAdvanced = v;
    FAdvancedVar->SetValueBool(v);
}

void TNX7_AutoThreshold::DoFixedThresholdChange(TShareVarBase* v)
{
    FFixedThreshold = Limit(v->GetValueFloat(), 10.0f, 1000.0f);
}

void TNX7_AutoThreshold::DoMinThresholdChange(TShareVarBase* v)
{
    FMinThreshold = Limit(v->GetValueFloat(), 1.0f, 100.0f);
}

void TNX7_AutoThreshold::DoTouchRatioChange(TShareVarBase* v)
{
    FTouchRatio = Limit(v->GetValueFloat(), 0.0f, 1.0f);
}

void TNX7_AutoThreshold::DoPressRatioChange(TShareVarBase* v)
{
    FPressRatio = Limit(v->GetValueFloat(), 0.0f, 1.0f);
}

void TNX7_AutoThreshold::DoAdvancedChange(TShareVarBase* v) { FAdvanced = v->GetValueBool(); }
void TNX7_AutoThreshold::DoStartChange(TShareVarBase*) { SetState(ats_Start); }
void TNX7_AutoThreshold::DoCancelChange(TShareVarBase*) { SetState(ats_Cancel); }
void TNX7_AutoThreshold::DoStart(void*) { SetState(ats_Start); }
void TNX7_AutoThreshold::DoCancel(void*) { SetState(ats_Cancel); }

void TNX7_AutoThreshold::SetRate(int rate)
{
    FRate = rate < 10 ? 10 : (rate > 1000 ? 1000 : rate);
    for (int& l : FLimit)
        l = 10 * FRate;
}

void TNX7_AutoThreshold::SetCount(int i, int v)
{
    if (i < 0 || i > 2 || FCount[i] == v)
        return;
    FCount[i] = v;
    FCountRatioVar[i]->SetValueFloatX(static_cast<float>(v) / static_cast<float>(FLimit[i]));
}

void TNX7_AutoThreshold::ClearCounters()
{
    SetCount0(0);
    SetCount1(0);
    SetCount2(0);
}

// ---- crude touch ----------------------------------------------------------------------------

void TNX7_AutoThreshold::FindPeaks(int n, const float* v, int& iMax, int& iSecond, int& iThird,
                                   int& iMin)
{
    iMax = iSecond = iThird = iMin = 0;
    if (n < 3 || !v)
        return;
    float best = v[0];
    for (int i = 0; i < n; ++i)
        if (v[i] >= best) {
            best = v[i];
            iMax = i;
        }
    best = v[0];
    for (int i = 0; i < n; ++i)
        if (i != iMax && v[i] >= best) {
            best = v[i];
            iSecond = i;
        }
    if (iMax == 0 || iMax == n - 1) {
        iThird = iSecond;
    } else {
        best = v[0];
        for (int i = 0; i < n; ++i)
            if (i != iMax && i != iSecond && v[i] >= best) {
                best = v[i];
                iThird = i;
            }
    }
    best = v[0];
    for (int i = 0; i < n; ++i)
        if (v[i] <= best) {
            best = v[i];
            iMin = i;
        }
}

void TNX7_AutoThreshold::CrudeInput(void* Sender, int nX, const float* X, int nY, const float* Y)
{
    (void)Sender;
    UpdateCrudeTouch(X ? nX : 0, X, Y ? nY : 0, Y);
}

void TNX7_AutoThreshold::UpdateCrudeTouch(int nX, const float* X, int nY, const float* Y)
{
    int xMax, xSecond, xThird, xMin, yMax, ySecond, yThird, yMin;
    FindPeaks(nX, X, xMax, xSecond, xThird, xMin);
    FindPeaks(nY, Y, yMax, ySecond, yThird, yMin);

    auto larger = [](int a, int b) { return a > b ? a : b; };
    const int d1 = larger(std::abs(xMax - xSecond), std::abs(yMax - ySecond));
    const int d2 = larger(std::abs(xMax - xThird), std::abs(yMax - yThird));
    const int d3 = larger(std::abs(FPrevXMax - xMax), std::abs(FPrevYMax - yMax));
    const int d4 = larger(std::abs(FPrevXSecond - xSecond), std::abs(FPrevYSecond - ySecond));
    // Short arrays have no span: every index is 0 and the span test fails.
    const float spanX = nX >= 3 ? X[xMax] - X[xMin] : 0.0f;
    const float spanY = nY >= 3 ? Y[yMax] - Y[yMin] : 0.0f;

    // One compact finger: the highest wires sit together on both axes and stayed put.
    const bool qualifies =
        d1 <= 1 && d2 <= 3 && d3 <= 1 && spanX > 1.0f && spanY > 1.0f && d4 <= 3;
    if (qualifies) {
        if (FCrudeStreak < kStreakCap)
            ++FCrudeStreak;
        FNoTouchStreak = 0;
    } else {
        FCrudeStreak = 0;
        if (FNoTouchStreak < kStreakCap)
            ++FNoTouchStreak;
    }
    FCrudeTouch = FCrudeStreak > 3 ? 1 : 0;
    FNotCrudeTouch = FNoTouchStreak > 3 ? 1 : 0;

    FPrevXMax = xMax;
    FPrevYMax = yMax;
    FPrevXSecond = xSecond;
    FPrevYSecond = ySecond;
}

// ---- levels ---------------------------------------------------------------------------------

void TNX7_AutoThreshold::Input(void* Sender, float A, float B, float Value)
{
    (void)Sender;
    const float floor = 0.1f * FFixedThreshold;
    InputSampler(A, B, Value);

    // A strength that is not a finite number carries no level; tracking it would poison the
    // tracked level for good.
    if (std::isfinite(Value)) {
        const float k = FTracked >= Value ? FTrackingTimeConstant : 0.9f;
        const float gap = Value - FTracked;
        const float step = k * gap;
        FTracked = FTracked + step;
    }
    if (FFixed)
        FTracked = FFixedThreshold;
    else if (FTracked > FMaxThreshold)
        FTracked = FMaxThreshold;

    FThreshold = FTracked < floor ? floor : FTracked;
    const float touchRatio = FAdvanced ? FTouchRatio : FPressRatio;
    const float pressRatio = FPressRatio > touchRatio ? FPressRatio : touchRatio;
    FTouchThreshold = FThreshold * touchRatio;
    FPressThreshold = FThreshold * pressRatio;
    if (FTouchThreshold < floor)
        FTouchThreshold = floor;
    if (FPressThreshold < floor)
        FPressThreshold = floor;

    FTrackThreshVar->SetValueFloatX(FTracked);
    FTouchThreshVar->SetValueFloatX(FTouchThreshold);
    FPressThreshVar->SetValueFloatX(FPressThreshold);
    FAVar->SetValueFloatX(A);
    FBVar->SetValueFloatX(B);
    FPressValueVar->SetValueFloat(Value);
}

void TNX7_AutoThreshold::Reset(void* Sender)
{
    FTracked = FMinThreshold;
    Input(Sender, 0.0f, 0.0f, FMinThreshold);
}

void TNX7_AutoThreshold::InputSampler(float A, float B, float Value)
{
    if (FState == ats_Touch) {
        // Only a steady finger near the middle of the sensor counts as the touched level.
        if (A > -0.5f && A < 0.5f && B > -0.5f && B < 0.5f && FCrudeTouch > 0 &&
            std::isfinite(Value)) {
            FTouchSum += Value;
            ++FTouchSamples;
            SetCount0(FCount[0] + 1);
        } else {
            SetCount2(FCount[2] + 1);
        }
        if (FCount[0] > FLimit[0])
            SetState(ats_Release);
        else if (FCount[2] > FLimit[2])
            SetState(ats_Cancel);
    } else if (FState == ats_Release) {
        if (FCrudeTouch == 0 && std::isfinite(Value)) {
            FReleaseSum += Value;
            ++FReleaseSamples;
            SetCount1(FCount[1] + 1);
        } else {
            SetCount2(FCount[2] + 1);
        }
        if (FCount[1] > FLimit[1])
            SetState(ats_Compute);
        else if (FCount[2] > FLimit[2])
            SetState(ats_Cancel);
    }
}

bool TNX7_AutoThreshold::DoComputeLevels()
{
    if (FTouchSamples <= 1 || FReleaseSamples <= 1)
        return false;
    const float mT = FTouchSum / static_cast<float>(FTouchSamples);
    const float mR = FReleaseSum / static_cast<float>(FReleaseSamples);
    auto interpolate = [mT, mR](float t) { return (1.0f - t) * mR + t * mT; };

    SetFixedThreshold(interpolate(2.0f));
    const float L = interpolate(0.3f);
    SetMinThreshold(interpolate(0.05f));
    bool ok = false;
    if (FFixedThreshold > 1.0f) {
        const float ratio = L / FFixedThreshold;
        SetPressRatio(ratio);
        SetTouchRatio(ratio);
        ok = true;
    }
    SetAdvanced(false);
    return ok;
}

void TNX7_AutoThreshold::DoStore()
{
    FStored.FixedThreshold = FFixedThreshold;
    FStored.TouchRatio = FTouchRatio;
    FStored.PressRatio = FPressRatio;
    FStored.MinThreshold = FMinThreshold;
    FStored.Advanced = FAdvanced;
}

void TNX7_AutoThreshold::DoRestore()
{
    SetFixedThreshold(FStored.FixedThreshold);
    SetTouchRatio(FStored.TouchRatio);
    SetPressRatio(FStored.PressRatio);
    SetMinThreshold(FStored.MinThreshold);
    SetAdvanced(FStored.Advanced);
}

// ---- procedure ------------------------------------------------------------------------------

void TNX7_AutoThreshold::SetState(AutoThresholdStateType request)
{
    switch (request) {
    case ats_Start:
        FState = ats_Touch;
        DoStore();
        FTouchSum = 0.0f;
        FTouchSamples = 0;
        FReleaseSum = 0.0f;
        FReleaseSamples = 0;
        ClearCounters();
        FBusyVar->SetValueBool(true);
        if (OnStart)
            OnStart(this);
        break;
    case ats_Touch:
    case ats_Release:
    case ats_Idle:
        FState = request;
        ClearCounters();
        break;
    case ats_Compute:
        FState = ats_Idle;
        if (DoComputeLevels())
            DoStore();
        else
            DoRestore();
        FBusyVar->SetValueBool(false);
        if (OnComplete)
            OnComplete(this);
        break;
    case ats_Cancel:
        FState = ats_Idle;
        DoRestore();
        FBusyVar->SetValueBool(false);
        if (OnCancel)
            OnCancel(this);
        if (OnComplete)
            OnComplete(this);
        break;
    default:
        FState = ats_None;
        break;
    }
    FStateVar->SetValueInt(static_cast<int>(FState));
    if (OnUpdate)
        OnUpdate(this);
}
