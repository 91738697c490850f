// USB HID sensor link: a reader thread finds the sensor by vendor and product ID, reads 9-byte
// reports, reassembles scan frames, passes status reports on, writes queued 8-byte commands and
// reconnects after a second of silence. Every event reaches the owner on the main thread, and
// the reader waits until the handler has returned.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "driver/link/usbbase.h"

class MainLoop;
class THidBackend;
class THidDevice;

class TNX7_Bg_UsbHidA {
public:
    static constexpr int ReportSize = 9;
    static constexpr int CommandSize = 8;
    static constexpr int FrameSize = 256;
    static constexpr int MaxDevices = 16;
    static constexpr int MaxPayload = 6;
    static constexpr uint32_t SilenceMs = 1000;
    static constexpr uint32_t IdleSleepMs = 100;
    // While the sensor is wanted but not there, how often the HID devices are looked through
    // again: each look is a walk of the device tree, too dear to repeat every idle pause.
    static constexpr uint32_t OpenRetryMs = 1000;
    // A read gives up after this long so that a close request or termination is seen promptly.
    static constexpr int ReadTimeoutMs = 100;

    // Placeholder IDs of our own; ZT7_USB_IDS ("vvvv:pppp[:b],…", hex, ":b" = byte-wise
    // commands) replaces the table.
    static constexpr uint16_t DefaultVendorID = 0x5A37;
    static constexpr uint16_t DefaultProductID = 0x0007;
    static constexpr uint16_t DefaultProductIDByteWise = 0x0017;

    // startThread false leaves the reader to the caller (DoPass), for tests.
    TNX7_Bg_UsbHidA(MainLoop* loop, THidBackend* backend, bool startThread = true);
    ~TNX7_Bg_UsbHidA();
    TNX7_Bg_UsbHidA(const TNX7_Bg_UsbHidA&) = delete;
    TNX7_Bg_UsbHidA& operator=(const TNX7_Bg_UsbHidA&) = delete;

    int GetVendorID() const { return FVendorID; }
    int GetProductID() const { return FProductID; }
    bool GetByteWise() const { return FByteWise; }
    bool Get16Bit() const { return F16Bit; }
    bool GetOpen() const { return FOpen; }
    void SetOpen(bool v);
    bool GetDevOpen() const { return FDevOpen; }

    // Device table: entries past 16 are ignored.
    void ClearDevices();
    void AddDevice(int vendorID, int productID, bool byteWise);
    int FindDevice(int vendorID, int productID) const;  // index, or −1
    int GetDeviceCount() const;

    // Queue a command (8 bytes), replacing one still pending.
    void QueueCommand(const uint8_t* bytes);
    bool GetCommandPending();

    // Starts the reader thread (once); set Sender and the events before.
    void Start();
    // One pass of the reader loop. The thread runs it until terminated; tests may call it.
    void DoPass();
    // Real-time pause after a failed read (100 ms; a failed open waits OpenRetryMs, a closed
    // link until it is opened); tests running the passes by hand in virtual time set 0, which
    // leaves out every wait.
    void SetIdleSleep(uint32_t ms) { FIdleSleep = ms; }
    // Stops the reader thread and waits for it; closes the device.
    void Terminate();

    void* Sender = nullptr;  // sender of the events (the owning link)
    TRawArrayEvent OnScanPacket;
    TRawArrayEventUS OnScanPacketUS;
    TRawArrayEvent OnStatusPacket;
    TNotifyEvent OnChange;

private:
    struct TDeviceEntry {
        int VendorID;
        int ProductID;
        bool ByteWise;
    };
    struct THandOff;

    void Execute();
    void DeviceOpen();
    void DeviceClose();
    void DoWriteCommand();
    void DoReport(const uint8_t* report);
    void DoScanReport(const uint8_t* d);
    void DoStatusReport(const uint8_t* d);
    // Runs fn on the main thread and waits for it; false when it could not run (terminating).
    bool Synchronize(std::function<void()> fn);
    // Waits up to ms, cut short by termination or by a change of the open request.
    void SleepFor(uint32_t ms);
    // Waits, without a time limit, for an open request or termination.
    void WaitForOpen();
    uint32_t Now();

    MainLoop* FLoop;
    THidBackend* FBackend;
    std::thread::id FMainThread;

    std::array<TDeviceEntry, MaxDevices> FDevices{};
    int FDeviceCount = 0;
    // Written by the reader when it matches a device, read by the main thread.
    std::atomic<int> FVendorID{0};
    std::atomic<int> FProductID{0};
    std::atomic<bool> FByteWise{false};

    std::atomic<bool> FOpen{false};
    std::atomic<bool> FDevOpen{false};
    bool FLastDevOpen = false;
    std::unique_ptr<THidDevice> FDevice;

    std::mutex FLock;  // command and the copies of scan and status data
    std::array<uint8_t, CommandSize> FCommand{};
    bool FCommandPending = false;
    int FBytePos = 0;

    std::array<uint8_t, FrameSize> FFrame{};
    std::atomic<bool> F16Bit{false};
    std::array<uint8_t, FrameSize> FScanThread{}, FScanMain{};
    int FScanLenThread = 0, FScanLenMain = 0;
    std::array<uint16_t, FrameSize / 2> FScanUSThread{}, FScanUSMain{};
    int FScanUSLenThread = 0, FScanUSLenMain = 0;
    std::array<uint8_t, CommandSize> FStatusThread{}, FStatusMain{};
    uint32_t FLastActivity = 0;
    std::atomic<uint32_t> FIdleSleep{IdleSleepMs};

    std::mutex FWaitLock;  // sleeping and hand-off waits; woken by termination
    std::condition_variable FWake;
    std::shared_ptr<THandOff> FPending;
    std::atomic<bool> FTerminated{false};
    unsigned FOpenRequests = 0;  // under FWaitLock: a quick close and reopen still ends a wait
    std::thread FThread;
};

class TNX7_UsbHidA : public TNX7_UsbBase {
public:
    // Null loop and backend: the current main loop and the default HID backend.
    explicit TNX7_UsbHidA(MainLoop* loop = nullptr, THidBackend* backend = nullptr, bool startThread = true);
    ~TNX7_UsbHidA() override;

    void SetOpen(bool v) override;
    bool GetOpen() const override { return FOpen; }
    void SetDevOpen(bool v) override;
    bool GetDevOpen() const override;
    void SendPacket(const uint8_t* bytes) override;

    TNX7_Bg_UsbHidA& GetThread() { return *FThread; }

private:
    bool FOpen = false;
    std::unique_ptr<TNX7_Bg_UsbHidA> FThread;
};
