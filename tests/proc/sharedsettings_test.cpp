// Settings that reach the stages through shared variables, with a live share manager: both
// finders of the driver register the same de-wiggle variables, so one change sets both axes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "driver/proc/packetsplitterb.h"
#include "driver/proc/procdualpeakb.h"
#include "platform/manualloop.h"
#include "share/sharemanbase.h"
#include "share/sharevarbase.h"

namespace {

class SharedSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ns = "zt7proc-" + std::to_string(getpid());
        setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
        TShareManBase::SetDeactivatePause(0);
        MainLoop::SetCurrent(&loop);
        x = std::make_unique<TNX7_ProcDualPeakB>();
        y = std::make_unique<TNX7_ProcDualPeakB>();
        splitter = std::make_unique<TNX7_PacketSplitterB>();
        Man()->SetMaster(true);
        Man()->SetActive(true);
        ASSERT_TRUE(Man()->GetActive());
        Tick();   // the start values go out on the first poll
    }
    void TearDown() override
    {
        if (TShareManBase::Existing()) Man()->SetActive(false);
        x.reset();
        y.reset();
        splitter.reset();
        MainLoop::SetCurrent(nullptr);
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
            if (e.path().filename().string().rfind(ns + "-", 0) == 0) std::filesystem::remove(e.path(), ec);
        unsetenv("ZT7_SHM_NAMESPACE");
    }
    static TShareManBase* Man() { return TShareManBase::GetShareManBase(); }
    void Tick() { Man()->DoPoll(nullptr); }

    std::string ns;
    ManualLoop loop;
    std::unique_ptr<TNX7_ProcDualPeakB> x, y;
    std::unique_ptr<TNX7_PacketSplitterB> splitter;
};

TEST_F(SharedSettings, OneDeWiggleChangeSetsBothFinders)
{
    TShareVarBase* inner = x->GetShareVars().GetVar(1);
    inner->SetValueFloat(2.0f);   // as the panel would write it
    Tick();
    EXPECT_FLOAT_EQ(x->GetDeWiggleInner(), 1.0f);
    EXPECT_FLOAT_EQ(y->GetDeWiggleInner(), 1.0f);

    // A setter on one finder announces its value; the other follows.
    y->SetDeWiggleOuter(0.25f);
    y->SetDeWiggleAdvanced(true);
    Tick();
    EXPECT_FLOAT_EQ(x->GetDeWiggleOuter(), 0.25f);
    EXPECT_TRUE(x->GetDeWiggleAdvanced());
}

TEST_F(SharedSettings, SplitChangesAreLimited)
{
    splitter->GetShareVars().GetVar(0)->SetValueInt(100);
    splitter->GetShareVars().GetVar(3)->SetValueInt(-2);
    Tick();
    EXPECT_EQ(splitter->GetSplit0(), 64);
    EXPECT_EQ(splitter->GetFlip1(), 0);
    splitter->GetShareVars().GetVar(0)->SetValueInt(-5);
    Tick();
    EXPECT_EQ(splitter->GetSplit0(), 0);
}

}  // namespace
