#include "platform/signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/mainloop.h"

namespace {
sigset_t WatchedSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}
}  // namespace

SignalWatch::~SignalWatch() {
    Stop();
}

bool SignalWatch::Start(MainLoop& loop, std::function<void(int)> onSignal) {
    Stop();
    sigset_t set = WatchedSet();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    FFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (FFd < 0) return false;
    FLoop = &loop;
    FOnSignal = std::move(onSignal);
    FWatch = loop.WatchFd(FFd, [this] { Drain(); });
    if (FWatch == 0) {
        close(FFd);
        FFd = -1;
        return false;
    }
    return true;
}

void SignalWatch::Drain() {
    signalfd_siginfo info;
    while (FFd >= 0 && read(FFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (FOnSignal) FOnSignal(static_cast<int>(info.ssi_signo));
    }
}

void SignalWatch::Stop() {
    if (FWatch && FLoop) FLoop->UnwatchFd(FWatch);
    FWatch = 0;
    if (FFd >= 0) close(FFd);
    FFd = -1;
    // The signals stay blocked: a late SIGTERM during tear-down must not kill the process
    // half-way through releasing shared memory.
}
