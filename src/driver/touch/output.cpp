#include "driver/touch/output.h"

#include <cmath>

#include "platform/mainloop.h"
#include "share/sharevarbase.h"

namespace {
constexpr float kHysteresis = 0.95f;        // levels drop by 5 % while the button is held
constexpr uint32_t kBucketMs = 250;         // movement measure bucket
constexpr float kStillMeasure = 0.1f;       // net movement below this counts as still
constexpr uint32_t kRightClickMs = 2500;    // still press that becomes a right click

int32_t ToMickeys(float v)
{
    return static_cast<int32_t>(v * 65535.0f) & 0xFFFF;
}
}  // namespace

TNX7_Output::TNX7_Output()
{
    // Linux is never the 9x platform.
    FWinVersion = wvt_98;
    FEnabledVar = FVars.AddItem("Output", "Enabled", "Bool", 1,
                                [this](TShareVarBase* v) { DoEnabledChange(v); }, nullptr, true);
    FPressTypeVar = FVars.AddItem("Output", "PressType", "Int", 1,
                                  [this](TShareVarBase* v) { DoPressTypeChange(v); }, nullptr, true);
    FXVar = FVars.AddItem("Output", "X", "Float", 1, nullptr, nullptr, false);
    FYVar = FVars.AddItem("Output", "Y", "Float", 1, nullptr, nullptr, false);
    FButtonVar = FVars.AddItem("Output", "Button", "Int", 1, nullptr, nullptr, false);
    FCrudeTouchVar = FVars.AddItem("Output", "CrudeTouch", "Int", 1, nullptr, nullptr, false);
    FStartDelayVar = FVars.AddItem("Output", "StartDelay", "Int", 1, nullptr, nullptr, true);

    FEnabledVar->SetValueBoolX(false);
    FPressTypeVar->SetValueIntX(0);
    FXVar->SetValueFloatX(0.5f);
    FYVar->SetValueFloatX(0.5f);
    FButtonVar->SetValueIntX(0);
    FCrudeTouchVar->SetValueIntX(0);
    FStartDelayVar->SetValueIntX(0);

    DistanceClear();
    TimerClear();
}

TNX7_Output::~TNX7_Output()
{
    SetEnabled1(false);
}

float TNX7_Output::Range(float value, float p, float q)
{
    const float lo = p < q ? p : q;
    const float hi = p < q ? q : p;
    if (!(value >= lo))
        value = lo;
    if (value > hi)
        value = hi;
    return value;
}

int TNX7_Output::GetStartDelay()
{
    const int v = FStartDelayVar->GetValueInt();
    return v < 0 ? 0 : (v > 120 ? 120 : v);
}

void TNX7_Output::SetEnabled(int i, bool v)
{
    if (FEnabled[i] == v)
        return;
    FEnabled[i] = v;
    MouseRelease();
}

void TNX7_Output::SetEnabled1(bool v) { SetEnabled(0, v); }
void TNX7_Output::SetEnabled2(bool v) { SetEnabled(1, v); }
void TNX7_Output::SetEnabled3(bool v) { SetEnabled(2, v); }
void TNX7_Output::SetEnabled4(bool v) { SetEnabled(3, v); }

void TNX7_Output::SetPressType(TMousePressType v)
{
    if (FPressType == v)
        return;
    FPressType = v;
    MouseRelease();
}

void TNX7_Output::DoEnabledChange(TShareVarBase* theSender)
{
    const bool v = theSender->GetValueBool();
    if (v != FEnabled[0])
        SetEnabled1(v);
}

void TNX7_Output::DoPressTypeChange(TShareVarBase* theSender)
{
    const auto code = static_cast<TMousePressType>(theSender->GetValueInt() & 0xFF);
    if (code != FPressType)
        SetPressType(code);
}

void TNX7_Output::Reset(void* Sender)
{
    (void)Sender;
    MouseRelease();
}

bool TNX7_Output::Acting()
{
    return FEnabled[0] && FEnabled[1] && FEnabled[2] && FEnabled[3];
}

void TNX7_Output::Send(uint32_t flags, int32_t dx, int32_t dy)
{
    if (OnMouseSend)
        OnMouseSend(this, FWinVersion, flags, dx, dy, GetTickCount());
}

