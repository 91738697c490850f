// Turns each finished frame into mouse actions by the chosen press mode. The actions go out
// through OnMouseSend with the flags and 0…65535 absolute coordinates of the classic mouse-input
// call; the owner's handler injects them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "share/events.h"
#include "share/sharevarpoly.h"

enum TMousePressType : uint8_t {
    mpt_Disable = 0,
    mpt_Move = 1,
    mpt_OnPress = 2,
    mpt_OnRelease = 3,
    mpt_SelectMoveRelease = 4,
    mpt_SelectHoldRelease = 5,
    mpt_SelectMoveReleaseRC = 6,
};

enum TWinVersionType : int {
    wvt_95 = 0,
    wvt_98 = 1,
};

// Mouse action flags, as the mouse-input call takes them.
enum TMouseFlag : uint32_t {
    mf_Move = 0x0001,
    mf_LeftDown = 0x0002,
    mf_LeftUp = 0x0004,
    mf_RightDown = 0x0008,
    mf_RightUp = 0x0010,
    mf_Absolute = 0x8000,
};
// Absolute move: theDx, theDy run 0…65535 over the screen.
constexpr uint32_t mf_AbsoluteMove = mf_Absolute | mf_Move;

using TMouseSendEvent = std::function<void(void* theSender, TWinVersionType theWinVer,
                                           uint32_t theFlags, int32_t theDx, int32_t theDy,
                                           uint32_t theTime)>;

class TNX7_Output {
public:
    TNX7_Output();
    // Switches the output off, which releases a held button.
    ~TNX7_Output();
    TNX7_Output(const TNX7_Output&) = delete;
    TNX7_Output& operator=(const TNX7_Output&) = delete;

    // X, Y screen fractions; M strength; MTT, MPT touch and press levels; Seconds since start.
    void Input(void* Sender, float X, float Y, float M, float MTT, float MPT, int CrudeTouch,
               int Seconds);
    void Reset(void* Sender);

    void SetEnabled1(bool v);
    void SetEnabled2(bool v);
    void SetEnabled3(bool v);
    void SetEnabled4(bool v);
    bool GetEnabled1() const { return FEnabled[0]; }
    bool GetEnabled2() const { return FEnabled[1]; }
    bool GetEnabled3() const { return FEnabled[2]; }
    bool GetEnabled4() const { return FEnabled[3]; }
    TMousePressType GetPressType() const { return FPressType; }
    // A code outside 0..6 is kept and behaves like mpt_Disable.
    void SetPressType(TMousePressType v);
    int GetStartDelay();
    TWinVersionType GetWinVersion() const { return FWinVersion; }
    // Decided at construction; writing has no effect.
    void SetWinVersion(TWinVersionType) {}
    bool GetButtonDown() const { return FButtonDown; }
    int GetLevel() const { return FPrevLevel; }

    // Mouse actions.
    void MouseMove(float x, float y);
    void MousePress();
    void MouseRelease();
    void MousePressRight();

    // Movement measure and hold timer.
    void DistanceClear();
    void DistanceAdd(float x, float y);
    float DistanceMeasure() const { return FMeasure; }
    void TimerClear();
    uint32_t TimerValue() const;

    static float Range(float value, float p, float q);

    void DoEnabledChange(TShareVarBase* theSender);
    void DoPressTypeChange(TShareVarBase* theSender);

    TShareVarPoly& GetVars() { return FVars; }

    TXYMEvent OnOutput;
    TMouseSendEvent OnMouseSend;

private:
    void Send(uint32_t flags, int32_t dx, int32_t dy);
    void SetEnabled(int i, bool v);
    bool Acting();

    TWinVersionType FWinVersion = wvt_98;
    TMousePressType FPressType = mpt_Disable;
    std::array<bool, 4> FEnabled{false, true, true, true};
    bool FButtonDown = false;
    int FPrevLevel = 0;

    float FLastX = 0.0f, FLastY = 0.0f;
    double FAccX = 0.0, FAccY = 0.0;
    std::array<double, 4> FRingX{1.0, 1.0, 1.0, 1.0};
    std::array<double, 4> FRingY{1.0, 1.0, 1.0, 1.0};
    int FRingIndex = 0;
    uint32_t FBucketStart = 0;
    float FMeasure = 20.0f;
    uint32_t FTimerStart = 0;

    TShareVarPoly FVars;
    TShareVarBase* FEnabledVar = nullptr;
    TShareVarBase* FPressTypeVar = nullptr;
    TShareVarBase* FXVar = nullptr;
    TShareVarBase* FYVar = nullptr;
    TShareVarBase* FButtonVar = nullptr;
    TShareVarBase* FCrudeTouchVar = nullptr;
    TShareVarBase* FStartDelayVar = nullptr;
};
