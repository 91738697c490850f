#include "share/ipthread.h"

#include "platform/mainloop.h"

TIPThread::TIPThread(MainLoop* loop) : FLoop(loop) {}

TIPThread::~TIPThread()
{
    SetRun(false);
}

void TIPThread::SetInterval(uint32_t ms)
{
    FInterval = ms;
    if (FTimer) FLoop->SetTimerInterval(FTimer, ms);
}

void TIPThread::SetRun(bool run)
{
    if (run == FRun) return;
    FRun = run;
    if (run) {
        if (!FLoop) FLoop = &MainLoop::Current();
        FTimer = FLoop->AddTimer(FInterval, [this] { Tick(); });
    } else if (FTimer) {
        FLoop->RemoveTimer(FTimer);
        FTimer = 0;
    }
}

void TIPThread::Tick()
{
    // A tick arriving while OnPoll is still running (a nested loop inside it) does nothing.
    if (FBusy) return;
    FBusy = true;
    struct Clear {
        bool& busy;
        ~Clear() { busy = false; }
    } clear{FBusy};
    if (OnPoll) OnPoll(this);
}