void TNX7_Output::MouseMove(float x, float y)
{
    // A position that is not a number has no place on the screen: leave the pointer where it is.
    if (std::isnan(x) || std::isnan(y))
        return;
    x = Range(x, 0.0f, 1.0f);
    y = Range(y, 0.0f, 1.0f);
    Send(mf_AbsoluteMove, ToMickeys(x), ToMickeys(y));
    DistanceAdd(x, y);
}

void TNX7_Output::MousePress()
{
    if (FButtonDown)
        return;
    Send(mf_LeftDown, 0, 0);
    FButtonDown = true;
}

void TNX7_Output::MouseRelease()
{
    if (FButtonDown) {
        Send(mf_LeftUp, 0, 0);
        FButtonDown = false;
    }
    DistanceClear();
    TimerClear();
}

void TNX7_Output::MousePressRight()
{
    Send(mf_RightDown, 0, 0);
    Send(mf_RightUp, 0, 0);
}

void TNX7_Output::DistanceClear()
{
    FAccX = 0.0;
    FAccY = 0.0;
    FRingIndex = 0;
    FRingX.fill(1.0);
    FRingY.fill(1.0);
    FMeasure = 20.0f;
    FBucketStart = GetTickCount();
}

void TNX7_Output::DistanceAdd(float x, float y)
{
    FAccX += static_cast<double>(x) - FLastX;
    FAccY += static_cast<double>(y) - FLastY;
    FLastX = x;
    FLastY = y;
    const uint32_t now = GetTickCount();
    if (now - FBucketStart > kBucketMs) {
        FBucketStart = now;
        FRingX[FRingIndex] = FAccX;
        FRingY[FRingIndex] = FAccY;
        FRingIndex = (FRingIndex + 1) % 4;
        FAccX = 0.0;
        FAccY = 0.0;
        double sx = 0.0, sy = 0.0;
        for (int i = 0; i < 4; ++i) {
            sx += FRingX[i];
            sy += FRingY[i];
        }
        FMeasure = static_cast<float>(std::fabs(sx) + std::fabs(sy));
    }
}

void TNX7_Output::TimerClear() { FTimerStart = GetTickCount(); }

uint32_t TNX7_Output::TimerValue() const { return GetTickCount() - FTimerStart; }

void TNX7_Output::Input(void* Sender, float X, float Y, float M, float MTT, float MPT,
                        int CrudeTouch, int Seconds)
{
    (void)Sender;
    float tt = MTT, pt = MPT;
    if (FButtonDown) {
        tt *= kHysteresis;
        pt *= kHysteresis;
    }
    // Written so that a strength or level that is not a number reads as no touch.
    int level = 0;
    if (M > tt)
        level = M > pt ? 2 : 1;

    if (Acting() && GetStartDelay() <= Seconds) {
        switch (FPressType) {
        case mpt_Move:
            if (level > 0)
                MouseMove(X, Y);
            break;
        case mpt_OnPress:
            if (level > 0)
                MouseMove(X, Y);
            if (level == 2 && FPrevLevel != 2) {
                MousePress();
                MouseRelease();
            }
            break;
        case mpt_OnRelease:
            if (level > 0)
                MouseMove(X, Y);
            if (level != 2 && FPrevLevel == 2) {
                MousePress();
                MouseRelease();
            }
            break;
        case mpt_SelectMoveRelease:
            if (level > 0)
                MouseMove(X, Y);
            if (level == 2)
                MousePress();
            else
                MouseRelease();
            break;
        case mpt_SelectHoldRelease: {
            const bool wasDown = FButtonDown;
            if (level > 0 && !wasDown)
                MouseMove(X, Y);
            if (level == 2) {
                MousePress();
            } else {
                MouseRelease();
                if (wasDown && !FButtonDown)
                    MouseMove(X, Y);
            }
            break;
        }
        case mpt_SelectMoveReleaseRC:
            if (level > 0)
                MouseMove(X, Y);
            if (level == 2) {
                MousePress();
                if (DistanceMeasure() > kStillMeasure)
                    TimerClear();
                if (TimerValue() > kRightClickMs) {
                    MousePressRight();
                    TimerClear();
                }
            } else {
                MouseRelease();
            }
            break;
        default:  // mpt_Disable and unknown codes
            break;
        }
    }

    if (OnOutput)
        OnOutput(this, X, Y, M, MTT, MPT);
    FXVar->SetValueFloatX(X);
    FYVar->SetValueFloatX(Y);
    FCrudeTouchVar->SetValueIntX(CrudeTouch);
    FButtonVar->SetValueInt(level);
    FPrevLevel = level;
}
