#include "panel/graph.h"

#include "panel/controls.h"
#include "widgets/graph.h"

using namespace zt7;

TNXGF7_Graph::TNXGF7_Graph(QWidget* parent) : QWidget(parent) {
    NX7_Graph1 = new TNX7_Graph(this);
    NX7_Graph2 = new TNX7_Graph(this);
    for (auto* g : {NX7_Graph1, NX7_Graph2}) {
        g->SetMin(-10);
        g->SetMax(400);
    }
    for (int n = 0; n < 2; ++n) {
        const std::string sec = "Grapher" + std::to_string(n);
        VLength[n] = FVars.AddItem(sec, "Length", "Int", 1, [this, n](TShareVarBase*) { LengthChange(n); }, nullptr,
                                   false);
        VDiff[n] = FVars.AddItem(sec, "Diff", "Float", 66, nullptr, nullptr, false);
    }
}

void TNXGF7_Graph::LengthChange(int channel) {
    if (!isEnabled()) return;
    int count = GetInt(VLength[channel]);
    // The driver's channel arrays hold at most 64 wires; a larger count shows the first 64.
    if (count < 0) count = 0;
    if (count > kBufferLength) count = kBufferLength;
    TShareVarBase* diff = VDiff[channel];
    for (int i = 0; i < count; ++i) FBuffer[static_cast<size_t>(i)] = diff ? diff->GetValueFloatA(i) : 0.0f;
    (channel == 0 ? NX7_Graph1 : NX7_Graph2)->Input(this, count, FBuffer.data());
}

void TNXGF7_Graph::FrameResize() {
    const int w = width() / 2;
    const int h = height();
    NX7_Graph1->setGeometry(0, 0, w, h);
    NX7_Graph2->setGeometry(w, 0, w, h);
}

void TNXGF7_Graph::resizeEvent(QResizeEvent*) { FrameResize(); }
