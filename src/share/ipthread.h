// Timer "thread" of the share manager's poll: a main-loop timer whose ticks run on the main
// thread. A tick that arrives while the previous one is still running (re-entered from a nested
// loop) is skipped.
#pragma once

#include <cstdint>
#include <functional>

class MainLoop;

class TIPThread {
public:
    explicit TIPThread(MainLoop* loop = nullptr);  // created suspended
    ~TIPThread();
    TIPThread(const TIPThread&) = delete;
    TIPThread& operator=(const TIPThread&) = delete;

    uint32_t GetInterval() const { return FInterval; }
    void SetInterval(uint32_t ms);
    bool GetRun() const { return FRun; }
    void SetRun(bool run);

    std::function<void(TIPThread* theSender)> OnPoll;

private:
    void Tick();

    MainLoop* FLoop;
    uint32_t FInterval = 1000;
    bool FRun = false;
    bool FBusy = false;
    int FTimer = 0;
};
