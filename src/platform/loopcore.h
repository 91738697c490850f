// Pieces both loop implementations share: the timer table and the queue of calls posted from
// other threads. Private to src/platform.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <poll.h>

#include "platform/mainloop.h"

namespace loopcore {

// Called by a loop going away: if it is the current loop, the process falls back to its own,
// so nothing reads the clock through a destroyed loop.
void ForgetCurrent(MainLoop* loop);

// Periodic timers on a 64-bit millisecond time line that the owner supplies.
class TimerTable {
public:
    // grain (0: none) puts the timer's ticks on a grid of grain ms, so that timers sharing a
    // grain share their wake-ups; the first tick may come up to grain ms late.
    int Add(uint64_t now, uint32_t intervalMs, MainLoop::Callback cb, uint32_t grain = 0)
    {
        int id = ++FLastId;
        if (!FOrigin) FOrigin = now;
        uint32_t iv = Clamp(intervalMs);
        FTimers.emplace(id, Timer{iv, Align(now + iv, grain), grain,
                                  std::make_shared<MainLoop::Callback>(std::move(cb))});
        return id;
    }

    void SetInterval(int id, uint64_t now, uint32_t intervalMs, uint32_t grain = 0)
    {
        auto it = FTimers.find(id);
        if (it == FTimers.end()) return;
        if (!FOrigin) FOrigin = now;
        it->second.interval = Clamp(intervalMs);
        it->second.grain = grain;
        it->second.due = Align(now + it->second.interval, grain);
    }

    void Remove(int id) { FTimers.erase(id); }

    std::optional<uint64_t> NextDue() const
    {
        std::optional<uint64_t> best;
        for (const auto& [id, t] : FTimers)
            if (!best || t.due < *best) best = t.due;
        return best;
    }

    // Fires the earliest timer due at or before now (ties in the order they were added).
    // Returns false when none is due. The next due time is set before the call so the callback
    // may change its own interval or remove itself; a late timer is not fired in a burst.
    bool FireOne(uint64_t now)
    {
        auto best = FTimers.end();
        for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
            if (it->second.due <= now && (best == FTimers.end() || it->second.due < best->second.due))
                best = it;
        if (best == FTimers.end()) return false;
        Timer& t = best->second;
        t.due += t.interval;
        if (t.due <= now) t.due = Align(now + t.interval, t.grain);
        auto cb = t.cb;  // keeps the callable alive if the timer is removed from inside it
        if (*cb) (*cb)();
        return true;
    }

    bool Empty() const { return FTimers.empty(); }

private:
    struct Timer {
        uint32_t interval;
        uint64_t due;
        uint32_t grain;
        std::shared_ptr<MainLoop::Callback> cb;
    };
    // A zero interval would spin the loop (and never let virtual time move on).
    static uint32_t Clamp(uint32_t ms) { return ms == 0 ? 1 : ms; }
    // The grid runs through the moment the first timer was set, so timers set together at
    // start-up keep exactly the ticks they would have had, short ones included.
    uint64_t Align(uint64_t t, uint32_t grain)
    {
        if (!grain) return t;
        if (t >= *FOrigin) return *FOrigin + (t - *FOrigin + grain - 1) / grain * grain;
        return *FOrigin - (*FOrigin - t) / grain * grain;
    }

    std::map<int, Timer> FTimers;
    int FLastId = 0;
    std::optional<uint64_t> FOrigin;
};

// Calls handed to the loop thread. Open while the loop can still run them; closing it (loop quit or
// destroyed) releases every caller waiting in PostAndWait with false.
class PostQueue {
public:
    explicit PostQueue(std::function<void()> wake) : FWake(std::move(wake)) {}
    ~PostQueue() { Close(); }

    void Post(MainLoop::Callback cb)
    {
        {
            std::lock_guard lock(FMutex);
            FItems.push_back(Item{std::move(cb), nullptr});
        }
        FWake();
    }

    // Blocks the calling (non-loop) thread until the loop has run cb, or the queue closed.
    bool PostAndWait(MainLoop::Callback cb)
    {
        auto w = std::make_shared<Waiter>();
        {
            std::lock_guard lock(FMutex);
            if (FClosed) return false;
            FItems.push_back(Item{std::move(cb), w});
        }
        FWake();
        std::unique_lock lock(w->m);
        w->cv.wait(lock, [&] { return w->state != Waiter::Pending; });
        return w->state == Waiter::Done;
    }

