// Graph page: the per-wire signal of both sensor axes as two bar graphs.
#pragma once

#include <QWidget>
#include <array>

#include "share/sharevarpoly.h"

class TNX7_Graph;

class TNXGF7_Graph : public QWidget {
public:
    explicit TNXGF7_Graph(QWidget* parent);

    void FrameResize();

    static constexpr int kBufferLength = 64;

    TNX7_Graph* NX7_Graph1;
    TNX7_Graph* NX7_Graph2;

    TShareVarBase* VLength[2] = {nullptr, nullptr};
    TShareVarBase* VDiff[2] = {nullptr, nullptr};

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void LengthChange(int channel);

    std::array<float, kBufferLength> FBuffer{};
    TShareVarPoly FVars;
};
