// Serial sensor front: polls the port every 10 ms with one zero byte, cuts the byte stream into
// zero-delimited packets, expands sparse packets into a full channel array and counts overlong
// packets as lost.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "driver/link/comm.h"
#include "share/events.h"

class MainLoop;
class TNX7_Thread;

class TNX7_SerialSensorA {
public:
    static constexpr int ReceiveSize = 1024;
    static constexpr int PacketSize = 128;
    static constexpr int MaxZeroRun = 10;
    static constexpr int MaxLost = 1000;
    static constexpr uint32_t PollInterval = 10;
    // While open is requested but the port is closed (failed open or hang-up), try again this often.
    static constexpr int RetryPolls = 100;

    explicit TNX7_SerialSensorA(MainLoop* loop = nullptr);
    ~TNX7_SerialSensorA();
    TNX7_SerialSensorA(const TNX7_SerialSensorA&) = delete;
    TNX7_SerialSensorA& operator=(const TNX7_SerialSensorA&) = delete;

    bool GetOpen() const { return FOpen; }
    void SetOpen(bool v);
    bool GetDevOpen() const;
    void SetDevOpen(bool v);
    int GetLost() const { return FLost; }
    void SetLost(int v);
    TCommType GetComms() const;
    void SetComms(TCommType v);
    TBaudType GetBaud() const;
    void SetBaud(TBaudType v);

    // The 10 ms poll: one poll byte out, whatever arrived in.
    void DoPoll();
    // Feeds received bytes to the packet assembler (the part of DoPoll after the read).
    void DoReceive(const uint8_t* data, int count);

    TNX7_Comm& GetPort() { return *FPort; }
    int GetStoreLength() const { return FStoreLength; }

    TRawArrayEvent OnScanPacket;
    TNotifyEvent OnChange;

private:
    void DoScanPacket();
    void UpdateStore();
    void DoChange();

    std::unique_ptr<TNX7_Comm> FPort;
    std::unique_ptr<TNX7_Thread> FThread;
    bool FOpen = false;
    int FLost = 0;
    std::array<uint8_t, ReceiveSize> FReceive{};
    std::array<uint8_t, PacketSize> FPacket{};
    int FPacketLength = 0;
    int FZeroRun = 0;
    std::array<uint8_t, PacketSize> FStore{};
    int FStoreLength = 0;
    int FRetryCount = 0;
};
