#include "driver/link/fakehid.h"

#include <algorithm>
#include <chrono>

class TFakeHidBackend::THandle : public THidDevice {
public:
    THandle(TFakeHidBackend* owner, std::string path, int generation)
        : FOwner(owner), FPath(std::move(path)), FGeneration(generation)
    {
    }

    int Read(uint8_t* buffer, int size, int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(FOwner->FLock);
        auto wait = std::chrono::milliseconds(std::min(timeoutMs, FOwner->FReadWaitMs));
        auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            TDev* d = FOwner->Find(FPath);
            if (!d || !d->Present || d->Generation != FGeneration)
                return -1;
            if (!d->Input.empty()) {
                TReport r = std::move(d->Input.front());
                d->Input.pop_front();
                int n = std::min<int>(size, static_cast<int>(r.size()));
                std::copy(r.begin(), r.begin() + n, buffer);
                return n;
            }
            if (FOwner->FArrived.wait_until(lock, deadline) == std::cv_status::timeout) {
                d = FOwner->Find(FPath);
                if (d && d->Present && d->Generation == FGeneration && !d->Input.empty())
                    continue;
                return 0;
            }
        }
    }

    int Write(const uint8_t* buffer, int size) override
    {
        std::lock_guard<std::mutex> lock(FOwner->FLock);
        TDev* d = FOwner->Find(FPath);
        if (!d || !d->Present || d->Generation != FGeneration)
            return -1;
        if (d->ShortWrites > 0) {
            --d->ShortWrites;
            return size > 1 ? size - 1 : 0;
        }
        d->Output.emplace_back(buffer, buffer + size);
        return size;
    }

private:
    TFakeHidBackend* FOwner;
    std::string FPath;
    int FGeneration;
};

TFakeHidBackend::TDev* TFakeHidBackend::Find(const std::string& path)
{
    for (auto& d : FDevs)
        if (d.Info.Path == path)
            return &d;
    return nullptr;
}

void TFakeHidBackend::AddDevice(const std::string& path, uint16_t vendorID, uint16_t productID)
{
    std::lock_guard<std::mutex> lock(FLock);
    TDev d;
    d.Info = {path, vendorID, productID};
    FDevs.push_back(std::move(d));
}

void TFakeHidBackend::SetPresent(const std::string& path, bool present)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        TDev* d = Find(path);
        if (!d)
            return;
        if (d->Present && !present) {
            ++d->Generation;
            d->Input.clear();
        }
        d->Present = present;
    }
    FArrived.notify_all();
}

void TFakeHidBackend::QueueReport(const std::string& path, const TReport& report)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        TDev* d = Find(path);
        if (!d)
            return;
        d->Input.push_back(report);
    }
    FArrived.notify_all();
}

void TFakeHidBackend::SetShortWrites(const std::string& path, int count)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (TDev* d = Find(path))
        d->ShortWrites = count;
}

std::vector<TFakeHidBackend::TReport> TFakeHidBackend::Written(const std::string& path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TDev* d = Find(path);
    return d ? d->Output : std::vector<TReport>{};
}

int TFakeHidBackend::OpenCount(const std::string& path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TDev* d = Find(path);
    return d ? d->Opens : 0;
}

int TFakeHidBackend::QueuedCount(const std::string& path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TDev* d = Find(path);
    return d ? static_cast<int>(d->Input.size()) : 0;
}

std::vector<THidDeviceInfo> TFakeHidBackend::Enumerate()
{
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<THidDeviceInfo> list;
    for (auto& d : FDevs)
        if (d.Present)
            list.push_back(d.Info);
    return list;
}

std::unique_ptr<THidDevice> TFakeHidBackend::Open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TDev* d = Find(path);
    if (!d || !d->Present)
        return nullptr;
    ++d->Opens;
    return std::make_unique<THandle>(this, path, d->Generation);
}
