#include "panel/monitor.h"

#include <QVBoxLayout>

#include "panel/controls.h"
#include "widgets/gaugexy.h"

using namespace zt7;

TNXGF7_Monitor::TNXGF7_Monitor(QWidget* parent) : QWidget(parent) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    NX7_GaugeXY1 = new TNX7_GaugeXY(this);
    NX7_GaugeXY1->SetTrace(true);
    col->addWidget(NX7_GaugeXY1);

    // Registered saveable like the driver's, which changes nothing: the panel never saves.
    VX = FVars.AddItem("Output", "X", "Float", 1, nullptr, nullptr, true);
    VY = FVars.AddItem("Output", "Y", "Float", 1, nullptr, nullptr, true);
    VButton = FVars.AddItem("Output", "Button", "Int", 1, [this](TShareVarBase* v) { ButtonChange(v); }, nullptr, true);
}

void TNXGF7_Monitor::ButtonChange(TShareVarBase*) {
    if (!isEnabled()) return;
    const int button = GetInt(VButton);
    NX7_GaugeXY1->Input(this, GetFloat(VX), GetFloat(VY), button);
    if (button > 0) FCountdown = 2;
}

void TNXGF7_Monitor::UpdateFromShare() {
    if (!isEnabled() || FCountdown == 0) return;
    if (--FCountdown == 0) NX7_GaugeXY1->Clear(this);
}
