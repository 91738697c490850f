// One fused frame down the pointer path as the driver wires it: damped filter, damping,
// calibration, edge stretch and mouse output (with a sink that only counts).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "driver/touch/calibrate.h"
#include "driver/touch/damped.h"
#include "driver/touch/damping.h"
#include "driver/touch/edgestretch.h"
#include "driver/touch/output.h"
#include "platform/manualloop.h"
#include "share/meminifile.h"
#include "share/sharemanbase.h"

namespace {

struct PointerPath {
    ManualLoop loop;
    TNX7_Damped damped;
    TNX7_Damping damping;
    TNX7_Calibrate calibrate;
    TNX7_EdgeStretch edge;
    TNX7_Output output;
    long sent = 0;

    PointerPath() {
        MainLoop::SetCurrent(&loop);
        damped.SetActive(true);
        damped.SetMaxLength(100);
        damped.SetSnapRadius(0.05f);
        damping.SetDamping(0.5f);
        calibrate.SetTargetPos(0.1f);
        edge.SetActive(true);
        edge.SetEdgePos(0.1f);
        edge.SetLeftGain(0.5f);
        edge.SetRightGain(0.5f);
        output.SetPressType(mpt_SelectMoveReleaseRC);
        output.SetEnabled1(true);

        MemIniFile ini;
        ini.SetText(
            "[Calibrate]\r\nTargetPos=0.1\r\nRef_TL_X=0.1\r\nRef_TL_Y=0.1\r\nRef_TL_A=0.88\r\n"
            "Ref_TL_B=0.12\r\nRef_TR_X=0.9\r\nRef_TR_Y=0.1\r\nRef_TR_A=0.87\r\nRef_TR_B=0.9\r\n"
            "Ref_BL_X=0.1\r\nRef_BL_Y=0.9\r\nRef_BL_A=0.11\r\nRef_BL_B=0.13\r\n");
        calibrate.Load(&ini);

        damped.OnOutput = [this](void*, float x, float y, float mx, float my, float tt, float pt) {
            damping.Input(x, y, mx, my, tt, pt);
        };
        damping.OnOutput = [this](void*, float x, float y, float mx, float my, float tt, float pt) {
            calibrate.Input(this, x * 0.5f + 0.5f, y * 0.5f + 0.5f, mx, my, tt, pt);
        };
        calibrate.OnOutput = [this](void*, float x, float y, float mx, float my, float tt,
                                    float pt) {
            edge.Input(this, x, y, mx < my ? mx : my, tt, pt);
        };
        edge.OnOutput = [this](void*, float x, float y, float m, float tt, float pt) {
            output.SetEnabled3(true);
            output.SetEnabled4(!calibrate.GetBusy());
            output.Input(this, x, y, m, tt, pt, 1, 100);
        };
        output.OnMouseSend = [this](void*, TWinVersionType, uint32_t, int32_t, int32_t,
                                    uint32_t) { ++sent; };
    }
    ~PointerPath() {
        output.OnMouseSend = nullptr;
        MainLoop::SetCurrent(nullptr);
    }
};

void BM_PointerPathFrame(benchmark::State& state)
{
    PointerPath p;
    int i = 0;
    for (auto _ : state) {
        // A finger resting with a little jitter, pressing firmly: the filter averages its
        // history every frame, which is its most expensive case.
        const float wob = 0.004f * static_cast<float>((i * 7) % 5 - 2);
        p.damped.Input(0.1f + wob, -0.2f - wob, 400.0f, 380.0f, 31.5f, 31.5f);
        if ((++i & 7) == 0)
            p.loop.Advance(1);
    }
    benchmark::DoNotOptimize(p.sent);
    state.counters["sent"] = static_cast<double>(p.sent);
}
BENCHMARK(BM_PointerPathFrame);

void BM_PointerPathMovingFrame(benchmark::State& state)
{
    PointerPath p;
    int i = 0;
    for (auto _ : state) {
        // A finger sweeping across: the filter finds no near history.
        const float x = -0.8f + 0.0016f * static_cast<float>(i % 1000);
        p.damped.Input(x, 0.3f, 400.0f, 380.0f, 31.5f, 31.5f);
        if ((++i & 7) == 0)
            p.loop.Advance(1);
    }
    benchmark::DoNotOptimize(p.sent);
}
BENCHMARK(BM_PointerPathMovingFrame);

// The same resting frame with the share manager active as master, so every published value
// goes through its shared block and mutex as in the running driver.
void BM_PointerPathFrameShared(benchmark::State& state)
{
    const std::string ns = "zt7-touchbench-" + std::to_string(getpid());
    setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
    const uint32_t pause = TShareManBase::GetDeactivatePause();
    TShareManBase::SetDeactivatePause(0);
    {
        PointerPath p;
        TShareManBase* m = TShareManBase::GetShareManBase();
        m->SetMaster(true);
        m->SetActive(true);
        if (!m->GetActive())
            state.SkipWithError("share manager did not activate");
        int i = 0;
        for (auto _ : state) {
            const float wob = 0.004f * static_cast<float>((i * 7) % 5 - 2);
            p.damped.Input(0.1f + wob, -0.2f - wob, 400.0f, 380.0f, 31.5f, 31.5f);
            if ((++i & 7) == 0)
                p.loop.Advance(1);
        }
        m->SetActive(false);
        m->SetMaster(false);
    }
    TShareManBase::SetDeactivatePause(pause);
    unsetenv("ZT7_SHM_NAMESPACE");
    std::error_code ec;
    for (const auto& f : std::filesystem::directory_iterator("/dev/shm", ec))
        if (f.path().filename().string().rfind(ns + "-", 0) == 0)
            std::filesystem::remove(f.path(), ec);
}
BENCHMARK(BM_PointerPathFrameShared);

}  // namespace
