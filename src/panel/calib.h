// Calibration page: starts the driver's three-point calibration and feeds the calibration screen.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class QGroupBox;
class QPushButton;
class TNXGF7_CalibScreen;

class TNXGF7_Calib : public QWidget {
public:
    TNXGF7_Calib(QWidget* parent, TNXGF7_CalibScreen* screen);

    void UpdateFromShare() {}
    void StartCalibrationButtonClick();
    void CancelCalibration(void* theSender);

    QGroupBox* CalibGroup;
    QPushButton* StartCalibrationButton;

    TShareVarBase* VCount[4] = {nullptr, nullptr, nullptr, nullptr};
    TShareVarBase* VState = nullptr;
    TShareVarBase* VTargetPos = nullptr;
    TShareVarBase* VStart = nullptr;
    TShareVarBase* VCancel = nullptr;
    TShareVarBase* VBusy = nullptr;

private:
    void CountChange(int index, TShareVarBase* v);
    void TargetPosPoll(TShareVarBase* v);
    void BusyChange(TShareVarBase* v);

    TNXGF7_CalibScreen* FScreen;
    TShareVarPoly FVars;
};
