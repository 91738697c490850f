#include "panel/output.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "panel/controls.h"

using namespace zt7;

TNXGF7_Output::TNXGF7_Output(QWidget* parent) : QWidget(parent) {
    resize(274, 248);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    PressReleaseAction = new RadioGroup(QStringLiteral("マウスの動作"),
                                        {QStringLiteral("マウスを操作しない"), QStringLiteral("マウスのムーブのみ"),
                                         QStringLiteral("タッチダウンでクリック"), QStringLiteral("タッチアウトでクリック"),
                                         QStringLiteral("選択/ムーブ/リリース"), QStringLiteral("選択/ホールド/リリース"),
                                         QStringLiteral("選択/ムーブ/リリース/右クリック")},
                                        this);
    PressReleaseAction->setFixedHeight(177);
    col->addWidget(PressReleaseAction);
    OutputGroup = new QGroupBox(QStringLiteral("マウス操作"), this);
    OutputGroup->setFixedHeight(64);
    OutputEnabled = new QCheckBox(QStringLiteral("マウスの操作を有効にする"), OutputGroup);
    OutputEnabled->setGeometry(16, 24, 240, 20);
    col->addWidget(OutputGroup);
    col->addStretch(1);

    PressReleaseAction->OnClick = [this] { PressReleaseActionClick(); };
    QObject::connect(OutputEnabled, &QCheckBox::toggled, this, [this] { OutputEnabledClick(); });

    VEnabled = FVars.AddItem("Output", "Enabled", "Bool", 1, nullptr, [this](TShareVarBase* v) { EnabledPoll(v); }, false);
    VPressType = FVars.AddItem("Output", "PressType", "Int", 1, nullptr,
                               [this](TShareVarBase* v) { PressTypePoll(v); }, false);
}

void TNXGF7_Output::OutputEnabledClick() { SetBool(VEnabled, OutputEnabled->isChecked()); }
void TNXGF7_Output::PressReleaseActionClick() { SetInt(VPressType, PressReleaseAction->GetItemIndex()); }

void TNXGF7_Output::EnabledPoll(TShareVarBase* v) {
    const bool b = v->GetValueBool();
    if (OutputEnabled->isChecked() != b) OutputEnabled->setChecked(b);
}

void TNXGF7_Output::PressTypePoll(TShareVarBase* v) {
    const int t = v->GetValueInt();
    if (PressReleaseAction->GetItemIndex() != t) PressReleaseAction->SetItemIndex(t);
}
