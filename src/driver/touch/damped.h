// Snapping filter: while the finger stays within SnapRadius of recent strong touches the
// reported position is their mean, so a resting finger holds the pointer still; a moving finger
// is followed at once. Each frame is reported one frame late, once the next frame shows whether
// the finger stayed.
#pragma once

#include <array>

#include "share/events.h"
#include "share/sharevarpoly.h"

class TNX7_Damped {
public:
    static constexpr int HistorySize = 129;

    TNX7_Damped();
    ~TNX7_Damped();
    TNX7_Damped(const TNX7_Damped&) = delete;
    TNX7_Damped& operator=(const TNX7_Damped&) = delete;

    void Input(float X, float Y, float MX, float MY, float MTT, float MPT);

    // Run of entry i (j = 2: entries 2, 3, … near i up to the first that is not) or whether
    // entries i and j are near (j ≠ 2). Returns count > 0.
    bool InRange(int i, int j, int& count) const;
    float Distance(int i, int j) const;
    void AveWeight(bool withNewest, bool withReported, int count);

    static float Range(float value, float p, float q);
    static void FitLine(const float* values, int n, float& intercept, float& slope);
    static void WeightedAverage(const float* values, const float* weights, int n, float& mean,
                                float& meanWeight);

    bool GetActive() const { return FActive; }
    void SetActive(bool v) { FActive = v; }
    int GetMaxLength() const { return FMaxLength; }
    void SetMaxLength(int v);
    float GetSnapRadius() const { return FSnapRadius; }
    void SetSnapRadius(float v);

    void DoSnapRadiusChange(TShareVarBase* theSender);

    TShareVarPoly& GetVars() { return FVars; }

    TXYEvent OnOutput;

private:
    struct Entry {
        float rawX = 0.0f, rawY = 0.0f;
        float mx = 0.0f, my = 0.0f;
        float outX = 0.0f, outY = 0.0f;
        bool touched = false;
        bool kept = false;
    };

    bool FActive = false;
    int FMaxLength = 32;
    float FSnapRadius = 0.2f;
    std::array<Entry, HistorySize> FHistory{};

    TShareVarPoly FVars;
    TShareVarBase* FSnapRadiusVar = nullptr;
};
