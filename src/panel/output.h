// Mouse page: whether the driver moves the pointer, and its press behaviour.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class QCheckBox;
class QGroupBox;
namespace zt7 {
class RadioGroup;
}

class TNXGF7_Output : public QWidget {
public:
    explicit TNXGF7_Output(QWidget* parent);

    zt7::RadioGroup* PressReleaseAction;
    QGroupBox* OutputGroup;
    QCheckBox* OutputEnabled;

    TShareVarBase* VEnabled = nullptr;
    TShareVarBase* VPressType = nullptr;

private:
    void OutputEnabledClick();
    void PressReleaseActionClick();
    void EnabledPoll(TShareVarBase* v);
    void PressTypePoll(TShareVarBase* v);

    TShareVarPoly FVars;
};
