#include "driver/link/thread.h"

#include "platform/mainloop.h"

TNX7_Thread::TNX7_Thread(MainLoop* loop) : FLoop(loop) {}

TNX7_Thread::~TNX7_Thread()
{
    SetRun(false);
}

void TNX7_Thread::SetInterval(uint32_t ms)
{
    FInterval = ms;
    if (FTimer) FLoop->SetTimerInterval(FTimer, ms);
}

void TNX7_Thread::SetRun(bool run)
{
    if (run == FRun) return;
    FRun = run;
    if (run) {
        if (!FLoop) FLoop = &MainLoop::Current();
        // No busy flag: every tick reaches OnPoll, even one nested inside another.
        FTimer = FLoop->AddTimer(FInterval, [this] {
            if (OnPoll) OnPoll(this);
        });
    } else if (FTimer) {
        FLoop->RemoveTimer(FTimer);
        FTimer = 0;
    }
}
