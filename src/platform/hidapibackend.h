// HID backend on hidapi's hidraw implementation. Without hidapi at build time it finds no
// devices.
#pragma once

#include "driver/link/hidbackend.h"

class HidapiBackend : public THidBackend {
public:
    static HidapiBackend& Instance();
    static bool Available();

    std::vector<THidDeviceInfo> Enumerate() override;
    std::unique_ptr<THidDevice> Open(const std::string& path) override;

private:
    HidapiBackend();
    ~HidapiBackend() override;
    bool FInit = false;
};
