// Tap on the raw sensor stream between the link and the packet splitter: records each frame with
// its arrival time to "ZT7.LOG", or replays such a file into the graph at its recorded pace.
// Record: 4-byte little-endian ms since recording began, 1-byte length n, n frame bytes.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "share/events.h"

class MainLoop;
class TNX7_Thread;

enum TLoggerModeType { lmt_Idle = 0, lmt_Record = 1, lmt_Play = 2 };

class TNX7_Logger {
public:
    static constexpr int MaxPlayLength = 128;

    explicit TNX7_Logger(MainLoop* loop = nullptr);
    ~TNX7_Logger();
    TNX7_Logger(const TNX7_Logger&) = delete;
    TNX7_Logger& operator=(const TNX7_Logger&) = delete;

    const std::string& GetFileName() const { return FFileName; }
    void SetFileName(const std::string& name) { FFileName = name; }
    TLoggerModeType GetMode() const { return FMode; }
    void SetMode(TLoggerModeType mode);
    int GetFileLength() const { return FFileLength; }
    int GetFileLengthLimit() const { return FFileLengthLimit; }
    // Clamped to 1000..1000000; a limit below what is already written closes the file.
    void SetFileLengthLimit(int limit);

    TRawArrayEvent OnOutput;

    void Input(void* Sender, int length, const uint8_t* data);

    void DoRecord();
    void DoPlay();
    void DoClose();
    void DoOutput(int length, const uint8_t* data);
    void DoSavePacket(int length, const uint8_t* data);
    void DoLoadPacket();
    // The 10 ms playback step.
    void DoPoll();

    TNX7_Thread* GetThread() const { return FThread.get(); }

private:
    std::string FFileName;
    TLoggerModeType FMode = lmt_Idle;
    int FFileLength = 0;
    int FFileLengthLimit = 1000000;
    std::FILE* FFile = nullptr;
    uint32_t FStartTime = 0;
    uint32_t FNextTime = 0;
    int FNextLength = 0;
    std::array<uint8_t, 138> FBuffer{};
    std::unique_ptr<TNX7_Thread> FThread;
};
