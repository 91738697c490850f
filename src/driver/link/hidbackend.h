// Access to HID devices: enumerate by vendor and product ID and path, open, read 9-byte reports
// with a time-out, write reports. Real devices go through hidraw; tests use a fake.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct THidDeviceInfo {
    std::string Path;
    uint16_t VendorID = 0;
    uint16_t ProductID = 0;
};

class THidDevice {
public:
    virtual ~THidDevice() = default;
    // Bytes read (report ID first), 0 when nothing arrived within timeoutMs, −1 on an error
    // (device removed).
    virtual int Read(uint8_t* buffer, int size, int timeoutMs) = 0;
    // Bytes written, −1 on an error.
    virtual int Write(const uint8_t* buffer, int size) = 0;
};

class THidBackend {
public:
    virtual ~THidBackend() = default;
    virtual std::vector<THidDeviceInfo> Enumerate() = 0;
    // Null when the device cannot be opened.
    virtual std::unique_ptr<THidDevice> Open(const std::string& path) = 0;
};

// The backend USB links use when none is given: hidraw when built with hidapi, otherwise one
// that finds no devices. Tests install a fake here before creating links.
THidBackend* GetHidBackend();
void SetHidBackend(THidBackend* backend);
