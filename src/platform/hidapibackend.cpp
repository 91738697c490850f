// hidapi is loaded by name at run time, like the original HID library: a machine without it
// still runs the driver (serial only), and the build needs no HID package.
#include "platform/hidapibackend.h"

#include <cstdio>
#include <dlfcn.h>
#include <mutex>

#if __has_include(<hidapi/hidapi.h>)
#include <hidapi/hidapi.h>
#define ZT7_HIDAPI_HEADER 1
#endif

#ifdef ZT7_HIDAPI_HEADER
namespace {

struct HidApi {
    void* Lib = nullptr;
    int (*Init)() = nullptr;
    int (*Exit)() = nullptr;
    hid_device_info* (*Enumerate)(unsigned short, unsigned short) = nullptr;
    void (*FreeEnumeration)(hid_device_info*) = nullptr;
    hid_device* (*OpenPath)(const char*) = nullptr;
    void (*Close)(hid_device*) = nullptr;
    int (*ReadTimeout)(hid_device*, unsigned char*, size_t, int) = nullptr;
    int (*Write)(hid_device*, const unsigned char*, size_t) = nullptr;

    bool Load()
    {
        for (const char* name : {"libhidapi-hidraw.so.0", "libhidapi-hidraw.so"}) {
            Lib = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (Lib)
                break;
        }
        if (!Lib)
            return false;
        bool ok = Get(Init, "hid_init") && Get(Exit, "hid_exit") && Get(Enumerate, "hid_enumerate")
                  && Get(FreeEnumeration, "hid_free_enumeration") && Get(OpenPath, "hid_open_path")
                  && Get(Close, "hid_close") && Get(ReadTimeout, "hid_read_timeout")
                  && Get(Write, "hid_write");
        if (!ok) {
            ::dlclose(Lib);
            Lib = nullptr;
        }
        return ok;
    }

    template <class F>
    bool Get(F& fn, const char* name)
    {
        fn = reinterpret_cast<F>(::dlsym(Lib, name));
        return fn != nullptr;
    }
};

HidApi& Api()
{
    static HidApi api;
    static std::once_flag once;
    std::call_once(once, [] {
        if (!api.Load())
            std::fprintf(stderr, "zt7: libhidapi-hidraw not found; USB sensors are unavailable\n");
    });
    return api;
}

class HidapiDevice : public THidDevice {
public:
    explicit HidapiDevice(hid_device* dev) : FDev(dev) {}
    ~HidapiDevice() override { Api().Close(FDev); }
    int Read(uint8_t* buffer, int size, int timeoutMs) override
    {
        // hidraw hands reports without the ID byte when the device uses none; put the 0 back so
        // every report reads as ID + 8 bytes.
        if (size < 2)
            return -1;
        int n = Api().ReadTimeout(FDev, buffer + 1, static_cast<size_t>(size - 1), timeoutMs);
        if (n <= 0)
            return n;
        buffer[0] = 0;
        return n + 1;
    }
    int Write(const uint8_t* buffer, int size) override
    {
        return Api().Write(FDev, buffer, static_cast<size_t>(size));
    }

private:
    hid_device* FDev;
};

}  // namespace
#endif

HidapiBackend& HidapiBackend::Instance()
{
    static HidapiBackend backend;
    return backend;
}

HidapiBackend::HidapiBackend()
{
#ifdef ZT7_HIDAPI_HEADER
    if (Api().Lib)
        FInit = Api().Init() == 0;
#endif
}

HidapiBackend::~HidapiBackend()
{
#ifdef ZT7_HIDAPI_HEADER
    if (FInit)
        Api().Exit();
#endif
}

bool HidapiBackend::Available()
{
    return Instance().FInit;
}

std::vector<THidDeviceInfo> HidapiBackend::Enumerate()
{
    std::vector<THidDeviceInfo> list;
#ifdef ZT7_HIDAPI_HEADER
    if (!FInit)
        return list;
    hid_device_info* all = Api().Enumerate(0, 0);
    for (hid_device_info* d = all; d; d = d->next) {
        if (!d->path)
            continue;
        list.push_back({d->path, d->vendor_id, d->product_id});
    }
    Api().FreeEnumeration(all);
#endif
    return list;
}

std::unique_ptr<THidDevice> HidapiBackend::Open(const std::string& path)
{
#ifdef ZT7_HIDAPI_HEADER
    if (!FInit)
        return nullptr;
    hid_device* dev = Api().OpenPath(path.c_str());
    if (dev)
        return std::make_unique<HidapiDevice>(dev);
#else
    (void)path;
#endif
    return nullptr;
}
