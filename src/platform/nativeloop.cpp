#include "platform/nativeloop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/loopcore.h"

namespace {

uint64_t SteadyMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Every wake-up of an idle process costs far more than the work it does (timer interrupts, and
// more so on a virtual machine). The once-a-second housekeeping timers tick together on one
// grid; the 100 ms and shorter ones keep their exact ticks, as frame processing and its
// recordings are timed against them.
uint32_t PhaseGrain(uint32_t intervalMs)
{
    return intervalMs >= 1000 && intervalMs % 1000 == 0 ? 1000 : 0;
}

}  // namespace

struct NativeLoop::Impl {
    int wakeFd = -1;
    std::atomic<std::thread::id> loopThread{std::this_thread::get_id()};
    std::atomic<bool> quit{false};
    std::atomic<int> quitCode{0};
    int depth = 0;
    loopcore::TimerTable timers;
    loopcore::PostQueue posts{[this] { Wake(); }};

    loopcore::WatchTable watches;

    void Wake()
    {
        if (wakeFd < 0) return;
        uint64_t one = 1;
        // A full counter already means "wake up"; nothing else can go wrong worth reporting.
        [[maybe_unused]] ssize_t r = ::write(wakeFd, &one, sizeof one);
    }

    void DrainWake()
    {
        uint64_t v;
        while (::read(wakeFd, &v, sizeof v) > 0) {
        }
    }
};

NativeLoop::NativeLoop() : d(std::make_unique<Impl>())
{
    d->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

NativeLoop::~NativeLoop()
{
    loopcore::ForgetCurrent(this);
    d->posts.Close();
    if (d->wakeFd >= 0) ::close(d->wakeFd);
}

uint32_t NativeLoop::NowMs()
{
    return static_cast<uint32_t>(SteadyMs());
}

int NativeLoop::AddTimer(uint32_t intervalMs, Callback cb)
{
    return d->timers.Add(SteadyMs(), intervalMs, std::move(cb), PhaseGrain(intervalMs));
}

void NativeLoop::SetTimerInterval(int timerId, uint32_t intervalMs)
{
    d->timers.SetInterval(timerId, SteadyMs(), intervalMs, PhaseGrain(intervalMs));
}

void NativeLoop::RemoveTimer(int timerId)
{
    d->timers.Remove(timerId);
}

int NativeLoop::WatchFd(int fd, Callback onReadable)
{
    return d->watches.Add(fd, std::move(onReadable));
}

void NativeLoop::UnwatchFd(int watchId)
{
    d->watches.Remove(watchId);
}

void NativeLoop::Post(Callback cb)
{
    d->posts.Post(std::move(cb));
}

bool NativeLoop::PostAndWait(Callback cb)
{
    if (std::this_thread::get_id() == d->loopThread.load()) {
        if (cb) cb();
        return true;
    }
    return d->posts.PostAndWait(std::move(cb));
}

void NativeLoop::ProcessEvents(int maxWaitMs)
{
    d->loopThread.store(std::this_thread::get_id());

    int timeout = maxWaitMs;
    if (!d->posts.Empty()) {
        timeout = 0;
    } else if (auto due = d->timers.NextDue()) {
        uint64_t now = SteadyMs();
        uint64_t left = *due > now ? *due - now : 0;
        if (left > 0x7fffffff) left = 0x7fffffff;
        if (timeout < 0 || static_cast<int>(left) < timeout) timeout = static_cast<int>(left);
    }

    bool woken = false;
    d->watches.Poll(timeout, d->wakeFd, &woken);
    if (woken) d->DrainWake();

    uint64_t now = SteadyMs();
    // Once quit, the rest of the round's timers wait for a later Run.
    while (!d->quit.load() && d->timers.FireOne(now)) {
    }
    d->posts.RunAll();
}

int NativeLoop::Run()
{
    d->loopThread.store(std::this_thread::get_id());
    ++d->depth;
    d->posts.Open();
    while (!d->quit.load()) ProcessEvents(-1);
    d->quit.store(false);
    --d->depth;
    // A nested run hands back to the outer one; the outermost leaves callers waiting nowhere.
    if (d->depth > 0)
        d->posts.Open();
    else
        d->posts.Close();
    return d->quitCode.load();
}

void NativeLoop::Quit(int code)
{
    d->quitCode.store(code);
    d->quit.store(true);
    d->posts.Close();
    d->Wake();
}
