// Full-screen calibration screen: three targets in the corners and a Cancel box in the centre.
#pragma once

#include <QWidget>
#include <functional>

class TNX7_TargetGauge;

class TNXGF7_CalibScreen : public QWidget {
public:
    TNXGF7_CalibScreen();

    // index 0..3 selects target 1..3 or the Cancel box; others are ignored.
    void SetTargetCount(int index, int count);
    void ShowTargetPos(float x);
    float GetTargetPos() const { return FTargetPos; }
    void FormShow();
    void NX7_TargetGauge4Click();
    void LayoutTargets();

    std::function<void(void* theSender)> OnCancelBox;

    TNX7_TargetGauge* NX7_TargetGauge1;
    TNX7_TargetGauge* NX7_TargetGauge2;
    TNX7_TargetGauge* NX7_TargetGauge3;
    TNX7_TargetGauge* NX7_TargetGauge4;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    float FTargetPos = 0.15f;
};
