// USB HID link and USB sensor front on the fake HID backend. Most cases drive the reader's
// passes on the test thread (events then run at once); the threaded cases pump the loop.
#include <gtest/gtest.h>

#include "driver/link/fakehid.h"
#include "driver/link/usbhida.h"
#include "driver/link/usbsensor.h"
#include "linktest.h"

namespace {

constexpr uint16_t Vid = TNX7_Bg_UsbHidA::DefaultVendorID;
constexpr uint16_t Pid = TNX7_Bg_UsbHidA::DefaultProductID;
constexpr uint16_t PidByteWise = TNX7_Bg_UsbHidA::DefaultProductIDByteWise;
const std::string Dev = "/dev/hidraw-fake0";

Bytes Report(std::initializer_list<uint8_t> d)
{
    Bytes r(9, 0);
    std::copy_n(d.begin(), std::min<size_t>(d.size(), 8), r.begin() + 1);
    return r;
}

Bytes ScanReport(uint8_t d0, uint8_t offset, uint8_t first)
{
    Bytes r = Report({d0, offset});
    for (int i = 0; i < 6; ++i)
        r[3 + i] = static_cast<uint8_t>(first + i);
    return r;
}

class UsbTest : public ::testing::Test {
protected:
    UsbTest()
    {
        MainLoop::SetCurrent(&loop);
        fake.SetReadWaitMs(0);
    }
    ~UsbTest() override { MainLoop::SetCurrent(nullptr); }

    // A link with the reader run by hand, its events recorded.
    std::unique_ptr<TNX7_Bg_UsbHidA> MakeLink()
    {
        auto link = std::make_unique<TNX7_Bg_UsbHidA>(&loop, &fake, false);
        link->SetIdleSleep(0);
        link->OnScanPacket = frames.Sink();
        link->OnStatusPacket = status.Sink();
        link->OnScanPacketUS = [this](void*, int n, const uint16_t* d) { wide.emplace_back(d, d + n); };
        link->OnChange = [this, l = link.get()](void*) { changes.push_back(l->GetDevOpen()); };
        return link;
    }

    void Passes(TNX7_Bg_UsbHidA& link, int n)
    {
        for (int i = 0; i < n; ++i)
            link.DoPass();
    }

    void Queue(std::initializer_list<Bytes> reports)
    {
        for (const Bytes& r : reports)
            fake.QueueReport(Dev, r);
    }

