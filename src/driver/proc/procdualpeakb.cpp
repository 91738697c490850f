#include "driver/proc/procdualpeakb.h"

#include <cmath>
#include <numbers>

#include "share/sharevarbase.h"

namespace {

constexpr float kBetweenBoost = 0.4f;   // strength gain for a finger halfway between wires
constexpr float kAlongFactor = -0.3f;   // strength loss in the middle of the axis
constexpr float kWiggleScale = -0.2f;
constexpr float kNoPeak = -1000.0f;
constexpr float kEdgeMin = 0.0001f;

}  // namespace

TNX7_ProcDualPeakB::TNX7_ProcDualPeakB()
{
    const double pi = std::numbers::pi;
    for (int h = 0; h <= 256; ++h) {
        FSine[h] = static_cast<float>(std::sin(2.0 * pi * h / 256.0));
        FBetween[h] = static_cast<float>(1.0 - std::sin(pi * h / 256.0));
    }
    for (int k = 0; k <= 1024; ++k) FAlong[k] = static_cast<float>(std::sin(pi * k / 1024.0));

    FOuterVar = FShareVars.AddItem("DeWiggle", "Outer", "Float", 1,
                                   [this](TShareVarBase* v) { DoDeWiggleOuterChange(v); }, nullptr,
                                   true);
    FInnerVar = FShareVars.AddItem("DeWiggle", "Inner", "Float", 1,
                                   [this](TShareVarBase* v) { DoDeWiggleInnerChange(v); }, nullptr,
                                   true);
    FAdvancedVar = FShareVars.AddItem("DeWiggle", "Advanced", "Bool", 1,
                                      [this](TShareVarBase* v) { DoDeWiggleAdvancedChange(v); },
                                      nullptr, true);
    if (FOuterVar) FOuterVar->SetValueFloatX(FDeWiggleOuter);
    if (FInnerVar) FInnerVar->SetValueFloatX(FDeWiggleInner);
    if (FAdvancedVar) FAdvancedVar->SetValueBoolX(FDeWiggleAdvanced);
}

float TNX7_ProcDualPeakB::Limit(float value, float lo, float hi)
{
    if (!(value >= lo)) value = lo;   // also catches not-a-number
    if (value > hi) value = hi;
    return value;
}

float TNX7_ProcDualPeakB::GetAngle() const
{
    return FActive ? FPeakAngle1 : 0.0f;
}

float TNX7_ProcDualPeakB::GetMag() const
{
    return FActive ? FPeakValue1 : 0.0f;
}

void TNX7_ProcDualPeakB::SetDeWiggleOuter(float value)
{
    FDeWiggleOuter = Limit(value, 0.0f, 1.0f);
    if (FOuterVar) FOuterVar->SetValueFloat(FDeWiggleOuter);
}

void TNX7_ProcDualPeakB::SetDeWiggleInner(float value)
{
    FDeWiggleInner = Limit(value, 0.0f, 1.0f);
    if (FInnerVar) FInnerVar->SetValueFloat(FDeWiggleInner);
}

void TNX7_ProcDualPeakB::SetDeWiggleAdvanced(bool value)
{
    FDeWiggleAdvanced = value;
    if (FAdvancedVar) FAdvancedVar->SetValueBool(FDeWiggleAdvanced);
}

void TNX7_ProcDualPeakB::DoDeWiggleOuterChange(TShareVarBase* theSender)
{
    if (theSender) FDeWiggleOuter = Limit(theSender->GetValueFloat(), 0.0f, 1.0f);
}

void TNX7_ProcDualPeakB::DoDeWiggleInnerChange(TShareVarBase* theSender)
{
    if (theSender) FDeWiggleInner = Limit(theSender->GetValueFloat(), 0.0f, 1.0f);
}

void TNX7_ProcDualPeakB::DoDeWiggleAdvancedChange(TShareVarBase* theSender)
{
    if (theSender) FDeWiggleAdvanced = theSender->GetValueBool();
}

void TNX7_ProcDualPeakB::Input(void* /*theSender*/, int theLength, const float* theData)
{
    FPeakPos1 = -1;
    FPeakPos2 = -1;
    FPeakValue1 = 0.0f;
    FPeakAngle1 = 0.0f;
    FPeakValue2 = 0.0f;
    FPeakAngle2 = 0.0f;
    FWiggle = FDeWiggleInner * kWiggleScale;

    const int n = theLength;
    if (n < 3 || theData == nullptr || !FActive) {
        if (OnOutput) OnOutput(this, theLength, theData);
        return;
    }
    FLength = n;
    FFirst = 0;
    FLast = n - 1;
    DoFindPeaks(n, theData);
    if (OnOutput) OnOutput(this, n, theData);
}

void TNX7_ProcDualPeakB::ReadTriple(int n, const float* data, int index, float& previous,
                                    float& centre, float& next)
{
    // A missing neighbour at an end mirrors the inner one.
    centre = data[index];
    previous = index == 0 ? data[1] : data[index - 1];
    next = index == n - 1 ? data[n - 2] : data[index + 1];
}

