#include "driver/touch/status.h"

#include "platform/driverprocess.h"

TNX7_Status::TNX7_Status() {
    auto cmd = [this](void (TNX7_Status::*handler)(TShareVarBase*)) {
        return [this, handler](TShareVarBase* v) { (this->*handler)(v); };
    };
    FSave =
        FShare.AddItem("Status", "Save", "Int", 1, cmd(&TNX7_Status::DoSaveChange), nullptr, false);
    FLoad =
        FShare.AddItem("Status", "Load", "Int", 1, cmd(&TNX7_Status::DoLoadChange), nullptr, false);
    FTerminate = FShare.AddItem("Status", "Terminate", "Int", 1,
                                cmd(&TNX7_Status::DoTerminateChange), nullptr, false);
    FReset = FShare.AddItem("Status", "Reset", "Int", 1, cmd(&TNX7_Status::DoResetChange), nullptr,
                            false);
    FHeartBeat = FShare.AddItem("Status", "HeartBeat", "Int", 1, nullptr, nullptr, false);
    FDirty = FShare.AddItem("Status", "Dirty", "Bool", 1, nullptr, nullptr, false);
    FLogRecord = FShare.AddItem("Status", "LogRecord", "Int", 1,
                                cmd(&TNX7_Status::DoLogRecordChange), nullptr, false);
    FLogPlay = FShare.AddItem("Status", "LogPlay", "Int", 1, cmd(&TNX7_Status::DoLogPlayChange),
                              nullptr, false);
    FLogStop = FShare.AddItem("Status", "LogStop", "Int", 1, cmd(&TNX7_Status::DoLogStopChange),
                              nullptr, false);
    for (TShareVarBase* v :
         {FSave, FLoad, FTerminate, FReset, FHeartBeat, FLogRecord, FLogPlay, FLogStop})
        v->SetValueIntX(0);
    FDirty->SetValueBoolX(false);
    DoHighPriority();
}

void TNX7_Status::DoCommand(TShareVarBase* var, const TNotifyEvent& event) {
    // Our own write-back of 0 comes back as a change too; it finds 0 and does nothing.
    if (var->GetValueInt() == 0) return;
    var->SetValueInt(0);
    if (event) event(this);
}

void TNX7_Status::DoSaveChange(TShareVarBase* v) {
    DoCommand(v, OnSave);
}
void TNX7_Status::DoLoadChange(TShareVarBase* v) {
    DoCommand(v, OnLoad);
}
void TNX7_Status::DoTerminateChange(TShareVarBase* v) {
    DoCommand(v, OnTerminate);
}
void TNX7_Status::DoResetChange(TShareVarBase* v) {
    DoCommand(v, OnReset);
}
void TNX7_Status::DoLogRecordChange(TShareVarBase* v) {
    DoCommand(v, OnLogRecord);
}
void TNX7_Status::DoLogPlayChange(TShareVarBase* v) {
    DoCommand(v, OnLogPlay);
}
void TNX7_Status::DoLogStopChange(TShareVarBase* v) {
    DoCommand(v, OnLogStop);
}

void TNX7_Status::DoHeartBeat() {
    FHeartBeat->SetValueInt(FHeartBeat->GetValueInt() + 1);
    FDirty->SetValueBool(FDirty->GetDirty());
}

void TNX7_Status::DoHighPriority() {
    RaiseProcessPriority();
}
