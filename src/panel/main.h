// Main window of the control panel: the eight pages, the menus, the once-a-second timer and the
// driver's start and stop.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "share/sharemanager.h"

class QAction;
class QTabWidget;
class TNXGF7_About;
class TNXGF7_Calib;
class TNXGF7_CalibScreen;
class TNXGF7_Comms;
class TNXGF7_Copyright;
class TNXGF7_Edge;
class TNXGF7_Graph;
class TNXGF7_Linearity;
class TNXGF7_Monitor;
class TNXGF7_Output;
class TNXGF7_Save;
class TNXGF7_Sense;
class TNXGF7_SenseScreen;
class TNXGF7_Status;
namespace zt7 {
class Sheet;
}

struct PanelOptions {
    std::string exePath;      // the panel's own executable; the driver is looked for beside it
    std::string settingsDir;  // --dir: where ZT7.INI and the pictures live (and passed to the driver)
};

class TNXGF7_Main : public QMainWindow {
public:
    explicit TNXGF7_Main(const PanelOptions& options);
    ~TNXGF7_Main() override;

    void PageMainChange();
    void Timer1Timer();
    void ActivateShare();
    void TickMakerRefresh();
    void UpdateCaption(void* theSender);
    void AskSaveIfDirty();
    void ShowSection(QWidget* tab);

    void MenuFileRunNX7Click();
    void MenuFileStopNX7Click();
    void MenuFileSaveClick();
    void MenuFileExitClick();
    void MenuFileStopAndExitClick();
    void MenuHelpAboutClick();

    const std::string& ExeFolder() const { return FExeFolder; }
    const std::string& SettingsFolder() const { return FFolder; }
    QString BaseCaption() const { return FBaseCaption; }
    int GetMakerCountdown() const { return FMakerCountdown; }
    bool GetShareActive() const { return FShareActive; }

    TShareManager ShareManager1;
    QTabWidget* PageMain;
    zt7::Sheet* TabComms;
    zt7::Sheet* TabSense;
    zt7::Sheet* TabCalib;
    zt7::Sheet* TabOutput;
    zt7::Sheet* TabGraph;
    zt7::Sheet* TabMonitor;
    zt7::Sheet* TabEdge;
    zt7::Sheet* TabCopyright;

    // The other forms live as long as the main window.
    std::unique_ptr<TNXGF7_CalibScreen> CalibScreen;
    std::unique_ptr<TNXGF7_SenseScreen> SenseScreen;
    TNXGF7_About* About;
    TNXGF7_Save* Save;

    TNXGF7_Status* StatusFrame;
    TNXGF7_Comms* CommsFrame;
    TNXGF7_Sense* SenseFrame;
    TNXGF7_Calib* CalibFrame;
    TNXGF7_Edge* EdgeFrame;
    TNXGF7_Graph* GraphFrame;
    TNXGF7_Output* OutputFrame;
    TNXGF7_Monitor* MonitorFrame;
    TNXGF7_Linearity* LinearityFrame;
    TNXGF7_Copyright* CopyrightFrame;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildMenu();
    void BuildFrames();

    std::string FExePath;
    std::string FExeFolder;
    std::string FFolder;
    QString FBaseCaption;
    int FMakerCountdown = 2;
    bool FShareActive = false;
    int FTimer1 = 0;
};
