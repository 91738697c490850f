// The process's main loop: timers, file-descriptor watches and hand-off from other threads.
// All component code runs on the loop's thread. The millisecond tick counter lives here too, so
// tests can drive time by hand (ManualLoop) while the programs use the native clock.
#pragma once

#include <cstdint>
#include <functional>

class MainLoop {
public:
    using Callback = std::function<void()>;

    virtual ~MainLoop() = default;

    // Millisecond tick counter (wraps like a 32-bit tick count).
    virtual uint32_t NowMs() = 0;

    // Periodic timer; the first call comes intervalMs after adding. Returns an id > 0.
    virtual int AddTimer(uint32_t intervalMs, Callback cb) = 0;
    // Takes effect from now: the next call comes intervalMs after this call.
    virtual void SetTimerInterval(int timerId, uint32_t intervalMs) = 0;
    virtual void RemoveTimer(int timerId) = 0;

    // Calls onReadable whenever fd is readable (or hung up). Returns an id > 0, or 0 on failure.
    virtual int WatchFd(int fd, Callback onReadable) = 0;
    virtual void UnwatchFd(int watchId) = 0;

    // Thread-safe: run cb on the loop thread soon.
    virtual void Post(Callback cb) = 0;
    // Thread-safe: run cb on the loop thread and wait until it has run. On the loop thread it runs
    // at once. Returns false when the loop stopped before it could run cb.
    virtual bool PostAndWait(Callback cb) = 0;

    // Runs until Quit; returns the code given to Quit.
    virtual int Run() = 0;
    virtual void Quit(int code = 0) = 0;

    // The loop components use when none is given to them.
    static MainLoop& Current();
    static void SetCurrent(MainLoop* loop);
};

// Millisecond tick counter of the current loop.
uint32_t GetTickCount();