    ManualLoop loop;
    TFakeHidBackend fake;
    FrameLog frames, status;
    std::vector<std::vector<uint16_t>> wide;
    std::vector<bool> changes;
};

TEST_F(UsbTest, AssemblesFramesIn8And16BitModes)
{
    fake.AddDevice(Dev, Vid, Pid);
    auto link = MakeLink();
    link->SetOpen(true);
    link->DoPass();
    ASSERT_TRUE(link->GetDevOpen());
    EXPECT_EQ(changes, std::vector<bool>{true});

    Queue({ScanReport(0xC6, 0, 1), ScanReport(0xC6, 6, 7), ScanReport(0xCE, 12, 13)});
    Passes(*link, 3);
    Bytes want(18);
    for (int i = 0; i < 18; ++i)
        want[i] = static_cast<uint8_t>(i + 1);
    ASSERT_EQ(frames.Frames.size(), 1u);
    EXPECT_EQ(frames.Frames[0], want);

    // Status with d3 bit 1: the same reports now carry big-endian 16-bit values.
    Queue({Report({0x80, 1, 8, 0x02, 64, 64, 0, 0})});
    link->DoPass();
    ASSERT_EQ(status.Frames.size(), 1u);
    EXPECT_EQ(status.Frames[0], (Bytes{0x80, 1, 8, 0x02, 64, 64, 0, 0}));
    EXPECT_TRUE(link->Get16Bit());
    Queue({ScanReport(0xC6, 0, 1), ScanReport(0xC6, 6, 7), ScanReport(0xCE, 12, 13)});
    Passes(*link, 3);
    ASSERT_EQ(wide.size(), 1u);
    std::vector<uint16_t> wantWide;
    for (int i = 0; i < 9; ++i)
        wantWide.push_back(static_cast<uint16_t>((2 * i + 1) * 256 + 2 * i + 2));
    EXPECT_EQ(wide[0], wantWide);
    EXPECT_EQ(frames.Frames.size(), 1u);

    // Bit clear again: back to bytes.
    Queue({Report({0x80, 1, 8, 0x00, 64, 64, 0, 0}), ScanReport(0xCE, 0, 50)});
    Passes(*link, 2);
    ASSERT_EQ(frames.Frames.size(), 2u);
    EXPECT_EQ(frames.Frames[1], (Bytes{50, 51, 52, 53, 54, 55}));
    EXPECT_EQ(wide.size(), 1u);
}

TEST_F(UsbTest, ShorterFrameKeepsOlderBytesForLater)
{
    fake.AddDevice(Dev, Vid, Pid);
    auto link = MakeLink();
    link->SetOpen(true);
    Queue({ScanReport(0xC6, 0, 1), ScanReport(0xC6, 6, 7), ScanReport(0xCE, 12, 13)});
    Queue({Report({0xCC, 0, 90, 91, 92, 93})});  // 4 bytes, last
    Queue({Report({0xC9, 17, 99})});             // 1 byte at 17, last: length 18 again
    Passes(*link, 6);
    ASSERT_EQ(frames.Frames.size(), 3u);
    EXPECT_EQ(frames.Frames[1], (Bytes{90, 91, 92, 93}));
    Bytes third = {90, 91, 92, 93, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 99};
    EXPECT_EQ(frames.Frames[2], third);
}

// Reports that do not fit are dropped whole; nothing else is disturbed.
TEST_F(UsbTest, IllFittingAndTruncatedReportsAreIgnored)
{
    fake.AddDevice(Dev, Vid, Pid);
    auto link = MakeLink();
    link->SetOpen(true);
    link->DoPass();
    const std::vector<std::pair<const char*, Bytes>> bad = {
        {"payload count 7", Report({0xCF, 0, 1, 2, 3, 4, 5, 6})},
        {"offset + count beyond the frame buffer", Report({0xCE, 252, 1, 2, 3, 4, 5, 6})},
        {"truncated report", Bytes{0, 0xCE, 0, 1, 2}},
        {"empty report", Bytes{}},
        {"kind 00", Report({0x0E, 0, 1, 2, 3, 4, 5, 6})},
        {"kind 01", Report({0x4E, 0, 1, 2, 3, 4, 5, 6})},
        {"truncated status", Bytes{0, 0x80, 1, 8, 2}},
    };
    for (const auto& [name, r] : bad) {
        SCOPED_TRACE(name);
        fake.QueueReport(Dev, r);
        link->DoPass();
        EXPECT_TRUE(frames.Frames.empty());
        EXPECT_TRUE(status.Frames.empty());
        EXPECT_FALSE(link->Get16Bit());
    }
    // The largest report that fits ends exactly at byte 256.
    Queue({Report({0xCE, 250, 1, 2, 3, 4, 5, 6})});
    link->DoPass();
    ASSERT_EQ(frames.Frames.size(), 1u);
    EXPECT_EQ(frames.Frames[0].size(), 256u);
    EXPECT_EQ(Bytes(frames.Frames[0].end() - 6, frames.Frames[0].end()), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST_F(UsbTest, CommandsWholeAndByteWise)
{
    const uint8_t cmd[8] = {1, 2, 255, 4, 5, 6, 7, 8};
    {
        fake.AddDevice(Dev, Vid, Pid);
        auto link = MakeLink();
        link->QueueCommand(cmd);
        link->SetOpen(true);
        fake.SetShortWrites(Dev, 1);  // a short write is simply written again
        Passes(*link, 3);
        EXPECT_EQ(fake.Written(Dev), std::vector<Bytes>{Report({1, 2, 255, 4, 5, 6, 7, 8})});
        EXPECT_FALSE(link->GetCommandPending());
        EXPECT_FALSE(link->GetByteWise());
    }
    {
        const std::string dev2 = "/dev/hidraw-fake1";
        TFakeHidBackend other;
        other.SetReadWaitMs(0);
        other.AddDevice(dev2, Vid, PidByteWise);
        TNX7_Bg_UsbHidA link(&loop, &other, false);
        link.QueueCommand(cmd);
        link.SetOpen(true);
        for (int i = 0; i < 12; ++i)
            link.DoPass();
        EXPECT_TRUE(link.GetByteWise());
        EXPECT_EQ(link.GetProductID(), PidByteWise);
        std::vector<Bytes> want;
        for (uint8_t b : {1, 2, 254, 4, 5, 6, 7, 8, 255})
            want.push_back(Report({b}));
        EXPECT_EQ(other.Written(dev2), want);
        EXPECT_FALSE(link.GetCommandPending());
    }
}

TEST_F(UsbTest, UnknownDeviceIsNotUsed)
{
    fake.AddDevice(Dev, 0x1234, 0x5678);
    auto link = MakeLink();
    link->SetOpen(true);
    Passes(*link, 3);
    EXPECT_FALSE(link->GetDevOpen());
    EXPECT_EQ(fake.OpenCount(Dev), 0);
    EXPECT_TRUE(changes.empty());
    // Before any match the first table entry is reported.
    EXPECT_EQ(link->GetVendorID(), Vid);
    EXPECT_EQ(link->GetProductID(), Pid);
}

TEST_F(UsbTest, DeviceTableFromEnvironment)
{
    ScopedEnv env("ZT7_USB_IDS", "04d8:f00d, nonsense,04D8:F00E:b,1:2:x,");
    fake.AddDevice(Dev, 0x04D8, 0xF00E);
    auto link = MakeLink();
    EXPECT_EQ(link->GetDeviceCount(), 2);
    EXPECT_EQ(link->FindDevice(0x04D8, 0xF00D), 0);
    EXPECT_EQ(link->FindDevice(Vid, Pid), -1);
    link->SetOpen(true);
    link->DoPass();
    EXPECT_TRUE(link->GetDevOpen());
    EXPECT_TRUE(link->GetByteWise());
    for (int i = 0; i < 20; ++i)
        link->AddDevice(1, i, false);
    EXPECT_EQ(link->GetDeviceCount(), TNX7_Bg_UsbHidA::MaxDevices);
}

// Silence for more than a second: closed, then opened again, each reported.
TEST_F(UsbTest, SilenceClosesAndReopens)
{
    fake.AddDevice(Dev, Vid, Pid);
    auto link = MakeLink();
    link->SetOpen(true);
    link->DoPass();
    Queue({ScanReport(0xCE, 0, 1)});
    loop.Advance(900);
    link->DoPass();  // the report counts as activity
    loop.Advance(900);
    link->DoPass();
    EXPECT_EQ(changes, std::vector<bool>{true});
    loop.Advance(200);
    link->DoPass();
    link->DoPass();
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(fake.OpenCount(Dev), 2);
}

TEST_F(UsbTest, UnplugMidFrameAndReplug)
{
    fake.AddDevice(Dev, Vid, Pid);
    auto link = MakeLink();
    link->SetOpen(true);
    Queue({ScanReport(0xC6, 0, 1)});
    Passes(*link, 2);
    fake.SetPresent(Dev, false);  // gone before the frame's last report
    for (int t = 0; t < 12; ++t) {
        loop.Advance(100);
        link->DoPass();
    }
    EXPECT_FALSE(link->GetDevOpen());
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    fake.SetPresent(Dev, true);
    link->DoPass();
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true}));
    Queue({ScanReport(0xC6, 6, 7), ScanReport(0xCE, 12, 13)});
    Passes(*link, 2);
    ASSERT_EQ(frames.Frames.size(), 1u);
    EXPECT_EQ(frames.Frames[0].size(), 18u);
    EXPECT_EQ(frames.Frames[0][0], 1);  // the frame buffer outlives the device
}

