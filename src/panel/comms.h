// Connection page: the sensor port, the serial or USB scan settings, and the link status the
// driver reports.
#pragma once

#include <QWidget>

#include "share/sharevarpoly.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QStackedWidget;
namespace zt7 {
class RadioGroup;
class ColourPanel;
class DropList;
}

class TNXGF7_Comms : public QWidget {
public:
    explicit TNXGF7_Comms(QWidget* parent);

    void UpdateFromShare();

    // Number written in a cycle-size item (1 when the text is not a number).
    int CycleSizeValue(int itemIndex) const;
    // Item showing a cycle-size value: the first whose number is at least the value.
    int CycleSizeItem(int value) const;

    zt7::RadioGroup* Port;
    QStackedWidget* OptionPageControl;
    QWidget* NoneTabSheet;
    QWidget* SerialTabSheet;
    QWidget* UsbTabSheet;
    zt7::RadioGroup* Baud;
    zt7::RadioGroup* CycleSize;
    zt7::RadioGroup* MuxOrder;
    QGroupBox* AdvancedGroup;
    QCheckBox* AdvancedCheckBox;
    QGroupBox* SensorSizeGroupBox;
    zt7::DropList* SensorSizeComboBox;
    QGroupBox* StatusGroup;
    QCheckBox* OpenCheckBox;
    zt7::ColourPanel* DevOpenPanel;
    zt7::ColourPanel* ActivePanel;
    zt7::ColourPanel* ValidPanel;
    zt7::ColourPanel* LengthPanel;
    zt7::ColourPanel* LostPanel;
    zt7::ColourPanel* RatePanel;

    TShareVarBase* VPort = nullptr;
    TShareVarBase* VBaud = nullptr;
    TShareVarBase* VCycleSize = nullptr;
    TShareVarBase* VAdvanced = nullptr;
    TShareVarBase* VReqMuxSize = nullptr;
    TShareVarBase* VMuxOrder = nullptr;
    TShareVarBase* VReqOpen = nullptr;
    TShareVarBase* VDevOpen = nullptr;
    TShareVarBase* VActive = nullptr;
    TShareVarBase* VValid = nullptr;
    TShareVarBase* VLength = nullptr;
    TShareVarBase* VLost = nullptr;
    TShareVarBase* VRate = nullptr;

private:
    void PortClick();
    void BaudClick();
    void CycleSizeClick();
    void MuxOrderClick();
    void AdvancedCheckBoxClick();
    void OpenCheckBoxClick();
    void SensorSizeComboBoxCloseUp();
    void AdvancedPoll();
    void ReqMuxSizePoll();

    TShareVarPoly FVars;
};