bool TNX7_ProcDualPeakB::IsPeak(int n, const float* data, int index, float previous, float centre,
                                float next)
{
    if (centre > previous && centre > next) return true;
    // A finger exactly halfway between two wires gives two equal tops. Taking the first of the
    // pair keeps the finger (the fit puts it halfway) instead of losing it for a frame, which would
    // drop and re-press the button in the middle of a drag.
    return centre > previous && centre == next && index + 2 < n && data[index + 2] < next;
}

void TNX7_ProcDualPeakB::DoFindPeaks(int n, const float* data)
{
    float previous, centre, next;

    int p1 = -1;
    float best = kNoPeak;
    for (int i = 0; i < n; ++i) {
        ReadTriple(n, data, i, previous, centre, next);
        if (IsPeak(n, data, i, previous, centre, next) && centre > best) {
            best = centre;
            p1 = i;
        }
    }
    if (p1 < 0) return;

    int p2 = -1;
    best = kNoPeak;
    for (int i = 0; i < n; ++i) {
        if (i == p1) continue;
        ReadTriple(n, data, i, previous, centre, next);
        if (IsPeak(n, data, i, previous, centre, next) && centre > best) {
            best = centre;
            p2 = i;
        }
    }

    float pos1 = 0.5f, value1 = 0.0f, pos2 = 0.5f, value2 = 0.0f;
    const bool r1 = FitQuadratic(n, data, p1, pos1, value1);
    const bool r2 = p2 >= 0 && FitQuadratic(n, data, p2, pos2, value2);

    if (r1) {
        FPeakPos1 = p1;
        FPeakAngle1 = pos1 * 2.0f - 1.0f;
        FPeakValue1 = value1;
    }
    if (r2) {
        FPeakPos2 = p2;
        FPeakAngle2 = pos2 * 2.0f - 1.0f;
        FPeakValue2 = value2;
    }
}

bool TNX7_ProcDualPeakB::FitQuadratic(int n, const float* data, int index, float& pos,
                                      float& value) const
{
    pos = 0.5f;
    value = 0.0f;
    bool ok;
    if (index <= 0) {
        ok = NearEdge(n, data[0], data[1], pos, value);
    } else if (index >= n - 1) {
        ok = FarEdge(n, data[n - 1], data[n - 2], pos, value);
    } else {
        float previous, centre, next;
        ReadTriple(n, data, index, previous, centre, next);
        ok = FitQuadraticInner(n, index, previous, centre, next, pos, value);
    }
    pos = Limit(pos, 0.0f, 1.0f);

    // Neighbouring wires share a finger mid-axis more than at the ends.
    int k = static_cast<int>(pos * 1024.0f);
    if (k < 0) k = 0;
    if (k > 1024) k = 1024;
    value = value * (1.0f + kAlongFactor * FAlong[k]);
    return ok;
}

bool TNX7_ProcDualPeakB::FitTail(int n, int index, float t, float centre, float& pos,
                                 float& value) const
{
    const float hf = (t + 0.5f) * 256.0f;
    // Clamp before converting so a non-finite offset cannot reach the int conversion.
    const int h = hf >= 0.0f ? (hf <= 256.0f ? static_cast<int>(hf) : 256) : 0;
    // The parabola pulls positions towards the nearest wire; push them back out.
    t = t + FSine[h] * FWiggle;
    value = centre * (1.0f + kBetweenBoost * FBetween[h]);
    pos = Limit((static_cast<float>(index) + t) / static_cast<float>(n - 1), 0.0f, 1.0f);
    return true;
}

bool TNX7_ProcDualPeakB::FitQuadraticInner(int n, int index, float previous, float centre,
                                           float next, float& pos, float& value) const
{
    float a = (next + previous) * 0.5f - centre;
    const float b = (next - previous) * 0.5f;
    if (std::fabs(a) < 0.0001f) a = a > 0.0f ? 0.0001f : -0.0001f;
    float t = -b / (2.0f * a);
    if (t < -0.5f) t = -0.5f;
    if (t > 0.5f) t = 0.5f;
    return FitTail(n, index, t, centre, pos, value);
}

bool TNX7_ProcDualPeakB::NearEdge(int n, float c0, float c1, float& pos, float& value) const
{
    if (!(c0 > kEdgeMin)) return false;
    float t = (c1 / c0) * 0.5f;
    if (t < 0.0f) t = 0.0f;
    if (t > 0.5f) t = 0.5f;
    return FitTail(n, 0, t, c0, pos, value);
}

bool TNX7_ProcDualPeakB::FarEdge(int n, float c0, float c1, float& pos, float& value) const
{
    if (!(c0 > kEdgeMin)) return false;
    float t = (c1 / c0) * -0.5f;
    if (t < -0.5f) t = -0.5f;
    if (t > 0.0f) t = 0.0f;
    return FitTail(n, n - 1, t, c0, pos, value);
}
