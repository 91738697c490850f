#include "platform/mousesink.h"

#include <unistd.h>

#include <cstdlib>

std::string LogMouseSink::Format(uint32_t flags, int32_t dx, int32_t dy) {
    std::string s;
    auto add = [&](const std::string& part) {
        if (!s.empty()) s += "; ";
        s += part;
    };
    if (flags & mouseflags::Move) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "mouse %s %d %d",
                      (flags & mouseflags::Absolute) ? "move" : "move-rel", static_cast<int>(dx),
                      static_cast<int>(dy));
        add(buf);
    }
    if (flags & mouseflags::LeftDown) add("mouse left down");
    if (flags & mouseflags::LeftUp) add("mouse left up");
    if (flags & mouseflags::RightDown) add("mouse right down");
    if (flags & mouseflags::RightUp) add("mouse right up");
    if (s.empty()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "mouse flags 0x%x", static_cast<unsigned>(flags));
        s = buf;
    }
    return s;
}

void LogMouseSink::Send(uint32_t flags, int32_t dx, int32_t dy) {
    if (flags & mouseflags::LeftDown) FLeft = true;
    if (flags & mouseflags::LeftUp) FLeft = false;
    if (flags & mouseflags::RightDown) FRight = true;
    if (flags & mouseflags::RightUp) FRight = false;
    if (!FOut) return;
    std::fprintf(FOut, "%s\n", Format(flags, dx, dy).c_str());
    // Line by line, so a reader on a pipe sees each action as it happens.
    std::fflush(FOut);
}

void LogMouseSink::ReleaseAll() {
    if (FLeft) Send(mouseflags::LeftUp, 0, 0);
    if (FRight) Send(mouseflags::RightUp, 0, 0);
}

std::unique_ptr<MouseSink> CreateMouseSink(const std::string& choice, std::string& message,
                                           bool& warning) {
    warning = false;
    std::string why;
    if (choice == "none") {
        message = "mouse sink: none (chosen with --mouse=none)";
        return std::make_unique<NoneMouseSink>();
    }
    if (choice == "log") {
        message = "mouse sink: log (chosen with --mouse=log; actions are printed on stdout)";
        return std::make_unique<LogMouseSink>();
    }
    if (choice == "uinput") {
        auto sink = CreateUinputMouseSink(why);
        if (sink) {
            message = "mouse sink: uinput (chosen with --mouse=uinput)";
            return sink;
        }
        warning = true;
        message = "mouse sink: uinput unavailable: " + why;
        return nullptr;
    }
    if (choice == "xtest") {
        auto sink = CreateXTestMouseSink(why);
        if (sink) {
            message = "mouse sink: xtest (chosen with --mouse=xtest)";
            return sink;
        }
        warning = true;
        message = "mouse sink: xtest unavailable: " + why;
        return nullptr;
    }
    if (choice != "auto" && !choice.empty()) {
        warning = true;
        message = "unknown mouse sink '" + choice + "' (use auto, uinput, xtest, log or none)";
        return nullptr;
    }

    std::string uinputWhy;
    auto sink = CreateUinputMouseSink(uinputWhy);
    if (sink) {
        message = "mouse sink: uinput (/dev/uinput is writable)";
        return sink;
    }
    const char* display = std::getenv("DISPLAY");
    std::string xWhy;
    if (display && *display) {
        sink = CreateXTestMouseSink(xWhy);
        if (sink) {
            message =
                "mouse sink: xtest on display " + std::string(display) + " (" + uinputWhy + ")";
            return sink;
        }
    } else {
        xWhy = "DISPLAY is not set";
    }
    warning = true;
    message = "mouse sink: log, no mouse input reaches the desktop (" + uinputWhy + "; " + xWhy +
              "); actions are printed on stdout";
    return std::make_unique<LogMouseSink>();
}
