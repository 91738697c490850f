#include "panel/status.h"

#include <QGroupBox>
#include <QPushButton>

#include "panel/controls.h"
#include "platform/spawn.h"
#include "widgets/colours.h"

using namespace zt7;

TNXGF7_Status::TNXGF7_Status(QWidget* parent, const std::string& exeFolder, const std::string& settingsDir)
    : QWidget(parent), FExeFolder(exeFolder), FSettingsDir(settingsDir) {
    resize(226, 42);
    HeartBeatGroup = new QGroupBox(QStringLiteral("センサー"), this);
    HeartBeatGroup->setGeometry(0, 0, 226, 42);
    Beat = new ColourPanel(QString(), HeartBeatGroup);
    Beat->setGeometry(12, 17, 105, 18);
    ResetButton = new QPushButton(QStringLiteral("Reset"), HeartBeatGroup);
    ResetButton->setGeometry(136, 14, 75, 23);
    QObject::connect(ResetButton, &QPushButton::clicked, this, [this] { ResetButtonClick(); });

    Launcher = SpawnDetached;

    const std::string sec = "Status";
    Save = FVars.AddItem(sec, "Save", "Int", 1, nullptr, nullptr, false);
    Load = FVars.AddItem(sec, "Load", "Int", 1, nullptr, nullptr, false);
    Terminate = FVars.AddItem(sec, "Terminate", "Int", 1, nullptr, nullptr, false);
    Reset = FVars.AddItem(sec, "Reset", "Int", 1, nullptr, nullptr, false);
    HeartBeat = FVars.AddItem(sec, "HeartBeat", "Int", 1, [this](TShareVarBase* v) { HeartBeatChange(v); },
                              [this](TShareVarBase* v) { HeartBeatPoll(v); }, false);
    Dirty = FVars.AddItem(sec, "Dirty", "Bool", 1, [this](TShareVarBase* v) { DirtyChange(v); }, nullptr, false);
    LogRecord = FVars.AddItem(sec, "LogRecord", "Int", 1, nullptr, nullptr, false);
    LogPlay = FVars.AddItem(sec, "LogPlay", "Int", 1, nullptr, nullptr, false);
    LogStop = FVars.AddItem(sec, "LogStop", "Int", 1, nullptr, nullptr, false);
}

void TNXGF7_Status::StartDriver() {
    std::vector<std::string> args;
    if (!FSettingsDir.empty()) {
        args.push_back("--dir");
        args.push_back(FSettingsDir);
    }
    // A failed start is not reported: the presence display shows it soon enough.
    FLastDriverPid = Launcher ? Launcher(FExeFolder + "ZT7_DRIVER", args) : -1;
}

void TNXGF7_Status::StopDriver() {
    Increment(Terminate);
    WriteDirty(false);
}

void TNXGF7_Status::RequestSave() { Increment(Save); }
void TNXGF7_Status::RequestLoad() { Increment(Load); }
void TNXGF7_Status::RequestReset() { Increment(Reset); }
void TNXGF7_Status::RequestLogRecord() { Increment(LogRecord); }
void TNXGF7_Status::RequestLogPlay() { Increment(LogPlay); }
void TNXGF7_Status::RequestLogStop() { Increment(LogStop); }
void TNXGF7_Status::ResetButtonClick() { RequestReset(); }

bool TNXGF7_Status::IsDirty() {
    FDirty = GetBool(Dirty);
    return FDirty;
}

void TNXGF7_Status::WriteDirty(bool b) {
    FDirty = b;
    SetBoolX(Dirty, b);
}

void TNXGF7_Status::HeartBeatChange(TShareVarBase*) {
    if (!isEnabled()) return;
    FPresence = 200;
    ShowPresence();
}

void TNXGF7_Status::HeartBeatPoll(TShareVarBase*) {
    if (!isEnabled()) return;
    if (FPresence > 0) --FPresence;
    ShowPresence();
}

void TNXGF7_Status::ShowPresence() {
    if (FPresence > 40) {
        Beat->setText(QStringLiteral("Present"));
        Beat->SetColour(clRed);
    } else {
        Beat->setText(QStringLiteral("Not Present"));
        Beat->SetColour(clBtnFace);
    }
}

void TNXGF7_Status::DirtyChange(TShareVarBase*) {
    const bool d = GetBool(Dirty);
    if (d == FDirty) return;
    FDirty = d;
    if (OnDirtyChange) OnDirtyChange(this);
}