// The reader on its own thread: events arrive on the loop's thread, in order.
TEST_F(UsbTest, ReaderThreadHandsFramesToTheMainThread)
{
    fake.SetReadWaitMs(5);
    fake.AddDevice(Dev, Vid, Pid);
    const auto mainId = std::this_thread::get_id();
    bool offThread = false;
    TNX7_UsbHidA link(&loop, &fake);
    link.OnScanPacket = [&](void* s, int n, const uint8_t* d) {
        offThread |= std::this_thread::get_id() != mainId || s != &link;
        frames.Frames.emplace_back(d, d + n);
    };
    link.OnChange = [&](void*) { changes.push_back(link.GetDevOpen()); };
    link.SetOpen(true);
    for (int k = 0; k < 20; ++k)
        Queue({ScanReport(0xC6, 0, static_cast<uint8_t>(k)), ScanReport(0xC6, 6, 7), ScanReport(0xCE, 12, 13)});
    ASSERT_TRUE(PumpUntil(loop, [&] { return frames.Frames.size() >= 20; }, 5000, 1));
    EXPECT_FALSE(offThread);
    EXPECT_EQ(changes, std::vector<bool>{true});
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(frames.Frames[k][0], k);
    link.SetOpen(false);
    ASSERT_TRUE(PumpUntil(loop, [&] { return changes.size() == 2; }, 3000, 1));
    EXPECT_FALSE(link.GetDevOpen());
}

