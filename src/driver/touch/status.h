// Command channel from the control panel and the driver's sign of life. The panel increments a
// counter of section "Status"; the driver writes it back to 0 and acts once per non-zero value it
// finds.
#pragma once

#include "share/events.h"
#include "share/sharevarpoly.h"

class TNX7_Status {
public:
    // Raises the process priority (the driver runs at high priority for its whole life).
    TNX7_Status();
    ~TNX7_Status() = default;

    TNotifyEvent OnSave;
    TNotifyEvent OnLoad;
    TNotifyEvent OnTerminate;
    TNotifyEvent OnReset;
    TNotifyEvent OnLogRecord;
    TNotifyEvent OnLogPlay;
    TNotifyEvent OnLogStop;

    void DoSaveChange(TShareVarBase* theSender);
    void DoLoadChange(TShareVarBase* theSender);
    void DoTerminateChange(TShareVarBase* theSender);
    void DoResetChange(TShareVarBase* theSender);
    void DoLogRecordChange(TShareVarBase* theSender);
    void DoLogPlayChange(TShareVarBase* theSender);
    void DoLogStopChange(TShareVarBase* theSender);

    // Once a second: HeartBeat + 1 and Dirty from the share manager, both plain writes.
    void DoHeartBeat();
    void DoHighPriority();

    TShareVarBase* GetSaveVar() const { return FSave; }
    TShareVarBase* GetLoadVar() const { return FLoad; }
    TShareVarBase* GetTerminateVar() const { return FTerminate; }
    TShareVarBase* GetResetVar() const { return FReset; }
    TShareVarBase* GetHeartBeatVar() const { return FHeartBeat; }
    TShareVarBase* GetDirtyVar() const { return FDirty; }
    TShareVarBase* GetLogRecordVar() const { return FLogRecord; }
    TShareVarBase* GetLogPlayVar() const { return FLogPlay; }
    TShareVarBase* GetLogStopVar() const { return FLogStop; }

private:
    void DoCommand(TShareVarBase* var, const TNotifyEvent& event);

    TShareVarPoly FShare;
    TShareVarBase* FSave = nullptr;
    TShareVarBase* FLoad = nullptr;
    TShareVarBase* FTerminate = nullptr;
    TShareVarBase* FReset = nullptr;
    TShareVarBase* FHeartBeat = nullptr;
    TShareVarBase* FDirty = nullptr;
    TShareVarBase* FLogRecord = nullptr;
    TShareVarBase* FLogPlay = nullptr;
    TShareVarBase* FLogStop = nullptr;
};
