// Maps the sensor position (fractions A, B) onto the screen (fractions X, Y) through the affine
// map fixed by three targets, and runs the press-driven procedure that measures those targets.
#pragma once

#include <array>

#include "driver/touch/calibreference.h"
#include "driver/touch/matrix3x3.h"
#include "share/events.h"
#include "share/sharevarpoly.h"

class MemIniFile;

// Which sensor axis runs along the screen's vertical, and at which end the top lies.
enum OrientType : int {
    ot_Unknown = 0,
    ot_ATop = 1,
    ot_ABottom = 2,
    ot_BTop = 3,
    ot_BBottom = 4,
};

enum CalibrationStateType : int {
    cst_None = 0,
    cst_Start = 1,       // request only
    cst_TopLeft = 2,
    cst_TopRight = 3,
    cst_BottomLeft = 4,
    cst_Finish = 5,      // request only
    cst_Cancel = 6,      // request only
    cst_Complete = 7,
};

class TNX7_Calibrate {
public:
    static constexpr int RefTopLeft = 0;
    static constexpr int RefTopRight = 1;
    static constexpr int RefBottomLeft = 2;
    static constexpr int RefCentre = 3;

    TNX7_Calibrate();
    ~TNX7_Calibrate();
    TNX7_Calibrate(const TNX7_Calibrate&) = delete;
    TNX7_Calibrate& operator=(const TNX7_Calibrate&) = delete;

    // One frame: A, B sensor fractions, MX, MY strengths, MTT, MPT touch and press levels.
    void Input(void* Sender, float A, float B, float MX, float MY, float MTT, float MPT);
    void Map(float A, float B, float& X, float& Y) const;

    OrientType GetOrient() const;
    bool GetComplete() const { return FState == cst_Complete; }
    bool GetBusy() const { return FState != cst_Complete; }
    CalibrationStateType GetState() const { return FState; }
    void SetState(CalibrationStateType request);

    float GetTargetPos() const { return FTargetPos; }
    void SetTargetPos(float t);
    void SetTargetPosAB(float t);
    void SetTargetPosXY(float t);
    float GetEdgeDivider() const { return FEdgeDivider; }
    void SetEdgeDivider(float d);
    float GetCentreDivider() const { return FCentreDivider; }
    void SetCentreDivider(float d);

    // Section [Calibrate] of the settings file; a null file does nothing (TestIni: 7).
    void Save(MemIniFile* file);
    void Load(MemIniFile* file);
    int TestIni(MemIniFile* file);

    // Corner references 0 top-left, 1 top-right, 2 bottom-left; other indices read 0.
    float GetA(int i) const;
    float GetB(int i) const;
    float GetX(int i) const;
    float GetY(int i) const;
    void SetA(int i, float v);
    void SetB(int i, float v);
    void SetX(int i, float v);
    void SetY(int i, float v);

    // Local start and cancel buttons.
    void DoStart(void* Sender);
    void DoCancel(void* Sender);
    void Reset(void* Sender) { (void)Sender; }

    // Shared-variable handlers.
    void DoStartChange(TShareVarBase* theSender);
    void DoCancelChange(TShareVarBase* theSender);

    // Reference events.
    void DoRefUpdated(void* Sender);
    void DoRefComplete(void* Sender);

    // The mapping and its companions, for inspection.
    const TNX7_Matrix3x3& GetMapping() const { return FMapping; }
    const TNX7_Matrix3x3& GetInverseMapping() const { return FInverse; }
    TNX7_CalibReference& GetReference(int i) { return FRef[i & 3]; }
    // Index of the reference being collected, or -1.
    int GetActiveRef() const { return FActiveRef; }
    TShareVarPoly& GetVars() { return FVars; }

    TXYEvent OnOutput;
    TNotifyEvent OnComplete;
    TNotifyEvent OnUpdate;
    TNotifyEvent OnCancel;

private:
    void DoCalibrate();
    void ResetAll();
    void SetCount(int i, int value);
    void SetBusyVar(bool busy);

    float FTargetPos = 0.2f;
    float FEdgeDivider = 0.4f;
    float FCentreDivider = 0.35f;
    CalibrationStateType FState = cst_None;
    int FActiveRef = -1;
    bool FWaitRelease = false;
    OrientType FOrient = ot_Unknown;
    std::array<TNX7_CalibReference, 4> FRef;
    std::array<int, 4> FCount{-1, -1, -1, -1};

    TNX7_Matrix3x3 FMapping;
    TNX7_Matrix3x3 FInverse;
    TNX7_Matrix3x3 FScreenTri;
    TNX7_Matrix3x3 FSensorTri;
    TNX7_Matrix3x3 FSensorTriInv;
    TNX7_Matrix3x3 FStored;

    TShareVarPoly FVars;
    std::array<TShareVarBase*, 4> FCountVar{};
    TShareVarBase* FStateVar = nullptr;
    TShareVarBase* FTargetPosVar = nullptr;
    TShareVarBase* FStartVar = nullptr;
    TShareVarBase* FCancelVar = nullptr;
    TShareVarBase* FBusyVar = nullptr;
};
