// Main loop with virtual time for tests: nothing happens until the test advances the clock.
#pragma once

#include <memory>

#include "platform/mainloop.h"

class ManualLoop : public MainLoop {
public:
    explicit ManualLoop(uint32_t startMs = 0);
    ~ManualLoop() override;
    ManualLoop(const ManualLoop&) = delete;
    ManualLoop& operator=(const ManualLoop&) = delete;

    uint32_t NowMs() override;
    int AddTimer(uint32_t intervalMs, Callback cb) override;
    void SetTimerInterval(int timerId, uint32_t intervalMs) override;
    void RemoveTimer(int timerId) override;
    int WatchFd(int fd, Callback onReadable) override;
    void UnwatchFd(int watchId) override;
    void Post(Callback cb) override;
    // From the thread that made the loop: runs at once. From any other thread: blocks until the
    // test thread runs pending calls (Advance, RunPending, Run); false once the loop has quit.
    bool PostAndWait(Callback cb) override;
    // Runs simulated time as fast as it can: pending calls, then a jump to the next timer, until
    // Quit. With no timer left it waits (in real time) for posts and readable descriptors.
    int Run() override;
    void Quit(int code = 0) override;

    // Moves virtual time forward by ms, firing every timer that falls due (in time order) and
    // running posted calls. Readable watched fds are polled (without blocking) at each step.
    void Advance(uint32_t ms);
    // Runs posted calls and ready fd watches without moving time.
    void RunPending();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
