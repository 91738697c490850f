// Sensitivity page: the driver's touch detection levels against the live signal, and the start
// of the automatic touch-level procedure.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class QCheckBox;
class QGroupBox;
class QPushButton;
class QSlider;
class TNX7_Graph;
class TNXGF7_SenseScreen;

class TNXGF7_Sense : public QWidget {
public:
    TNXGF7_Sense(QWidget* parent, TNXGF7_SenseScreen* screen);

    void UpdateFromShare();
    void StartAutoThresholdButtonClick();
    void CancelAutoThreshold(void* theSender);

    QGroupBox* FixedThresholdGroup;
    QSlider* FixedThreshold;
    QGroupBox* SenseAdvancedGroup;
    QCheckBox* SenseAdvanced;
    QGroupBox* TrackingThreadholdGroupBox;
    QSlider* TouchRatio;
    TNX7_Graph* NX7_GraphTouchThresh;
    QGroupBox* PressGroup;
    QSlider* PressRatio;
    TNX7_Graph* NX7_GraphPressThresh;
    QGroupBox* ValueGroup;
    TNX7_Graph* NX7_GraphPressValue;
    QPushButton* StartAutoThresholdButton;

    TShareVarBase* VFixedThreshold = nullptr;
    TShareVarBase* VTouchRatio = nullptr;
    TShareVarBase* VPressRatio = nullptr;
    TShareVarBase* VTrackThresh = nullptr;
    TShareVarBase* VTouchThresh = nullptr;
    TShareVarBase* VPressThresh = nullptr;
    TShareVarBase* VPressValue = nullptr;
    TShareVarBase* VAdvanced = nullptr;
    TShareVarBase* VState = nullptr;
    TShareVarBase* VStart = nullptr;
    TShareVarBase* VCancel = nullptr;
    TShareVarBase* VBusy = nullptr;
    TShareVarBase* VCountRatio0 = nullptr;
    TShareVarBase* VCountRatio1 = nullptr;
    TShareVarBase* VCountRatio2 = nullptr;

private:
    void FixedThresholdChange();
    void TouchRatioChange();
    void PressRatioChange();
    void SenseAdvancedClick();
    void PressValueChange(TShareVarBase* v);
    void BusyChange(TShareVarBase* v);
    void SetGraphsMax(float v);
    void RatioRefresh(TShareVarBase* v, QSlider* s);

    TNXGF7_SenseScreen* FScreen;
    TShareVarPoly FVars;
};
