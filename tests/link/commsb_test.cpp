// Comms selector in virtual time: stable-length acceptance, rate window, open requests, resets
// and the "Comm" variables.
#include <gtest/gtest.h>

#include "driver/link/commsb.h"
#include "driver/link/fakehid.h"
#include "driver/link/serialsensora.h"
#include "driver/link/usbhida.h"
#include "driver/link/usbsensor.h"
#include "linktest.h"
#include "platform/pty.h"
#include "share/sharevarbase.h"

namespace {

class CommsTest : public ::testing::Test {
protected:
    CommsTest()
    {
        MainLoop::SetCurrent(&loop);
        fake.SetReadWaitMs(0);
        comms = std::make_unique<TNX7_CommsB>(&loop, &fake, false);
        comms->GetUsb().GetLink().GetThread().SetIdleSleep(0);
        comms->OnRawData = [this](void*, int n, const uint8_t* d) {
            lengths.push_back(n);
            if (n > 0)
                frames.emplace_back(d, d + n);
        };
    }
    ~CommsTest() override
    {
        comms.reset();
        MainLoop::SetCurrent(nullptr);
    }

    TShareVarBase* Var(const std::string& name)
    {
        TShareVarPoly& vars = comms->GetShareVars();
        for (int i = 0; i < vars.GetCount(); ++i)
            if (vars.GetVar(i)->GetVarName() == name)
                return vars.GetVar(i);
        ADD_FAILURE() << "no variable " << name;
        return nullptr;
    }
    // As if the control panel wrote the variable and the share manager dispatched the change.
    void PanelWritesInt(const std::string& name, int v)
    {
        TShareVarBase* var = Var(name);
        var->SetValueIntX(v);
        if (var->OnChange)
            var->OnChange(var);
    }
    void PanelWritesBool(const std::string& name, bool v)
    {
        TShareVarBase* var = Var(name);
        var->SetValueBoolX(v);
        if (var->OnChange)
            var->OnChange(var);
    }
    void Scans(int length, int count)
    {
        Bytes b(static_cast<size_t>(std::max(length, 1)), 42);
        for (int i = 0; i < count; ++i)
            comms->DoScanPacket(nullptr, length, b.data());
    }

