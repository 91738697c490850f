// USB sensor front: opens the HID link only while USB is the selected port, sends the scan
// configuration once a second, reads back what the sensor reports it does and passes 8-bit scan
// frames on.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/link/comm.h"
#include "share/events.h"

class MainLoop;
class THidBackend;
class TNX7_Thread;
class TNX7_UsbHidA;

class TNX7_UsbSensor {
public:
    static constexpr uint32_t PollInterval = 1000;

    explicit TNX7_UsbSensor(MainLoop* loop = nullptr, THidBackend* backend = nullptr, bool startThread = true);
    ~TNX7_UsbSensor();
    TNX7_UsbSensor(const TNX7_UsbSensor&) = delete;
    TNX7_UsbSensor& operator=(const TNX7_UsbSensor&) = delete;

    bool GetOpen() const { return FOpen; }
    void SetOpen(bool v);
    bool GetDevOpen() const;
    void SetDevOpen(bool v);
    TCommType GetComms() const { return FComms; }
    void SetComms(TCommType v);
    int GetLost() const { return FLost; }
    void SetLost(int v);

    int GetReqRunMode() const { return FReqRunMode; }
    void SetReqRunMode(int v);
    int GetReqCycleSize() const { return FReqCycleSize; }
    void SetReqCycleSize(int v);
    int GetReqMuxSize() const { return FReqMuxSize; }
    void SetReqMuxSize(int v);
    int GetReqMuxOrder() const { return FReqMuxOrder; }
    void SetReqMuxOrder(int v);

    int GetActRunMode() const { return FActRunMode; }
    int GetActCycleSize() const { return FActCycleSize; }
    int GetActMuxSize() const { return FActMuxSize; }
    int GetActMaxMuxSize() const { return FActMaxMuxSize; }
    int GetActMuxOrder() const { return FActMuxOrder; }

    // The once-a-second configuration command.
    void DoPoll();
    void BuildCommand(uint8_t* command) const;
    // Status packet from the link (8 bytes).
    void DoStatusPacket(void* theSender, int theLength, const uint8_t* theRawData);

    TNX7_UsbHidA& GetLink() { return *FLink; }

    TRawArrayEvent OnScanPacket;
    TNotifyEvent OnChange;

private:
    std::unique_ptr<TNX7_UsbHidA> FLink;
    std::unique_ptr<TNX7_Thread> FThread;
    bool FOpen = false;
    TCommType FComms = ctNone;
    int FLost = 0;
    int FReqRunMode = 1;
    int FReqCycleSize = 8;
    int FReqMuxSize = 64;
    int FReqMuxOrder = 0;
    int FActRunMode = 0;
    int FActCycleSize = 0;
    int FActMuxSize = 0;
    int FActMaxMuxSize = 64;
    int FActMuxOrder = 0;
};
