#include "panel/qtloop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

struct QtLoop::Waiter {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool ran = false;
};

QtLoop::QtLoop() = default;

QtLoop::~QtLoop() {
    StopWaiters();
    for (auto& [id, t] : FTimers) delete t;
    for (auto& [id, n] : FWatches) delete n;
}

uint32_t QtLoop::NowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    // Same epoch as the tick counter of other processes does not matter: only differences are used.
    return static_cast<uint32_t>(clock.elapsed());
}

bool QtLoop::OnLoopThread() const { return QThread::currentThread() == FContext.thread(); }

int QtLoop::AddTimer(uint32_t intervalMs, Callback cb) {
    auto* t = new QTimer(&FContext);
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(static_cast<int>(intervalMs));
    QObject::connect(t, &QTimer::timeout, &FContext, [cb = std::move(cb)] { cb(); });
    const int id = FNextId++;
    FTimers[id] = t;
    t->start();
    return id;
}

void QtLoop::SetTimerInterval(int timerId, uint32_t intervalMs) {
    auto it = FTimers.find(timerId);
    if (it == FTimers.end()) return;
    it->second->start(static_cast<int>(intervalMs));
}

void QtLoop::RemoveTimer(int timerId) {
    auto it = FTimers.find(timerId);
    if (it == FTimers.end()) return;
    it->second->stop();
    // The timer may be the one whose callback is running right now.
    it->second->deleteLater();
    FTimers.erase(it);
}

int QtLoop::WatchFd(int fd, Callback onReadable) {
    if (fd < 0) return 0;
    auto* n = new QSocketNotifier(fd, QSocketNotifier::Read, &FContext);
    QObject::connect(n, &QSocketNotifier::activated, &FContext, [cb = std::move(onReadable)] { cb(); });
    const int id = FNextId++;
    FWatches[id] = n;
    return id;
}

void QtLoop::UnwatchFd(int watchId) {
    auto it = FWatches.find(watchId);
    if (it == FWatches.end()) return;
    it->second->setEnabled(false);
    it->second->deleteLater();
    FWatches.erase(it);
}

void QtLoop::Post(Callback cb) {
    QMetaObject::invokeMethod(&FContext, std::move(cb), Qt::QueuedConnection);
}

bool QtLoop::PostAndWait(Callback cb) {
    if (OnLoopThread()) {
        cb();
        return true;
    }
    auto w = std::make_shared<Waiter>();
    {
        std::lock_guard<std::mutex> lk(FMutex);
        if (FStopped) return false;
        FWaiters[w.get()] = w;
    }
    QMetaObject::invokeMethod(
        &FContext,
        [this, w, cb = std::move(cb)] {
            cb();
            {
                std::lock_guard<std::mutex> lk(FMutex);
                FWaiters.erase(w.get());
            }
            std::lock_guard<std::mutex> lk(w->m);
            w->ran = true;
            w->done = true;
            w->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lk(w->m);
    w->cv.wait(lk, [&] { return w->done; });
    return w->ran;
}

void QtLoop::StopWaiters() {
    std::map<Waiter*, std::shared_ptr<Waiter>> waiters;
    {
        std::lock_guard<std::mutex> lk(FMutex);
        FStopped = true;
        waiters.swap(FWaiters);
    }
    for (auto& [p, w] : waiters) {
        std::lock_guard<std::mutex> lk(w->m);
        w->done = true;
        w->cv.notify_all();
    }
}

int QtLoop::Run() {
    {
        std::lock_guard<std::mutex> lk(FMutex);
        FStopped = false;
    }
    const int rc = QCoreApplication::exec();
    // A thread still waiting for the loop must not wait forever.
    StopWaiters();
    return rc;
}

void QtLoop::Quit(int code) { QCoreApplication::exit(code); }
