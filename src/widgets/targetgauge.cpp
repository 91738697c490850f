#include "widgets/targetgauge.h"

#include <QMouseEvent>
#include <QPainter>

#include "widgets/colours.h"

TNX7_TargetGauge::TNX7_TargetGauge(QWidget* parent) : QWidget(parent), FLineColour(zt7::clRed) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TNX7_TargetGauge::SetLineWidth(int v) {
    if (v < 0) v = 0;
    if (v == FLineWidth) return;
    FLineWidth = v;
    update();
}

void TNX7_TargetGauge::SetLineColour(const QColor& c) {
    if (c == FLineColour) return;
    FLineColour = c;
    update();
}

void TNX7_TargetGauge::SetShape(TargetGaugeShapeType s) {
    if (s == FShape) return;
    FShape = s;
    update();
}

void TNX7_TargetGauge::SetMin(int v) {
    if (v == FMin) return;
    FMin = v;
    DoAutoHide();
    update();
}

void TNX7_TargetGauge::SetMax(int v) {
    if (v == FMax) return;
    FMax = v;
    DoAutoHide();
    update();
}

void TNX7_TargetGauge::SetPosition(int v) {
    FPosition = v;
    DoAutoHide();
    update();
}

void TNX7_TargetGauge::SetAutoHide(bool b) {
    FAutoHide = b;
    DoAutoHide();
}

void TNX7_TargetGauge::SetPicture(const QPixmap& p) {
    FPicture = p;
    update();
}

void TNX7_TargetGauge::SetCaption(const QString& s) {
    if (s == FCaption) return;
    FCaption = s;
    update();
}

void TNX7_TargetGauge::DoAutoHide() {
    if (!FAutoHide) return;
    setVisible(FMin <= FPosition && FPosition <= FMax);
}

void TNX7_TargetGauge::RingRadii(int& rx, int& ry) const {
    float hi = static_cast<float>(FMax > FMin ? FMax : FMin);
    const float lo = static_cast<float>(FMax > FMin ? FMin : FMax);
    if (hi == lo) hi = hi + 1.0f;
    const float pos = static_cast<float>(FPosition);
    float ratio = Contract ? (hi - pos) / (hi - lo) : (pos - lo) / (hi - lo);
    if (!(ratio >= 0.0f)) ratio = 0.0f;
    if (ratio > 1.0f) ratio = 1.0f;
    const int hw = width() / 2;
    const int hh = height() / 2;
    rx = static_cast<int>(static_cast<float>(hw) * ratio);
    ry = static_cast<int>(static_cast<float>(hh) * ratio);
}

// The shape whose bounding box runs from (x1, y1) up to, not including, (x2, y2): the outline of
// a gauge as wide as the control then stays inside it.
static QRect Box(int x1, int y1, int x2, int y2) { return QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1); }

void TNX7_TargetGauge::DrawCircle(QPainter& p) {
    const int hw = width() / 2;
    const int hh = height() / 2;
    int rx = 0, ry = 0;
    RingRadii(rx, ry);
    const int dx = static_cast<int>(hw * 0.7071067811865476);
    const int dy = static_cast<int>(hh * 0.7071067811865476);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(zt7::clBlack, 1));
    if (FShape == tgst_Circle) {
        p.drawLine(hw, 0, hw, 2 * hh);
        p.drawLine(0, hh, 2 * hw, hh);
        p.drawLine(hw - dx, hh - dy, hw + dx, hh + dy);
        p.drawLine(hw - dx, hh + dy, hw + dx, hh - dy);
        p.drawEllipse(Box(0, 0, 2 * hw, 2 * hh));
    } else {
        p.drawRect(Box(0, 0, 2 * hw, 2 * hh));
    }
    // A zero-width ring is invisible rather than a hairline.
    if (FLineWidth > 0) {
        p.setPen(QPen(FLineColour, FLineWidth));
        const QRect box = Box(hw - rx, hh - ry, hw + rx, hh + ry);
        if (rx == 0 && ry == 0)
            p.drawPoint(hw, hh);  // the ring contracted to a point
        else if (FShape == tgst_Circle)
            p.drawEllipse(box);
        else
            p.drawRect(box);
    }
    p.setPen(QPen(zt7::clBlack, 1));
}

void TNX7_TargetGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), zt7::clBtnFace);
    if (!FPicture.isNull()) p.drawPixmap(rect(), FPicture);
    if (!FCaption.isEmpty()) {
        p.setPen(zt7::clBlack);
        p.drawText(rect(), Qt::AlignCenter, FCaption);
    }
    DrawCircle(p);
}

void TNX7_TargetGauge::mousePressEvent(QMouseEvent* e) {
    FPressed = e->button() == Qt::LeftButton;
}

void TNX7_TargetGauge::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = FPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    FPressed = false;
    if (click && OnClick) OnClick(this);
}

void TNX7_TargetGauge::mouseDoubleClickEvent(QMouseEvent* e) {
    FPressed = e->button() == Qt::LeftButton;
    if (OnDblClick) OnDblClick(this);
}
