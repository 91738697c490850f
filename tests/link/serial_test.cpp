// Serial sensor front: packet cutting, sparse expansion and loss counting on byte streams, then
// the real termios path on a pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "driver/link/serialsensora.h"
#include "linktest.h"
#include "platform/pty.h"

namespace {

class SerialTest : public ::testing::Test {
protected:
    SerialTest() { MainLoop::SetCurrent(&loop); }
    ~SerialTest() override { MainLoop::SetCurrent(nullptr); }

    // Feeds a stream in the given chunk sizes (cycled) and returns the frames delivered.
    std::vector<Bytes> Feed(TNX7_SerialSensorA& s, const Bytes& stream, std::vector<int> chunks = {1024})
    {
        FrameLog log;
        s.OnScanPacket = log.Sink();
        size_t at = 0, k = 0;
        while (at < stream.size()) {
            int n = std::min<int>(chunks[k++ % chunks.size()], static_cast<int>(stream.size() - at));
            s.DoReceive(stream.data() + at, n);
            at += static_cast<size_t>(n);
        }
        return log.Frames;
    }

    ManualLoop loop;
};

Bytes Sparse16(std::initializer_list<Bytes> groups)
{
    Bytes p = {10, 6};
    for (const Bytes& g : groups)
        p.insert(p.end(), g.begin(), g.end());
    return p;
}

struct StreamCase {
    const char* Name;
    Bytes Stream;
    std::vector<Bytes> Expected;
    int Lost;
};

TEST_F(SerialTest, StreamExamples)
{
    const Bytes bytes127 = Repeat(7, 127), bytes128 = Repeat(7, 128), bytes130 = Repeat(7, 130);
    Bytes expanded = {20, 20, 50, 60, 70};
    expanded.resize(16, 0);
    Bytes edgeGroups(16, 0);
    edgeGroups[4] = 30, edgeGroups[5] = 40, edgeGroups[6] = 50;

    const std::vector<StreamCase> cases = {
        {"raw packet delivered when the next begins", {0, 5, 6, 7, 0, 9}, {{5, 6, 7}}, 0},
        {"two zeros mark a sparse packet: too short, dropped", {0, 5, 6, 7, 0, 0, 9}, {}, 0},
        {"three zeros are raw again", {0, 5, 6, 0, 0, 0, 9}, {{5, 6}}, 0},
        {"a long zero run is raw", Concat({{0, 5, 6}, Repeat(0, 25), {9}}), {{5, 6}}, 0},
        {"bytes before the first zero are dropped", {5, 6, 7, 0, 8, 9, 0, 1}, {{8, 9}}, 0},
        {"a packet waits for the next one", {0, 5, 6, 7, 0}, {}, 0},
        {"sparse example expands into a zeroed store",
         Concat({{0}, Sparse16({{1, 20, 20, 20}, {3, 50, 60, 70}}), {0, 0, 9}}), {expanded}, 0},
        // Position 0 cannot be sent (it is the delimiter); N-1 and beyond are ignored.
        {"sparse groups at position N-1 and beyond are ignored",
         Concat({{0}, Sparse16({{15, 9, 9, 9}, {200, 9, 9, 9}, {5, 30, 40, 50}}), {0, 0, 9}}), {edgeGroups}, 0},
        {"sparse with a count of 4 is rejected", Concat({{0, 4, 6, 1, 20, 20, 20, 3, 50, 60, 70, 0, 0, 9}}), {}, 0},
        {"sparse with X + Y of 128 is rejected",
         Concat({{0, 100, 28, 1, 20, 20, 20, 3, 50, 60, 70, 0, 0, 9}}), {}, 0},
        {"127 bytes are a raw packet", Concat({{0}, bytes127, {0, 9}}), {bytes127}, 0},
        {"128 bytes are lost", Concat({{0}, bytes128, {0, 9}}), {}, 1},
        {"130 bytes are lost once", Concat({{0}, bytes130, {0, 9}}), {}, 1},
        {"loss does not hide the next packet", Concat({{0}, bytes130, {0, 1, 2, 0, 9}}), {{1, 2}}, 1},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TNX7_SerialSensorA s;
        EXPECT_EQ(Feed(s, c.Stream), c.Expected);
        EXPECT_EQ(s.GetLost(), c.Lost);
    }
}

TEST_F(SerialTest, SparseStorePersistsAndNeverExceedsThePacketMinimum)
{
    TNX7_SerialSensorA s;
    Bytes first = Concat({{0}, Sparse16({{1, 20, 20, 20}, {3, 50, 60, 70}}), {0, 0}});
    Bytes second = Concat({Sparse16({{8, 100, 100, 100}, {12, 40, 45, 50}}), {0, 0}});
    Bytes bad = {3, 6, 1, 20, 20, 20, 3, 50, 60, 70, 0, 0};                       // X count 3
    Bytes third = Concat({Sparse16({{13, 90, 91, 92}, {10, 95, 96, 97}}), {0, 0, 9}});  // after the bad one
    auto frames = Feed(s, Concat({first, second, bad, third}));
    ASSERT_EQ(frames.size(), 3u);
    // Old entries drop to the second packet's smallest value (40); the new groups are written.
    Bytes want2 = {20, 20, 40, 40, 40, 0, 0, 100, 100, 100, 0, 40, 45, 50, 0, 0};
    EXPECT_EQ(frames[1], want2);
    // The malformed packet emptied the store, so the third starts from zeros.
    Bytes want3(16, 0);
    want3[9] = 95, want3[10] = 96, want3[11] = 97, want3[12] = 90, want3[13] = 91, want3[14] = 92;
    EXPECT_EQ(frames[2], want3);
}

TEST_F(SerialTest, LostSaturatesAt1000)
{
    TNX7_SerialSensorA s;
    s.SetLost(999);
    Feed(s, Concat({{0}, Repeat(3, 200), {0}, Repeat(3, 200), {0}, Repeat(3, 200), {0, 1}}));
    EXPECT_EQ(s.GetLost(), 1000);
    s.SetLost(5000);
    EXPECT_EQ(s.GetLost(), 1000);
    s.SetLost(-3);
    EXPECT_EQ(s.GetLost(), 0);
}

// Garbage of every kind must not crash, overrun or stop the link: afterwards good frames flow.
TEST_F(SerialTest, BadStreamsThenRecovery)
{
    std::mt19937 rng(7);
    auto random = [&](int n, int zeroOneIn) {
        Bytes b(static_cast<size_t>(n));
        for (auto& x : b)
            x = (zeroOneIn && rng() % zeroOneIn == 0) ? 0 : static_cast<uint8_t>(1 + rng() % 255);
        return b;
    };
    Bytes good(64);
    for (int i = 0; i < 64; ++i)
        good[i] = static_cast<uint8_t>(100 + i);
    Bytes tail = Concat({{0}, good, {0}, good, {0, 1}});

    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"0xFF flood", Repeat(0xFF, 20000)},
        {"no zeros at all", random(20000, 0)},
        {"random bytes", random(20000, 8)},
        {"sparse-looking noise", random(20000, 3)},
        {"zeros only", Repeat(0, 5000)},
    };
    for (const auto& [name, garbage] : cases) {
        SCOPED_TRACE(name);
        TNX7_SerialSensorA s;
        auto frames = Feed(s, Concat({garbage, tail}), {1, 7, 300, 1024});
        for (const Bytes& f : frames) {
            EXPECT_GE(f.size(), 1u);
            EXPECT_LE(f.size(), 127u);
        }
        EXPECT_LE(s.GetLost(), 1000);
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[frames.size() - 1], good);
        EXPECT_EQ(frames[frames.size() - 2], good);
    }
}

