// The driver components' timer "thread": a main-loop timer whose ticks run on the main thread.
// Unlike TIPThread it has no busy flag and never skips a tick.
#pragma once

#include <cstdint>
#include <functional>

class MainLoop;

class TNX7_Thread {
public:
    explicit TNX7_Thread(MainLoop* loop = nullptr);  // created suspended
    ~TNX7_Thread();
    TNX7_Thread(const TNX7_Thread&) = delete;
    TNX7_Thread& operator=(const TNX7_Thread&) = delete;

    uint32_t GetInterval() const { return FInterval; }
    void SetInterval(uint32_t ms);
    bool GetRun() const { return FRun; }
    void SetRun(bool run);

    std::function<void(TNX7_Thread* theSender)> OnPoll;

private:
    MainLoop* FLoop;
    uint32_t FInterval = 1000;
    bool FRun = false;
    int FTimer = 0;
};
