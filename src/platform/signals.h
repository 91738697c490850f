// SIGTERM and SIGINT delivered into the main loop, so shut-down runs on the main thread like any
// other event. Create it before any other thread starts: the signals are blocked process-wide.
#pragma once

#include <functional>

class MainLoop;

class SignalWatch {
public:
    SignalWatch() = default;
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Blocks SIGTERM, SIGINT and SIGHUP and watches them on loop. Returns false on failure.
    bool Start(MainLoop& loop, std::function<void(int signo)> onSignal);
    void Stop();

private:
    void Drain();

    MainLoop* FLoop = nullptr;
    int FFd = -1;
    int FWatch = 0;
    std::function<void(int)> FOnSignal;
};
