// Drag-threshold strip at the bottom of the test page: the peak finder's inner de-wiggle value.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class QCheckBox;
class QGroupBox;
class QSlider;

class TNXGF7_Linearity : public QWidget {
public:
    explicit TNXGF7_Linearity(QWidget* parent);

    void UpdateFromShare();

    QGroupBox* LinearityGroupBox;
    QSlider* DeWiggleInner;
    QGroupBox* AdvancedGroup;
    QCheckBox* LinearityAdvanced;

    TShareVarBase* VInner = nullptr;
    TShareVarBase* VOuter = nullptr;
    TShareVarBase* VAdvanced = nullptr;

private:
    TShareVarPoly FVars;
};
