#include "driver/touch/calibreference.h"

#include <cmath>

#include "share/meminifile.h"
#include "share/sharevarbase.h"

TNX7_CalibReference::TNX7_CalibReference() = default;

float TNX7_CalibReference::Range(float v, float p, float q)
{
    const float lo = p < q ? p : q;
    const float hi = p < q ? q : p;
    if (!(v >= lo))  // also catches a value that is not a number
        v = lo;
    if (v > hi)
        v = hi;
    return v;
}

void TNX7_CalibReference::Reset(void* Sender)
{
    (void)Sender;
    FCounter.fill(0);
    FSamples.fill(0);
    FSumA.fill(0.0f);
    FSumB.fill(0.0f);
    FActive.fill(true);
    FBest = -1;
    FSlow = 0;
    if (OnUpdated)
        OnUpdated(this);
}

int TNX7_CalibReference::WhichQuad(float a, float b) const
{
    const float d = FEdgeDivider;
    const float e = 1.0f - d;
    if (FQuadMode) {
        int col = -1, row = -1;
        if (a < d)
            col = 0;
        else if (a > e)
            col = 1;
        if (b < d)
            row = 0;
        else if (b > e)
            row = 2;
        // A position in the middle band of either axis belongs to no corner.
        if (col < 0 || row < 0)
            return -1;
        return col + row;
    }
    return (a >= d && a <= e && b >= d && b <= e) ? 0 : -1;
}

void TNX7_CalibReference::FindMaxQuad()
{
    FBest = -1;
    int best = 0;
    for (int q = 0; q < 4; ++q) {
        if (FActive[q] && FCounter[q] > best) {
            best = FCounter[q];
            FBest = q;
        }
    }
}

void TNX7_CalibReference::DoCounted()
{
    FindMaxQuad();
    if (OnUpdated)
        OnUpdated(this);
    if (GetCounter() > FStopAt && OnComplete)
        OnComplete(this);
}

void TNX7_CalibReference::Input(void* Sender, float a, float b)
{
    (void)Sender;
    const int q = WhichQuad(a, b);
    if (q < 0 || !FActive[q])
        return;
    FCounter[q] += 1;
    // The first frames of a press are still settling; leave them out of the average.
    if (FCounter[q] > FStartAt) {
        FSumA[q] += a;
        FSumB[q] += b;
        FSamples[q] += 1;
    }
    DoCounted();
}

void TNX7_CalibReference::SlowInc(void* Sender)
{
    (void)Sender;
    FSlow += 1;
    if (FSlow < 6)
        return;
    FSlow = 0;
    FCounter[0] += 1;
    DoCounted();
}

float TNX7_CalibReference::GetA() const
{
    if (FBest >= 0 && FSamples[FBest] > 0)
        return FSumA[FBest] / static_cast<float>(FSamples[FBest]);
    return FStoredA;
}

float TNX7_CalibReference::GetB() const
{
    if (FBest >= 0 && FSamples[FBest] > 0)
        return FSumB[FBest] / static_cast<float>(FSamples[FBest]);
    return FStoredB;
}

void TNX7_CalibReference::SetAB(float a, float b)
{
    FStoredA = a;
    FStoredB = b;
    FBest = -1;
}

void TNX7_CalibReference::SetA(float v) { SetAB(v, FStoredB); }
void TNX7_CalibReference::SetB(float v) { SetAB(FStoredA, v); }

void TNX7_CalibReference::SetXY(float x, float y)
{
    FX = x;
    FY = y;
}

int TNX7_CalibReference::GetCounter() const { return FBest >= 0 ? FCounter[FBest] : 0; }
int TNX7_CalibReference::GetSamples() const { return FBest >= 0 ? FSamples[FBest] : 0; }

void TNX7_CalibReference::SetEdgeDivider(float d) { FEdgeDivider = Range(d, 0.3f, 0.5f); }

bool TNX7_CalibReference::GetActive(int q) const
{
    return q >= 0 && q < 4 ? FActive[q] : false;
}

void TNX7_CalibReference::SetActive(int q, bool v)
{
    if (q >= 0 && q < 4)
        FActive[q] = v;
}

namespace {
double Rounded(float v) { return TShareVarBase::Granulate(static_cast<double>(v), 0.000001); }

// A key that is missing or not a finite number keeps the current value.
float ReadKept(MemIniFile& file, const std::string& section, const std::string& key, float cur)
{
    const double v = file.ReadFloat(section, key, static_cast<double>(cur));
    if (!std::isfinite(v))
        return cur;
    return static_cast<float>(TShareVarBase::Granulate(v, 0.000001));
}
}  // namespace

int DiffersInFile(MemIniFile& file, const std::string& section, const std::string& key,
                  double current)
{
    // A missing key reads as current + 1 and so counts; an unreadable one counts too.
    const double v = file.ReadFloat(section, key, current + 1.0);
    return std::fabs(v - current) <= 0.001 ? 0 : 1;
}

void TNX7_CalibReference::Save(MemIniFile* file, const std::string& section,
                               const std::string& prefix)
{
    if (!file)
        return;
    file->WriteFloat(section, prefix + "_X", Rounded(GetX()));
    file->WriteFloat(section, prefix + "_Y", Rounded(GetY()));
    file->WriteFloat(section, prefix + "_A", Rounded(GetA()));
    file->WriteFloat(section, prefix + "_B", Rounded(GetB()));
}

void TNX7_CalibReference::Load(MemIniFile* file, const std::string& section,
                               const std::string& prefix)
{
    if (!file)
        return;
    // Read all four before setting any, so a missing _B keeps the averaged B rather than the
    // stored one that SetA would expose.
    const float x = ReadKept(*file, section, prefix + "_X", GetX());
    const float y = ReadKept(*file, section, prefix + "_Y", GetY());
    const float a = ReadKept(*file, section, prefix + "_A", GetA());
    const float b = ReadKept(*file, section, prefix + "_B", GetB());
    SetX(x);
    SetY(y);
    SetAB(a, b);
}

int TNX7_CalibReference::TestIni(MemIniFile* file, const std::string& section,
                                 const std::string& prefix)
{
    if (!file)
        return 2;
    const double a = GetA(), b = GetB();
    return DiffersInFile(*file, section, prefix + "_A", a) +
           DiffersInFile(*file, section, prefix + "_B", b);
}
