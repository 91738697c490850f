#include <gtest/gtest.h>

#include <map>

#include "driver/touch/grapher.h"
#include "driver/touch/status.h"
#include "platform/manualloop.h"
#include "share/sharemanbase.h"
#include "testenv.h"

namespace {

// The driver's side of the group: master and active, polled by virtual time.
struct MasterFixture : ::testing::Test {
    TestShmNamespace ns;
    ManualLoop loop;
    TShareManBase* man = nullptr;

    void Activate() {
        MainLoop::SetCurrent(&loop);
        TShareManBase::SetDeactivatePause(0);
        man = TShareManBase::GetShareManBase();
        man->SetLoop(&loop);
        man->SetMaster(true);
        man->SetActive(true);
        ASSERT_TRUE(man->GetActive());
    }
    void TearDown() override {
        if (man) man->SetActive(false);
        MainLoop::SetCurrent(nullptr);
    }
};

struct StatusFixture : MasterFixture {
    std::unique_ptr<TNX7_Status> status;
    std::map<std::string, int> raised;

    void SetUp() override {
        status = std::make_unique<TNX7_Status>();
        auto count = [this](const char* name) { return [this, name](void*) { ++raised[name]; }; };
        status->OnSave = count("Save");
        status->OnLoad = count("Load");
        status->OnTerminate = count("Terminate");
        status->OnReset = count("Reset");
        status->OnLogRecord = count("LogRecord");
        status->OnLogPlay = count("LogPlay");
        status->OnLogStop = count("LogStop");
        Activate();
    }
    void TearDown() override {
        MasterFixture::TearDown();
        status.reset();
    }
    void Poll() { loop.Advance(1100); }
};

TEST_F(StatusFixture, EachCommandActsOnceAndReadsZeroAfterwards) {
    struct Cmd {
        const char* name;
        TShareVarBase* var;
    } cmds[] = {{"Save", status->GetSaveVar()},           {"Load", status->GetLoadVar()},
                {"Terminate", status->GetTerminateVar()}, {"Reset", status->GetResetVar()},
                {"LogRecord", status->GetLogRecordVar()}, {"LogPlay", status->GetLogPlayVar()},
                {"LogStop", status->GetLogStopVar()}};
    for (const Cmd& c : cmds) {
        raised.clear();
        c.var->SetValueInt(1);  // the panel's increment
        Poll();
        EXPECT_EQ(raised[c.name], 1) << c.name;
        EXPECT_EQ(raised.size(), 1u) << c.name << ": only its own event";
        EXPECT_EQ(c.var->GetValueInt(), 0) << c.name;
        Poll();  // our write-back of 0 comes back as a change and does nothing
        EXPECT_EQ(raised[c.name], 1) << c.name;
    }
}

TEST_F(StatusFixture, ZeroWriteDoesNothingAndIncrementsInOnePollActOnce) {
    status->GetSaveVar()->SetValueInt(0);
    Poll();
    EXPECT_EQ(raised["Save"], 0);
    status->GetSaveVar()->SetValueInt(1);
    status->GetSaveVar()->SetValueInt(2);
    status->GetSaveVar()->SetValueInt(3);
    Poll();
    EXPECT_EQ(raised["Save"], 1);
}

TEST_F(StatusFixture, HeartBeatCountsAndDirtyMirrorsTheManager) {
    EXPECT_EQ(status->GetHeartBeatVar()->GetValueInt(), 0);
    man->SetDirty(true);
    status->DoHeartBeat();
    status->DoHeartBeat();
    EXPECT_EQ(status->GetHeartBeatVar()->GetValueInt(), 2);
    EXPECT_TRUE(status->GetDirtyVar()->GetValueBool());
    man->SetDirty(false);
    status->DoHeartBeat();
    EXPECT_EQ(status->GetHeartBeatVar()->GetValueInt(), 3);
    EXPECT_FALSE(status->GetDirtyVar()->GetValueBool());
}

struct GrapherFixture : MasterFixture {
    TNX7_Grapher g0, g1;
    int outputs = 0, lastCount = -1;
    std::array<float, 80> data{};

    void SetUp() override {
        g1.SetChannel(1);
        g0.OnOutput = [this](void*, int n, const float*) {
            ++outputs;
            lastCount = n;
        };
        Activate();
        for (int i = 0; i < 66; ++i)
            g0.GetDiffVar()->SetValueFloatXA(i, -1.0f);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<float>(i) + 0.5f;
    }
};

TEST_F(GrapherFixture, SectionsFollowTheChannel) {
    EXPECT_EQ(g0.GetLengthVar()->GetSecName(), "Grapher0");
    EXPECT_EQ(g1.GetDiffVar()->GetSecName(), "Grapher1");
}

TEST_F(GrapherFixture, WithoutPanelOnlyForwards) {
    g0.Input(this, 40, data.data());
    EXPECT_EQ(outputs, 1);
    EXPECT_EQ(lastCount, 40);
    EXPECT_EQ(g0.GetLengthVar()->GetValueInt(), 0);
    EXPECT_EQ(g0.GetDiffVar()->GetValueFloatA(0), -1.0f);
}

TEST_F(GrapherFixture, WithPanelPublishesArrayThenLength) {
    PanelSlave panel;
    ASSERT_TRUE(panel.Attached());
    ASSERT_GE(man->GetSlaveCount(), 1);

    g0.Input(this, 40, data.data());
    EXPECT_EQ(g0.GetLengthVar()->GetValueInt(), 40);
    EXPECT_EQ(g0.GetDiffVar()->GetValueFloatA(39), 39.5f);
    EXPECT_EQ(g0.GetDiffVar()->GetValueFloatA(40), -1.0f)
        << "elements past the count keep old values";

    g0.Input(this, 70, data.data());
    EXPECT_EQ(g0.GetLengthVar()->GetValueInt(), 70);
    EXPECT_EQ(g0.GetDiffVar()->GetValueFloatA(65), 65.5f);

    g0.Input(this, 0, data.data());
    g0.Input(this, 12, nullptr);
    EXPECT_EQ(g0.GetLengthVar()->GetValueInt(), 70) << "empty or missing arrays write nothing";
    EXPECT_EQ(outputs, 4) << "but are still passed on";
}

}  // namespace
