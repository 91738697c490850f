#include "driver/link/commsb.h"

#include <algorithm>

#include "driver/link/serialsensora.h"
#include "driver/link/thread.h"
#include "driver/link/usbsensor.h"
#include "share/sharevarbase.h"

TNX7_CommsB::TNX7_CommsB(MainLoop* loop, THidBackend* hidBackend, bool startUsbThread)
    : FSerial(std::make_unique<TNX7_SerialSensorA>(loop)),
      FUsb(std::make_unique<TNX7_UsbSensor>(loop, hidBackend, startUsbThread))
{
    FUsb->SetReqMuxSize(64);
    FUsb->SetReqMuxOrder(0);
    FSerial->OnScanPacket = [this](void* s, int n, const uint8_t* d) { DoScanPacket(s, n, d); };
    FSerial->OnChange = [this](void* s) { DoChange(s); };
    FUsb->OnScanPacket = [this](void* s, int n, const uint8_t* d) { DoScanPacket(s, n, d); };
    FUsb->OnChange = [this](void* s) { DoChange(s); };

    auto handler = [this](void (TNX7_CommsB::*fn)(TShareVarBase*)) {
        return [this, fn](TShareVarBase* v) { (this->*fn)(v); };
    };
    FVarPort = FVars.AddItem("Comm", "Port", "Int", 1, handler(&TNX7_CommsB::DoPortChange), nullptr, true);
    FVarBaud = FVars.AddItem("Comm", "Baud", "Int", 1, handler(&TNX7_CommsB::DoBaudChange), nullptr, true);
    FVarCycleSize = FVars.AddItem("Comm", "CycleSize", "Int", 1, handler(&TNX7_CommsB::DoCycleSizeChange), nullptr, true);
    FVarAdvanced = FVars.AddItem("Comm", "Advanced", "Bool", 1, handler(&TNX7_CommsB::DoAdvancedChange), nullptr, true);
    FVarReqMuxSize = FVars.AddItem("Comm", "ReqMuxSize", "Int", 1, handler(&TNX7_CommsB::DoReqMuxSizeChange), nullptr, true);
    FVarMuxOrder = FVars.AddItem("Comm", "MuxOrder", "Int", 1, handler(&TNX7_CommsB::DoMuxOrderChange), nullptr, true);
    FVarReqOpen = FVars.AddItem("Comm", "ReqOpen", "Bool", 1, handler(&TNX7_CommsB::DoReqOpen1Change), nullptr, true);
    FVarDevOpen = FVars.AddItem("Comm", "DevOpen", "Bool", 1, nullptr, nullptr, false);
    FVarActive = FVars.AddItem("Comm", "Active", "Bool", 1, nullptr, nullptr, false);
    FVarValid = FVars.AddItem("Comm", "Valid", "Bool", 1, nullptr, nullptr, false);
    FVarLength = FVars.AddItem("Comm", "Length", "Int", 1, nullptr, nullptr, false);
    FVarLost = FVars.AddItem("Comm", "Lost", "Int", 1, nullptr, nullptr, false);
    FVarRate = FVars.AddItem("Comm", "Rate", "Int", 1, nullptr, nullptr, false);

    FVarPort->SetValueIntX(0);
    FVarBaud->SetValueIntX(bt19200);
    FVarCycleSize->SetValueIntX(8);
    FVarAdvanced->SetValueBoolX(false);
    FVarReqMuxSize->SetValueIntX(64);
    FVarMuxOrder->SetValueIntX(0);
    FVarReqOpen->SetValueBoolX(false);
    FVarDevOpen->SetValueBoolX(false);
    FVarActive->SetValueBoolX(false);
    FVarValid->SetValueBoolX(false);
    FVarLength->SetValueIntX(0);
    FVarLost->SetValueIntX(0);
    FVarRate->SetValueIntX(0);

    FThread = std::make_unique<TNX7_Thread>(loop);
    FThread->SetInterval(PollInterval);
    FThread->OnPoll = [this](TNX7_Thread*) { DoPoll(); };
    FThread->SetRun(true);
}

