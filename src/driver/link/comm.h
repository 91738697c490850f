// Serial port of the sensor: one of COM1 … COM8 with fixed line settings, non-blocking reads and
// writes. COMn is the device /dev/ttyS<n-1> unless ZT7_COM<n> names another path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SerialPort;

// Ordinals are what the "Comm" shared variables store; keep them.
enum TCommType : uint8_t {
    ctNone = 0,
    ctComm1 = 1, ctComm2, ctComm3, ctComm4, ctComm5, ctComm6, ctComm7, ctComm8,
    ctUsb = 9,
};
enum TBaudType : uint8_t { bt1200 = 0, bt2400, bt4800, bt9600, bt19200, bt38400, btAuto };
enum TParityType : uint8_t { ptNone = 0, ptEven, ptOdd };
enum TStopBitType : uint8_t { sb1_0 = 0, sb1_5, sb2_0 };

// Line speed in baud for a TBaudType; btAuto and anything unknown give 9600.
int BaudRateOf(TBaudType baud);

class TNX7_Comm {
public:
    static constexpr int QueueSize = 1024;

    TNX7_Comm();
    ~TNX7_Comm();
    TNX7_Comm(const TNX7_Comm&) = delete;
    TNX7_Comm& operator=(const TNX7_Comm&) = delete;

    TCommType GetComms() const { return FComms; }
    void SetComm(TCommType v);
    TBaudType GetBaud() const { return FBaud; }
    void SetBaud(TBaudType v);
    TParityType GetParity() const { return FParity; }
    void SetParity(TParityType v);
    TStopBitType GetStopBit() const { return FStopBit; }
    void SetStopBit(TStopBitType v);

    bool GetOpen() const { return FOpen; }
    void SetOpen(bool v);
    bool GetDevOpen() const;
    void SetDevOpen(bool v);

    // One non-blocking transfer of up to count bytes. False when Open is false; otherwise true
    // with moved = bytes transferred (0 on an I/O error or a closed port).
    bool Read(uint8_t* buffer, int count, int& moved);
    bool Write(const uint8_t* buffer, int count, int& moved);

    void DeviceOpen();
    void DeviceClose();

    // The device hung up (adapter unplugged, pty master gone): the handle is useless and is closed
    // by the caller's next check. Cleared by every open.
    bool GetHungUp() const;

    // Device path for a COM number (1 … 8); empty for anything else.
    static std::string PortPath(TCommType comms);

private:
    void LogOpenFailure(const std::string& path, const std::string& why);

    TCommType FComms = ctNone;
    TBaudType FBaud = bt9600;
    TParityType FParity = ptNone;
    TStopBitType FStopBit = sb1_0;
    bool FOpen = false;
    std::unique_ptr<SerialPort> FPort;
    std::string FLastFailure;  // logged once until the port opens or the reason changes
};
