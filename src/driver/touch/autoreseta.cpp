#include "driver/touch/autoreseta.h"

#include <algorithm>

#include "driver/link/thread.h"

TNX7_AutoResetA::TNX7_AutoResetA(MainLoop* loop) : FThread(std::make_unique<TNX7_Thread>(loop)) {
    FThread->SetInterval(Interval);
    FThread->OnPoll = [this](TNX7_Thread*) { DoPoll(this); };
    FThread->SetRun(true);
}

TNX7_AutoResetA::~TNX7_AutoResetA() {
    FThread->SetRun(false);
    FThread->OnPoll = nullptr;
}

void TNX7_AutoResetA::Input(void* Sender, int frame, double strengthX, double strengthY) {
    if (frame == 0) {
        Reset(Sender);
        return;
    }
    FXOver = strengthX > FThreshold;
    FYOver = strengthY > FThreshold;
    FLossTimer = 0;
}

void TNX7_AutoResetA::Reset(void*) {
    FQuickTimer = 0;
    FXTimer = 0;
    FYTimer = 0;
    FXOver = false;
    FYOver = false;
}

void TNX7_AutoResetA::DoPoll(void*) {
    FSlowTimer += Interval;
    FQuickTimer += Interval;
    FLossTimer += Interval;
    FHoldPeriod = std::clamp(FHoldPeriod, 1000L, 30000L);
    const bool touched = FXOver || FYOver;

    if (FSlowTimer > FSlowPeriod && (!touched || FSlowTimer > FSlowPeriod + FHoldPeriod)) {
        FSlowTimer = 0;
        if (OnSlowReset) {
            Reset(this);
            OnSlowReset(this);
        }
    }
    if (FQuickTimer > FQuickPeriod && (!touched || FQuickTimer > FQuickPeriod + FHoldPeriod)) {
        FQuickTimer = 0;
        if (OnQuickReset) OnQuickReset(this);
    }
    if (FLossTimer > FLossPeriod) {
        FLossTimer = 0;
        if (OnLossReset) OnLossReset(this);
    }
    FXTimer = (FXOver && !FYOver) ? FXTimer + Interval : 0;
    FYTimer = (FYOver && !FXOver) ? FYTimer + Interval : 0;
    if (FXTimer > FXYSkewPeriod || FYTimer > FXYSkewPeriod) {
        FXTimer = 0;
        FYTimer = 0;
        if (OnSkewReset) OnSkewReset(this);
    }
}
