// Comms selector (NX7_CommsAXY on the driver's form): owns the serial and the USB front, routes
// the "Comm" settings to them, opens and closes them together, passes on only scans of a stable
// length and publishes the link status back into section "Comm".
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "driver/link/comm.h"
#include "share/events.h"
#include "share/sharevarpoly.h"

class MainLoop;
class THidBackend;
class TNX7_Thread;
class TNX7_SerialSensorA;
class TNX7_UsbSensor;
class TShareVarBase;

class TNX7_CommsB {
public:
    static constexpr uint32_t PollInterval = 100;
    static constexpr int WindowMs = 1000;
    static constexpr int ReopenDelayMs = 2000;
    static constexpr int MinLength = 16;
    static constexpr int MaxLength = 128;

    // Null loop and backend: the current main loop and the default HID backend.
    explicit TNX7_CommsB(MainLoop* loop = nullptr, THidBackend* hidBackend = nullptr, bool startUsbThread = true);
    ~TNX7_CommsB();
    TNX7_CommsB(const TNX7_CommsB&) = delete;
    TNX7_CommsB& operator=(const TNX7_CommsB&) = delete;

    // Closes both fronts for 2000 ms, then reopens (when ReqOpen2 is set).
    void Reset(void* sender);

    bool GetActive() const { return FActive; }
    void SetActive(bool v);
    bool GetValid() const { return FValid; }
    void SetValid(bool v);
    int GetLength() const { return FLength; }
    void SetLength(int v);
    int GetLost() const { return FLost; }
    void SetLost(int v);
    int GetRate() const { return FRate; }
    void SetRate(int v);
    bool GetDevOpen() const { return FDevOpen; }
    void SetDevOpen(bool v);

    bool GetAdvanced() const { return FAdvanced; }
    void SetAdvanced(bool v);
    TCommType GetPort() const;
    void SetPortA(TCommType v);
    TBaudType GetBaud() const;
    void SetBaud(TBaudType v);
    int GetRunMode() const;
    void SetRunMode(int v);
    int GetCycleSize() const;
    void SetCycleSize(int v);
    int GetMuxSize() const;
    void SetMuxSize(int v);
    int GetMuxOrder() const;
    void SetMuxOrder(int v);

    bool GetReqOpen1() const { return FReqOpen1; }
    void SetReqOpen1(bool v);
    bool GetReqOpen2() const { return FReqOpen2; }
    void SetReqOpen2(bool v);

    // The 100 ms poll: rate window and the reopen after a reset.
    void DoPoll();
    // A scan from either front.
    void DoScanPacket(void* theSender, int theLength, const uint8_t* theRawData);
    // A front opened, closed or changed state.
    void DoChange(void* theSender);

    TNX7_SerialSensorA& GetSerial() { return *FSerial; }
    TNX7_UsbSensor& GetUsb() { return *FUsb; }
    TShareVarPoly& GetShareVars() { return FVars; }

    TRawArrayEvent OnRawData;

private:
    void DoOpen();
    void DoPortChange(TShareVarBase* v);
    void DoBaudChange(TShareVarBase* v);
    void DoCycleSizeChange(TShareVarBase* v);
    void DoAdvancedChange(TShareVarBase* v);
    void DoReqMuxSizeChange(TShareVarBase* v);
    void DoMuxOrderChange(TShareVarBase* v);
    void DoReqOpen1Change(TShareVarBase* v);

    std::unique_ptr<TNX7_SerialSensorA> FSerial;
    std::unique_ptr<TNX7_UsbSensor> FUsb;
    TShareVarPoly FVars;
    TShareVarBase* FVarPort = nullptr;
    TShareVarBase* FVarBaud = nullptr;
    TShareVarBase* FVarCycleSize = nullptr;
    TShareVarBase* FVarAdvanced = nullptr;
    TShareVarBase* FVarReqMuxSize = nullptr;
    TShareVarBase* FVarMuxOrder = nullptr;
    TShareVarBase* FVarReqOpen = nullptr;
    TShareVarBase* FVarDevOpen = nullptr;
    TShareVarBase* FVarActive = nullptr;
    TShareVarBase* FVarValid = nullptr;
    TShareVarBase* FVarLength = nullptr;
    TShareVarBase* FVarLost = nullptr;
    TShareVarBase* FVarRate = nullptr;

    bool FActive = false;
    bool FValid = false;
    int FLength = 0;
    int FLost = 0;
    int FRate = 0;
    bool FDevOpen = false;
    bool FAdvanced = false;
    bool FReqOpen1 = false;
    bool FReqOpen2 = true;
    std::array<int, 4> FLengths{};
    int FFrameCount = 0;
    int FValidCount = 0;
    int FWindowTime = 0;
    int FReopenCountdown = 0;
    std::unique_ptr<TNX7_Thread> FThread;
};
