#include "driver/touch/logger.h"

#include <algorithm>

#include "driver/link/thread.h"
#include "platform/mainloop.h"

TNX7_Logger::TNX7_Logger(MainLoop* loop) : FThread(std::make_unique<TNX7_Thread>(loop)) {
    FThread->SetInterval(10);
    FThread->OnPoll = [this](TNX7_Thread*) { DoPoll(); };
}

TNX7_Logger::~TNX7_Logger() {
    DoClose();
    FThread->OnPoll = nullptr;
}

void TNX7_Logger::SetMode(TLoggerModeType mode) {
    if (mode == lmt_Record)
        DoRecord();
    else if (mode == lmt_Play)
        DoPlay();
    else
        DoClose();
}

void TNX7_Logger::SetFileLengthLimit(int limit) {
    FFileLengthLimit = std::clamp(limit, 1000, 1000000);
    if (FFileLengthLimit < FFileLength) DoClose();
}

void TNX7_Logger::Input(void*, int length, const uint8_t* data) {
    switch (FMode) {
    case lmt_Record:
        DoSavePacket(length, data);
        DoOutput(length, data);
        break;
    case lmt_Play:
        break;  // the recording stands in for the live sensor
    default:
        DoOutput(length, data);
        break;
    }
}

void TNX7_Logger::DoClose() {
    FThread->SetRun(false);
    if (FFile) std::fclose(FFile);
    FFile = nullptr;
    FFileLength = 0;
    FMode = lmt_Idle;
    FStartTime = 0;
}

void TNX7_Logger::DoRecord() {
    DoClose();
    if (FFileName.empty()) return;
    FFile = std::fopen(FFileName.c_str(), "wb");
    if (!FFile) return;
    FMode = lmt_Record;
    FStartTime = GetTickCount();
}

void TNX7_Logger::DoPlay() {
    DoClose();
    if (FFileName.empty()) return;
    FFile = std::fopen(FFileName.c_str(), "rb");
    if (!FFile) return;
    FMode = lmt_Play;
    FStartTime = GetTickCount();
    DoLoadPacket();
    if (FMode == lmt_Play) FThread->SetRun(true);
}

void TNX7_Logger::DoOutput(int length, const uint8_t* data) {
    if (OnOutput) OnOutput(this, length, data);
}

void TNX7_Logger::DoSavePacket(int length, const uint8_t* data) {
    if (!FFile) {
        DoClose();
        return;
    }
    // The one-byte length cannot describe a longer frame and playback refuses one over 128
    // bytes; such a frame is left out of the file rather than written with a wrong length.
    if (length < 0 || length > MaxPlayLength || (length > 0 && !data)) return;
    const uint32_t t = GetTickCount() - FStartTime;
    uint8_t head[5] = {static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8),
                       static_cast<uint8_t>(t >> 16), static_cast<uint8_t>(t >> 24),
                       static_cast<uint8_t>(length)};
    size_t written = std::fwrite(head, 1, sizeof head, FFile);
    bool ok = written == sizeof head;
    if (ok && length > 0) {
        size_t n = std::fwrite(data, 1, static_cast<size_t>(length), FFile);
        written += n;
        ok = n == static_cast<size_t>(length);
    }
    FFileLength += static_cast<int>(written);
    if (!ok || FFileLength > FFileLengthLimit) DoClose();
}

void TNX7_Logger::DoLoadPacket() {
    if (!FFile) {
        DoClose();
        return;
    }
    uint8_t head[5];
    size_t got = std::fread(head, 1, sizeof head, FFile);
    FFileLength += static_cast<int>(got);
    if (got != sizeof head) {
        DoClose();
        return;
    }
    FNextTime = static_cast<uint32_t>(head[0]) | (static_cast<uint32_t>(head[1]) << 8) |
                (static_cast<uint32_t>(head[2]) << 16) | (static_cast<uint32_t>(head[3]) << 24);
    FNextLength = head[4];
    if (FNextLength > MaxPlayLength) {
        DoClose();
        return;
    }
    if (FNextLength > 0) {
        got = std::fread(FBuffer.data(), 1, static_cast<size_t>(FNextLength), FFile);
        FFileLength += static_cast<int>(got);
        if (got != static_cast<size_t>(FNextLength)) {
            DoClose();
            return;
        }
    }
    if (FFileLength > FFileLengthLimit) DoClose();
}

void TNX7_Logger::DoPoll() {
    if (FMode != lmt_Play) return;
    if (static_cast<uint32_t>(GetTickCount() - FStartTime) >= FNextTime) {
        DoOutput(FNextLength, FNextLength > 0 ? FBuffer.data() : nullptr);
        // The frame's handlers may have closed the file (a reset, a stop); DoLoadPacket then
        // simply closes again.
        DoLoadPacket();
    }
}