TNX7_CommsB::~TNX7_CommsB()
{
    OnRawData = nullptr;
    FThread->SetRun(false);
    FThread->OnPoll = nullptr;
    // The fronts report their closing while going: nothing of ours may answer any more.
    FSerial->OnChange = nullptr;
    FSerial->OnScanPacket = nullptr;
    FUsb->OnChange = nullptr;
    FUsb->OnScanPacket = nullptr;
    FUsb.reset();
    FSerial.reset();
}

// --- status properties: written to the shared variable only when they change ---------------

void TNX7_CommsB::SetActive(bool v)
{
    if (v == FActive)
        return;
    FActive = v;
    FVarActive->SetValueBool(v);
}

void TNX7_CommsB::SetValid(bool v)
{
    if (v == FValid)
        return;
    FValid = v;
    FVarValid->SetValueBool(v);
}

void TNX7_CommsB::SetLength(int v)
{
    if (v == FLength)
        return;
    FLength = v;
    FVarLength->SetValueInt(v);
}

void TNX7_CommsB::SetLost(int v)
{
    v = std::clamp(v, 0, 1000);
    if (v == FLost)
        return;
    FLost = v;
    FVarLost->SetValueInt(v);
}

void TNX7_CommsB::SetRate(int v)
{
    if (v == FRate)
        return;
    FRate = v;
    FVarRate->SetValueInt(v);
}

void TNX7_CommsB::SetDevOpen(bool v)
{
    FDevOpen = v;
    if (FVarDevOpen->GetValueBool() != v)
        FVarDevOpen->SetValueBool(v);
}

// --- settings ----------------------------------------------------------------------------------

void TNX7_CommsB::SetAdvanced(bool v)
{
    FAdvanced = v;
    FVarAdvanced->SetValueBool(v);
    if (!v) {
        FUsb->SetReqMuxSize(64);
        FUsb->SetReqMuxOrder(0);
        FVarReqMuxSize->SetValueInt(64);
        FVarMuxOrder->SetValueInt(0);
    }
}

TCommType TNX7_CommsB::GetPort() const
{
    return FSerial->GetComms();
}

void TNX7_CommsB::SetPortA(TCommType v)
{
    if (v != FSerial->GetComms()) {
        FSerial->SetComms(v);
        FUsb->SetComms(v);
    }
    FVarPort->SetValueInt(v);
}

TBaudType TNX7_CommsB::GetBaud() const
{
    return FSerial->GetBaud();
}

void TNX7_CommsB::SetBaud(TBaudType v)
{
    if (v != FSerial->GetBaud())
        FSerial->SetBaud(v);
    FVarBaud->SetValueInt(v);
}

int TNX7_CommsB::GetRunMode() const { return FUsb->GetActRunMode(); }
void TNX7_CommsB::SetRunMode(int v) { FUsb->SetReqRunMode(v); }
int TNX7_CommsB::GetCycleSize() const { return FUsb->GetActCycleSize(); }
void TNX7_CommsB::SetCycleSize(int v) { FUsb->SetReqCycleSize(v); }
int TNX7_CommsB::GetMuxSize() const { return FUsb->GetActMuxSize(); }
void TNX7_CommsB::SetMuxSize(int v) { FUsb->SetReqMuxSize(FAdvanced ? v : 64); }
int TNX7_CommsB::GetMuxOrder() const { return FUsb->GetActMuxOrder(); }
void TNX7_CommsB::SetMuxOrder(int v) { FUsb->SetReqMuxOrder(FAdvanced ? v : 0); }

void TNX7_CommsB::SetReqOpen1(bool v)
{
    FReqOpen1 = v;
    FVarReqOpen->SetValueBool(v);
    DoOpen();
}

void TNX7_CommsB::SetReqOpen2(bool v)
{
    FReqOpen2 = v;
    DoOpen();
}

