// Keeps the sensor healthy: resets the link when frames stop (loss), periodically (quick, slow;
// postponed while a finger rests) and when one axis sees a touch the other does not (skew).
#pragma once

#include <memory>

#include "share/events.h"

class MainLoop;
class TNX7_Thread;

class TNX7_AutoResetA {
public:
    explicit TNX7_AutoResetA(MainLoop* loop = nullptr);
    ~TNX7_AutoResetA();
    TNX7_AutoResetA(const TNX7_AutoResetA&) = delete;
    TNX7_AutoResetA& operator=(const TNX7_AutoResetA&) = delete;

    double GetThreshold() const { return FThreshold; }
    void SetThreshold(double v) { FThreshold = v; }
    long GetLossPeriod() const { return FLossPeriod; }
    void SetLossPeriod(long v) { FLossPeriod = v; }
    long GetSlowPeriod() const { return FSlowPeriod; }
    void SetSlowPeriod(long v) { FSlowPeriod = v; }
    // Clamped to 1000..30000 at every poll, not when set.
    long GetHoldPeriod() const { return FHoldPeriod; }
    void SetHoldPeriod(long v) { FHoldPeriod = v; }
    long GetQuickPeriod() const { return FQuickPeriod; }
    void SetQuickPeriod(long v) { FQuickPeriod = v; }
    long GetXYSkewPeriod() const { return FXYSkewPeriod; }
    void SetXYSkewPeriod(long v) { FXYSkewPeriod = v; }

    TNotifyEvent OnSlowReset;
    TNotifyEvent OnQuickReset;
    TNotifyEvent OnLossReset;
    TNotifyEvent OnSkewReset;

    // One fused frame: its length and the primary peak strengths of both axes.
    void Input(void* Sender, int frame, double strengthX, double strengthY);
    void Reset(void* Sender);
    // The one-second step; credits the nominal interval, not the measured time.
    void DoPoll(void* Sender);

    TNX7_Thread* GetThread() const { return FThread.get(); }

private:
    static constexpr long Interval = 1000;

    double FThreshold = 10;
    long FLossPeriod = 4000;
    long FSlowPeriod = 600000;
    long FHoldPeriod = 10000;
    long FQuickPeriod = 30000;
    long FXYSkewPeriod = 2000;

    long FSlowTimer = 0, FQuickTimer = 0, FLossTimer = 0, FXTimer = 0, FYTimer = 0;
    bool FXOver = false, FYOver = false;
    std::unique_ptr<TNX7_Thread> FThread;
};
