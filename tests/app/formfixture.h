// The processing form in virtual time, fed with frames of the simulated panel through the link's
// scan entry, with the mouse actions recorded.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/app/processfrm.h"
#include "driver/link/fakehid.h"
#include "platform/manualloop.h"
#include "platform/mousesink.h"
#include "share/sharemanbase.h"
#include "sim.h"
#include "testenv.h"

struct MouseAct {
    uint32_t flags;
    int32_t dx, dy;
};

class RecordingSink : public MouseSink {
public:
    const char* Name() const override { return "record"; }
    void Send(uint32_t flags, int32_t dx, int32_t dy) override { Acts.push_back({flags, dx, dy}); }
    std::vector<MouseAct> Acts;

    std::vector<MouseAct> Moves() const {
        std::vector<MouseAct> m;
        for (const MouseAct& a : Acts)
            if (a.flags == (mouseflags::Move | mouseflags::Absolute)) m.push_back(a);
        return m;
    }
    int Count(uint32_t flags) const {
        int n = 0;
        for (const MouseAct& a : Acts)
            n += a.flags == flags;
        return n;
    }
};

// The demonstration settings with the USB port (a fake HID backend without devices), so nothing
// but the test's own frames reach the graph.
inline std::string TestSettings() {
    std::string s = ReadWholeFile(ZT7_DEMO_INI);
    const std::string from = "PortInt1=1", to = "PortInt1=9";
    auto at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

struct FormFixture : ::testing::Test {
    TestShmNamespace ns;
    TempDir dir;
    ManualLoop loop{1000};
    TFakeHidBackend hid;
    RecordingSink sink;
    std::unique_ptr<TNX7_ProcessForm> form;
    std::vector<std::string> logs;
    sim::TPanel panel{sim::TPanelConfig{}};
    uint32_t simTime = 0;
    std::vector<uint8_t> frame;

    void SetUp() override {
        MainLoop::SetCurrent(&loop);
        TShareManBase::SetDeactivatePause(0);
    }
    void TearDown() override {
        form.reset();
        if (TShareManBase* m = TShareManBase::Existing()) m->SetActive(false);
        MainLoop::SetCurrent(nullptr);
    }

    // Creates the form; with extract, the driver's appended defaults are written first.
    void Create(bool extract = false) {
        TProcessFormConfig c;
        c.Directory = dir.Path();
        c.ExecutablePath = extract ? ZT7_DRIVER_PATH : "";
        c.Loop = &loop;
        c.HidBackend = &hid;
        c.StartUsbThread = false;
        c.ShutDownWaitMs = 0;
        form = std::make_unique<TNX7_ProcessForm>(c);
        form->SetMouseSink(&sink);
        form->OnLog = [this](const std::string& l) { logs.push_back(l); };
    }
    // First tick (start-up) and the share manager's poll that hands the loaded values on.
    void Start(bool extract = false) {
        Create(extract);
        loop.Advance(100);
        ASSERT_TRUE(form->GetStarted());
        loop.Advance(1100);
    }
    void StartWithSettings(const std::string& ini) {
        WriteWholeFile(dir.File("ZT7.INI"), ini);
        Start();
    }

    // ms of frames at 100 per second with the given fingers.
    void Feed(uint32_t ms, const std::vector<sim::TFinger>& fingers = {}) {
        for (uint32_t t = 0; t < ms; t += 10) {
            panel.Scan(simTime, fingers, frame);
            form->NX7_CommsAXY.DoScanPacket(&panel, static_cast<int>(frame.size()), frame.data());
            loop.Advance(10);
            simTime += 10;
        }
    }
    static sim::TFinger Finger(float x, float y, float strength = 70) {
        sim::TFinger f;
        f.Down = true;
        f.X = x;
        f.Y = y;
        f.Strength = strength;
        return f;
    }
    // A plain write of a Status command, as the panel's increment, and the poll that delivers it.
    void Command(TShareVarBase* var) {
        var->SetValueInt(var->GetValueInt() + 1);
        loop.Advance(1100);
    }
};
