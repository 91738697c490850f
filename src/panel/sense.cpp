#include "panel/sense.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "panel/controls.h"
#include "panel/sensescreen.h"
#include "widgets/graph.h"

using namespace zt7;

static QSlider* MakeTrackBar(int min, int max, int pos, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(min, max);
    s->setValue(pos);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBelow);
    return s;
}

// A meter set in by 8 pixels on both sides, so that it lines up with the slider's travel.
static TNX7_Graph* MakeMeter(QVBoxLayout* into, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 8, 0);
    auto* g = new TNX7_Graph(parent);
    g->SetMax(100);
    g->SetLength(1);
    g->setMinimumHeight(12);
    row->addWidget(g);
    into->addLayout(row);
    return g;
}

TNXGF7_Sense::TNXGF7_Sense(QWidget* parent, TNXGF7_SenseScreen* screen) : QWidget(parent), FScreen(screen) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);

    // Strip: overall sensitivity with the advanced switch at its right.
    auto* strip = new QWidget(this);
    strip->setFixedHeight(43);
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(0, 0, 0, 0);
    stripRow->setSpacing(0);
    FixedThresholdGroup = new QGroupBox(QStringLiteral("全体の検出感度"), strip);
    auto* fl = new QVBoxLayout(FixedThresholdGroup);
    fl->setContentsMargins(4, 12, 4, 0);
    FixedThreshold = MakeTrackBar(10, 500, 10, FixedThresholdGroup);
    fl->addWidget(FixedThreshold);
    SenseAdvancedGroup = new QGroupBox(strip);
    SenseAdvancedGroup->setFixedWidth(87);
    SenseAdvanced = new QCheckBox(QStringLiteral("詳細設定"), SenseAdvancedGroup);
    SenseAdvanced->setGeometry(8, 14, 75, 20);
    stripRow->addWidget(FixedThresholdGroup, 1);
    stripRow->addWidget(SenseAdvancedGroup);
    col->addWidget(strip);

    auto makeGroup = [this, col](const QString& caption, int h, QVBoxLayout*& inner) {
        auto* g = new QGroupBox(caption, this);
        g->setFixedHeight(h);
        inner = new QVBoxLayout(g);
        inner->setContentsMargins(4, 12, 4, 4);
        inner->setSpacing(0);
        col->addWidget(g);
        return g;
    };
    QVBoxLayout* inner = nullptr;
    TrackingThreadholdGroupBox = makeGroup(QStringLiteral("ドラッグのしきい値"), 64, inner);
    TouchRatio = MakeTrackBar(0, 100, 0, TrackingThreadholdGroupBox);
    inner->addWidget(TouchRatio);
    NX7_GraphTouchThresh = MakeMeter(inner, TrackingThreadholdGroupBox);
    TrackingThreadholdGroupBox->hide();

    PressGroup = makeGroup(QStringLiteral("タッチ検出のしきい値"), 64, inner);
    PressRatio = MakeTrackBar(0, 100, 0, PressGroup);
    inner->addWidget(PressRatio);
    NX7_GraphPressThresh = MakeMeter(inner, PressGroup);

    ValueGroup = makeGroup(QStringLiteral("現在の検出値"), 38, inner);
    NX7_GraphPressValue = MakeMeter(inner, ValueGroup);
    col->addStretch(1);

    StartAutoThresholdButton = new QPushButton(QStringLiteral("自動調整"), this);
    StartAutoThresholdButton->setGeometry(16, 224, 153, 25);

    QObject::connect(FixedThreshold, &QSlider::valueChanged, this, [this] { FixedThresholdChange(); });
    QObject::connect(TouchRatio, &QSlider::valueChanged, this, [this] { TouchRatioChange(); });
    QObject::connect(PressRatio, &QSlider::valueChanged, this, [this] { PressRatioChange(); });
    QObject::connect(SenseAdvanced, &QCheckBox::toggled, this, [this] { SenseAdvancedClick(); });
    QObject::connect(StartAutoThresholdButton, &QPushButton::clicked, this,
                     [this] { StartAutoThresholdButtonClick(); });

    const std::string sec = "Sense";
    VFixedThreshold = FVars.AddItem(sec, "FixedThreshold", "Float", 1, nullptr, nullptr, false);
    VTouchRatio = FVars.AddItem(sec, "TouchRatio", "Float", 1, nullptr, nullptr, false);
    VPressRatio = FVars.AddItem(sec, "PressRatio", "Float", 1, nullptr, nullptr, false);
    VTrackThresh = FVars.AddItem(sec, "TrackThresh", "Float", 1, nullptr, nullptr, false);
    VTouchThresh = FVars.AddItem(sec, "TouchThresh", "Float", 1, nullptr, nullptr, false);
    VPressThresh = FVars.AddItem(sec, "PressThresh", "Float", 1, nullptr, nullptr, false);
    VPressValue = FVars.AddItem(sec, "PressValue", "Float", 1, [this](TShareVarBase* v) { PressValueChange(v); },
                                nullptr, false);
    VAdvanced = FVars.AddItem(sec, "Advanced", "Bool", 1, nullptr, nullptr, false);
    VState = FVars.AddItem(sec, "State", "Int", 1, nullptr, nullptr, false);
    VStart = FVars.AddItem(sec, "Start", "Bool", 1, nullptr, nullptr, false);
    VCancel = FVars.AddItem(sec, "Cancel", "Bool", 1, nullptr, nullptr, false);
    VBusy = FVars.AddItem(sec, "Busy", "Bool", 1, [this](TShareVarBase* v) { BusyChange(v); }, nullptr, false);
    VCountRatio0 = FVars.AddItem(sec, "CountRatio0", "Float", 1, nullptr, nullptr, false);
    VCountRatio1 = FVars.AddItem(sec, "CountRatio1", "Float", 1, nullptr, nullptr, false);
    VCountRatio2 = FVars.AddItem(sec, "CountRatio2", "Float", 1, nullptr, nullptr, false);
}