void TNX7_CommsB::DoOpen()
{
    const bool open = FReqOpen1 && FReqOpen2;
    FSerial->SetOpen(open);
    FUsb->SetOpen(open);
    if (!open) {
        SetActive(false);
        SetValid(false);
    }
    SetRate(0);
    if (OnRawData)
        OnRawData(this, 0, nullptr);
}

void TNX7_CommsB::Reset(void*)
{
    if (!FReqOpen2)
        return;
    FReopenCountdown = ReopenDelayMs;
    SetReqOpen2(false);
}

// --- scans and poll ------------------------------------------------------------------------

void TNX7_CommsB::DoScanPacket(void*, int theLength, const uint8_t* theRawData)
{
    FLengths[0] = FLengths[1];
    FLengths[1] = FLengths[2];
    FLengths[2] = FLengths[3];
    FLengths[3] = theLength;
    const bool accepted = theRawData && theLength == FLengths[0] && theLength == FLengths[1]
                          && theLength == FLengths[2] && theLength >= MinLength && theLength <= MaxLength;
    SetLength(accepted ? theLength : 0);
    SetValid(accepted);
    ++FFrameCount;
    if (accepted) {
        ++FValidCount;
        if (OnRawData)
            OnRawData(this, theLength, theRawData);
    }
}

void TNX7_CommsB::DoPoll()
{
    FWindowTime += static_cast<int>(PollInterval);
    if (FWindowTime > WindowMs) {
        SetActive(FFrameCount > 10);
        FFrameCount = 0;
        SetRate(FValidCount);
        FValidCount = 0;
        SetDevOpen(FSerial->GetDevOpen() || FUsb->GetDevOpen());
        SetLost(FUsb->GetLost() + FSerial->GetLost());
        FWindowTime = 0;
    }
    if (FReopenCountdown > 0) {
        FReopenCountdown -= static_cast<int>(PollInterval);
        if (FReopenCountdown <= 0)
            SetReqOpen2(true);
    }
}

void TNX7_CommsB::DoChange(void*)
{
    if (OnRawData)
        OnRawData(this, 0, nullptr);
}

// --- change handlers of the "Comm" variables --------------------------------------------------

void TNX7_CommsB::DoPortChange(TShareVarBase* v)
{
    const auto port = static_cast<TCommType>(v->GetValueInt() & 0xFF);
    if (port != FSerial->GetComms()) {
        FSerial->SetComms(port);
        FUsb->SetComms(port);
    }
}

void TNX7_CommsB::DoBaudChange(TShareVarBase* v)
{
    const auto baud = static_cast<TBaudType>(v->GetValueInt() & 0xFF);
    if (baud != FSerial->GetBaud())
        FSerial->SetBaud(baud);
}

void TNX7_CommsB::DoCycleSizeChange(TShareVarBase* v)
{
    const int size = v->GetValueInt();
    if (size != FUsb->GetReqCycleSize())
        FUsb->SetReqCycleSize(size);
}

void TNX7_CommsB::DoAdvancedChange(TShareVarBase* v)
{
    FAdvanced = v->GetValueBool();
    if (!FAdvanced) {
        FUsb->SetReqMuxSize(64);
        FUsb->SetReqMuxOrder(0);
        FVarReqMuxSize->SetValueInt(64);
        FVarMuxOrder->SetValueInt(0);
    }
}

void TNX7_CommsB::DoReqMuxSizeChange(TShareVarBase* v)
{
    const int size = FAdvanced ? v->GetValueInt() : 64;
    if (size != FUsb->GetReqMuxSize())
        FUsb->SetReqMuxSize(size);
}

void TNX7_CommsB::DoMuxOrderChange(TShareVarBase* v)
{
    const int order = FAdvanced ? v->GetValueInt() : 0;
    if (order != FUsb->GetReqMuxOrder())
        FUsb->SetReqMuxOrder(order);
}

void TNX7_CommsB::DoReqOpen1Change(TShareVarBase* v)
{
    const bool open = v->GetValueBool();
    if (open == FReqOpen1)
        return;
    FReqOpen1 = open;
    DoOpen();
}
