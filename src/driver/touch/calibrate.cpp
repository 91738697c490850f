#include "driver/touch/calibrate.h"

#include <cmath>

#include "share/meminifile.h"
#include "share/sharevarbase.h"

namespace {
const char* const kSection = "Calibrate";
const char* const kPrefix[3] = {"Ref_TL", "Ref_TR", "Ref_BL"};

double Rounded(float v) { return TShareVarBase::Granulate(static_cast<double>(v), 0.000001); }
}  // namespace

TNX7_Calibrate::TNX7_Calibrate()
{
    for (auto& ref : FRef) {
        ref.OnUpdated = [this](void* s) { DoRefUpdated(s); };
        ref.OnComplete = [this](void* s) { DoRefComplete(s); };
    }

    for (int i = 0; i < 4; ++i)
        FCountVar[i] = FVars.AddItem("Calib", "Count" + std::to_string(i), "Int", 1, nullptr,
                                     nullptr, false);
    FStateVar = FVars.AddItem("Calib", "State", "Int", 1, nullptr, nullptr, false);
    FTargetPosVar = FVars.AddItem("Calib", "TargetPos", "Float", 1, nullptr, nullptr, false);
    FStartVar = FVars.AddItem("Calib", "Start", "Bool", 1,
                              [this](TShareVarBase* v) { DoStartChange(v); }, nullptr, false);
    FCancelVar = FVars.AddItem("Calib", "Cancel", "Bool", 1,
                               [this](TShareVarBase* v) { DoCancelChange(v); }, nullptr, false);
    FBusyVar = FVars.AddItem("Calib", "Busy", "Bool", 1, nullptr, nullptr, false);

    for (auto* v : FCountVar)
        v->SetValueInt(-1);
    FTargetPosVar->SetValueFloat(0.2f);
    FBusyVar->SetValueBoolX(false);
    SetTargetPos(0.2f);
    SetEdgeDivider(0.4f);
    SetCentreDivider(0.35f);
    SetState(cst_None);
}

TNX7_Calibrate::~TNX7_Calibrate()
{
    for (auto& ref : FRef) {
        ref.OnUpdated = nullptr;
        ref.OnComplete = nullptr;
    }
}

void TNX7_Calibrate::Input(void* Sender, float A, float B, float MX, float MY, float MTT, float MPT)
{
    (void)Sender;
    if (FActiveRef >= 0) {
        const bool pressed = MX > MPT && MY > MPT;
        if (pressed) {
            // The press that started the procedure must lift before the first target counts.
            if (!FWaitRelease) {
                FRef[FActiveRef].Input(this, A, B);
                // The frame may have finished the procedure; the cancel target only counts
                // while one is still running.
                if (FActiveRef >= 0)
                    FRef[RefCentre].Input(this, A, B);
            }
        } else {
            FRef[RefCentre].SlowInc(this);
            FWaitRelease = false;
        }
    }
    float X, Y;
    Map(A, B, X, Y);
    if (OnOutput)
        OnOutput(this, X, Y, MX, MY, MTT, MPT);
}

void TNX7_Calibrate::Map(float A, float B, float& X, float& Y) const
{
    float z;
    FMapping.Transform(A, B, 1.0f, X, Y, z);
}

OrientType TNX7_Calibrate::GetOrient() const
{
    return FState == cst_Complete ? FOrient : ot_Unknown;
}

void TNX7_Calibrate::ResetAll()
{
    for (auto& ref : FRef)
        ref.Reset(this);
}

void TNX7_Calibrate::SetBusyVar(bool busy)
{
    FBusyVar->SetValueBool(busy);
}

void TNX7_Calibrate::SetState(CalibrationStateType request)
{
    switch (request) {
    case cst_Start:
        SetBusyVar(true);
        FStored.Assign(&FMapping);
        FState = cst_TopLeft;
        FActiveRef = RefTopLeft;
        ResetAll();
        FWaitRelease = true;
        break;
    case cst_TopLeft:
    case cst_TopRight:
    case cst_BottomLeft:
        FState = request;
        FActiveRef = request - cst_TopLeft;
        FRef[RefCentre].Reset(this);
        break;
    case cst_Finish:
        FState = cst_Complete;
        FActiveRef = -1;
        DoCalibrate();
        FStored.Assign(&FMapping);
        SetBusyVar(false);
        if (OnComplete)
            OnComplete(this);
        break;
    case cst_Cancel:
        FState = cst_Complete;
        FActiveRef = -1;
        FMapping.Assign(&FStored);
        if (OnCancel)
            OnCancel(this);
        SetBusyVar(false);
        if (OnComplete)
            OnComplete(this);
        break;
    case cst_Complete:
        FState = cst_Complete;
        FActiveRef = -1;
        break;
    default:
        FState = cst_None;
        FActiveRef = -1;
        ResetAll();
        break;
    }
    DoRefUpdated(this);
    if (OnUpdate)
        OnUpdate(this);
    FStateVar->SetValueInt(static_cast<int>(FState));
}

