#include "widgets/gaugexy.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "widgets/colours.h"

TNX7_GaugeXY::TNX7_GaugeXY(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor TNX7_GaugeXY::TypeColour(int type) {
    switch (type) {
        case 1: return zt7::clGreen;
        case 2: return zt7::clRed;
        case 0: return zt7::clWhite;
        default: return zt7::clBlack;  // not sent by the driver; visible so it is noticed
    }
}

static int PinnedPixel(float extent, float f) {
    const float v = extent * f;
    if (!(v > -100000.0f)) return -100000;  // also NaN
    if (v > 100000.0f) return 100000;
    return static_cast<int>(v);
}

QPoint TNX7_GaugeXY::PixelOf(float X, float Y) const {
    return {PinnedPixel(static_cast<float>(width()), X), PinnedPixel(static_cast<float>(height()), Y)};
}

void TNX7_GaugeXY::EnsureImage() {
    if (FImage.size() != size()) {
        FImage = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        FImage.fill(zt7::clWhite);
    }
}

void TNX7_GaugeXY::Input(void*, float X, float Y, int type) {
    if (std::fabs(FLastX - X) < 0.001f && std::fabs(FLastY - Y) < 0.001f && type == FLastType) return;
    if (!FTrace) {
        Draw(FLastX, FLastY, 0);
        Draw(X, Y, type);
    } else if (type == FLastType && type > 0) {
        Draw(FLastX, FLastY, X, Y, type);
    }
    FLastX = X;
    FLastY = Y;
    FLastType = type;
}

void TNX7_GaugeXY::Draw(float X, float Y, int type) {
    EnsureImage();
    const int w = width() / 100;
    const QPoint pt = PixelOf(X, Y);
    QPainter p(&FImage);
    QPen pen(TypeColour(type), w);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    p.setBrush(TypeColour(type));
    p.drawPoint(pt);
    const int r = w + 2;
    update(QRect(pt.x() - r, pt.y() - r, 2 * r + 1, 2 * r + 1));
}

void TNX7_GaugeXY::Draw(float X0, float Y0, float X1, float Y1, int type) {
    EnsureImage();
    const QPoint a = PixelOf(X0, Y0);
    const QPoint b = PixelOf(X1, Y1);
    QPainter p(&FImage);
    p.setPen(QPen(TypeColour(type), 1));
    p.drawLine(a, b);
    update(QRect(a, b).normalized().adjusted(-1, -1, 1, 1));
}

void TNX7_GaugeXY::ReDraw() {
    EnsureImage();
    FImage.fill(zt7::clWhite);
    Draw(FLastX, FLastY, FLastType);
    update();
}

void TNX7_GaugeXY::Clear(void*) { ReDraw(); }

void TNX7_GaugeXY::SetTrace(bool b) {
    if (b == FTrace) return;
    FTrace = b;
    ReDraw();
}

void TNX7_GaugeXY::paintEvent(QPaintEvent* e) {
    EnsureImage();
    QPainter p(this);
    p.drawImage(e->rect(), FImage, e->rect());
}

void TNX7_GaugeXY::resizeEvent(QResizeEvent*) {
    // A resize to the size already drawn (a late resize event) keeps the trace.
    if (FImage.size() != size()) ReDraw();
}

// Coming back into view starts from a clean area, as a full repaint does.
void TNX7_GaugeXY::showEvent(QShowEvent*) { ReDraw(); }