    ManualLoop loop;
    TFakeHidBackend fake;
    std::unique_ptr<TNX7_CommsB> comms;
    std::vector<int> lengths;
    std::vector<Bytes> frames;
};

TEST_F(CommsTest, StartValuesOfTheCommVariables)
{
    struct Case {
        const char* Name;
        const char* Type;
        int Value;
        bool Saveable;
    };
    const std::vector<Case> cases = {
        {"Port", "Int", 0, true},       {"Baud", "Int", 4, true},      {"CycleSize", "Int", 8, true},
        {"Advanced", "Boo", 0, true},   {"ReqMuxSize", "Int", 64, true}, {"MuxOrder", "Int", 0, true},
        {"ReqOpen", "Boo", 0, true},    {"DevOpen", "Boo", 0, false},  {"Active", "Boo", 0, false},
        {"Valid", "Boo", 0, false},     {"Length", "Int", 0, false},   {"Lost", "Int", 0, false},
        {"Rate", "Int", 0, false},
    };
    ASSERT_EQ(comms->GetShareVars().GetCount(), static_cast<int>(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i) {
        TShareVarBase* v = comms->GetShareVars().GetVar(static_cast<int>(i));
        SCOPED_TRACE(cases[i].Name);
        EXPECT_EQ(v->GetSecName(), "Comm");
        EXPECT_EQ(v->GetVarName(), cases[i].Name);
        EXPECT_EQ(v->GetVarType(), cases[i].Type);
        EXPECT_EQ(v->GetSaveable(), cases[i].Saveable);
        int value = v->GetVarType() == "Boo" ? v->GetValueBool() : v->GetValueInt();
        EXPECT_EQ(value, cases[i].Value);
    }
    EXPECT_EQ(comms->GetUsb().GetReqMuxSize(), 64);
    EXPECT_EQ(comms->GetUsb().GetReqMuxOrder(), 0);
    EXPECT_FALSE(comms->GetReqOpen1());
    EXPECT_TRUE(comms->GetReqOpen2());
}

TEST_F(CommsTest, FourEqualLengthsBeforeAScanPasses)
{
    struct Step {
        int Length;
        bool Valid;
    };
    const std::vector<Step> steps = {
        {40, false}, {40, false}, {40, false}, {40, true}, {40, true},
        {41, false}, {40, false}, {40, false}, {40, false}, {40, true},
        {130, false}, {130, false}, {130, false}, {130, false}, {130, false}, {130, false},
        {15, false}, {15, false}, {15, false}, {15, false},
        {16, false}, {16, false}, {16, false}, {16, true},
        {128, false}, {128, false}, {128, false}, {128, true},
    };
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(i++);
        size_t before = frames.size();
        Scans(s.Length, 1);
        EXPECT_EQ(comms->GetValid(), s.Valid);
        EXPECT_EQ(comms->GetLength(), s.Valid ? s.Length : 0);
        EXPECT_EQ(Var("Valid")->GetValueBool(), s.Valid);
        EXPECT_EQ(Var("Length")->GetValueInt(), s.Valid ? s.Length : 0);
        EXPECT_EQ(frames.size(), before + (s.Valid ? 1 : 0));
    }
    for (const Bytes& f : frames) {
        EXPECT_GE(f.size(), 16u);
        EXPECT_LE(f.size(), 128u);
    }
}

TEST_F(CommsTest, RateWindowAndClosing)
{
    comms->SetReqOpen1(true);
    EXPECT_TRUE(Var("ReqOpen")->GetValueBool());
    lengths.clear();
    Scans(64, 33);  // the first three are dropped
    loop.Advance(1000);
    EXPECT_EQ(comms->GetRate(), 0);  // the window has 11 ticks
    loop.Advance(100);
    EXPECT_EQ(comms->GetRate(), 30);
    EXPECT_EQ(Var("Rate")->GetValueInt(), 30);
    EXPECT_TRUE(comms->GetActive());
    Scans(64, 5);
    loop.Advance(1100);
    EXPECT_EQ(comms->GetRate(), 5);
    EXPECT_FALSE(comms->GetActive());  // 10 or fewer scans
    Scans(64, 2);
    EXPECT_TRUE(comms->GetValid());

    lengths.clear();
    PanelWritesBool("ReqOpen", false);
    EXPECT_EQ(comms->GetRate(), 0);
    EXPECT_FALSE(comms->GetActive());
    EXPECT_FALSE(comms->GetValid());
    EXPECT_FALSE(Var("Valid")->GetValueBool());
    EXPECT_EQ(lengths, std::vector<int>{0});
    PanelWritesBool("ReqOpen", false);  // unchanged: nothing happens
    EXPECT_EQ(lengths, std::vector<int>{0});
}

TEST_F(CommsTest, PortNineSwitchesFromSerialToUsb)
{
    PtyMaster pty;
    ASSERT_TRUE(pty.Create());
    ScopedEnv env("ZT7_COM2", pty.SlavePath());
    fake.AddDevice("/dev/hidraw-fake0", TNX7_Bg_UsbHidA::DefaultVendorID, TNX7_Bg_UsbHidA::DefaultProductID);
    auto& reader = comms->GetUsb().GetLink().GetThread();
    PanelWritesInt("Port", 2);
    PanelWritesBool("ReqOpen", true);
    EXPECT_TRUE(comms->GetSerial().GetDevOpen());
    EXPECT_FALSE(reader.GetOpen());
    loop.Advance(1100);
    EXPECT_TRUE(comms->GetDevOpen());
    EXPECT_TRUE(Var("DevOpen")->GetValueBool());

    lengths.clear();
    PanelWritesInt("Port", 9);
    EXPECT_EQ(comms->GetPort(), ctUsb);
    EXPECT_FALSE(comms->GetSerial().GetDevOpen());
    EXPECT_TRUE(reader.GetOpen());
    reader.DoPass();  // the reader opens the device and reports it
    EXPECT_TRUE(comms->GetUsb().GetDevOpen());
    EXPECT_EQ(lengths, (std::vector<int>{0, 0}));  // serial closed, USB opened
    loop.Advance(1100);
    EXPECT_TRUE(Var("DevOpen")->GetValueBool());

    // USB frames pass the same acceptance.
    for (int k = 0; k < 4; ++k) {
        fake.QueueReport("/dev/hidraw-fake0", {0, 0xC6, 0, 1, 2, 3, 4, 5, 6});
        fake.QueueReport("/dev/hidraw-fake0", {0, 0xC6, 6, 7, 8, 9, 10, 11, 12});
        fake.QueueReport("/dev/hidraw-fake0", {0, 0xCE, 12, 13, 14, 15, 16, 17, 18});
    }
    for (int k = 0; k < 12; ++k)
        reader.DoPass();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 18u);

