// Target gauge: a touch target that shows progress. A thin black crosshair and outline with a
// coloured ring (or rectangle) whose size follows Position between Min and Max.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>

enum TargetGaugeShapeType { tgst_Circle = 0, tgst_Rectangle = 1 };

class TNX7_TargetGauge : public QWidget {
public:
    explicit TNX7_TargetGauge(QWidget* parent = nullptr);

    int GetLineWidth() const { return FLineWidth; }
    void SetLineWidth(int v);
    QColor GetLineColour() const { return FLineColour; }
    void SetLineColour(const QColor& c);
    int GetMin() const { return FMin; }
    void SetMin(int v);
    int GetMax() const { return FMax; }
    void SetMax(int v);
    int GetPosition() const { return FPosition; }
    void SetPosition(int v);
    bool GetAutoHide() const { return FAutoHide; }
    void SetAutoHide(bool b);
    TargetGaugeShapeType GetShape() const { return FShape; }
    void SetShape(TargetGaugeShapeType s);
    const QPixmap& GetPicture() const { return FPicture; }
    void SetPicture(const QPixmap& p);
    QString GetCaption() const { return FCaption; }
    void SetCaption(const QString& s);

    // false: the ring grows from nothing at the low end; true: it shrinks from full size.
    bool Contract = false;

    // Ring radii for the current size and Position (what DrawCircle uses).
    void RingRadii(int& rx, int& ry) const;

    void DoAutoHide();

    std::function<void(TNX7_TargetGauge* theSender)> OnClick;
    std::function<void(TNX7_TargetGauge* theSender)> OnDblClick;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void DrawCircle(class QPainter& p);

    int FLineWidth = 4;
    QColor FLineColour;
    int FMin = 0;
    int FMax = 100;
    int FPosition = 50;
    bool FAutoHide = false;
    TargetGaugeShapeType FShape = tgst_Circle;
    QPixmap FPicture;
    QString FCaption;
    bool FPressed = false;
};
