#include "driver/link/hidbackend.h"

#include <atomic>

#include "platform/hidapibackend.h"

namespace {
std::atomic<THidBackend*> gBackend{nullptr};
}

THidBackend* GetHidBackend()
{
    THidBackend* b = gBackend.load();
    return b ? b : &HidapiBackend::Instance();
}

void SetHidBackend(THidBackend* backend)
{
    gBackend.store(backend);
}
