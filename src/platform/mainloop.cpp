#include "platform/mainloop.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/loopcore.h"
#include "platform/nativeloop.h"

namespace {

std::atomic<MainLoop*> gCurrent{nullptr};

// The process's own loop, made on first use when nobody installed one.
MainLoop& DefaultLoop()
{
    static NativeLoop loop;
    return loop;
}

}  // namespace

MainLoop& MainLoop::Current()
{
    MainLoop* loop = gCurrent.load(std::memory_order_acquire);
    if (loop) return *loop;
    return DefaultLoop();
}

void MainLoop::SetCurrent(MainLoop* loop)
{
    gCurrent.store(loop, std::memory_order_release);
}

uint32_t GetTickCount()
{
    return MainLoop::Current().NowMs();
}

void loopcore::ForgetCurrent(MainLoop* loop)
{
    MainLoop* expected = loop;
    gCurrent.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}
