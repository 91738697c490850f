// Finds the strongest and the second-strongest strict local maximum of an axis profile and, for
// each, the finger's position between the wires and its strength.
//
// Position: parabola vertex through the peak and its neighbours (a neighbour ratio on the end
// wires), then a sinusoidal correction of that interpolation's systematic error (de-wiggle).
// Strength: boosted up to 1.4 for a finger halfway between wires, and reduced to 0.7 in the middle
// of the axis. Positions run from −1 (first wire) to +1 (last wire).
#pragma once

#include <array>

#include "share/events.h"
#include "share/sharevarpoly.h"

class TShareVarBase;

class TNX7_ProcDualPeakB {
public:
    TNX7_ProcDualPeakB();
    TNX7_ProcDualPeakB(const TNX7_ProcDualPeakB&) = delete;
    TNX7_ProcDualPeakB& operator=(const TNX7_ProcDualPeakB&) = delete;

    // Finds the peaks and passes the input on unchanged. Results are cleared first, so an empty,
    // short (< 3) or inactive input reports no peaks.
    void Input(void* theSender, int theLength, const float* theData);

    bool GetActive() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    int GetLength() const { return FLength; }
    int GetFirst() const { return FFirst; }
    int GetLast() const { return FLast; }

    int GetPeakPos1() const { return FPeakPos1; }
    int GetPeakPos2() const { return FPeakPos2; }
    float GetPeakValue1() const { return FPeakValue1; }
    float GetPeakAngle1() const { return FPeakAngle1; }
    float GetPeakValue2() const { return FPeakValue2; }
    float GetPeakAngle2() const { return FPeakAngle2; }
    // PeakAngle1 / PeakValue1 while active, else 0.
    float GetAngle() const;
    float GetMag() const;

    float GetDeWiggleOuter() const { return FDeWiggleOuter; }
    float GetDeWiggleInner() const { return FDeWiggleInner; }
    bool GetDeWiggleAdvanced() const { return FDeWiggleAdvanced; }
    // Kept within 0 to 1, stored and announced through the shared variable.
    void SetDeWiggleOuter(float value);
    void SetDeWiggleInner(float value);
    void SetDeWiggleAdvanced(bool value);

    void DoDeWiggleOuterChange(TShareVarBase* theSender);
    void DoDeWiggleInnerChange(TShareVarBase* theSender);
    void DoDeWiggleAdvancedChange(TShareVarBase* theSender);

    // value below lo gives lo, above hi gives hi; not a number gives lo.
    static float Limit(float value, float lo, float hi);

    // Section "DeWiggle": Outer, Inner, Advanced in that order.
    TShareVarPoly& GetShareVars() { return FShareVars; }

    TFloatArrayEvent OnOutput;

private:
    void DoFindPeaks(int n, const float* data);
    // A strict local maximum, or the first of a two-wire flat top.
    static bool IsPeak(int n, const float* data, int index, float previous, float centre,
                       float next);
    static void ReadTriple(int n, const float* data, int index, float& previous, float& centre,
                           float& next);
    bool FitQuadratic(int n, const float* data, int index, float& pos, float& value) const;
    bool NearEdge(int n, float c0, float c1, float& pos, float& value) const;
    bool FarEdge(int n, float c0, float c1, float& pos, float& value) const;
    bool FitQuadraticInner(int n, int index, float previous, float centre, float next, float& pos,
                           float& value) const;
    // De-wiggle, between-wires boost and position of a fit with sub-wire offset t.
    bool FitTail(int n, int index, float t, float centre, float& pos, float& value) const;

    bool FActive = false;
    int FLength = 0;
    int FFirst = 0;
    int FLast = 0;
    int FPeakPos1 = -1;
    int FPeakPos2 = -1;
    float FPeakValue1 = 0.0f;
    float FPeakAngle1 = 0.0f;
    float FPeakValue2 = 0.0f;
    float FPeakAngle2 = 0.0f;
    float FDeWiggleOuter = 0.5f;
    float FDeWiggleInner = 0.5f;
    bool FDeWiggleAdvanced = false;
    float FWiggle = -0.1f;   // DeWiggleInner × (−0.2), refreshed per input

    std::array<float, 257> FSine{};        // sin(2π·h/256): one period over a wire spacing
    std::array<float, 257> FBetween{};     // 1 − sin(π·h/256): 1 on a wire, 0 halfway
    std::array<float, 1025> FAlong{};      // sin(π·k/1024): 0 at the ends, 1 mid-axis

    TShareVarPoly FShareVars;
    TShareVarBase* FOuterVar = nullptr;
    TShareVarBase* FInnerVar = nullptr;
    TShareVarBase* FAdvancedVar = nullptr;
};
