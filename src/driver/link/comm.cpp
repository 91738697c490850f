#include "driver/link/comm.h"

#include <cstdio>

#include "platform/serialport.h"

int BaudRateOf(TBaudType baud)
{
    switch (baud) {
    case bt1200: return 1200;
    case bt2400: return 2400;
    case bt4800: return 4800;
    case bt9600: return 9600;
    case bt19200: return 19200;
    case bt38400: return 38400;
    default: return 9600;  // btAuto and anything unknown
    }
}

TNX7_Comm::TNX7_Comm() : FPort(std::make_unique<SerialPort>()) {}

TNX7_Comm::~TNX7_Comm()
{
    SetOpen(false);
}

std::string TNX7_Comm::PortPath(TCommType comms)
{
    if (comms < ctComm1 || comms > ctComm8)
        return {};
    int n = static_cast<int>(comms);
    char env[16];
    std::snprintf(env, sizeof env, "ZT7_COM%d", n);
    std::string path = GetEnvString(env);
    if (!path.empty())
        return path;
    return "/dev/ttyS" + std::to_string(n - 1);
}

void TNX7_Comm::SetOpen(bool v)
{
    FOpen = v;
    SetDevOpen(v);
}

bool TNX7_Comm::GetDevOpen() const
{
    return FPort->IsOpen();
}

void TNX7_Comm::SetDevOpen(bool v)
{
    if (v == GetDevOpen())
        return;
    if (v)
        DeviceOpen();
    else
        DeviceClose();
}

void TNX7_Comm::SetComm(TCommType v)
{
    if (v == FComms)
        return;
    DeviceClose();
    FComms = v;
    if (v != ctNone)
        SetDevOpen(FOpen);
}

void TNX7_Comm::SetBaud(TBaudType v)
{
    if (v == FBaud)
        return;
    DeviceClose();
    FBaud = v;
    SetDevOpen(FOpen);
}

void TNX7_Comm::SetParity(TParityType v)
{
    if (v == FParity)
        return;
    DeviceClose();
    FParity = v;
    SetDevOpen(FOpen);
}

void TNX7_Comm::SetStopBit(TStopBitType v)
{
    if (v == FStopBit)
        return;
    DeviceClose();
    FStopBit = v;
    SetDevOpen(FOpen);
}

bool TNX7_Comm::Read(uint8_t* buffer, int count, int& moved)
{
    moved = 0;
    if (!FOpen)
        return false;
    if (FPort->IsOpen() && buffer && count > 0) {
        int n = FPort->Read(buffer, count);
        moved = n > 0 ? n : 0;
    }
    return true;
}

bool TNX7_Comm::Write(const uint8_t* buffer, int count, int& moved)
{
    moved = 0;
    if (!FOpen)
        return false;
    if (FPort->IsOpen() && buffer && count > 0) {
        int n = FPort->Write(buffer, count);
        moved = n > 0 ? n : 0;
    }
    return true;
}

bool TNX7_Comm::GetHungUp() const
{
    return FPort->IsOpen() && FPort->HungUp();
}

void TNX7_Comm::DeviceOpen()
{
    DeviceClose();
    std::string path = PortPath(FComms);
    if (path.empty())
        return;  // ctNone or ctUsb: no serial port
    SerialPort::Settings s;
    s.Baud = BaudRateOf(FBaud);
    s.ParityMode = FParity == ptEven  ? SerialPort::Parity::Even
                   : FParity == ptOdd ? SerialPort::Parity::Odd
                                      : SerialPort::Parity::None;
    s.Stop = FStopBit == sb1_5   ? SerialPort::StopBits::OneAndHalf
             : FStopBit == sb2_0 ? SerialPort::StopBits::Two
                                 : SerialPort::StopBits::One;
    s.QueueSize = QueueSize;
    if (FPort->Open(path, s)) {
        if (!FLastFailure.empty())
            std::fprintf(stderr, "zt7: serial port %s open\n", path.c_str());
        FLastFailure.clear();
        return;
    }
    LogOpenFailure(path, FPort->LastError());
}

void TNX7_Comm::DeviceClose()
{
    FPort->Close();
}

void TNX7_Comm::LogOpenFailure(const std::string& path, const std::string& why)
{
    // Retries of a missing port repeat the same failure: say it once.
    std::string text = path + ": " + why;
    if (text == FLastFailure)
        return;
    FLastFailure = text;
    std::fprintf(stderr, "zt7: cannot open serial port %s\n", text.c_str());
}
