#include "panel/calib.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/calibscreen.h"
#include "panel/controls.h"

using namespace zt7;

TNXGF7_Calib::TNXGF7_Calib(QWidget* parent, TNXGF7_CalibScreen* screen) : QWidget(parent), FScreen(screen) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    CalibGroup = new QGroupBox(QStringLiteral("キャリブレーション"), this);
    CalibGroup->setFixedHeight(121);
    col->addWidget(CalibGroup);
    col->addStretch(1);
    StartCalibrationButton = new QPushButton(QStringLiteral("キャリブレーション開始"), CalibGroup);
    StartCalibrationButton->setGeometry(32, 40, 113, 49);
    QObject::connect(StartCalibrationButton, &QPushButton::clicked, this, [this] { StartCalibrationButtonClick(); });

    const std::string sec = "Calib";
    for (int i = 0; i < 4; ++i)
        VCount[i] = FVars.AddItem(sec, "Count" + std::to_string(i), "Int", 1,
                                  [this, i](TShareVarBase* v) { CountChange(i, v); }, nullptr, false);
    VState = FVars.AddItem(sec, "State", "Int", 1, nullptr, nullptr, false);
    VTargetPos = FVars.AddItem(sec, "TargetPos", "Float", 1, nullptr, [this](TShareVarBase* v) { TargetPosPoll(v); },
                               false);
    VStart = FVars.AddItem(sec, "Start", "Bool", 1, nullptr, nullptr, false);
    VCancel = FVars.AddItem(sec, "Cancel", "Bool", 1, nullptr, nullptr, false);
    VBusy = FVars.AddItem(sec, "Busy", "Bool", 1, [this](TShareVarBase* v) { BusyChange(v); }, nullptr, false);
}

void TNXGF7_Calib::StartCalibrationButtonClick() {
    if (FScreen) {
        FScreen->OnCancelBox = [this](void* s) { CancelCalibration(s); };
        FScreen->FormShow();
    }
    SetBool(VStart, true);
}

void TNXGF7_Calib::CancelCalibration(void*) { SetBool(VCancel, true); }

void TNXGF7_Calib::CountChange(int index, TShareVarBase* v) {
    if (!isEnabled() || !FScreen || !FScreen->isVisible()) return;
    FScreen->SetTargetCount(index, v->GetValueInt());
}

void TNXGF7_Calib::TargetPosPoll(TShareVarBase* v) {
    if (FScreen) FScreen->ShowTargetPos(v->GetValueFloat());
}

void TNXGF7_Calib::BusyChange(TShareVarBase*) {
    if (!GetBool(VBusy) && FScreen) FScreen->hide();
}
