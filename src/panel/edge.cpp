#include "panel/edge.h"

#include <QGroupBox>
#include <QSlider>

#include "panel/controls.h"

using namespace zt7;

namespace {
// Top and left grow towards position 0 (their own edge), bottom and right towards 100.
float GainOf(int p, bool towardsZero) {
    const float x = static_cast<float>(p) + 0.5f;
    return towardsZero ? RangeMap(x, 0.0f, 100.0f, 2.0f, 0.0f) : RangeMap(x, 0.0f, 100.0f, 0.0f, 2.0f);
}

bool PositionOf(float gain, bool towardsZero, int& p) {
    return FloorToInt(towardsZero ? 100.0f - 50.0f * gain : 50.0f * gain, p);
}

QSlider* MakeGainBar(Qt::Orientation o, int pos, QWidget* parent) {
    auto* s = new QSlider(o, parent);
    s->setRange(0, 100);
    s->setPageStep(1);
    s->setTickPosition(QSlider::TicksBothSides);
    // Position 0 at the top, as the thumb of a vertical track bar starts there.
    if (o == Qt::Vertical) s->setInvertedAppearance(true);
    s->setValue(pos);
    return s;
}
}  // namespace

TNXGF7_Edge::TNXGF7_Edge(QWidget* parent) : QWidget(parent) {
    EdgeGroup = new QGroupBox(QStringLiteral("エッジ補正"), this);
    TopGain = MakeGainBar(Qt::Vertical, 100, EdgeGroup);
    BottomGain = MakeGainBar(Qt::Vertical, 0, EdgeGroup);
    LeftGain = MakeGainBar(Qt::Horizontal, 100, EdgeGroup);
    RightGain = MakeGainBar(Qt::Horizontal, 0, EdgeGroup);

    const std::string sec = "Edge";
    VTopGain = FVars.AddItem(sec, "TopGain", "Float", 1, nullptr, nullptr, false);
    VBottomGain = FVars.AddItem(sec, "BottomGain", "Float", 1, nullptr, nullptr, false);
    VLeftGain = FVars.AddItem(sec, "LeftGain", "Float", 1, nullptr, nullptr, false);
    VRightGain = FVars.AddItem(sec, "RightGain", "Float", 1, nullptr, nullptr, false);

    QObject::connect(TopGain, &QSlider::valueChanged, this, [this](int p) { SetFloat(VTopGain, GainOf(p, true)); });
    QObject::connect(BottomGain, &QSlider::valueChanged, this,
                     [this](int p) { SetFloat(VBottomGain, GainOf(p, false)); });
    QObject::connect(LeftGain, &QSlider::valueChanged, this, [this](int p) { SetFloat(VLeftGain, GainOf(p, true)); });
    QObject::connect(RightGain, &QSlider::valueChanged, this,
                     [this](int p) { SetFloat(VRightGain, GainOf(p, false)); });
}

void TNXGF7_Edge::UpdateFromShare() {
    int p[4] = {TopGain->value(), BottomGain->value(), LeftGain->value(), RightGain->value()};
    const bool ok[4] = {PositionOf(GetFloat(VTopGain), true, p[0]), PositionOf(GetFloat(VBottomGain), false, p[1]),
                        PositionOf(GetFloat(VLeftGain), true, p[2]), PositionOf(GetFloat(VRightGain), false, p[3])};
    QSlider* s[4] = {TopGain, BottomGain, LeftGain, RightGain};
    for (int i = 0; i < 4; ++i)
        if (ok[i] && s[i]->value() != p[i]) s[i]->setValue(p[i]);
}

void TNXGF7_Edge::FrameResize() {
    EdgeGroup->setGeometry(rect());
    const int a = EdgeGroup->width() / 21;
    const int b = EdgeGroup->height() / 21;
    TopGain->setGeometry(10 * a, b, 2 * a, 9 * b);
    BottomGain->setGeometry(10 * a, 12 * b, 2 * a, 9 * b);
    LeftGain->setGeometry(a, 10 * b, 9 * a, 2 * b);
    RightGain->setGeometry(11 * a, 10 * b, 9 * a, 2 * b);
}

void TNXGF7_Edge::resizeEvent(QResizeEvent*) { FrameResize(); }
