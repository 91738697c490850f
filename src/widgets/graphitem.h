// One strip of the bar graph: a red vertical line at Position on white, between Min and Max.
#pragma once

#include <QWidget>

class TNX7_GraphItem : public QWidget {
public:
    explicit TNX7_GraphItem(QWidget* parent = nullptr);

    float GetMin() const { return FMin; }
    float GetMax() const { return FMax; }
    float GetPosition() const { return FPosition; }
    void SetMin(float v);
    void SetMax(float v);
    void SetPosition(float x);
    void ReDraw();

    // Pixel column of value x, or -1 when nothing is drawn (strip too narrow, empty range, or
    // a column that cannot be represented).
    int PixelOf(float x) const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void Draw(float x);

    float FMin = 0.0f;
    float FMax = 100.0f;
    float FPosition = 0.0f;
};
