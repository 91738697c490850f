#include "panel/linearity.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSlider>

#include "panel/controls.h"

using namespace zt7;

TNXGF7_Linearity::TNXGF7_Linearity(QWidget* parent) : QWidget(parent) {
    resize(288, 43);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    LinearityGroupBox = new QGroupBox(QStringLiteral("ドラッグのしきい値"), this);
    auto* inner = new QHBoxLayout(LinearityGroupBox);
    inner->setContentsMargins(4, 12, 4, 0);
    DeWiggleInner = new QSlider(Qt::Horizontal, LinearityGroupBox);
    DeWiggleInner->setRange(0, 100);
    DeWiggleInner->setValue(0);
    DeWiggleInner->setPageStep(1);
    DeWiggleInner->setTickPosition(QSlider::TicksBelow);
    inner->addWidget(DeWiggleInner);
    AdvancedGroup = new QGroupBox(this);
    AdvancedGroup->setFixedWidth(80);
    LinearityAdvanced = new QCheckBox(QStringLiteral("詳細設定"), AdvancedGroup);
    LinearityAdvanced->setGeometry(6, 14, 72, 20);
    row->addWidget(LinearityGroupBox, 1);
    row->addWidget(AdvancedGroup, 0, Qt::AlignRight);

    VInner = FVars.AddItem("DeWiggle", "Inner", "Float", 1, nullptr, nullptr, false);
    VOuter = FVars.AddItem("DeWiggle", "Outer", "Float", 1, nullptr, nullptr, false);
    VAdvanced = FVars.AddItem("DeWiggle", "Advanced", "Bool", 1, nullptr, nullptr, false);

    QObject::connect(DeWiggleInner, &QSlider::valueChanged, this, [this](int p) {
        SetFloat(VInner, RangeMap(static_cast<float>(p) + 0.5f, 0.0f, 100.0f, 0.0f, 1.0f));
    });
    QObject::connect(LinearityAdvanced, &QCheckBox::toggled, this,
                     [this] { SetBool(VAdvanced, LinearityAdvanced->isChecked()); });
}

void TNXGF7_Linearity::UpdateFromShare() {
    int p = 0;
    if (FloorToInt(GetFloat(VInner) * 100.0f, p) && p != DeWiggleInner->value()) DeWiggleInner->setValue(p);
    const bool adv = GetBool(VAdvanced);
    if (LinearityAdvanced->isChecked() != adv) LinearityAdvanced->setChecked(adv);
    LinearityGroupBox->setVisible(adv);
}
