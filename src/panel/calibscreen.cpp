#include "panel/calibscreen.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>

#include "panel/controls.h"
#include "widgets/colours.h"
#include "widgets/targetgauge.h"

using namespace zt7;

TNXGF7_CalibScreen::TNXGF7_CalibScreen() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("NXGF7_CalibScreen"));
    setWindowTitle(QStringLiteral("CalibScreen"));
    setFont(UiFont());
    auto make = [this](bool target) {
        auto* g = new TNX7_TargetGauge(this);
        g->SetLineWidth(4);
        g->SetLineColour(clRed);
        g->SetMax(100);
        g->Contract = true;
        g->SetPosition(50);
        if (target) {
            g->SetAutoHide(true);
        } else {
            g->SetShape(tgst_Rectangle);
            g->SetCaption(QStringLiteral("Cancel"));
        }
        return g;
    };
    NX7_TargetGauge1 = make(true);
    NX7_TargetGauge2 = make(true);
    NX7_TargetGauge3 = make(true);
    NX7_TargetGauge4 = make(false);
    NX7_TargetGauge4->OnClick = [this](TNX7_TargetGauge*) { NX7_TargetGauge4Click(); };
}

void TNXGF7_CalibScreen::SetTargetCount(int index, int count) {
    TNX7_TargetGauge* g[4] = {NX7_TargetGauge1, NX7_TargetGauge2, NX7_TargetGauge3, NX7_TargetGauge4};
    if (index < 0 || index > 3) return;
    g[index]->SetPosition(count);
}

void TNXGF7_CalibScreen::ShowTargetPos(float x) {
    if (!(x >= 0.05f)) x = 0.05f;  // also catches NaN
    if (x > 0.4f) x = 0.4f;
    if (std::fabs(FTargetPos - x) >= 0.001f) {
        FTargetPos = x;
        LayoutTargets();
        update();
    }
}

void TNXGF7_CalibScreen::FormShow() {
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) setGeometry(s->geometry());
    showFullScreen();
    raise();
    activateWindow();
    for (int i = 0; i < 4; ++i) SetTargetCount(i, -1);
    LayoutTargets();
}

void TNXGF7_CalibScreen::NX7_TargetGauge4Click() {
    hide();
    if (OnCancelBox) OnCancelBox(this);
}

void TNXGF7_CalibScreen::LayoutTargets() {
    const float W = static_cast<float>(width());
    const float H = static_cast<float>(height());
    const float p = FTargetPos;
    const float r = 0.1f * W;
    const int side = TruncToInt(2.0f * r);
    auto place = [&](TNX7_TargetGauge* g, float cx, float cy) {
        g->setGeometry(TruncToInt(cx - r), TruncToInt(cy - r), side, side);
    };
    place(NX7_TargetGauge1, p * W, p * H);
    place(NX7_TargetGauge2, (1.0f - p) * W, p * H);
    place(NX7_TargetGauge3, p * W, (1.0f - p) * H);
    place(NX7_TargetGauge4, W / 2, H / 2);
}

void TNXGF7_CalibScreen::resizeEvent(QResizeEvent*) { LayoutTargets(); }

void TNXGF7_CalibScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), clBtnFace);
}

void TNXGF7_CalibScreen::keyPressEvent(QKeyEvent* e) {
    // The keyboard's way to the Cancel box.
    if (e->key() == Qt::Key_Escape) {
        NX7_TargetGauge4Click();
        return;
    }
    QWidget::keyPressEvent(e);
}
