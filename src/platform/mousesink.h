// Where synthesised mouse input goes. The driver hands over actions in the form the mouse output
// produces them (flags, dx, dy as for the classic absolute mouse-event call); a sink turns them
// into input the desktop sees, or into text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace mouseflags {
constexpr uint32_t Move = 0x0001;
constexpr uint32_t LeftDown = 0x0002;
constexpr uint32_t LeftUp = 0x0004;
constexpr uint32_t RightDown = 0x0008;
constexpr uint32_t RightUp = 0x0010;
constexpr uint32_t Absolute = 0x8000;
}  // namespace mouseflags

class MouseSink {
public:
    virtual ~MouseSink() = default;
    virtual const char* Name() const = 0;
    // One action. With Move|Absolute, dx and dy are 0..65535 over the whole screen. Several flags
    // in one call are handled as move first, then buttons in flag order.
    virtual void Send(uint32_t flags, int32_t dx, int32_t dy) = 0;
    // Releases any button this sink still holds down (called at shut-down).
    virtual void ReleaseAll() {}
};

// "none": drops everything.
class NoneMouseSink : public MouseSink {
public:
    const char* Name() const override { return "none"; }
    void Send(uint32_t, int32_t, int32_t) override {}
};

// "log": one line per action, e.g. "mouse move 32767 16383" or "mouse left down".
class LogMouseSink : public MouseSink {
public:
    explicit LogMouseSink(std::FILE* out = stdout) : FOut(out) {}
    const char* Name() const override { return "log"; }
    void Send(uint32_t flags, int32_t dx, int32_t dy) override;
    void ReleaseAll() override;
    // The text of one action (without line end), for the log and for tests.
    static std::string Format(uint32_t flags, int32_t dx, int32_t dy);

private:
    std::FILE* FOut;
    bool FLeft = false, FRight = false;
};

// "uinput": a virtual absolute pointer through /dev/uinput (libevdev). Null with a reason when
// the node is missing or not writable, or when built without libevdev.
std::unique_ptr<MouseSink> CreateUinputMouseSink(std::string& whyNot);
// "xtest": fake input on the X display named by DISPLAY, scaled to the root window. Null with a
// reason when no display can be opened or when built without XTest.
std::unique_ptr<MouseSink> CreateXTestMouseSink(std::string& whyNot);

// Picks the sink for the --mouse choice ("auto", "uinput", "xtest", "log", "none"). "auto" takes
// uinput when /dev/uinput is writable, else XTest when DISPLAY is set, else log. message says
// which sink is in use and why; warning is set when the choice fell back or failed. Returns null
// only for an unknown choice or an explicit choice that cannot be honoured.
std::unique_ptr<MouseSink> CreateMouseSink(const std::string& choice, std::string& message,
                                           bool& warning);