// The assembler keeps its state between reads: how the bytes are split must not matter.
TEST_F(SerialTest, ChunkingDoesNotChangeTheResult)
{
    std::mt19937 rng(11);
    Bytes stream;
    for (int k = 0; k < 200; ++k) {
        int len = 1 + static_cast<int>(rng() % 140);
        for (int i = 0; i < len; ++i)
            stream.push_back(static_cast<uint8_t>(1 + rng() % 255));
        stream.insert(stream.end(), 1 + rng() % 4, 0);
    }
    TNX7_SerialSensorA whole, bytewise, odd;
    auto a = Feed(whole, stream);
    EXPECT_EQ(Feed(bytewise, stream, {1}), a);
    EXPECT_EQ(Feed(odd, stream, {3, 17, 1, 250}), a);
    EXPECT_EQ(bytewise.GetLost(), whole.GetLost());
    EXPECT_GT(a.size(), 50u);
}

TEST(CommTest, BaudTable)
{
    const std::vector<std::pair<TBaudType, int>> cases = {
        {bt1200, 1200}, {bt2400, 2400}, {bt4800, 4800}, {bt9600, 9600},
        {bt19200, 19200}, {bt38400, 38400}, {btAuto, 9600}, {static_cast<TBaudType>(77), 9600},
    };
    for (auto [baud, rate] : cases)
        EXPECT_EQ(BaudRateOf(baud), rate) << int(baud);
}

