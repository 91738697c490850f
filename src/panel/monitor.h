// Test page: the touch position the driver reports, drawn as a trace that is wiped shortly
// after the finger leaves.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class TNX7_GaugeXY;

class TNXGF7_Monitor : public QWidget {
public:
    explicit TNXGF7_Monitor(QWidget* parent);

    void UpdateFromShare();
    int GetClearCountdown() const { return FCountdown; }

    TNX7_GaugeXY* NX7_GaugeXY1;

    TShareVarBase* VX = nullptr;
    TShareVarBase* VY = nullptr;
    TShareVarBase* VButton = nullptr;

private:
    void ButtonChange(TShareVarBase* v);

    int FCountdown = 0;
    TShareVarPoly FVars;
};
