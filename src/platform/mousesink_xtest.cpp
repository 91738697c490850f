// Fake input on an X display. X11 headers stay in this file: they define None, Bool, Status …
#include "platform/mousesink.h"

#include <cstdlib>

#ifdef ZT7_HAVE_XTST
namespace {
// X.h defines a macro named Absolute; take the flags before it is seen.
constexpr uint32_t kMove = mouseflags::Move, kAbsolute = mouseflags::Absolute,
                   kLeftDown = mouseflags::LeftDown, kLeftUp = mouseflags::LeftUp,
                   kRightDown = mouseflags::RightDown, kRightUp = mouseflags::RightUp;
}  // namespace

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

class XTestMouseSink : public MouseSink {
public:
    explicit XTestMouseSink(Display* dpy) : FDpy(dpy) {}
    ~XTestMouseSink() override {
        ReleaseAll();
        XCloseDisplay(FDpy);
    }
    const char* Name() const override { return "xtest"; }

    void Send(uint32_t flags, int32_t dx, int32_t dy) override {
        if (flags & kMove) {
            if (flags & kAbsolute) {
                // 0..65535 spans the root window, as the absolute mouse-event call spans the
                // primary screen; the root size is read each time so a resize is followed.
                int screen = DefaultScreen(FDpy);
                long w = DisplayWidth(FDpy, screen), h = DisplayHeight(FDpy, screen);
                int x = static_cast<int>(((dx & 0xFFFF) * w) / 65536);
                int y = static_cast<int>(((dy & 0xFFFF) * h) / 65536);
                XTestFakeMotionEvent(FDpy, screen, x, y, CurrentTime);
            } else {
                XTestFakeRelativeMotionEvent(FDpy, dx, dy, CurrentTime);
            }
        }
        if (flags & kLeftDown) Button(1, true, FLeft);
        if (flags & kLeftUp) Button(1, false, FLeft);
        if (flags & kRightDown) Button(3, true, FRight);
        if (flags & kRightUp) Button(3, false, FRight);
        XFlush(FDpy);
    }

    void ReleaseAll() override {
        if (FLeft) Send(kLeftUp, 0, 0);
        if (FRight) Send(kRightUp, 0, 0);
        XSync(FDpy, False);
    }

private:
    void Button(unsigned button, bool down, bool& state) {
        if (state == down) return;
        XTestFakeButtonEvent(FDpy, button, down ? True : False, CurrentTime);
        state = down;
    }

    Display* FDpy;
    bool FLeft = false, FRight = false;
};

}  // namespace

std::unique_ptr<MouseSink> CreateXTestMouseSink(std::string& whyNot) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        whyNot = "DISPLAY is not set";
        return nullptr;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        whyNot = std::string("cannot open X display ") + name;
        return nullptr;
    }
    int ev, err, major, minor;
    if (!XTestQueryExtension(dpy, &ev, &err, &major, &minor)) {
        XCloseDisplay(dpy);
        whyNot = std::string("X display ") + name + " has no XTEST extension";
        return nullptr;
    }
    return std::make_unique<XTestMouseSink>(dpy);
}

#else

std::unique_ptr<MouseSink> CreateXTestMouseSink(std::string& whyNot) {
    whyNot = "built without XTest (install libx11-dev libxtst-dev and rebuild)";
    return nullptr;
}

#endif
