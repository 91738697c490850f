// Publishes one processed channel array per frame for the panel's graph page, only while a panel
// is attached; otherwise it just forwards the array.
#pragma once

#include "share/events.h"
#include "share/sharevarpoly.h"

class TNX7_Grapher {
public:
    static constexpr int DiffCount = 66;

    TNX7_Grapher();
    ~TNX7_Grapher() = default;

    int GetChannel() const { return FChannel; }
    // Renames the section to "Grapher<n>"; only takes effect before the share manager is active.
    void SetChannel(int n);

    TFloatArrayEvent OnOutput;

    void Input(void* Sender, int count, const float* values);

    TShareVarBase* GetLengthVar() const { return FLength; }
    TShareVarBase* GetDiffVar() const { return FDiff; }

private:
    int FChannel = 0;
    TShareVarPoly FShare;
    TShareVarBase* FLength = nullptr;
    TShareVarBase* FDiff = nullptr;
};
