#include "panel/comms.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>

#include "panel/controls.h"
#include "widgets/colours.h"

using namespace zt7;

static constexpr int kFirstMuxSize = 16;
static constexpr int kLastMuxSize = 84;

TNXGF7_Comms::TNXGF7_Comms(QWidget* parent) : QWidget(parent) {
    resize(354, 251);

    // Port pages.
    auto* portPages = new QWidget(this);
    portPages->setGeometry(0, 0, 81, 249);
    Port = new RadioGroup(QStringLiteral("ポート"),
                          {"None", "Com1", "Com2", "Com3", "Com4", "Com5", "Com6", "Com7", "Com8", "USB"},
                          portPages);
    Port->setGeometry(0, 0, 81, 249);
    Port->SetItemIndex(0);

    // Option pages, switched by the chosen port.
    OptionPageControl = new QStackedWidget(this);
    OptionPageControl->setGeometry(84, 0, 175, 249);
    NoneTabSheet = new QWidget;
    SerialTabSheet = new QWidget;
    UsbTabSheet = new QWidget;
    OptionPageControl->addWidget(NoneTabSheet);
    OptionPageControl->addWidget(SerialTabSheet);
    OptionPageControl->addWidget(UsbTabSheet);
    OptionPageControl->setCurrentIndex(0);

    Baud = new RadioGroup(QStringLiteral("レート"), {"  1200", "  2400", "  4800", "  9600", "19200", "38400"},
                          SerialTabSheet);
    Baud->setGeometry(0, 0, 175, 140);
    Baud->SetItemIndex(3);

    CycleSize = new RadioGroup(QStringLiteral("サンプルレート"), {"2", "3", "4", "5", "7", "10", "12", "15"},
                               UsbTabSheet);
    CycleSize->setGeometry(0, 0, 86, 160);
    CycleSize->SetItemIndex(3);
    MuxOrder = new RadioGroup(QStringLiteral("オーダー"), {QStringLiteral("ユーザー"), QStringLiteral("リニア")},
                              UsbTabSheet);
    MuxOrder->setGeometry(89, 0, 86, 60);
    MuxOrder->SetItemIndex(0);
    MuxOrder->hide();
    AdvancedGroup = new QGroupBox(UsbTabSheet);
    AdvancedGroup->setGeometry(89, 64, 86, 34);
    AdvancedCheckBox = new QCheckBox(QStringLiteral("拡張設定"), AdvancedGroup);
    AdvancedCheckBox->setGeometry(6, 8, 76, 20);
    SensorSizeGroupBox = new QGroupBox(QStringLiteral("センサーサイズ"), UsbTabSheet);
    SensorSizeGroupBox->setGeometry(89, 102, 86, 48);
    SensorSizeComboBox = new DropList(SensorSizeGroupBox);
    SensorSizeComboBox->setGeometry(8, 18, 70, 22);
    for (int n = kFirstMuxSize; n <= kLastMuxSize; ++n) SensorSizeComboBox->addItem(QString::number(n));
    SensorSizeComboBox->setCurrentIndex(-1);
    SensorSizeGroupBox->hide();

    // Status pages.
    auto* statusPages = new QWidget(this);
    statusPages->setGeometry(262, 0, 89, 249);
    StatusGroup = new QGroupBox(QStringLiteral("ステータス"), statusPages);
    StatusGroup->setGeometry(0, 0, 89, 249);
    OpenCheckBox = new QCheckBox(QStringLiteral("オープン"), StatusGroup);
    OpenCheckBox->setGeometry(8, 18, 76, 20);
    DevOpenPanel = new ColourPanel(QStringLiteral("オープン"), StatusGroup);
    DevOpenPanel->setGeometry(8, 44, 73, 20);
    ActivePanel = new ColourPanel(QStringLiteral("アクティブ"), StatusGroup);
    ActivePanel->setGeometry(8, 68, 73, 20);
    ValidPanel = new ColourPanel(QStringLiteral("有効"), StatusGroup);
    ValidPanel->setGeometry(8, 92, 73, 20);
    const char* names[3] = {"サイズ", "失敗", "レート"};
    ColourPanel** panels[3] = {&LengthPanel, &LostPanel, &RatePanel};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(QString::fromUtf8(names[i]), StatusGroup);
        l->setGeometry(8, 122 + i * 40, 73, 14);
        *panels[i] = new ColourPanel(QStringLiteral("0"), StatusGroup);
        (*panels[i])->setGeometry(8, 137 + i * 40, 73, 20);
    }

    Port->OnClick = [this] { PortClick(); };
    Baud->OnClick = [this] { BaudClick(); };
    CycleSize->OnClick = [this] { CycleSizeClick(); };
    MuxOrder->OnClick = [this] { MuxOrderClick(); };
    QObject::connect(AdvancedCheckBox, &QCheckBox::toggled, this, [this] { AdvancedCheckBoxClick(); });
    QObject::connect(OpenCheckBox, &QCheckBox::toggled, this, [this] { OpenCheckBoxClick(); });
    SensorSizeComboBox->OnCloseUp = [this] { SensorSizeComboBoxCloseUp(); };

    auto indexPoll = [](RadioGroup* g) {
        return [g](TShareVarBase* v) {
            const int x = v->GetValueInt();
            if (g->GetItemIndex() != x) g->SetItemIndex(x);
        };
    };
    auto colourPoll = [](ColourPanel* p) {
        return [p](TShareVarBase* v) { p->SetColour(v->GetValueBool() ? clRed : clBtnFace); };
    };
    auto numberPoll = [](ColourPanel* p) {
        return [p](TShareVarBase* v) { p->setText(QString::number(v->GetValueInt())); };
    };

    const std::string sec = "Comm";
    VPort = FVars.AddItem(sec, "Port", "Int", 1, nullptr, indexPoll(Port), false);
    VBaud = FVars.AddItem(sec, "Baud", "Int", 1, nullptr, indexPoll(Baud), false);
    VCycleSize = FVars.AddItem(sec, "CycleSize", "Int", 1, nullptr,
                               [this](TShareVarBase* v) {
                                   const int item = CycleSizeItem(v->GetValueInt());
                                   if (CycleSize->GetItemIndex() != item) CycleSize->SetItemIndex(item);
                               },
                               false);
    VAdvanced = FVars.AddItem(sec, "Advanced", "Bool", 1, nullptr, [this](TShareVarBase*) { AdvancedPoll(); }, false);
    VReqMuxSize = FVars.AddItem(sec, "ReqMuxSize", "Int", 1, nullptr, [this](TShareVarBase*) { ReqMuxSizePoll(); }, false);
    VMuxOrder = FVars.AddItem(sec, "MuxOrder", "Int", 1, nullptr, indexPoll(MuxOrder), false);
    VReqOpen = FVars.AddItem(sec, "ReqOpen", "Bool", 1, nullptr,
                             [this](TShareVarBase* v) {
                                 const bool b = v->GetValueBool();
                                 if (OpenCheckBox->isChecked() != b) OpenCheckBox->setChecked(b);
                             },
                             false);
    VDevOpen = FVars.AddItem(sec, "DevOpen", "Bool", 1, nullptr, colourPoll(DevOpenPanel), false);
    VActive = FVars.AddItem(sec, "Active", "Bool", 1, nullptr, colourPoll(ActivePanel), false);
    VValid = FVars.AddItem(sec, "Valid", "Bool", 1, nullptr, colourPoll(ValidPanel), false);
    VLength = FVars.AddItem(sec, "Length", "Int", 1, nullptr, numberPoll(LengthPanel), false);
    VLost = FVars.AddItem(sec, "Lost", "Int", 1, nullptr, numberPoll(LostPanel), false);
    VRate = FVars.AddItem(sec, "Rate", "Int", 1, nullptr, numberPoll(RatePanel), false);
}

