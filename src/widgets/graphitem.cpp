#include "widgets/graphitem.h"

#include <QPainter>
#include <QPaintEvent>
#include <cmath>

#include "widgets/colours.h"

TNX7_GraphItem::TNX7_GraphItem(QWidget* parent) : QWidget(parent) {
    // The whole strip is painted every time: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TNX7_GraphItem::SetMin(float v) {
    FMin = v;
    ReDraw();
}

void TNX7_GraphItem::SetMax(float v) {
    FMax = v;
    ReDraw();
}

void TNX7_GraphItem::SetPosition(float x) {
    if (!(std::fabs(FPosition - x) >= 0.001f)) return;
    // Only the old and the new column need repainting.
    Draw(FPosition);
    FPosition = x;
    Draw(FPosition);
}

void TNX7_GraphItem::ReDraw() { update(); }

int TNX7_GraphItem::PixelOf(float x) const {
    if (width() < 2) return -1;
    const float range = FMax - FMin;
    if (!(std::fabs(range) >= 0.001f)) return -1;
    const float px = static_cast<float>(width()) * (x - FMin) / range;
    // A value far outside the range lies outside the strip anyway; keep the conversion defined.
    if (!(px > -1.0f && px < static_cast<float>(width()))) return -1;
    return static_cast<int>(px);
}

void TNX7_GraphItem::Draw(float x) {
    const int px = PixelOf(x);
    if (px >= 0) update(px, 0, 1, height());
}

void TNX7_GraphItem::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(e->rect(), zt7::clWhite);
    const int px = PixelOf(FPosition);
    if (px >= 0) {
        p.setPen(QPen(zt7::clRed, 1));
        p.drawLine(px, 0, px, height());
    }
}
