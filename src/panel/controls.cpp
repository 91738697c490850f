#include "panel/controls.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QResizeEvent>
#include <cmath>
#include <cstdint>

#include "share/sharevarbase.h"

namespace zt7 {

QFont UiFont() {
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    f.setPixelSize(11);
    return f;
}

QFont BoldFont(int pixelSize) {
    QFont f = UiFont();
    f.setPixelSize(pixelSize);
    f.setBold(true);
    return f;
}

float RangeMap(float x, float inLo, float inHi, float outLo, float outHi) {
    const float in = inHi - inLo;
    if (!(std::fabs(in) >= 0.01f)) return outLo;
    return outLo + (x - inLo) * (outHi - outLo) / in;
}

bool FloorToInt(float v, int& out) {
    if (std::isnan(v)) return false;
    const float f = std::floor(v);
    if (f < -1.0e6f)
        out = -1000000;
    else if (f > 1.0e6f)
        out = 1000000;
    else
        out = static_cast<int>(f);
    return true;
}

int TruncToInt(float v) {
    if (std::isnan(v)) return 0;
    if (v < -1.0e6f) return -1000000;
    if (v > 1.0e6f) return 1000000;
    return static_cast<int>(v);
}

int32_t GetInt(TShareVarBase* v) { return v ? v->GetValueInt() : 0; }
float GetFloat(TShareVarBase* v) { return v ? v->GetValueFloat() : 0.0f; }
bool GetBool(TShareVarBase* v) { return v ? v->GetValueBool() : false; }
void SetInt(TShareVarBase* v, int32_t x) {
    if (v) v->SetValueInt(x);
}
void SetFloat(TShareVarBase* v, float x) {
    if (v) v->SetValueFloat(x);
}
void SetBool(TShareVarBase* v, bool x) {
    if (v) v->SetValueBool(x);
}
void SetBoolX(TShareVarBase* v, bool x) {
    if (v) v->SetValueBoolX(x);
}
void Increment(TShareVarBase* v) {
    if (!v) return;
    const uint32_t n = static_cast<uint32_t>(v->GetValueInt()) + 1u;
    v->SetValueInt(static_cast<int32_t>(n));
}

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), FGroup(new QButtonGroup(this)) {
    FGroup->setExclusive(false);  // lets the index return to −1 (nothing chosen)
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setAutoExclusive(false);
        FGroup->addButton(b, i);
        FButtons.push_back(b);
    }
    QObject::connect(FGroup, &QButtonGroup::idClicked, this, [this](int id) {
        // A click on the chosen item keeps it chosen and changes nothing.
        if (id == FIndex) {
            FButtons[static_cast<size_t>(id)]->setChecked(true);
            return;
        }
        SetItemIndex(id);
    });
    Layout();
}

QString RadioGroup::ItemText(int i) const {
    if (i < 0 || i >= Count()) return {};
    return FButtons[static_cast<size_t>(i)]->text();
}

QRadioButton* RadioGroup::Button(int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return FButtons[static_cast<size_t>(i)];
}

void RadioGroup::SetItemIndex(int i) {
    if (i < -1) i = -1;
    if (i > Count() - 1) i = Count() - 1;
    if (i == FIndex) return;
    FIndex = i;
    for (int k = 0; k < Count(); ++k) FButtons[static_cast<size_t>(k)]->setChecked(k == i);
    if (OnClick) OnClick();
}

void RadioGroup::resizeEvent(QResizeEvent* e) {
    QGroupBox::resizeEvent(e);
    Layout();
}

void RadioGroup::Layout() {
    const int n = Count();
    if (n == 0) return;
    const int top = 16;
    const float h = static_cast<float>(height() - top - 4) / static_cast<float>(n);
    for (int i = 0; i < n; ++i)
        FButtons[static_cast<size_t>(i)]->setGeometry(8, top + static_cast<int>(h * static_cast<float>(i)),
                                                      width() - 12, static_cast<int>(h));
}

ColourPanel::ColourPanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    SetColour(QColor(240, 240, 240));
}

void ColourPanel::SetColour(const QColor& c) {
    if (c == FColour) return;
    FColour = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, c);
    setPalette(pal);
}

void DropList::showPopup() {
    FDropped = true;
    QComboBox::showPopup();
}

void DropList::hidePopup() {
    QComboBox::hidePopup();
    const bool was = FDropped;
    FDropped = false;
    if (was && OnCloseUp) OnCloseUp();
}

}  // namespace zt7
