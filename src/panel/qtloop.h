// The panel's main loop: Qt's event loop behind the MainLoop interface, so the share manager's
// poll and the panel's timer run on the user-interface thread like every other event.
#pragma once

#include <QObject>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "platform/mainloop.h"

class QTimer;
class QSocketNotifier;

class QtLoop : public MainLoop {
public:
    QtLoop();
    ~QtLoop() override;

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

private:
    struct Waiter;
    bool OnLoopThread() const;
    void StopWaiters();

    QObject FContext;  // lives on the loop thread; queued calls are delivered through it
    int FNextId = 1;
    std::map<int, QTimer*> FTimers;
    std::map<int, QSocketNotifier*> FWatches;
    std::mutex FMutex;
    bool FStopped = false;
    std::map<Waiter*, std::shared_ptr<Waiter>> FWaiters;
};
