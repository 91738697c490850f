// Bar graph: one horizontal strip per value, stacked from the top, sharing Min and Max.
#pragma once

#include <QWidget>
#include <vector>

class TNX7_GraphItem;

class TNX7_Graph : public QWidget {
public:
    explicit TNX7_Graph(QWidget* parent = nullptr);
    ~TNX7_Graph() override;

    // Scan-array input: one strip per value.
    void Input(void* sender, int count, const float* values);
    void Reset(void* sender);

    int GetLength() const { return static_cast<int>(FItems.size()); }
    void SetLength(int n);
    float GetMin() const { return FMin; }
    float GetMax() const { return FMax; }
    void SetMin(float v);
    void SetMax(float v);
    TNX7_GraphItem* Item(int i) const;

    void ReSize();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    float FMin = 0.0f;
    float FMax = 100.0f;
    std::vector<TNX7_GraphItem*> FItems;  // children: Qt frees them with the graph
};
