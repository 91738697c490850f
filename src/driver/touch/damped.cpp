#include "driver/touch/damped.h"

#include <cmath>

#include "share/sharevarbase.h"

TNX7_Damped::TNX7_Damped()
{
    FSnapRadiusVar = FVars.AddItem("Damped", "SnapRadius", "Float", 1,
                                   [this](TShareVarBase* v) { DoSnapRadiusChange(v); }, nullptr,
                                   true);
    FSnapRadiusVar->SetValueFloatX(FSnapRadius);
}

TNX7_Damped::~TNX7_Damped() = default;

float TNX7_Damped::Range(float value, float p, float q)
{
    const float lo = p < q ? p : q;
    const float hi = p < q ? q : p;
    if (!(value >= lo))
        value = lo;
    if (value > hi)
        value = hi;
    return value;
}

void TNX7_Damped::SetMaxLength(int v)
{
    FMaxLength = v < 4 ? 4 : (v > HistorySize - 1 ? HistorySize - 1 : v);
}

void TNX7_Damped::SetSnapRadius(float v)
{
    FSnapRadius = Range(v, 0.001f, 0.5f);
    FSnapRadiusVar->SetValueFloat(FSnapRadius);
}

void TNX7_Damped::DoSnapRadiusChange(TShareVarBase* theSender)
{
    const float v = theSender->GetValueFloat();
    if (std::fabs(v - FSnapRadius) >= 0.001f)
        SetSnapRadius(v);
}

float TNX7_Damped::Distance(int i, int j) const
{
    const float dx = FHistory[i].rawX - FHistory[j].rawX;
    const float dy = FHistory[i].rawY - FHistory[j].rawY;
    return std::sqrt(dx * dx + dy * dy);
}

bool TNX7_Damped::InRange(int i, int j, int& count) const
{
    count = 0;
    if (j == 2) {
        for (int k = 2; k <= FMaxLength - 1; ++k) {
            if (!(Distance(i, k) < FSnapRadius))
                break;
            ++count;
        }
    } else {
        count = Distance(i, j) < FSnapRadius ? 1 : 0;
    }
    return count > 0;
}

void TNX7_Damped::AveWeight(bool withNewest, bool withReported, int count)
{
    Entry& reported = FHistory[1];
    reported.kept = withReported;
    float sx = 0.0f, sy = 0.0f;
    int n = 0;
    if (withNewest) {
        sx += FHistory[0].rawX;
        sy += FHistory[0].rawY;
        ++n;
    }
    if (withReported) {
        sx += reported.rawX;
        sy += reported.rawY;
        ++n;
    }
    for (int k = 2; k < 2 + count && k < FMaxLength; ++k) {
        sx += FHistory[k].rawX;
        sy += FHistory[k].rawY;
        ++n;
    }
    if (n > 0) {
        reported.outX = sx / static_cast<float>(n);
        reported.outY = sy / static_cast<float>(n);
    }
}

void TNX7_Damped::Input(float X, float Y, float MX, float MY, float MTT, float MPT)
{
    const float strong = 1.2f * MTT;
    const bool pressed = MX > MPT && MY > MPT;
    const bool touched = (MX > MTT && MY > MTT) || pressed;
    if (!FActive) {
        if (OnOutput)
            OnOutput(this, X, Y, MX, MY, MTT, MPT);
        return;
    }

    // Only strong touches that were reported at their own position join the older history;
    // anything else drops out when the next frame arrives.
    const Entry& last = FHistory[1];
    if (last.touched && last.kept && last.mx > strong && last.my > strong) {
        for (int i = FMaxLength - 1; i >= 1; --i)
            FHistory[i + 1] = FHistory[i];
    }
    FHistory[1] = FHistory[0];
    FHistory[0] = Entry{X, Y, MX, MY, X, Y, touched, touched};

    int r1 = 0;
    if (!FHistory[1].touched) {
        InRange(1, 2, r1);
        AveWeight(false, false, r1);
    } else if (!FHistory[0].touched) {
        if (InRange(1, 2, r1))
            AveWeight(false, true, r1);
        else
            AveWeight(false, false, 0);
    } else {
        int c = 0, r0 = 0;
        const bool close = InRange(0, 1, c);
        InRange(1, 2, r1);
        // The newest frame's own run only matters when the reported one has none.
        if (close)
            AveWeight(true, true, r1);
        else if (r1 > 0)
            AveWeight(false, true, r1);
        else if (InRange(0, 2, r0))
            AveWeight(true, false, r0);
        else
            AveWeight(false, false, 0);
    }

    const Entry& rep = FHistory[1];
    if (OnOutput)
        OnOutput(this, rep.outX, rep.outY, rep.mx, rep.my, MTT, MPT);
}

void TNX7_Damped::FitLine(const float* values, int n, float& intercept, float& slope)
{
    intercept = 0.0f;
    slope = 0.0f;
    if (!values || n <= 0)
        return;
    if (n == 1) {
        intercept = values[0];
        return;
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        sx += i;
        sy += values[i];
        sxx += static_cast<double>(i) * i;
        sxy += static_cast<double>(i) * values[i];
    }
    const double d = n * sxx - sx * sx;
    const double b = (n * sxy - sx * sy) / d;
    slope = static_cast<float>(b);
    intercept = static_cast<float>((sy - b * sx) / n);
}

void TNX7_Damped::WeightedAverage(const float* values, const float* weights, int n, float& mean,
                                  float& meanWeight)
{
    mean = 0.0f;
    meanWeight = 0.0f;
    if (!values || !weights || n <= 0)
        return;
    double sw = 0, svw = 0;
    for (int i = 0; i < n; ++i) {
        sw += weights[i];
        svw += static_cast<double>(values[i]) * weights[i];
    }
    if (n < 2 || std::fabs(sw) < 0.01) {
        mean = values[0];
        meanWeight = weights[0];
        return;
    }
    mean = static_cast<float>(svw / sw);
    meanWeight = static_cast<float>(sw / n);
}