    PanelWritesInt("Port", 9 + 256);  // only the low byte counts
    EXPECT_EQ(comms->GetPort(), ctUsb);
}

TEST_F(CommsTest, AdvancedGuardsTheMultiplexerRequest)
{
    TNX7_UsbSensor& usb = comms->GetUsb();
    PanelWritesInt("ReqMuxSize", 32);
    EXPECT_EQ(usb.GetReqMuxSize(), 64);
    PanelWritesBool("Advanced", true);
    EXPECT_EQ(usb.GetReqMuxSize(), 64);  // not applied by itself
    PanelWritesInt("ReqMuxSize", 32);
    EXPECT_EQ(usb.GetReqMuxSize(), 32);
    PanelWritesInt("MuxOrder", 1);
    EXPECT_EQ(usb.GetReqMuxOrder(), 1);
    PanelWritesInt("ReqMuxSize", 500);
    EXPECT_EQ(usb.GetReqMuxSize(), 126);
    PanelWritesBool("Advanced", false);
    EXPECT_EQ(usb.GetReqMuxSize(), 64);
    EXPECT_EQ(usb.GetReqMuxOrder(), 0);
    EXPECT_EQ(Var("ReqMuxSize")->GetValueInt(), 64);
    EXPECT_EQ(Var("MuxOrder")->GetValueInt(), 0);

    PanelWritesInt("CycleSize", 99);
    EXPECT_EQ(usb.GetReqCycleSize(), 15);
    PanelWritesInt("Baud", bt38400);
    EXPECT_EQ(comms->GetBaud(), bt38400);

    comms->SetMuxSize(40);  // ignored while not Advanced
    EXPECT_EQ(usb.GetReqMuxSize(), 64);
    comms->SetAdvanced(true);
    EXPECT_TRUE(Var("Advanced")->GetValueBool());
    comms->SetMuxSize(40);
    EXPECT_EQ(usb.GetReqMuxSize(), 40);
    comms->SetPortA(ctComm7);
    EXPECT_EQ(Var("Port")->GetValueInt(), 7);
    EXPECT_EQ(usb.GetComms(), ctComm7);
}

TEST_F(CommsTest, ResetClosesForTwentyTicks)
{
    PtyMaster pty;
    ASSERT_TRUE(pty.Create());
    ScopedEnv env("ZT7_COM1", pty.SlavePath());
    PanelWritesInt("Port", 1);
    comms->SetReqOpen1(true);
    ASSERT_TRUE(comms->GetSerial().GetDevOpen());
    loop.Advance(50);  // between ticks
    lengths.clear();
    comms->Reset(nullptr);
    EXPECT_FALSE(comms->GetReqOpen2());
    EXPECT_FALSE(comms->GetSerial().GetDevOpen());
    EXPECT_EQ(lengths, (std::vector<int>{0, 0}));  // the port closing, the open request
    comms->Reset(nullptr);  // already closed: no effect, the countdown runs on
    EXPECT_EQ(lengths.size(), 2u);
    loop.Advance(1900);
    EXPECT_FALSE(comms->GetReqOpen2());
    loop.Advance(100);  // the 20th tick
    EXPECT_TRUE(comms->GetReqOpen2());
    EXPECT_TRUE(comms->GetSerial().GetDevOpen());
    EXPECT_TRUE(comms->GetReqOpen1());
}

TEST_F(CommsTest, LostFromBothFronts)
{
    comms->GetSerial().SetLost(7);
    loop.Advance(1000);
    EXPECT_EQ(comms->GetLost(), 0);
    loop.Advance(100);
    EXPECT_EQ(comms->GetLost(), 7);
    EXPECT_EQ(Var("Lost")->GetValueInt(), 7);
    comms->SetLost(4000);
    EXPECT_EQ(comms->GetLost(), 1000);
}

// The serial front feeds the selector through its events: frames of a steady length pass.
TEST_F(CommsTest, SerialFramesReachOnRawData)
{
    Bytes frame(64);
    for (int i = 0; i < 64; ++i)
        frame[i] = static_cast<uint8_t>(i + 1);
    Bytes stream = {0};
    for (int k = 0; k < 6; ++k) {
        stream.insert(stream.end(), frame.begin(), frame.end());
        stream.push_back(0);
    }
    stream.push_back(1);
    comms->GetSerial().DoReceive(stream.data(), static_cast<int>(stream.size()));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], frame);
}

}  // namespace