int TNXGF7_Comms::CycleSizeValue(int itemIndex) const {
    if (itemIndex < 0) itemIndex = 0;
    if (itemIndex > CycleSize->Count() - 1) itemIndex = CycleSize->Count() - 1;
    bool ok = false;
    const int n = CycleSize->ItemText(itemIndex).trimmed().toInt(&ok);
    return ok ? n : 1;
}

int TNXGF7_Comms::CycleSizeItem(int value) const {
    int a = value;
    if (a < 1) a = 1;
    if (a > 15) a = 15;
    for (int i = 0; i < CycleSize->Count(); ++i) {
        bool ok = false;
        int n = CycleSize->ItemText(i).trimmed().toInt(&ok);
        if (!ok) n = i;
        if (n >= a) return i;
    }
    return 1;
}

void TNXGF7_Comms::PortClick() { SetInt(VPort, Port->GetItemIndex()); }
void TNXGF7_Comms::BaudClick() { SetInt(VBaud, Baud->GetItemIndex()); }
void TNXGF7_Comms::CycleSizeClick() { SetInt(VCycleSize, CycleSizeValue(CycleSize->GetItemIndex())); }
void TNXGF7_Comms::MuxOrderClick() { SetInt(VMuxOrder, MuxOrder->GetItemIndex()); }
void TNXGF7_Comms::AdvancedCheckBoxClick() { SetBool(VAdvanced, AdvancedCheckBox->isChecked()); }
void TNXGF7_Comms::OpenCheckBoxClick() { SetBool(VReqOpen, OpenCheckBox->isChecked()); }

void TNXGF7_Comms::SensorSizeComboBoxCloseUp() {
    // With nothing chosen there is no size to ask for.
    const int i = SensorSizeComboBox->currentIndex();
    if (i >= 0) SetInt(VReqMuxSize, i + kFirstMuxSize);
}

void TNXGF7_Comms::AdvancedPoll() {
    const bool b = GetBool(VAdvanced);
    if (AdvancedCheckBox->isChecked() != b) AdvancedCheckBox->setChecked(b);
    MuxOrder->setVisible(b);
    SensorSizeGroupBox->setVisible(b);
}

void TNXGF7_Comms::ReqMuxSizePoll() {
    if (SensorSizeComboBox->DroppedDown()) return;
    const int size = GetInt(VReqMuxSize);
    if (SensorSizeComboBox->currentIndex() + kFirstMuxSize == size) return;
    const bool inList = size >= kFirstMuxSize && size <= kLastMuxSize;
    SensorSizeComboBox->setCurrentIndex(inList ? size - kFirstMuxSize : -1);
}

void TNXGF7_Comms::UpdateFromShare() {
    const int i = Port->GetItemIndex();
    OptionPageControl->setCurrentIndex(i == 9 ? 2 : (i >= 1 && i <= 8 ? 1 : 0));
}
