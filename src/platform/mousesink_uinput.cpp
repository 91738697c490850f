// Virtual absolute pointer through /dev/uinput. Built only with libevdev; without it the sink
// reports why it is missing and the driver falls back.
#include "platform/mousesink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#ifdef ZT7_HAVE_LIBEVDEV
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>

namespace {

class UinputMouseSink : public MouseSink {
public:
    UinputMouseSink(libevdev* dev, libevdev_uinput* ui) : FDev(dev), FUi(ui) {}
    ~UinputMouseSink() override {
        ReleaseAll();
        libevdev_uinput_destroy(FUi);
        libevdev_free(FDev);
    }
    const char* Name() const override { return "uinput"; }

    void Send(uint32_t flags, int32_t dx, int32_t dy) override {
        bool any = false;
        if ((flags & mouseflags::Move) && (flags & mouseflags::Absolute)) {
            // The device's axes are declared 0..65535, the same scale the mouse output uses.
            Emit(EV_ABS, ABS_X, dx & 0xFFFF);
            Emit(EV_ABS, ABS_Y, dy & 0xFFFF);
            any = true;
        }
        // Relative moves are never produced by the mouse output; an absolute device ignores them.
        if (flags & mouseflags::LeftDown) {
            Button(BTN_LEFT, true, FLeft);
            any = true;
        }
        if (flags & mouseflags::LeftUp) {
            Button(BTN_LEFT, false, FLeft);
            any = true;
        }
        if (flags & mouseflags::RightDown) {
            Button(BTN_RIGHT, true, FRight);
            any = true;
        }
        if (flags & mouseflags::RightUp) {
            Button(BTN_RIGHT, false, FRight);
            any = true;
        }
        if (any) Emit(EV_SYN, SYN_REPORT, 0);
    }

    void ReleaseAll() override {
        if (FLeft) Send(mouseflags::LeftUp, 0, 0);
        if (FRight) Send(mouseflags::RightUp, 0, 0);
    }

private:
    void Emit(unsigned type, unsigned code, int value) {
        libevdev_uinput_write_event(FUi, type, code, value);
    }
    void Button(unsigned code, bool down, bool& state) {
        // A button event needs a SYN between down and up of the same button to be seen as a click.
        if (state == down) return;
        Emit(EV_KEY, code, down ? 1 : 0);
        state = down;
        Emit(EV_SYN, SYN_REPORT, 0);
    }

    libevdev* FDev;
    libevdev_uinput* FUi;
    bool FLeft = false, FRight = false;
};

}  // namespace

std::unique_ptr<MouseSink> CreateUinputMouseSink(std::string& whyNot) {
    const char* node = "/dev/uinput";
    if (access(node, F_OK) != 0) {
        whyNot = "/dev/uinput is missing (load the module: modprobe uinput)";
        return nullptr;
    }
    if (access(node, W_OK) != 0) {
        whyNot =
            "/dev/uinput not writable: add the udev rule from packaging/ (60-zt7-uinput.rules)";
        return nullptr;
    }
    libevdev* dev = libevdev_new();
    if (!dev) {
        whyNot = "libevdev_new failed";
        return nullptr;
    }
    libevdev_set_name(dev, "ZT7 touch screen");
    libevdev_set_id_bustype(dev, BUS_VIRTUAL);
    libevdev_set_id_vendor(dev, 0x1209);
    libevdev_set_id_product(dev, 0x0007);
    libevdev_enable_property(dev, INPUT_PROP_DIRECT);
    input_absinfo abs{};
    abs.minimum = 0;
    abs.maximum = 65535;
    libevdev_enable_event_type(dev, EV_ABS);
    libevdev_enable_event_code(dev, EV_ABS, ABS_X, &abs);
    libevdev_enable_event_code(dev, EV_ABS, ABS_Y, &abs);
    libevdev_enable_event_type(dev, EV_KEY);
    libevdev_enable_event_code(dev, EV_KEY, BTN_LEFT, nullptr);
    libevdev_enable_event_code(dev, EV_KEY, BTN_RIGHT, nullptr);
    libevdev_enable_event_type(dev, EV_SYN);
    libevdev_uinput* ui = nullptr;
    int rc = libevdev_uinput_create_from_device(dev, LIBEVDEV_UINPUT_OPEN_MANAGED, &ui);
    if (rc != 0) {
        whyNot = std::string("cannot create the uinput device: ") + std::strerror(-rc);
        libevdev_free(dev);
        return nullptr;
    }
    return std::make_unique<UinputMouseSink>(dev, ui);
}

#else

std::unique_ptr<MouseSink> CreateUinputMouseSink(std::string& whyNot) {
    whyNot = "built without libevdev (install libevdev-dev and rebuild)";
    return nullptr;
}

#endif
