#include "driver/link/usbhida.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/link/hidbackend.h"
#include "platform/mainloop.h"
#include "platform/serialport.h"

// One synchronous hand-off to the main thread. It lives in a shared block so that a call posted
// just before termination finds it cancelled instead of a freed link.
struct TNX7_Bg_UsbHidA::THandOff {
    std::mutex Lock;
    std::condition_variable Wake;
    bool Done = false;
    bool Cancelled = false;
};

namespace {

// "vvvv:pppp[:b],…" in hex; entries that do not parse are skipped.
bool ParseDeviceTable(const std::string& text, TNX7_Bg_UsbHidA& link)
{
    bool any = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(pos, end - pos);
        pos = end + 1;
        char* rest = nullptr;
        long vid = std::strtol(item.c_str(), &rest, 16);
        if (!rest || *rest != ':')
            continue;
        char* rest2 = nullptr;
        long pid = std::strtol(rest + 1, &rest2, 16);
        if (rest2 == rest + 1 || vid < 0 || vid > 0xFFFF || pid < 0 || pid > 0xFFFF)
            continue;
        bool byteWise = std::strcmp(rest2, ":b") == 0 || std::strcmp(rest2, ":B") == 0;
        if (*rest2 != '\0' && !byteWise)
            continue;
        if (!any)
            link.ClearDevices();
        link.AddDevice(static_cast<int>(vid), static_cast<int>(pid), byteWise);
        any = true;
    }
    return any;
}

}  // namespace

TNX7_Bg_UsbHidA::TNX7_Bg_UsbHidA(MainLoop* loop, THidBackend* backend, bool startThread)
    : FLoop(loop ? loop : &MainLoop::Current()),
      FBackend(backend ? backend : GetHidBackend()),
      FMainThread(std::this_thread::get_id())
{
    AddDevice(DefaultVendorID, DefaultProductID, false);
    AddDevice(DefaultVendorID, DefaultProductIDByteWise, true);
    ParseDeviceTable(GetEnvString("ZT7_USB_IDS"), *this);
    FLastActivity = Now();
    if (startThread)
        Start();
}

void TNX7_Bg_UsbHidA::Start()
{
    if (!FThread.joinable() && !FTerminated)
        FThread = std::thread([this] { Execute(); });
}

TNX7_Bg_UsbHidA::~TNX7_Bg_UsbHidA()
{
    Terminate();
    OnScanPacket = nullptr;
    OnScanPacketUS = nullptr;
    OnStatusPacket = nullptr;
    OnChange = nullptr;
}