    // Runs the calls queued so far; calls posted meanwhile wait for the next round.
    // Returns how many ran.
    size_t RunAll()
    {
        std::deque<Item> batch;
        {
            std::lock_guard lock(FMutex);
            batch.swap(FItems);
        }
        size_t n = 0;
        while (!batch.empty()) {
            Item item = std::move(batch.front());
            batch.pop_front();
            // Release the waiter even if the call throws, then let the exception go on.
            struct Release {
                std::shared_ptr<Waiter> w;
                ~Release()
                {
                    if (w) w->Finish(Waiter::Done);
                }
            } release{item.waiter};
            try {
                if (item.cb) item.cb();
            } catch (...) {
                // The rest of the batch keeps its place for the next round.
                std::lock_guard lock(FMutex);
                while (!batch.empty()) {
                    FItems.push_front(std::move(batch.back()));
                    batch.pop_back();
                }
                throw;
            }
            ++n;
        }
        return n;
    }

    bool Empty()
    {
        std::lock_guard lock(FMutex);
        return FItems.empty();
    }

    void Open()
    {
        std::lock_guard lock(FMutex);
        FClosed = false;
    }

    // Refuses further waits and cancels those queued. Plain posts stay for a later run.
    void Close()
    {
        std::deque<Item> cancelled;
        {
            std::lock_guard lock(FMutex);
            FClosed = true;
            for (auto it = FItems.begin(); it != FItems.end();) {
                if (it->waiter) {
                    cancelled.push_back(std::move(*it));
                    it = FItems.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto& item : cancelled) item.waiter->Finish(Waiter::Cancelled);
    }

    bool Closed()
    {
        std::lock_guard lock(FMutex);
        return FClosed;
    }

private:
    struct Waiter {
        enum State { Pending, Done, Cancelled };
        std::mutex m;
        std::condition_variable cv;
        State state = Pending;
        void Finish(State s)
        {
            {
                std::lock_guard lock(m);
                state = s;
            }
            cv.notify_all();
        }
    };
    struct Item {
        MainLoop::Callback cb;
        std::shared_ptr<Waiter> waiter;
    };

    std::function<void()> FWake;
    std::mutex FMutex;
    std::deque<Item> FItems;
    bool FClosed = false;
};

// File-descriptor watches of a loop. Poll takes a snapshot, so callbacks may add or remove
// watches while the round dispatches.
class WatchTable {
public:
    using Callback = MainLoop::Callback;

    int Add(int fd, Callback onReadable)
    {
        if (fd < 0 || !onReadable) return 0;
        int id = ++FLastId;
        FWatches.emplace(id, Watch{fd, std::make_shared<Callback>(std::move(onReadable))});
        return id;
    }
    void Remove(int id) { FWatches.erase(id); }
    bool Empty() const { return FWatches.empty(); }

    // Waits up to waitMs (−1: no limit) for a watched fd or for extraFd (−1: none) to become
    // readable and calls the ready watches. extraReady tells whether extraFd was. Returns how many
    // watches were called.
    int Poll(int waitMs, int extraFd = -1, bool* extraReady = nullptr)
    {
        if (extraReady) *extraReady = false;
        if (FWatches.empty() && extraFd < 0 && waitMs == 0) return 0;
        std::vector<pollfd> fds;
        std::vector<int> ids;
        fds.reserve(FWatches.size() + 1);
        fds.push_back(pollfd{extraFd, POLLIN, 0});  // a negative fd is skipped by poll
        for (const auto& [id, w] : FWatches) {
            fds.push_back(pollfd{w.fd, POLLIN, 0});
            ids.push_back(id);
        }
        if (::poll(fds.data(), fds.size(), waitMs) <= 0) return 0;
        if (extraReady) *extraReady = fds[0].revents != 0;
        int called = 0;
        for (size_t i = 1; i < fds.size(); ++i) {
            const short re = fds[i].revents;
            if (!re) continue;
            auto it = FWatches.find(ids[i - 1]);
            if (it == FWatches.end()) continue;  // unwatched by an earlier callback
            if (re & POLLNVAL) {
                // Closed without being unwatched: drop it rather than spin on it.
                FWatches.erase(it);
                continue;
            }
            auto cb = it->second.cb;
            (*cb)();
            ++called;
        }
        return called;
    }

private:
    struct Watch {
        int fd;
        std::shared_ptr<Callback> cb;
    };
    std::map<int, Watch> FWatches;
    int FLastId = 0;
};

}  // namespace loopcore
