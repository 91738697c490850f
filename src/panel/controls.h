// Small building blocks shared by the pages: a radio group with an item index, an indicator
// panel, a drop-down list that reports its close-up, a sheet that lays out its frames, and the
// value conversions of the sliders.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

class QButtonGroup;
class QRadioButton;
class TShareVarBase;

namespace zt7 {

// The panel's user-interface font (11-pixel gothic with Japanese glyphs).
QFont UiFont();
QFont BoldFont(int pixelSize);

// Linear map of x from [inLo, inHi] onto [outLo, outHi] in single precision; an input range
// narrower than 0.01 yields outLo.
float RangeMap(float x, float inLo, float inHi, float outLo, float outHi);
// floor(v) as an int; false for NaN. Values beyond any slider's reach are pinned to ±1e6 so
// the conversion is always defined.
bool FloorToInt(float v, int& out);
// Truncation toward zero with the same guards; NaN gives 0.
int TruncToInt(float v);

// Null-safe access: a variable that could not be created reads as 0 and ignores writes.
int32_t GetInt(TShareVarBase* v);
float GetFloat(TShareVarBase* v);
bool GetBool(TShareVarBase* v);
void SetInt(TShareVarBase* v, int32_t x);
void SetFloat(TShareVarBase* v, float x);
void SetBool(TShareVarBase* v, bool x);
void SetBoolX(TShareVarBase* v, bool x);
// Command counter + 1, wrapping instead of overflowing.
void Increment(TShareVarBase* v);

// Radio group: a captioned box of exclusive choices. A change of the item index, by the user or
// by SetItemIndex, raises OnClick.
class RadioGroup : public QGroupBox {
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent);
    int GetItemIndex() const { return FIndex; }
    // Clamped to −1 .. count − 1; OnClick only when the index changes.
    void SetItemIndex(int i);
    int Count() const { return static_cast<int>(FButtons.size()); }
    QString ItemText(int i) const;
    QRadioButton* Button(int i) const;
    std::function<void()> OnClick;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Layout();
    std::vector<QRadioButton*> FButtons;
    QButtonGroup* FGroup;
    int FIndex = -1;
};

// Indicator panel: sunken box with a centred caption on a solid colour.
class ColourPanel : public QLabel {
public:
    ColourPanel(const QString& caption, QWidget* parent);
    void SetColour(const QColor& c);
    QColor GetColour() const { return FColour; }

private:
    QColor FColour;
};

// Drop-down list that tells when its list closes, and whether it is open.
class DropList : public QComboBox {
public:
    explicit DropList(QWidget* parent) : QComboBox(parent) {}
    bool DroppedDown() const { return FDropped; }
    void showPopup() override;
    void hidePopup() override;
    std::function<void()> OnCloseUp;

private:
    bool FDropped = false;
};

// Tab sheet whose frames are placed by a callback after every resize.
class Sheet : public QWidget {
public:
    explicit Sheet(QWidget* parent = nullptr) : QWidget(parent) {}
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent*) override {
        if (OnResize) OnResize();
    }
};

}  // namespace zt7
