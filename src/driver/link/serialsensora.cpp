#include "driver/link/serialsensora.h"

#include <algorithm>

#include "driver/link/thread.h"

TNX7_SerialSensorA::TNX7_SerialSensorA(MainLoop* loop)
    : FPort(std::make_unique<TNX7_Comm>()), FThread(std::make_unique<TNX7_Thread>(loop))
{
    FPort->SetComm(ctNone);
    FPort->SetBaud(bt19200);
    FPort->SetOpen(false);
    FThread->SetInterval(PollInterval);
    FThread->OnPoll = [this](TNX7_Thread*) { DoPoll(); };
    FThread->SetRun(true);
}

TNX7_SerialSensorA::~TNX7_SerialSensorA()
{
    OnScanPacket = nullptr;
    OnChange = nullptr;
    SetOpen(false);
    FThread->SetRun(false);
    FThread->OnPoll = nullptr;
}

void TNX7_SerialSensorA::DoChange()
{
    if (OnChange)
        OnChange(this);
}

void TNX7_SerialSensorA::SetOpen(bool v)
{
    FOpen = v;
    SetDevOpen(v);
}

bool TNX7_SerialSensorA::GetDevOpen() const
{
    return FPort->GetDevOpen();
}

void TNX7_SerialSensorA::SetDevOpen(bool v)
{
    bool was = FPort->GetDevOpen();
    FPort->SetOpen(v);
    FRetryCount = 0;
    if (FPort->GetDevOpen() != was)
        DoChange();
}

void TNX7_SerialSensorA::SetLost(int v)
{
    FLost = std::clamp(v, 0, MaxLost);
}

TCommType TNX7_SerialSensorA::GetComms() const
{
    return FPort->GetComms();
}

void TNX7_SerialSensorA::SetComms(TCommType v)
{
    TCommType was = FPort->GetComms();
    FPort->SetComm(v);
    FRetryCount = 0;
    if (FPort->GetComms() != was)
        DoChange();
}

TBaudType TNX7_SerialSensorA::GetBaud() const
{
    return FPort->GetBaud();
}

void TNX7_SerialSensorA::SetBaud(TBaudType v)
{
    TBaudType was = FPort->GetBaud();
    FPort->SetBaud(v);
    FRetryCount = 0;
    if (FPort->GetBaud() != was)
        DoChange();
}

void TNX7_SerialSensorA::DoPoll()
{
    int lost = FLost;
    if (FPort->GetDevOpen()) {
        static const uint8_t poll = 0x00;
        int moved = 0;
        FPort->Write(&poll, 1, moved);
        FPort->Read(FReceive.data(), ReceiveSize, moved);
        if (moved > 0)
            DoReceive(FReceive.data(), moved);
        if (FPort->GetHungUp()) {
            // The device went away: a closed port says so to the panel, and the retry below
            // picks it up again when it comes back.
            FPort->DeviceClose();
            FRetryCount = 0;
            DoChange();
        }
    } else if (FPort->GetOpen() && TNX7_Comm::PortPath(FPort->GetComms()).size() > 0) {
        if (++FRetryCount >= RetryPolls) {
            FRetryCount = 0;
            FPort->DeviceOpen();
            if (FPort->GetDevOpen())
                DoChange();
        }
    }
    if (FLost != lost)
        DoChange();
}

void TNX7_SerialSensorA::DoReceive(const uint8_t* data, int count)
{
    for (int i = 0; i < count; ++i) {
        uint8_t c = data[i];
        if (c == 0) {
            if (FZeroRun < MaxZeroRun)
                ++FZeroRun;
        } else if (FZeroRun == 0) {
            if (FPacketLength >= 1 && FPacketLength <= PacketSize - 1)
                FPacket[FPacketLength++] = c;
        } else {
            if (FPacketLength == PacketSize) {
                if (FLost < MaxLost)
                    ++FLost;
            } else if (FPacketLength >= 1) {
                DoScanPacket();
            }
            FZeroRun = 0;
            FPacket[0] = c;
            FPacketLength = 1;
        }
    }
}

void TNX7_SerialSensorA::DoScanPacket()
{
    if (!OnScanPacket)
        return;
    if (FZeroRun == 2) {
        UpdateStore();
        if (FStoreLength > 0)
            OnScanPacket(this, FStoreLength, FStore.data());
    } else {
        OnScanPacket(this, FPacketLength, FPacket.data());
    }
}

void TNX7_SerialSensorA::UpdateStore()
{
    const int len = FPacketLength;
    const int x = len >= 2 ? FPacket[0] : 0;
    const int y = len >= 2 ? FPacket[1] : 0;
    const int n = x + y;
    if (len < 10 || x <= 4 || y <= 4 || x >= 128 || y >= 128 || n >= PacketSize) {
        FStoreLength = 0;
        return;
    }
    if (n != FStoreLength)
        std::fill(FStore.begin(), FStore.begin() + n, uint8_t{0});
    const int groups = (len - 2) / 4;
    uint8_t m = 255;
    for (int k = 0; k < groups; ++k)
        for (int j = 3; j <= 5; ++j)
            m = std::min(m, FPacket[4 * k + j]);
    for (int i = 0; i < n; ++i)
        if (FStore[i] > m)
            FStore[i] = m;
    for (int k = 0; k < groups; ++k) {
        const int p = FPacket[2 + 4 * k];
        if (p >= 1 && p < n - 1) {
            FStore[p - 1] = FPacket[3 + 4 * k];
            FStore[p] = FPacket[4 + 4 * k];
            FStore[p + 1] = FPacket[5 + 4 * k];
        }
    }
    FStoreLength = n;
}
