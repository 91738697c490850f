// Full-screen touch-level screen: tells the user to touch the target and to lift the finger while
// the driver's automatic touch-level procedure runs, and shows its progress.
#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class TNX7_TargetGauge;

class TNXGF7_SenseScreen : public QWidget {
public:
    TNXGF7_SenseScreen();

    void ShowState(int state);
    void SetCountRatio0(float v);
    void SetCountRatio1(float v);
    void SetCountRatio2(float v);
    void FormShow();
    void LayoutTargets();

    int GetState() const { return FState; }

    std::function<void(void* theSender)> OnTimeout;

    QLabel* TouchLabel;
    QLabel* ReleaseLabel;
    TNX7_TargetGauge* NX7_TargetGauge0;
    TNX7_TargetGauge* NX7_TargetGauge2;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    int FState = 0;
    float FCountRatio0 = 0.0f;
    float FCountRatio1 = 0.0f;
    float FCountRatio2 = 0.0f;
};
