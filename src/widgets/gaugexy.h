// XY gauge: a point given as fractions of the width and height, coloured by its touch type.
// With Trace on, the path is drawn as segments while the type stays the same; the path lives only
// in the off-screen image until the next repaint wipes it.
#pragma once

#include <QImage>
#include <QWidget>

class TNX7_GaugeXY : public QWidget {
public:
    explicit TNX7_GaugeXY(QWidget* parent = nullptr);

    void Input(void* sender, float X, float Y, int type);
    void Clear(void* sender);
    bool GetTrace() const { return FTrace; }
    void SetTrace(bool b);

    // Fills white and draws the dot of the last point: the whole trace is gone afterwards.
    void ReDraw();

    static QColor TypeColour(int type);
    // Pixel of a point; coordinates far outside the gauge are pinned just outside it.
    QPoint PixelOf(float X, float Y) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void Draw(float X, float Y, int type);
    void Draw(float X0, float Y0, float X1, float Y1, int type);
    void EnsureImage();

    float FLastX = 0.0f;
    float FLastY = 0.0f;
    int FLastType = 0;
    bool FTrace = false;
    QImage FImage;
};
