// The driver's main loop: poll(2) over the watched descriptors plus an eventfd that other threads
// use to wake it, with the wait bounded by the nearest timer. Time is steady_clock milliseconds.
#pragma once

#include <memory>

#include "platform/mainloop.h"

class NativeLoop : public MainLoop {
public:
    NativeLoop();
    ~NativeLoop() override;
    NativeLoop(const NativeLoop&) = delete;
    NativeLoop& operator=(const NativeLoop&) = delete;

    uint32_t NowMs() override;
    int AddTimer(uint32_t intervalMs, Callback cb) override;
    void SetTimerInterval(int timerId, uint32_t intervalMs) override;
    void RemoveTimer(int timerId) override;
    int WatchFd(int fd, Callback onReadable) override;
    void UnwatchFd(int watchId) override;
    void Post(Callback cb) override;
    bool PostAndWait(Callback cb) override;
    int Run() override;
    void Quit(int code = 0) override;

    // One round of the loop: waits at most maxWaitMs (negative: until something happens) for a
    // timer, a readable descriptor or a posted call, then runs whatever is ready.
    void ProcessEvents(int maxWaitMs);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
