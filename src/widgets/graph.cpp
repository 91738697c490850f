#include "widgets/graph.h"

#include <QPainter>
#include <cmath>

#include "widgets/colours.h"
#include "widgets/graphitem.h"

// Far more strips than any sensor has wires; keeps a corrupt count from creating a flood of widgets.
static constexpr int kMaxItems = 256;

TNX7_Graph::TNX7_Graph(QWidget* parent) : QWidget(parent) {}

TNX7_Graph::~TNX7_Graph() = default;

void TNX7_Graph::Input(void* sender, int count, const float* values) {
    if (count == 0) {
        Reset(sender);
        return;
    }
    if (values == nullptr) return;
    SetLength(count);
    for (size_t i = 0; i < FItems.size(); ++i) FItems[i]->SetPosition(values[i]);
}

void TNX7_Graph::Reset(void*) {}

void TNX7_Graph::SetLength(int n) {
    if (n < 1) n = 0;
    if (n > kMaxItems) n = kMaxItems;
    const bool changed = static_cast<int>(FItems.size()) != n;
    while (static_cast<int>(FItems.size()) != n) {
        if (static_cast<int>(FItems.size()) > n) {
            delete FItems.back();
            FItems.pop_back();
        } else {
            auto* item = new TNX7_GraphItem(this);
            item->SetMin(FMin);
            item->SetMax(FMax);
            FItems.push_back(item);
            item->show();
        }
    }
    if (changed) {
        ReSize();
        update();
    }
}

void TNX7_Graph::SetMin(float v) {
    if (!(std::fabs(v - FMin) >= 0.001f)) return;
    FMin = v;
    for (auto* item : FItems) item->SetMin(v);
}

void TNX7_Graph::SetMax(float v) {
    if (!(std::fabs(v - FMax) >= 0.001f)) return;
    FMax = v;
    for (auto* item : FItems) item->SetMax(v);
}

TNX7_GraphItem* TNX7_Graph::Item(int i) const {
    if (i < 0 || i >= static_cast<int>(FItems.size())) return nullptr;
    return FItems[static_cast<size_t>(i)];
}

void TNX7_Graph::ReSize() {
    const int n = static_cast<int>(FItems.size());
    if (n == 0) return;
    const float h = static_cast<float>(height()) / static_cast<float>(n);
    float s = 0.0f;
    for (auto* item : FItems) {
        item->setGeometry(0, static_cast<int>(s), width(), static_cast<int>(h));
        s += h;
    }
}

void TNX7_Graph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), zt7::clBtnFace);
}

void TNX7_Graph::resizeEvent(QResizeEvent*) { ReSize(); }
