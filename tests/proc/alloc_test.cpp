// A frame must not touch the heap: the stages run at the sensor's frame rate on the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "driver/proc/packetsplitterb.h"
#include "proc/axischain.h"
#include "platform/manualloop.h"

namespace {
std::atomic<long> gAllocations{0};
}

// The replacement allocator hands out malloc'd blocks, so free is the matching release.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

using Axis = AxisChain;

TEST(ProcAllocation, FramesAndResetsAllocateNothing)
{
    ManualLoop loop(0);
    MainLoop::SetCurrent(&loop);
    {
        const long start = gAllocations.load();
        auto counted = std::make_unique<int>(1);
        ASSERT_GT(gAllocations.load(), start) << "the counting allocator is not in use";
    }
    for (bool everyStage : {false, true}) {
        TNX7_PacketSplitterB splitter;
        splitter.SetSplit0(12);
        splitter.SetSplit1(40);
        splitter.SetFlip2(1);
        Axis x(everyStage), y(everyStage);
        splitter.OnRawX = [&](void* s, int n, const uint8_t* d) { x.history->Input(s, n, d); };
        splitter.OnRawY = [&](void* s, int n, const uint8_t* d) { y.history->Input(s, n, d); };
        splitter.OnRaw = [](void*, int, const uint8_t*) {};

        std::vector<std::vector<uint8_t>> frames(16, std::vector<uint8_t>(64));
        for (size_t k = 0; k < frames.size(); ++k)
            for (int i = 0; i < 64; ++i)
                frames[k][i] = static_cast<uint8_t>(100 + (i * 7 + k) % 3 + (i == 30 + int(k % 4) ? 90 : 0));

        const long before = gAllocations.load();
        for (int k = 0; k < 400; ++k) {
            if (k == 200) splitter.Reset(nullptr);
            splitter.Input(nullptr, 64, frames[k % frames.size()].data());
            if (k % 4 == 0) {
                x.sc.DoPoll();
                y.sc.DoPoll();
            }
        }
        EXPECT_EQ(gAllocations.load() - before, 0) << (everyStage ? "every stage" : "driver chain");
        EXPECT_GE(y.dp.GetPeakPos1(), 0);   // the frames did reach the finder
    }
    MainLoop::SetCurrent(nullptr);
}

}  // namespace
