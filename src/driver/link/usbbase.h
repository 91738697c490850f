// Base of the USB sensor links: open request, actual state, scan and status events, commands.
#pragma once

#include <cstdint>
#include <functional>

#include "share/events.h"

// Scan frame of 16-bit values.
using TRawArrayEventUS = std::function<void(void* theSender, int theLength, const uint16_t* theRawData)>;

class TNX7_UsbBase {
public:
    TNX7_UsbBase() = default;
    virtual ~TNX7_UsbBase() { ClearEvents(); }
    TNX7_UsbBase(const TNX7_UsbBase&) = delete;
    TNX7_UsbBase& operator=(const TNX7_UsbBase&) = delete;

    virtual void SetOpen(bool v) = 0;
    virtual bool GetOpen() const = 0;
    virtual void SetDevOpen(bool v) = 0;
    virtual bool GetDevOpen() const = 0;
    // Queues one 8-byte command; returns at once.
    virtual void SendPacket(const uint8_t* bytes) = 0;

    TRawArrayEvent OnScanPacket;
    TRawArrayEventUS OnScanPacketUS;
    TRawArrayEvent OnStatusPacket;
    TNotifyEvent OnChange;

protected:
    void ClearEvents()
    {
        OnScanPacket = nullptr;
        OnScanPacketUS = nullptr;
        OnStatusPacket = nullptr;
        OnChange = nullptr;
    }
};