void TNX7_Calibrate::DoStart(void* Sender) { (void)Sender; SetState(cst_Start); }
void TNX7_Calibrate::DoCancel(void* Sender) { (void)Sender; SetState(cst_Cancel); }
void TNX7_Calibrate::DoStartChange(TShareVarBase*) { SetState(cst_Start); }
void TNX7_Calibrate::DoCancelChange(TShareVarBase*) { SetState(cst_Cancel); }

void TNX7_Calibrate::SetCount(int i, int value)
{
    if (FCount[i] == value)
        return;
    FCount[i] = value;
    FCountVar[i]->SetValueInt(value);
}

void TNX7_Calibrate::DoRefUpdated(void* Sender)
{
    (void)Sender;
    int active = -1;
    switch (FState) {
    case cst_TopLeft: active = RefTopLeft; break;
    case cst_TopRight: active = RefTopRight; break;
    case cst_BottomLeft: active = RefBottomLeft; break;
    default: break;
    }
    for (int i = 0; i < 3; ++i)
        SetCount(i, i == active ? FRef[i].GetCounter() : -1);
    SetCount(RefCentre, active >= 0 ? FRef[RefCentre].GetCounter() : -1);
    if (active >= 0 && OnUpdate)
        OnUpdate(this);
}

void TNX7_Calibrate::DoRefComplete(void* Sender)
{
    if (Sender == &FRef[RefCentre]) {
        SetState(cst_Cancel);
        return;
    }
    // Each finished corner blocks its sensor quadrant for the corners still to come, so the
    // finger resting on the last target cannot complete the next one.
    switch (FState) {
    case cst_TopLeft: {
        const int q = FRef[RefTopLeft].GetBestQuad();
        FRef[RefTopRight].SetActive(q, false);
        FRef[RefBottomLeft].SetActive(q, false);
        SetState(cst_TopRight);
        break;
    }
    case cst_TopRight:
        FRef[RefBottomLeft].SetActive(FRef[RefTopRight].GetBestQuad(), false);
        SetState(cst_BottomLeft);
        break;
    case cst_BottomLeft:
        SetState(cst_Finish);
        break;
    default:
        break;
    }
}

void TNX7_Calibrate::DoCalibrate()
{
    const auto& TL = FRef[RefTopLeft];
    const auto& TR = FRef[RefTopRight];
    const auto& BL = FRef[RefBottomLeft];
    FMapping.Identity();
    FScreenTri.Set(TR.GetX() - TL.GetX(), BL.GetX() - TL.GetX(), TL.GetX(),
                   TR.GetY() - TL.GetY(), BL.GetY() - TL.GetY(), TL.GetY(), 0.0f, 0.0f, 1.0f);
    FSensorTri.Set(TR.GetA() - TL.GetA(), BL.GetA() - TL.GetA(), TL.GetA(),
                   TR.GetB() - TL.GetB(), BL.GetB() - TL.GetB(), TL.GetB(), 0.0f, 0.0f, 1.0f);
    FSensorTriInv.Invert(FSensorTri);
    FMapping.Multiply(FScreenTri, FSensorTriInv);
    FInverse.Invert(FMapping);

    // Sensor points of the screen's top-left and bottom-left corners: the axis along which they
    // differ most is the screen's vertical, and the end nearer the top says which way up.
    float pA, pB, qA, qB, z;
    FInverse.Transform(0.0f, 0.0f, 1.0f, pA, pB, z);
    FInverse.Transform(0.0f, 1.0f, 1.0f, qA, qB, z);
    const float dA = std::fabs(pA - qA);
    const float dB = std::fabs(pB - qB);
    if (dA > dB)
        FOrient = pA > qA ? ot_ATop : ot_ABottom;
    else
        FOrient = pB > qB ? ot_BTop : ot_BBottom;
}