// Freeing the link while the reader waits for the main thread must not hang.
TEST_F(UsbTest, DestroyWhileAFrameWaitsForTheMainThread)
{
    fake.SetReadWaitMs(5);
    fake.AddDevice(Dev, Vid, Pid);
    int delivered = 0;
    {
        auto link = std::make_unique<TNX7_UsbHidA>(&loop, &fake);
        link->OnScanPacket = [&](void*, int, const uint8_t*) { ++delivered; };
        link->SetOpen(true);
        Queue({ScanReport(0xCE, 0, 1)});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reader is now blocked
    }
    loop.RunPending();  // the orphaned hand-off finds the link gone
    EXPECT_EQ(delivered, 0);
}

// Counts the walks through the HID devices.
class TCountingHid : public TFakeHidBackend {
public:
    std::vector<THidDeviceInfo> Enumerate() override
    {
        ++Walks;
        return TFakeHidBackend::Enumerate();
    }
    std::atomic<int> Walks{0};
};

// Idle reader: a closed link waits for the open request without looking for devices, and a
// wanted but absent sensor is looked for about once a second, not at every idle pause; an open
// request reaches the waiting reader at once.
TEST_F(UsbTest, IdleReaderNeitherWalksDevicesNorMissesAnOpen)
{
    TCountingHid hid;
    hid.SetReadWaitMs(5);
    TNX7_UsbHidA link(&loop, &hid);
    link.OnChange = [&](void*) { changes.push_back(link.GetDevOpen()); };
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(hid.Walks.load(), 0);

    link.SetOpen(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    EXPECT_GE(hid.Walks.load(), 1);
    EXPECT_LE(hid.Walks.load(), 2);  // every 100 ms would be four

    // Plugged in meanwhile: a new open request does not wait out the retry pause.
    hid.AddDevice(Dev, Vid, Pid);
    link.SetOpen(false);
    link.SetOpen(true);
    ASSERT_TRUE(PumpUntil(loop, [&] { return !changes.empty(); }, 3000, 1));
    EXPECT_LT(hid.Walks.load(), 4);
    EXPECT_EQ(changes, std::vector<bool>{true});
    link.SetOpen(false);
    ASSERT_TRUE(PumpUntil(loop, [&] { return changes.size() == 2; }, 3000, 1));
}

// --- USB sensor front ---------------------------------------------------------------------------

TEST_F(UsbTest, FrontOpensOnlyForUsb)
{
    TNX7_UsbSensor front(&loop, &fake, false);
    front.SetComms(ctComm3);
    front.SetOpen(true);
    EXPECT_FALSE(front.GetLink().GetThread().GetOpen());
    front.SetComms(ctUsb);
    EXPECT_TRUE(front.GetLink().GetThread().GetOpen());
    front.SetOpen(false);
    EXPECT_FALSE(front.GetLink().GetThread().GetOpen());
}

TEST_F(UsbTest, FrontClampsRequests)
{
    TNX7_UsbSensor front(&loop, &fake, false);
    struct Case {
        void (TNX7_UsbSensor::*Set)(int);
        int (TNX7_UsbSensor::*Get)() const;
        int In, Out;
    };
    const std::vector<Case> cases = {
        {&TNX7_UsbSensor::SetReqMuxSize, &TNX7_UsbSensor::GetReqMuxSize, 200, 126},
        {&TNX7_UsbSensor::SetReqMuxSize, &TNX7_UsbSensor::GetReqMuxSize, -1, 0},
        {&TNX7_UsbSensor::SetReqMuxSize, &TNX7_UsbSensor::GetReqMuxSize, 126, 126},
        {&TNX7_UsbSensor::SetReqCycleSize, &TNX7_UsbSensor::GetReqCycleSize, -4, 0},
        {&TNX7_UsbSensor::SetReqCycleSize, &TNX7_UsbSensor::GetReqCycleSize, 16, 15},
        {&TNX7_UsbSensor::SetReqRunMode, &TNX7_UsbSensor::GetReqRunMode, 2, 1},
        {&TNX7_UsbSensor::SetReqRunMode, &TNX7_UsbSensor::GetReqRunMode, -1, 0},
        {&TNX7_UsbSensor::SetReqMuxOrder, &TNX7_UsbSensor::GetReqMuxOrder, 5, 1},
        {&TNX7_UsbSensor::SetLost, &TNX7_UsbSensor::GetLost, 5000, 1000},
    };
    for (const Case& c : cases) {
        (front.*c.Set)(c.In);
        EXPECT_EQ((front.*c.Get)(), c.Out) << c.In;
    }
}

TEST_F(UsbTest, FrontDecodesStatusChangesOnly)
{
    TNX7_UsbSensor front(&loop, &fake, false);
    int changed = 0;
    front.OnChange = [&](void*) { ++changed; };
    const Bytes same = {0x80, 0, 0, 0, 0, 64, 0, 0};  // equal to the start values
    front.DoStatusPacket(nullptr, 8, same.data());
    EXPECT_EQ(changed, 0);
    Bytes order = same;
    order[6] = 0xFE;  // only bit 0 counts
    front.DoStatusPacket(nullptr, 8, order.data());
    EXPECT_EQ(changed, 0);
    order[6] = 0x01;
    front.DoStatusPacket(nullptr, 8, order.data());
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(front.GetActMuxOrder(), 1);
    const Bytes full = {0x80, 0xFF, 0xF7, 0x02, 48, 100, 0, 9};
    front.DoStatusPacket(nullptr, 8, full.data());
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(front.GetActRunMode(), 1);
    EXPECT_EQ(front.GetActCycleSize(), 7);
    EXPECT_EQ(front.GetActMuxSize(), 48);
    EXPECT_EQ(front.GetActMaxMuxSize(), 100);
    EXPECT_EQ(front.GetActMuxOrder(), 0);
    front.DoStatusPacket(nullptr, 7, full.data());  // only whole packets count
    front.DoStatusPacket(nullptr, 8, nullptr);
    EXPECT_EQ(changed, 2);
}

// The configuration command goes out every second once the device is open, and status reports
// coming back through the link update the Act values.
TEST_F(UsbTest, FrontSendsConfigurationEverySecond)
{
    fake.AddDevice(Dev, Vid, Pid);
    TNX7_UsbSensor front(&loop, &fake, false);
    auto& reader = front.GetLink().GetThread();
    int changed = 0;
    front.OnChange = [&](void*) { ++changed; };
    FrameLog scans;
    front.OnScanPacket = scans.Sink();
    front.SetComms(ctUsb);
    front.SetOpen(true);
    reader.DoPass();
    EXPECT_EQ(changed, 1);  // opened
    EXPECT_TRUE(fake.Written(Dev).empty());
    loop.Advance(1000);
    reader.DoPass();
    EXPECT_EQ(fake.Written(Dev), std::vector<Bytes>{Report({0x80, 1, 8, 1, 64, 0, 0, 0})});
    front.SetReqMuxSize(32);
    front.SetReqMuxOrder(1);
    loop.Advance(1000);
    fake.QueueReport(Dev, Report({0x80, 1, 8, 0, 32, 64, 1, 0}));
    fake.QueueReport(Dev, ScanReport(0xCE, 0, 1));
    reader.DoPass();
    reader.DoPass();
    ASSERT_EQ(fake.Written(Dev).size(), 2u);
    EXPECT_EQ(fake.Written(Dev)[1], Report({0x80, 1, 8, 1, 32, 0, 1, 0}));
    EXPECT_EQ(front.GetActMuxSize(), 32);
    EXPECT_EQ(front.GetActMuxOrder(), 1);
    EXPECT_EQ(changed, 2);
    ASSERT_EQ(scans.Frames.size(), 1u);
    EXPECT_EQ(scans.Frames[0], (Bytes{1, 2, 3, 4, 5, 6}));
}

}  // namespace