void TNX7_Bg_UsbHidA::Terminate()
{
    {
        std::lock_guard<std::mutex> lock(FWaitLock);
        FTerminated = true;
        if (FPending) {
            std::lock_guard<std::mutex> hl(FPending->Lock);
            FPending->Cancelled = true;
            FPending->Wake.notify_all();
        }
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
    DeviceClose();
}

void TNX7_Bg_UsbHidA::ClearDevices()
{
    FDeviceCount = 0;
}

void TNX7_Bg_UsbHidA::AddDevice(int vendorID, int productID, bool byteWise)
{
    if (FDeviceCount >= MaxDevices)
        return;
    FDevices[FDeviceCount++] = {vendorID, productID, byteWise};
    if (FDeviceCount == 1) {
        FVendorID = vendorID;
        FProductID = productID;
        FByteWise = byteWise;
    }
}

int TNX7_Bg_UsbHidA::FindDevice(int vendorID, int productID) const
{
    for (int i = 0; i < FDeviceCount; ++i)
        if (FDevices[i].VendorID == vendorID && FDevices[i].ProductID == productID)
            return i;
    return -1;
}

int TNX7_Bg_UsbHidA::GetDeviceCount() const
{
    return FDeviceCount;
}

void TNX7_Bg_UsbHidA::SetOpen(bool v)
{
    {
        // Under the wait lock, so a reader about to wait cannot miss the request.
        std::lock_guard<std::mutex> lock(FWaitLock);
        if (FOpen != v)
            ++FOpenRequests;
        FOpen = v;
    }
    FWake.notify_all();  // cut an idle sleep short
}

void TNX7_Bg_UsbHidA::QueueCommand(const uint8_t* bytes)
{
    std::lock_guard<std::mutex> lock(FLock);
    std::memcpy(FCommand.data(), bytes, CommandSize);
    FCommandPending = true;
}

bool TNX7_Bg_UsbHidA::GetCommandPending()
{
    std::lock_guard<std::mutex> lock(FLock);
    return FCommandPending;
}

uint32_t TNX7_Bg_UsbHidA::Now()
{
    return FLoop->NowMs();
}

void TNX7_Bg_UsbHidA::SleepFor(uint32_t ms)
{
    if (ms == 0)
        return;
    std::unique_lock<std::mutex> lock(FWaitLock);
    const unsigned requests = FOpenRequests;
    FWake.wait_for(lock, std::chrono::milliseconds(ms),
                   [this, requests] { return FTerminated.load() || FOpenRequests != requests; });
}

void TNX7_Bg_UsbHidA::WaitForOpen()
{
    if (FIdleSleep == 0)
        return;
    // A closed link has nothing to time out on: no timed wake-ups while the driver idles.
    std::unique_lock<std::mutex> lock(FWaitLock);
    FWake.wait(lock, [this] { return FTerminated.load() || FOpen.load(); });
}

bool TNX7_Bg_UsbHidA::Synchronize(std::function<void()> fn)
{
    if (std::this_thread::get_id() == FMainThread) {
        try {
            fn();
        } catch (...) {
        }
        return true;
    }
    auto h = std::make_shared<THandOff>();
    {
        std::lock_guard<std::mutex> lock(FWaitLock);
        if (FTerminated)
            return false;
        FPending = h;
    }
    FLoop->Post([h, fn = std::move(fn)] {
        {
            std::lock_guard<std::mutex> hl(h->Lock);
            if (h->Cancelled)
                return;
        }
        // Runs on the main thread, as does termination: a call that got here completes before
        // the link can be freed.
        try {
            fn();
        } catch (...) {
        }
        std::lock_guard<std::mutex> hl(h->Lock);
        h->Done = true;
        h->Wake.notify_all();
    });
    bool done;
    {
        std::unique_lock<std::mutex> hl(h->Lock);
        h->Wake.wait(hl, [&] { return h->Done || h->Cancelled; });
        done = h->Done;
    }
    std::lock_guard<std::mutex> lock(FWaitLock);
    FPending.reset();
    return done;
}

void TNX7_Bg_UsbHidA::Execute()
{
    while (!FTerminated)
        DoPass();
}

void TNX7_Bg_UsbHidA::DoPass()
{
    // Reports the open state to the owner whenever it changed since the last look.
    auto checkChange = [this] {
        bool open = FDevOpen;
        if (open == FLastDevOpen)
            return;
        FLastDevOpen = open;
        FLastActivity = Now();
        Synchronize([this] {
            if (OnChange)
                OnChange(Sender ? Sender : this);
        });
        FBytePos = 0;
    };

    if (FOpen != FDevOpen) {
        if (FOpen)
            DeviceOpen();
        else
            DeviceClose();
    }
    checkChange();

    if (FDevOpen) {
        DoWriteCommand();
        uint8_t report[ReportSize + 1];
        int n = FDevice ? FDevice->Read(report, ReportSize, ReadTimeoutMs) : -1;
        if (n == ReportSize) {
            FLastActivity = Now();
            DoReport(report);
        } else if (n < 0) {
            SleepFor(FIdleSleep);  // removed device: wait out the silence without spinning
        }
    } else if (FOpen) {
        // Wanted but not found: look again later.
        SleepFor(FIdleSleep == 0 ? 0 : std::max<uint32_t>(FIdleSleep, OpenRetryMs));
    } else {
        WaitForOpen();
    }

    if (static_cast<uint32_t>(Now() - FLastActivity) > SilenceMs) {
        FLastActivity = Now();
        if (FDevOpen) {
            DeviceClose();
            checkChange();
        }
    }
}

void TNX7_Bg_UsbHidA::DeviceOpen()
{
    DeviceClose();
    for (const THidDeviceInfo& info : FBackend->Enumerate()) {
        int index = FindDevice(info.VendorID, info.ProductID);
        if (index < 0)
            continue;
        std::unique_ptr<THidDevice> dev = FBackend->Open(info.Path);
        if (!dev)
            continue;
        FVendorID = FDevices[index].VendorID;
        FProductID = FDevices[index].ProductID;
        FByteWise = FDevices[index].ByteWise;
        FDevice = std::move(dev);
        FDevOpen = true;
        return;
    }
}

void TNX7_Bg_UsbHidA::DeviceClose()
{
    FDevice.reset();
    FDevOpen = false;
}

void TNX7_Bg_UsbHidA::DoWriteCommand()
{
    std::array<uint8_t, CommandSize> cmd;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (!FCommandPending)
            return;
        cmd = FCommand;
    }
    uint8_t report[ReportSize] = {};
    if (!FByteWise) {
        std::memcpy(report + 1, cmd.data(), CommandSize);
        if (FDevice->Write(report, ReportSize) == ReportSize) {
            std::lock_guard<std::mutex> lock(FLock);
            // A newer command queued during the write still has to go out.
            if (FCommand == cmd)
                FCommandPending = false;
        }
        return;
    }
    // Byte by byte: 255 is the end mark, so a command byte of 255 goes out as 254.
    uint8_t b = FBytePos < CommandSize ? (cmd[FBytePos] == 255 ? 254 : cmd[FBytePos]) : 255;
    report[1] = b;
    if (FDevice->Write(report, ReportSize) == ReportSize) {
        if (++FBytePos > CommandSize) {
            FBytePos = 0;
            std::lock_guard<std::mutex> lock(FLock);
            FCommandPending = false;
        }
    }
}

