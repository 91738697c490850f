// Fake HID backend for tests: devices that can be plugged and unplugged, input reports queued by
// the test, written reports recorded. Thread-safe: the link reads on its own thread.
#pragma once

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "driver/link/hidbackend.h"

class TFakeHidBackend : public THidBackend {
public:
    using TReport = std::vector<uint8_t>;

    void AddDevice(const std::string& path, uint16_t vendorID, uint16_t productID);
    void SetPresent(const std::string& path, bool present);
    // Queue one input report (normally 9 bytes, report ID 0 first).
    void QueueReport(const std::string& path, const TReport& report);
    // The next writes of this device move only part of the report.
    void SetShortWrites(const std::string& path, int count);
    std::vector<TReport> Written(const std::string& path);
    int OpenCount(const std::string& path);
    int QueuedCount(const std::string& path);
    // Longest a read waits for a report, in real time (keeps tests fast).
    void SetReadWaitMs(int ms) { FReadWaitMs = ms; }

    std::vector<THidDeviceInfo> Enumerate() override;
    std::unique_ptr<THidDevice> Open(const std::string& path) override;

private:
    struct TDev {
        THidDeviceInfo Info;
        bool Present = true;
        int Generation = 0;  // bumped on unplug: handles of an older generation fail
        std::deque<TReport> Input;
        std::vector<TReport> Output;
        int ShortWrites = 0;
        int Opens = 0;
    };
    class THandle;
    TDev* Find(const std::string& path);

    std::mutex FLock;
    std::condition_variable FArrived;
    std::deque<TDev> FDevs;
    int FReadWaitMs = 20;
};
