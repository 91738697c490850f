// Which writes reach the control panel: plain writes post a change through the share manager's
// ring, X writes only store. Runs the real manager as master in a namespace of its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "driver/touch/autothreshold.h"
#include "driver/touch/calibrate.h"
#include "driver/touch/damped.h"
#include "driver/touch/edgestretch.h"
#include "driver/touch/output.h"
#include "platform/manualloop.h"
#include "share/sharemanbase.h"
#include "share/sharevarbase.h"

namespace {

class PostedWrites : public ::testing::Test {
protected:
    ManualLoop loop;
    std::multiset<int> ids;
    uint32_t FPause = 0;
    std::string ns;

    void SetUp() override {
        MainLoop::SetCurrent(&loop);
        static int serial = 0;
        ns =
            "zt7-touchtest-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
        // The pause that lets a panel notice a leaving master serves no one here.
        FPause = TShareManBase::GetDeactivatePause();
        TShareManBase::SetDeactivatePause(0);
    }
    void TearDown() override {
        if (TShareManBase* m = TShareManBase::Existing()) {
            m->OnMonitor = nullptr;
            m->SetActive(false);
            m->SetMaster(false);
        }
        TShareManBase::SetDeactivatePause(FPause);
        unsetenv("ZT7_SHM_NAMESPACE");
        // Shared-memory objects outlive the process on Linux; leave none of ours behind.
        std::error_code ec;
        for (const auto& f : std::filesystem::directory_iterator("/dev/shm", ec))
            if (f.path().filename().string().rfind(ns + "-", 0) == 0)
                std::filesystem::remove(f.path(), ec);
        MainLoop::SetCurrent(nullptr);
    }
    // Call once every component of the test exists: variables register before activation.
    void Activate() {
        TShareManBase* m = TShareManBase::GetShareManBase();
        m->SetMaster(true);
        m->SetActive(true);
        ASSERT_TRUE(m->GetActive());
        m->OnMonitor = [this](void*, int id) { ids.insert(id); };
        // The first poll flushes what the components wrote before activation; the second
        // dispatches it.
        m->DoPoll(nullptr);
        m->DoPoll(nullptr);
        ids.clear();
    }
    // Names (of the given group) posted since the last call.
    std::set<std::string> Posted(TShareVarPoly& vars) {
        ids.clear();
        TShareManBase::GetShareManBase()->DoPoll(nullptr);
        std::set<std::string> names;
        for (int i = 0; i < vars.GetCount(); ++i) {
            TShareVarBase* v = vars.GetVar(i);
            if (ids.count(v->GetID()))
                names.insert(v->GetVarName());
        }
        return names;
    }
    using Names = std::set<std::string>;
};

TEST_F(PostedWrites, TouchLevels)
{
    TNX7_AutoThreshold at;
    at.SetFixed(true);
    Activate();

    at.Input(nullptr, 0.1f, 0.2f, 50.0f);
    EXPECT_EQ(Posted(at.GetVars()), Names({"PressValue"}));

    at.DoStart(nullptr);
    EXPECT_EQ(Posted(at.GetVars()), Names({"Busy", "State"}));

    // Counters move (CountRatio is an X write); only the strength is posted.
    at.Input(nullptr, 0.9f, 0.2f, 50.0f);
    EXPECT_EQ(at.GetCount2(), 1);
    EXPECT_EQ(Posted(at.GetVars()), Names({"PressValue"}));

    at.SetMaxThreshold(200.0f);
    at.SetTrackingTimeConstant(0.05f);
    EXPECT_EQ(Posted(at.GetVars()), Names());

    at.DoCancel(nullptr);
    EXPECT_EQ(Posted(at.GetVars()), Names({"FixedThreshold", "TouchRatio", "PressRatio",
                                           "MinThreshold", "Advanced", "Busy", "State"}));
}

TEST_F(PostedWrites, CalibrationCountsOnlyWhenTheyChange)
{
    TNX7_Calibrate c;
    Activate();

    c.DoStart(nullptr);
    EXPECT_EQ(Posted(c.GetVars()), Names({"Busy", "State", "Count0", "Count3"}));
    c.Input(nullptr, 0.1f, 0.1f, 500, 500, 30, 60);  // still the starting press: no count
    EXPECT_EQ(Posted(c.GetVars()), Names());
    c.Input(nullptr, 0.1f, 0.1f, 0, 0, 30, 60);
    c.Input(nullptr, 0.1f, 0.1f, 500, 500, 30, 60);
    EXPECT_EQ(Posted(c.GetVars()), Names({"Count0"}));
}

TEST_F(PostedWrites, MouseOutputPostsTheButtonLevelEveryFrame)
{
    TNX7_Output out;
    Activate();
    out.Input(nullptr, 0.5f, 0.5f, 45.0f, 30, 60, 1, 0);
    EXPECT_EQ(Posted(out.GetVars()), Names({"Button"}));
    out.Input(nullptr, 0.5f, 0.5f, 45.0f, 30, 60, 1, 0);
    EXPECT_EQ(Posted(out.GetVars()), Names({"Button"}));
}

TEST_F(PostedWrites, PanelWritesReachTheHandlersThroughThePoll)
{
    TNX7_EdgeStretch e;
    TNX7_Damped d;
    Activate();

    TShareVarBase* top = e.GetVars().GetVar(0);
    ASSERT_EQ(top->GetVarName(), "TopGain");
    top->SetValueFloat(5.0f);
    TShareVarBase* snap = d.GetVars().GetVar(0);
    snap->SetValueFloat(0.0f);
    TShareManBase::GetShareManBase()->DoPoll(nullptr);
    EXPECT_FLOAT_EQ(e.GetTopGain(), 2.0f);
    EXPECT_FLOAT_EQ(d.GetSnapRadius(), 0.001f);

    e.SetLeftGain(1.0f);
    EXPECT_EQ(Posted(e.GetVars()), Names({"LeftGain"}));
}

}  // namespace
