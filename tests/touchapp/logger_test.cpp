#include "driver/touch/logger.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/manualloop.h"
#include "testenv.h"

namespace {

struct Frame {
    uint32_t at;  // ms after the start of playback
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Bytes(int n, uint8_t seed) {
    std::vector<uint8_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)] = static_cast<uint8_t>(seed + i);
    return v;
}

std::string Record(uint32_t t, const std::vector<uint8_t>& data) {
    std::string r;
    for (int i = 0; i < 4; ++i)
        r += static_cast<char>((t >> (8 * i)) & 0xFF);
    r += static_cast<char>(data.size());
    r.append(data.begin(), data.end());
    return r;
}

struct LoggerFixture : ::testing::Test {
    ManualLoop loop{5000};
    TempDir dir;
    std::unique_ptr<TNX7_Logger> log;
    std::vector<Frame> out;
    uint32_t playStart = 0;

    void SetUp() override {
        MainLoop::SetCurrent(&loop);
        log = std::make_unique<TNX7_Logger>(&loop);
        log->SetFileName(dir.File("ZT7.LOG"));
        log->OnOutput = [this](void*, int n, const uint8_t* d) {
            out.push_back({loop.NowMs() - playStart, std::vector<uint8_t>(d, d + n)});
        };
    }
    void TearDown() override {
        log.reset();
        MainLoop::SetCurrent(nullptr);
    }
    void Play() {
        out.clear();
        playStart = loop.NowMs();
        log->DoPlay();
    }
};

TEST_F(LoggerFixture, RecordsTimeLengthAndBytes) {
    auto a = Bytes(10, 1), b = Bytes(20, 100);
    log->SetMode(lmt_Record);
    ASSERT_EQ(log->GetMode(), lmt_Record);
    log->Input(this, 10, a.data());
    loop.Advance(15);
    log->Input(this, 20, b.data());
    log->Input(this, 0, nullptr);  // the reset signal is a record of 5 bytes
    EXPECT_EQ(log->GetFileLength(), 15 + 25 + 5);
    ASSERT_EQ(out.size(), 3u) << "recording passes every frame on";
    log->DoClose();
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.LOG")), Record(0, a) + Record(15, b) + Record(15, {}));
    EXPECT_EQ(log->GetFileLength(), 0);
    EXPECT_EQ(log->GetMode(), lmt_Idle);
}

TEST_F(LoggerFixture, RecordingStopsAtLengthLimitKeepingTheCrossingRecord) {
    log->SetFileLengthLimit(1000);
    log->DoRecord();
    auto f = Bytes(30, 7);
    int records = 0;
    while (log->GetMode() == lmt_Record && records < 100) {
        log->Input(this, 30, f.data());
        ++records;
        loop.Advance(10);
    }
    EXPECT_EQ(records, 29);
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.LOG")).size(), 29u * 35u);

    // Playback with the same limit loses the record that crosses it.
    Play();
    loop.Advance(2000);
    ASSERT_EQ(out.size(), 28u);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].bytes, f);
        // Recorded 10 ms apart; one record per 10 ms step, the first at the first step.
        EXPECT_EQ(out[i].at, 10u * (i + 1)) << i;
    }
    EXPECT_EQ(log->GetMode(), lmt_Idle);
}

TEST_F(LoggerFixture, PlaybackKeepsRecordedPaceOneRecordPerStep) {
    std::string file;
    // Three frames at 0, 2 and 4 ms (closer than a step), then one at 100 ms.
    file += Record(0, Bytes(16, 1)) + Record(2, Bytes(16, 2)) + Record(4, Bytes(16, 3)) +
            Record(100, Bytes(16, 4));
    WriteWholeFile(dir.File("ZT7.LOG"), file);
    Play();
    ASSERT_EQ(log->GetMode(), lmt_Play);
    // Live frames are dropped while playing.
    auto live = Bytes(16, 9);
    log->Input(this, 16, live.data());
    EXPECT_TRUE(out.empty());
    loop.Advance(200);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].at, 10u);
    EXPECT_EQ(out[1].at, 20u);
    EXPECT_EQ(out[2].at, 30u);
    EXPECT_EQ(out[3].at, 100u);
    EXPECT_EQ(out[3].bytes, Bytes(16, 4));
    // End of file: idle again and live frames flow.
    EXPECT_EQ(log->GetMode(), lmt_Idle);
    log->Input(this, 16, live.data());
    EXPECT_EQ(out.size(), 5u);
}

