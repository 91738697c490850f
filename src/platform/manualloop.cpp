#include "platform/manualloop.h"


#include <atomic>
#include <thread>

#include "platform/loopcore.h"

struct ManualLoop::Impl {
    std::atomic<uint64_t> now;  // read by reader threads in tests through NowMs
    std::atomic<std::thread::id> owner{std::this_thread::get_id()};
    std::atomic<bool> quit{false};
    std::atomic<int> quitCode{0};

    std::mutex wakeMutex;
    std::condition_variable wakeCv;
    bool woken = false;

    loopcore::TimerTable timers;
    loopcore::PostQueue posts{[this] { Wake(); }};

    loopcore::WatchTable watches;

    explicit Impl(uint32_t start) : now(start) {}

    void Wake()
    {
        {
            std::lock_guard lock(wakeMutex);
            woken = true;
        }
        wakeCv.notify_all();
    }

    // Polls the watched descriptors without blocking (or up to waitMs) and calls the ready ones.
    // Returns how many were called.
    int PollWatches(int waitMs) { return watches.Poll(waitMs); }

    // Calls posted by posted calls run too, so a test sees a settled state; a call that keeps
    // posting itself is cut off after a bounded number of rounds.
    void Pending()
    {
        PollWatches(0);
        for (int round = 0; round < 100 && posts.RunAll() > 0; ++round) {
        }
    }
};

ManualLoop::ManualLoop(uint32_t startMs) : d(std::make_unique<Impl>(startMs)) {}

ManualLoop::~ManualLoop()
{
    loopcore::ForgetCurrent(this);
    d->posts.Close();
}

uint32_t ManualLoop::NowMs()
{
    return static_cast<uint32_t>(d->now);
}

int ManualLoop::AddTimer(uint32_t intervalMs, Callback cb)
{
    return d->timers.Add(d->now, intervalMs, std::move(cb));
}

void ManualLoop::SetTimerInterval(int timerId, uint32_t intervalMs)
{
    d->timers.SetInterval(timerId, d->now, intervalMs);
}

void ManualLoop::RemoveTimer(int timerId)
{
    d->timers.Remove(timerId);
}

int ManualLoop::WatchFd(int fd, Callback onReadable)
{
    return d->watches.Add(fd, std::move(onReadable));
}

void ManualLoop::UnwatchFd(int watchId)
{
    d->watches.Remove(watchId);
}

void ManualLoop::Post(Callback cb)
{
    d->posts.Post(std::move(cb));
}

bool ManualLoop::PostAndWait(Callback cb)
{
    if (std::this_thread::get_id() == d->owner.load()) {
        if (cb) cb();
        return true;
    }
    return d->posts.PostAndWait(std::move(cb));
}

void ManualLoop::Advance(uint32_t ms)
{
    const uint64_t target = d->now + ms;
    d->Pending();
    for (;;) {
        auto due = d->timers.NextDue();
        if (!due || *due > target) break;
        // A nested Advance inside a callback may already have moved time past this point.
        if (*due > d->now) d->now = *due;
        d->timers.FireOne(d->now);
        d->Pending();
    }
    if (target > d->now) d->now = target;
    d->Pending();
}

void ManualLoop::RunPending()
{
    d->Pending();
}

int ManualLoop::Run()
{
    d->owner.store(std::this_thread::get_id());
    d->posts.Open();
    while (!d->quit.load()) {
        d->Pending();
        if (d->quit.load()) break;
        if (auto due = d->timers.NextDue()) {
            if (*due > d->now) d->now = *due;
            d->timers.FireOne(d->now);
            continue;
        }
        // Nothing scheduled: wait for another thread's post or a descriptor, in short steps.
        if (d->PollWatches(d->watches.Empty() ? 0 : 10) == 0) {
            std::unique_lock lock(d->wakeMutex);
            d->wakeCv.wait_for(lock, std::chrono::milliseconds(10), [&] { return d->woken; });
            d->woken = false;
        }
    }
    d->quit.store(false);
    d->posts.Close();
    return d->quitCode.load();
}

void ManualLoop::Quit(int code)
{
    d->quitCode.store(code);
    d->quit.store(true);
    d->posts.Close();
    d->Wake();
}
