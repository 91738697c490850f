#include "driver/link/usbsensor.h"

#include <algorithm>

#include "driver/link/thread.h"
#include "driver/link/usbhida.h"

TNX7_UsbSensor::TNX7_UsbSensor(MainLoop* loop, THidBackend* backend, bool startThread)
    : FLink(std::make_unique<TNX7_UsbHidA>(loop, backend, startThread)),
      FThread(std::make_unique<TNX7_Thread>(loop))
{
    FLink->OnScanPacket = [this](void*, int n, const uint8_t* d) {
        if (OnScanPacket)
            OnScanPacket(this, n, d);
    };
    FLink->OnStatusPacket = [this](void* s, int n, const uint8_t* d) { DoStatusPacket(s, n, d); };
    FLink->OnChange = [this](void*) {
        if (OnChange)
            OnChange(this);
    };
    FThread->SetInterval(PollInterval);
    FThread->OnPoll = [this](TNX7_Thread*) { DoPoll(); };
    FThread->SetRun(true);
}

TNX7_UsbSensor::~TNX7_UsbSensor()
{
    OnScanPacket = nullptr;
    OnChange = nullptr;
    SetOpen(false);
    FThread->SetRun(false);
    FThread->OnPoll = nullptr;
    FLink.reset();
}

void TNX7_UsbSensor::SetOpen(bool v)
{
    FOpen = v;
    SetDevOpen(v);
}

bool TNX7_UsbSensor::GetDevOpen() const
{
    return FLink->GetDevOpen();
}

void TNX7_UsbSensor::SetDevOpen(bool v)
{
    FLink->SetOpen(v && FComms == ctUsb);
}

void TNX7_UsbSensor::SetComms(TCommType v)
{
    FComms = v;
    SetDevOpen(FOpen);
}

void TNX7_UsbSensor::SetLost(int v)
{
    FLost = std::clamp(v, 0, 1000);
}

void TNX7_UsbSensor::SetReqRunMode(int v)
{
    FReqRunMode = std::clamp(v, 0, 1);
}

void TNX7_UsbSensor::SetReqCycleSize(int v)
{
    FReqCycleSize = std::clamp(v, 0, 15);
}

void TNX7_UsbSensor::SetReqMuxSize(int v)
{
    FReqMuxSize = std::clamp(v, 0, 126);
}

void TNX7_UsbSensor::SetReqMuxOrder(int v)
{
    FReqMuxOrder = std::clamp(v, 0, 1);
}

void TNX7_UsbSensor::BuildCommand(uint8_t* c) const
{
    c[0] = 0x80;
    c[1] = static_cast<uint8_t>(FReqRunMode);
    c[2] = static_cast<uint8_t>(FReqCycleSize);
    c[3] = 0x01;
    c[4] = static_cast<uint8_t>(FReqMuxSize);
    c[5] = 0x00;
    c[6] = static_cast<uint8_t>(FReqMuxOrder);
    c[7] = 0x00;
}

void TNX7_UsbSensor::DoPoll()
{
    // Sent whether open or not: the link holds it until the device is there.
    uint8_t command[8];
    BuildCommand(command);
    FLink->SendPacket(command);
}

void TNX7_UsbSensor::DoStatusPacket(void*, int theLength, const uint8_t* s)
{
    if (theLength != 8 || !s)
        return;
    const int runMode = s[1] & 0x01;
    const int cycleSize = s[2] & 0x0F;
    const int muxSize = s[4];
    const int maxMuxSize = s[5];
    const int muxOrder = s[6] & 0x01;
    if (runMode == FActRunMode && cycleSize == FActCycleSize && muxSize == FActMuxSize
        && maxMuxSize == FActMaxMuxSize && muxOrder == FActMuxOrder)
        return;
    FActRunMode = runMode;
    FActCycleSize = cycleSize;
    FActMuxSize = muxSize;
    FActMaxMuxSize = maxMuxSize;
    FActMuxOrder = muxOrder;
    if (OnChange)
        OnChange(this);
}
