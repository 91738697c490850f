// Status frame: whether the driver is alive (its heartbeat), the Reset button, and every
// command the panel sends to the driver.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "share/sharevarpoly.h"

class QGroupBox;
class QPushButton;
namespace zt7 {
class ColourPanel;
}

class TNXGF7_Status : public QWidget {
public:
    // exeFolder: where the driver lives; settingsDir: passed on as --dir when not empty.
    TNXGF7_Status(QWidget* parent, const std::string& exeFolder, const std::string& settingsDir);

    void StartDriver();
    void StopDriver();
    void RequestSave();
    void RequestLoad();
    void RequestReset();
    void RequestLogRecord();
    void RequestLogPlay();
    void RequestLogStop();
    bool IsDirty();
    void WriteDirty(bool b);
    void ResetButtonClick();
    void UpdateFromShare() {}

    void ShowPresence();
    // Process id of the last driver started (−1 when the start failed).
    int GetLastDriverPid() const { return FLastDriverPid; }
    int GetPresenceCounter() const { return FPresence; }

    std::function<void(void* theSender)> OnDirtyChange;
    // How the driver is started; tests replace it. Returns a process id or −1.
    std::function<int(const std::string& program, const std::vector<std::string>& args)> Launcher;

    QGroupBox* HeartBeatGroup;
    zt7::ColourPanel* Beat;
    QPushButton* ResetButton;

    TShareVarBase* Save = nullptr;
    TShareVarBase* Load = nullptr;
    TShareVarBase* Terminate = nullptr;
    TShareVarBase* Reset = nullptr;
    TShareVarBase* HeartBeat = nullptr;
    TShareVarBase* Dirty = nullptr;
    TShareVarBase* LogRecord = nullptr;
    TShareVarBase* LogPlay = nullptr;
    TShareVarBase* LogStop = nullptr;

private:
    void HeartBeatChange(TShareVarBase* v);
    void HeartBeatPoll(TShareVarBase* v);
    void DirtyChange(TShareVarBase* v);

    std::string FExeFolder;
    std::string FSettingsDir;
    int FPresence = 0;
    int FLastDriverPid = -1;
    bool FDirty = false;
    TShareVarPoly FVars;
};
