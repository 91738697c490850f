// Edge correction page: four edge gains on sliders laid out as a cross.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class QGroupBox;
class QSlider;

class TNXGF7_Edge : public QWidget {
public:
    explicit TNXGF7_Edge(QWidget* parent);

    void UpdateFromShare();
    void FrameResize();

    QGroupBox* EdgeGroup;
    QSlider* TopGain;
    QSlider* BottomGain;
    QSlider* LeftGain;
    QSlider* RightGain;

    TShareVarBase* VTopGain = nullptr;
    TShareVarBase* VBottomGain = nullptr;
    TShareVarBase* VLeftGain = nullptr;
    TShareVarBase* VRightGain = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    TShareVarPoly FVars;
};