void TNX7_Bg_UsbHidA::DoReport(const uint8_t* report)
{
    const uint8_t* d = report + 1;  // after the report ID
    switch (d[0] >> 6) {
    case 3: DoScanReport(d); break;
    case 2: DoStatusReport(d); break;
    default: break;
    }
}

void TNX7_Bg_UsbHidA::DoScanReport(const uint8_t* d)
{
    const int n = d[0] & 0x07;
    const int offset = d[1];
    // Reports that do not fit the report or the frame are discarded whole.
    if (n > MaxPayload || offset + n > FrameSize)
        return;
    std::memcpy(FFrame.data() + offset, d + 2, static_cast<size_t>(n));
    if (!(d[0] & 0x08))
        return;
    const int length = offset + n;
    const bool wide = F16Bit;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (wide) {
            FScanUSLenThread = length / 2;
            for (int i = 0; i < FScanUSLenThread; ++i)
                FScanUSThread[i] = static_cast<uint16_t>(FFrame[2 * i] * 256 + FFrame[2 * i + 1]);
        } else {
            FScanLenThread = length;
            std::memcpy(FScanThread.data(), FFrame.data(), static_cast<size_t>(length));
        }
    }
    Synchronize([this, wide] {
        void* sender = Sender ? Sender : this;
        if (wide) {
            int count;
            {
                std::lock_guard<std::mutex> lock(FLock);
                count = FScanUSLenThread;
                FScanUSMain = FScanUSThread;
                FScanUSLenMain = count;
            }
            if (OnScanPacketUS)
                OnScanPacketUS(sender, count, FScanUSMain.data());
        } else {
            int count;
            {
                std::lock_guard<std::mutex> lock(FLock);
                count = FScanLenThread;
                std::memcpy(FScanMain.data(), FScanThread.data(), static_cast<size_t>(count));
                FScanLenMain = count;
            }
            if (OnScanPacket)
                OnScanPacket(sender, count, FScanMain.data());
        }
    });
}

void TNX7_Bg_UsbHidA::DoStatusReport(const uint8_t* d)
{
    F16Bit = (d[3] & 0x02) != 0;
    {
        std::lock_guard<std::mutex> lock(FLock);
        std::memcpy(FStatusThread.data(), d, CommandSize);
    }
    Synchronize([this] {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FStatusMain = FStatusThread;
        }
        if (OnStatusPacket)
            OnStatusPacket(Sender ? Sender : this, CommandSize, FStatusMain.data());
    });
}

// ---------------------------------------------------------------------------------------------

TNX7_UsbHidA::TNX7_UsbHidA(MainLoop* loop, THidBackend* backend, bool startThread)
    : FThread(std::make_unique<TNX7_Bg_UsbHidA>(loop, backend, false))
{
    // Events go out with the link as sender, unchanged otherwise.
    FThread->Sender = this;
    FThread->OnScanPacket = [this](void* s, int n, const uint8_t* d) { if (OnScanPacket) OnScanPacket(s, n, d); };
    FThread->OnScanPacketUS = [this](void* s, int n, const uint16_t* d) { if (OnScanPacketUS) OnScanPacketUS(s, n, d); };
    FThread->OnStatusPacket = [this](void* s, int n, const uint8_t* d) { if (OnStatusPacket) OnStatusPacket(s, n, d); };
    FThread->OnChange = [this](void* s) { if (OnChange) OnChange(s); };
    if (startThread)
        FThread->Start();
}

TNX7_UsbHidA::~TNX7_UsbHidA()
{
    ClearEvents();
    FThread.reset();
}

void TNX7_UsbHidA::SetOpen(bool v)
{
    FOpen = v;
    SetDevOpen(v);
}

void TNX7_UsbHidA::SetDevOpen(bool v)
{
    FThread->SetOpen(v);
}

bool TNX7_UsbHidA::GetDevOpen() const
{
    return FThread->GetDevOpen();
}

void TNX7_UsbHidA::SendPacket(const uint8_t* bytes)
{
    FThread->QueueCommand(bytes);
}