TEST(CommTest, PortPaths)
{
    ::unsetenv("ZT7_COM3");
    EXPECT_EQ(TNX7_Comm::PortPath(ctComm1), "/dev/ttyS0");
    EXPECT_EQ(TNX7_Comm::PortPath(ctComm8), "/dev/ttyS7");
    EXPECT_EQ(TNX7_Comm::PortPath(ctComm3), "/dev/ttyS2");
    EXPECT_EQ(TNX7_Comm::PortPath(ctNone), "");
    EXPECT_EQ(TNX7_Comm::PortPath(ctUsb), "");
    EXPECT_EQ(TNX7_Comm::PortPath(static_cast<TCommType>(200)), "");
    ScopedEnv env("ZT7_COM3", "/dev/ttyUSB0");
    EXPECT_EQ(TNX7_Comm::PortPath(ctComm3), "/dev/ttyUSB0");
}

// Read and Write answer false only while no open is requested; a closed port moves nothing.
TEST(CommTest, TransfersFollowTheOpenRequest)
{
    TNX7_Comm port;
    uint8_t buf[4] = {1, 2, 3, 4};
    int moved = 99;
    EXPECT_FALSE(port.Read(buf, 4, moved));
    EXPECT_EQ(moved, 0);
    moved = 99;
    EXPECT_FALSE(port.Write(buf, 4, moved));
    EXPECT_EQ(moved, 0);
    port.SetOpen(true);  // requested, but ctNone opens nothing
    EXPECT_FALSE(port.GetDevOpen());
    moved = 99;
    EXPECT_TRUE(port.Read(buf, 4, moved));
    EXPECT_EQ(moved, 0);
    moved = 99;
    EXPECT_TRUE(port.Write(buf, 4, moved));
    EXPECT_EQ(moved, 0);
}

// --- the real termios path on a pseudo-terminal ----------------------------------------------

class SerialPtyTest : public SerialTest {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Create()) << pty.LastError(); }
    PtyMaster pty;
};