void TNX7_Calibrate::SetTargetPos(float t)
{
    SetTargetPosAB(t);
    SetTargetPosXY(t);
}

void TNX7_Calibrate::SetTargetPosAB(float t)
{
    t = TNX7_CalibReference::Range(t, 0.05f, 0.4f);
    FRef[RefTopLeft].SetAB(t, t);
    FRef[RefTopRight].SetAB(1.0f - t, t);
    FRef[RefBottomLeft].SetAB(t, 1.0f - t);
    FRef[RefCentre].SetAB(0.5f, 0.5f);
}

void TNX7_Calibrate::SetTargetPosXY(float t)
{
    t = TNX7_CalibReference::Range(t, 0.05f, 0.4f);
    FRef[RefTopLeft].SetXY(t, t);
    FRef[RefTopRight].SetXY(1.0f - t, t);
    FRef[RefBottomLeft].SetXY(t, 1.0f - t);
    FRef[RefCentre].SetXY(0.5f, 0.5f);
    FTargetPos = t;
    FTargetPosVar->SetValueFloat(t);
}

void TNX7_Calibrate::SetEdgeDivider(float d)
{
    for (int i = 0; i < 3; ++i) {
        FRef[i].SetQuadMode(true);
        FRef[i].SetEdgeDivider(d);
    }
    FEdgeDivider = FRef[RefTopLeft].GetEdgeDivider();
}

void TNX7_Calibrate::SetCentreDivider(float d)
{
    FRef[RefCentre].SetQuadMode(false);
    FRef[RefCentre].SetEdgeDivider(d);
    FCentreDivider = FRef[RefCentre].GetEdgeDivider();
}

void TNX7_Calibrate::Save(MemIniFile* file)
{
    if (FActiveRef >= 0)
        SetState(cst_Cancel);
    if (!file)
        return;
    file->WriteFloat(kSection, "TargetPos", Rounded(FTargetPos));
    for (int i = 0; i < 3; ++i)
        FRef[i].Save(file, kSection, kPrefix[i]);
}

void TNX7_Calibrate::Load(MemIniFile* file)
{
    if (FActiveRef >= 0)
        SetState(cst_Cancel);
    if (!file)
        return;
    float t = FTargetPos;
    const double v = file->ReadFloat(kSection, "TargetPos", static_cast<double>(FTargetPos));
    if (std::isfinite(v))
        t = static_cast<float>(TShareVarBase::Granulate(v, 0.000001));
    for (int i = 0; i < 3; ++i)
        FRef[i].Load(file, kSection, kPrefix[i]);
    SetTargetPosXY(t);
    DoCalibrate();
    if (!FMapping.IsFinite() || !FInverse.IsFinite()) {
        // Points that give no usable map: fall back to the identity and stay uncalibrated.
        FMapping.Identity();
        FInverse.Identity();
        FOrient = ot_Unknown;
        ResetAll();
        return;
    }
    // A cancel from here on returns to the loaded map, not to whatever came before it.
    FStored.Assign(&FMapping);
    SetState(cst_Complete);
}

int TNX7_Calibrate::TestIni(MemIniFile* file)
{
    if (!file)
        return 7;
    int n = DiffersInFile(*file, kSection, "TargetPos", static_cast<double>(FTargetPos));
    for (int i = 0; i < 3; ++i)
        n += FRef[i].TestIni(file, kSection, kPrefix[i]);
    return n;
}

float TNX7_Calibrate::GetA(int i) const { return i >= 0 && i < 3 ? FRef[i].GetA() : 0.0f; }
float TNX7_Calibrate::GetB(int i) const { return i >= 0 && i < 3 ? FRef[i].GetB() : 0.0f; }
float TNX7_Calibrate::GetX(int i) const { return i >= 0 && i < 3 ? FRef[i].GetX() : 0.0f; }
float TNX7_Calibrate::GetY(int i) const { return i >= 0 && i < 3 ? FRef[i].GetY() : 0.0f; }

void TNX7_Calibrate::SetA(int i, float v) { if (i >= 0 && i < 3) FRef[i].SetA(v); }
void TNX7_Calibrate::SetB(int i, float v) { if (i >= 0 && i < 3) FRef[i].SetB(v); }
void TNX7_Calibrate::SetX(int i, float v) { if (i >= 0 && i < 3) FRef[i].SetX(v); }
void TNX7_Calibrate::SetY(int i, float v) { if (i >= 0 && i < 3) FRef[i].SetY(v); }