void TNXGF7_Sense::SetGraphsMax(float v) {
    NX7_GraphTouchThresh->SetMax(v);
    NX7_GraphPressThresh->SetMax(v);
    NX7_GraphPressValue->SetMax(v);
}

void TNXGF7_Sense::FixedThresholdChange() {
    const float v = static_cast<float>(500 - FixedThreshold->value()) + 0.5f;
    if (std::fabs(GetFloat(VFixedThreshold) - v) > 0.5f) SetFloat(VFixedThreshold, v);
    SetGraphsMax(v);
}

void TNXGF7_Sense::TouchRatioChange() {
    SetFloat(VTouchRatio, RangeMap(static_cast<float>(TouchRatio->value()) + 0.5f, 0.0f, 100.0f, 0.0f, 1.0f));
}

void TNXGF7_Sense::PressRatioChange() {
    SetFloat(VPressRatio, RangeMap(static_cast<float>(PressRatio->value()) + 0.5f, 0.0f, 100.0f, 0.0f, 1.0f));
}

void TNXGF7_Sense::SenseAdvancedClick() { SetBool(VAdvanced, SenseAdvanced->isChecked()); }

void TNXGF7_Sense::RatioRefresh(TShareVarBase* v, QSlider* s) {
    int p = 0;
    if (!FloorToInt(GetFloat(v) * 100.0f, p)) return;  // not a number: leave the slider where it is
    if (p != s->value()) s->setValue(p);
}

void TNXGF7_Sense::UpdateFromShare() {
    const float ft = GetFloat(VFixedThreshold);
    if (std::fabs(ft - (static_cast<float>(500 - FixedThreshold->value()) + 0.5f)) > 0.5f) {
        int f = 0;
        if (FloorToInt(ft, f)) {
            FixedThreshold->setValue(500 - f);
            int full = 0;
            if (FloorToInt(GetFloat(VFixedThreshold), full)) SetGraphsMax(static_cast<float>(full));
        }
    }
    const bool adv = GetBool(VAdvanced);
    if (SenseAdvanced->isChecked() != adv) SenseAdvanced->setChecked(adv);
    TrackingThreadholdGroupBox->setVisible(adv);
    RatioRefresh(VTouchRatio, TouchRatio);
    RatioRefresh(VPressRatio, PressRatio);
    if (FScreen) {
        FScreen->ShowState(GetInt(VState));
        FScreen->SetCountRatio0(GetFloat(VCountRatio0));
        FScreen->SetCountRatio1(GetFloat(VCountRatio1));
        FScreen->SetCountRatio2(GetFloat(VCountRatio2));
    }
}

void TNXGF7_Sense::PressValueChange(TShareVarBase*) {
    if (!isEnabled()) return;
    const float touch = GetFloat(VTouchThresh);
    const float press = GetFloat(VPressThresh);
    const float value = GetFloat(VPressValue);
    NX7_GraphTouchThresh->Input(this, 1, &touch);
    NX7_GraphPressThresh->Input(this, 1, &press);
    NX7_GraphPressValue->Input(this, 1, &value);
}

void TNXGF7_Sense::StartAutoThresholdButtonClick() {
    if (FScreen) {
        FScreen->OnTimeout = [this](void* s) { CancelAutoThreshold(s); };
        FScreen->FormShow();
    }
    SetBool(VStart, true);
}

void TNXGF7_Sense::CancelAutoThreshold(void*) { SetBool(VCancel, true); }

void TNXGF7_Sense::BusyChange(TShareVarBase*) {
    if (!GetBool(VBusy) && FScreen) FScreen->hide();
}