TEST_F(SerialPtyTest, OpensWithTheLineSettingsAndPolls)
{
    struct Case {
        TBaudType Baud;
        TParityType Parity;
        TStopBitType Stop;
        int WantBaud;
        char WantParity;
        int WantStop;
    };
    const std::vector<Case> cases = {
        {bt19200, ptNone, sb1_0, 19200, 'N', 1}, {bt38400, ptEven, sb2_0, 38400, 'E', 2},
        {bt1200, ptOdd, sb1_5, 1200, 'O', 2},    {btAuto, ptNone, sb1_0, 9600, 'N', 1},
    };
    ScopedEnv env("ZT7_COM4", pty.SlavePath());
    for (const Case& c : cases) {
        TNX7_Comm port;
        port.SetBaud(c.Baud);
        port.SetParity(c.Parity);
        port.SetStopBit(c.Stop);
        port.SetComm(ctComm4);
        port.SetOpen(true);
        ASSERT_TRUE(port.GetDevOpen());
        PtyLine line;
        ASSERT_TRUE(pty.ReadLine(line));
        EXPECT_EQ(line.Baud, c.WantBaud);
        EXPECT_EQ(line.DataBits, 8);
        // The pty driver forces parity off, so only a real port can show it.
        (void)c.WantParity;
        EXPECT_EQ(line.StopBits, c.WantStop);
        EXPECT_FALSE(line.HardwareFlow);
        EXPECT_FALSE(line.SoftwareFlow);
        EXPECT_TRUE(line.Raw);
    }

    // The sensor front writes one zero byte per 10 ms poll.
    TNX7_SerialSensorA s;
    s.SetComms(ctComm4);
    s.SetOpen(true);
    ASSERT_TRUE(s.GetDevOpen());
    loop.Advance(100);
    Bytes got;
    for (int tries = 0; tries < 200 && got.size() < 10; ++tries) {
        uint8_t buf[64];
        int n = pty.Read(buf, sizeof buf);
        got.insert(got.end(), buf, buf + std::max(n, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(got, Repeat(0, 10));
}

TEST_F(SerialPtyTest, NoSerialPortForUsbOrNone)
{
    ScopedEnv env("ZT7_COM2", pty.SlavePath());
    TNX7_SerialSensorA s;
    int changes = 0;
    s.OnChange = [&](void*) { ++changes; };
    s.SetOpen(true);
    EXPECT_FALSE(s.GetDevOpen());
    s.SetComms(ctUsb);
    EXPECT_FALSE(s.GetDevOpen());
    loop.Advance(2000);  // nothing to retry either
    EXPECT_FALSE(s.GetDevOpen());
    s.SetComms(ctComm2);
    EXPECT_TRUE(s.GetDevOpen());
    s.SetComms(ctNone);
    EXPECT_FALSE(s.GetDevOpen());
    EXPECT_EQ(changes, 3);  // each change of the port
}

TEST_F(SerialPtyTest, UnusablePathsStayClosedAndAreRetried)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("zt7-link-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "plain") << "not a tty";
    for (const fs::path& bad : {dir, dir / "missing", dir / "plain"}) {
        SCOPED_TRACE(bad.string());
        ScopedEnv env("ZT7_COM6", bad.string());
        TNX7_SerialSensorA s;
        int changes = 0;
        s.OnChange = [&](void*) { ++changes; };
        s.SetComms(ctComm6);
        s.SetOpen(true);
        EXPECT_FALSE(s.GetDevOpen());
        // Retried every second, but the same failure is reported only once.
        ::testing::internal::CaptureStderr();
        loop.Advance(3000);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(s.GetDevOpen());
        EXPECT_EQ(changes, 1);  // the port choice only
        // The device turns up: a settings change opens it at once.
        ScopedEnv good("ZT7_COM6", pty.SlavePath());
        s.SetBaud(bt38400);
        EXPECT_TRUE(s.GetDevOpen());
    }
    {
        // ... and without one, the periodic retry finds it within a second.
        ScopedEnv env("ZT7_COM6", (dir / "missing").string());
        TNX7_SerialSensorA s;
        s.SetComms(ctComm6);
        s.SetOpen(true);
        ASSERT_FALSE(s.GetDevOpen());
        ScopedEnv good("ZT7_COM6", pty.SlavePath());
        loop.Advance(1000);
        EXPECT_TRUE(s.GetDevOpen());
    }
    fs::remove_all(dir);
}

TEST_F(SerialPtyTest, FramesAndLossThroughThePort)
{
    ScopedEnv env("ZT7_COM1", pty.SlavePath());
    TNX7_SerialSensorA s;
    FrameLog log;
    s.OnScanPacket = log.Sink();
    int changes = 0;
    s.OnChange = [&](void*) { ++changes; };
    s.SetComms(ctComm1);
    s.SetOpen(true);
    ASSERT_TRUE(s.GetDevOpen());
    changes = 0;
    Bytes frame(64);
    for (int i = 0; i < 64; ++i)
        frame[i] = static_cast<uint8_t>(i * 3 + 1);
    Bytes stream = Concat({{0}, frame, {0}, Repeat(9, 140), {0}, frame, {0}, frame, {0, 1}});
    ASSERT_EQ(pty.Write(stream.data(), static_cast<int>(stream.size())), static_cast<int>(stream.size()));
    ASSERT_TRUE(PumpUntil(loop, [&] { return log.Frames.size() >= 3; }));
    EXPECT_EQ(log.Frames, (std::vector<Bytes>{frame, frame, frame}));
    EXPECT_EQ(s.GetLost(), 1);
    EXPECT_EQ(changes, 1);  // the loss
}

// Pulling the adapter mid-frame: the port closes, says so, and comes back with the device.
TEST_F(SerialPtyTest, UnplugMidFrameAndRecover)
{
    ScopedEnv env("ZT7_COM5", pty.SlavePath());
    TNX7_SerialSensorA s;
    FrameLog log;
    s.OnScanPacket = log.Sink();
    std::vector<bool> states;
    s.OnChange = [&](void*) { states.push_back(s.GetDevOpen()); };
    s.SetComms(ctComm5);
    s.SetOpen(true);
    ASSERT_TRUE(s.GetDevOpen());
    Bytes half = Concat({{0}, Repeat(50, 30)});
    pty.Write(half.data(), static_cast<int>(half.size()));
    loop.Advance(20);
    pty.Close();  // unplugged
    ASSERT_TRUE(PumpUntil(loop, [&] { return !s.GetDevOpen(); }));
    EXPECT_EQ(states.back(), false);
    EXPECT_TRUE(log.Frames.empty());

    // Plugged in again (a new terminal under the same name).
    PtyMaster again;
    ASSERT_TRUE(again.Create());
    ScopedEnv env2("ZT7_COM5", again.SlavePath());
    loop.Advance(1000);
    ASSERT_TRUE(s.GetDevOpen());
    EXPECT_EQ(states.back(), true);
    Bytes frame = Repeat(77, 40);
    Bytes stream = Concat({{0}, frame, {0}, frame, {0, 1}});
    again.Write(stream.data(), static_cast<int>(stream.size()));
    ASSERT_TRUE(PumpUntil(loop, [&] { return log.Frames.size() >= 3; }));
    // The cut-off half frame comes out first, joined to nothing; then the good frames.
    EXPECT_EQ(log.Frames[0], Repeat(50, 30));
    EXPECT_EQ(log.Frames[1], frame);
    EXPECT_EQ(log.Frames[2], frame);
}

}  // namespace