TEST_F(LoggerFixture, BadFilesEndPlaybackCleanly) {
    struct Case {
        const char* what;
        std::string file;
        size_t played;
    };
    std::string good = Record(0, Bytes(20, 1)) + Record(10, Bytes(20, 2));
    std::string longRecord = Record(20, Bytes(129, 3));
    std::string zeroLen = Record(20, {});
    Case cases[] = {
        {"record longer than 128 bytes", good + longRecord + Record(30, Bytes(20, 4)), 2},
        {"cut inside the header", good + Record(20, Bytes(20, 3)).substr(0, 3), 2},
        {"cut inside the data", good + Record(20, Bytes(20, 3)).substr(0, 12), 2},
        {"record of exactly 128 bytes", good + Record(20, Bytes(128, 3)), 3},
        {"zero-length record", good + zeroLen, 3},
        {"empty file", "", 0},
    };
    for (const Case& c : cases) {
        WriteWholeFile(dir.File("ZT7.LOG"), c.file);
        Play();
        loop.Advance(500);
        EXPECT_EQ(out.size(), c.played) << c.what;
        EXPECT_EQ(log->GetMode(), lmt_Idle) << c.what;
        EXPECT_EQ(log->GetFileLength(), 0) << c.what;
    }
}

TEST_F(LoggerFixture, MissingOrUnwritableFileStaysIdle) {
    log->SetMode(lmt_Play);
    EXPECT_EQ(log->GetMode(), lmt_Idle);
    log->SetFileName(dir.File("no/such/folder/ZT7.LOG"));
    log->SetMode(lmt_Record);
    EXPECT_EQ(log->GetMode(), lmt_Idle);
    auto f = Bytes(16, 0);
    log->Input(this, 16, f.data());
    EXPECT_EQ(out.size(), 1u) << "idle passes frames on";
}

TEST_F(LoggerFixture, LengthLimitClampedAndClosesWhenBelowWritten) {
    struct Case {
        int set, expect;
    } cases[] = {{10, 1000}, {5000000, 1000000}, {4321, 4321}};
    for (const Case& c : cases) {
        log->SetFileLengthLimit(c.set);
        EXPECT_EQ(log->GetFileLengthLimit(), c.expect) << c.set;
    }
    log->SetFileLengthLimit(1000000);
    log->DoRecord();
    auto f = Bytes(100, 0);
    for (int i = 0; i < 15; ++i)
        log->Input(this, 100, f.data());
    ASSERT_EQ(log->GetFileLength(), 1575);
    log->SetFileLengthLimit(1200);
    EXPECT_EQ(log->GetMode(), lmt_Idle);
}

TEST_F(LoggerFixture, FrameTooLongForTheFormatIsPassedOnButNotRecorded) {
    log->DoRecord();
    auto big = Bytes(200, 0), ok = Bytes(16, 1);
    log->Input(this, 200, big.data());
    log->Input(this, 16, ok.data());
    EXPECT_EQ(out.size(), 2u);
    log->DoClose();
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.LOG")), Record(0, ok));
}

TEST_F(LoggerFixture, RecordingAgainReplacesTheFile) {
    WriteWholeFile(dir.File("ZT7.LOG"), std::string(500, 'x'));
    log->DoRecord();
    log->DoClose();
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.LOG")), "");
}

}  // namespace
