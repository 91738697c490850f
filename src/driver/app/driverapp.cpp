#include "driver/app/driverapp.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "driver/app/processfrm.h"
#include "platform/mainloop.h"
#include "platform/mousesink.h"
#include "platform/nativeloop.h"
#include "platform/signals.h"
#include "platform/singleinstance.h"

namespace {

void LogLine(const std::string& line) {
    // stderr, one line per message, no time stamp: journald adds its own.
    std::fprintf(stderr, "ZT7_DRIVER: %s\n", line.c_str());
    std::fflush(stderr);
}

std::string PortName(TCommType port) {
    if (port >= ctComm1 && port <= ctComm8) return "COM" + std::to_string(static_cast<int>(port));
    if (port == ctUsb) return "USB";
    return "none";
}

// What each diagnostic of the form means, for the log.
std::string Explain(const std::string& caption) {
    const std::string kind = caption.substr(0, caption.find(' '));
    if (kind == "Comms")
        return caption + " (the link opened, closed or changed state: processing restarts)";
    if (kind == "AutoResetLoss") return caption + " (no scans for over 4 s: the link is reset)";
    if (kind == "AutoResetQuick") return caption + " (periodic check)";
    if (kind == "AutoResetSkew")
        return caption + " (one axis touched without the other for over 2 s)";
    return caption;
}

std::string StatusLine(TNX7_ProcessForm& form) {
    TNX7_CommsB& link = form.NX7_CommsAXY;
    char buf[512];
    std::snprintf(
        buf, sizeof buf,
        "link %s %s%s, %d scans/s, frame %d bytes | touch level %.0f, press level %.0f%s | "
        "frames %llu, mouse actions %llu | resets %d%s%s",
        PortName(link.GetPort()).c_str(),
        (link.GetDevOpen() || link.GetValid()) ? "open" : "closed",
        link.GetValid() ? " and receiving" : "", link.GetRate(), link.GetLength(),
        static_cast<double>(form.NX7_AutoThresholdXY.GetTouchThreshold()),
        static_cast<double>(form.NX7_AutoThresholdXY.GetPressThreshold()),
        form.NX7_OutputXY.GetEnabled1() ? "" : " (mouse output off)",
        static_cast<unsigned long long>(form.GetFrameCount()),
        static_cast<unsigned long long>(form.GetMouseCount()), form.GetEventCount(),
        form.GetCaption().empty() ? "" : ", last ", form.GetCaption().c_str());
    return buf;
}

}  // namespace

std::string DriverVersion() {
    return "ZT7_DRIVER ZT7.0.0.92";
}

std::string DriverUsage() {
    return "Usage: ZT7_DRIVER [options]\n"
           "Touch-screen driver: reads the sensor, moves the pointer and clicks.\n"
           "Runs in the foreground until told to stop (control panel, zt7ctl, SIGTERM or Ctrl-C);\n"
           "only one driver runs per user: a second one exits at once with status 0.\n"
           "\n"
           "  --dir=DIR        settings folder holding ZT7.INI and ZT7.LOG\n"
           "                   (default: the folder of this program)\n"
           "  --mouse=SINK     where mouse input goes: auto (default), uinput, xtest, log, none\n"
           "                   auto: uinput when /dev/uinput is writable, else xtest when DISPLAY\n"
           "                   is set, else log; log prints one line per action on stdout\n"
           "  --verbose, --foreground\n"
           "                   print the link state, scan rate, touch levels and resets every "
           "second\n"
           "  --help           show this text\n"
           "  --version        show the version\n"
           "\n"
           "Messages go to stderr. Serial port COMn is /dev/ttyS<n-1> unless ZT7_COM<n> names "
           "another\n"
           "device; ZT7_SHM_NAMESPACE keeps a separate set of shared variables (tests).\n";
}

bool ParseDriverOptions(const std::vector<std::string>& args, TDriverOptions& options,
                        std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const std::string& name, std::string& out) -> int {
            // 1: consumed, 0: not this option, -1: missing value
            if (a == name) {
                if (i + 1 >= args.size()) return -1;
                out = args[++i];
                return 1;
            }
            if (a.rfind(name + "=", 0) == 0) {
                out = a.substr(name.size() + 1);
                return 1;
            }
            return 0;
        };
        int r;
        if ((r = value("--dir", options.Directory)) != 0) {
            if (r < 0 || options.Directory.empty()) {
                error = "--dir needs a folder";
                return false;
            }
            continue;
        }
        if ((r = value("--mouse", options.Mouse)) != 0) {
            if (r < 0) {
                error = "--mouse needs one of auto, uinput, xtest, log, none";
                return false;
            }
            const std::string& m = options.Mouse;
            if (m != "auto" && m != "uinput" && m != "xtest" && m != "log" && m != "none") {
                error = "unknown mouse sink '" + m + "' (use auto, uinput, xtest, log or none)";
                return false;
            }
            continue;
        }
        if (a == "--verbose" || a == "-v" || a == "--foreground" || a == "-f") {
            options.Verbose = true;
        } else if (a == "--help" || a == "-h") {
            options.Help = true;
        } else if (a == "--version" || a == "-V") {
            options.Version = true;
        } else {
            error = "unknown option '" + a + "' (see --help)";
            return false;
        }
    }
    return true;
}

int RunDriver(const TDriverOptions& options, const std::string& executablePath) {
    TSingleInstance instance;
    if (instance.AlreadyRunning()) {
        if (options.Verbose) LogLine("another driver is already running; leaving");
        return 0;
    }
    if (!instance.Acquired())
        LogLine("warning: " + instance.Error() + "; a second driver would not be detected");

    namespace fs = std::filesystem;
    std::string dir = options.Directory;
    if (dir.empty()) dir = fs::path(executablePath).parent_path().string();
    if (dir.empty()) dir = ".";
    {
        std::error_code ec;
        if (!fs::exists(dir, ec)) fs::create_directories(dir, ec);
        if (!fs::is_directory(dir, ec)) {
            LogLine("settings folder " + dir + " does not exist and cannot be created");
            return 1;
        }
    }

    NativeLoop loop;
    MainLoop::SetCurrent(&loop);

    // Before any other thread exists, so that they all inherit the blocked signals.
    SignalWatch signals;
    TNX7_ProcessForm* formPtr = nullptr;
    bool signalled = false;
    if (!signals.Start(loop, [&](int signo) {
            if (signalled) return;
            signalled = true;
            LogLine(std::string("received ") +
                    (signo == 15  ? "SIGTERM"
                     : signo == 2 ? "SIGINT"
                                  : "SIGHUP") +
                    ", shutting down");
            if (formPtr) formPtr->ShutDown();
            loop.Quit(0);
        }))
        LogLine(
            "warning: cannot watch SIGTERM/SIGINT; they end the driver without a clean shut-down");

    std::string message;
    bool warning = false;
    std::unique_ptr<MouseSink> sink = CreateMouseSink(options.Mouse, message, warning);
    LogLine(message);
    if (!sink) {
        MainLoop::SetCurrent(nullptr);
        return 2;
    }

    int code = 0;
    {
        TProcessFormConfig config;
        config.Directory = dir;
        config.ExecutablePath = executablePath;
        config.Loop = &loop;
        // On the heap: the form holds the per-axis histories (over a megabyte).
        auto formOwner = std::make_unique<TNX7_ProcessForm>(config);
        TNX7_ProcessForm& form = *formOwner;
        formPtr = &form;
        form.SetMouseSink(sink.get());

        std::map<std::string, uint32_t> lastShown;
        form.OnLog = [&](const std::string& line) {
            // Diagnostics of the resets repeat every few seconds while no sensor answers; outside
            // verbose mode each kind is printed at most once a minute.
            if (!options.Verbose) {
                const std::string kind = line.substr(0, line.find(' '));
                if (kind == "Comms" || kind.rfind("AutoReset", 0) == 0) {
                    const uint32_t now = loop.NowMs();
                    auto it = lastShown.find(kind);
                    if (it != lastShown.end() && now - it->second < 60000) return;
                    lastShown[kind] = now;
                }
            }
            LogLine(Explain(line));
        };
        form.OnTerminateRequest = [&] {
            LogLine("terminate command received, shutting down");
            loop.Quit(0);
        };

        LogLine("settings in " + form.GetSettingsPath() +
                (options.Directory.empty() ? " (choose another folder with --dir)" : "") +
                (options.Verbose ? "" : "; --verbose shows the link and touch status"));
        int statusTimer = 0;
        if (options.Verbose)
            statusTimer = loop.AddTimer(static_cast<uint32_t>(options.StatusIntervalMs),
                                        [&] { LogLine(StatusLine(form)); });

        code = loop.Run();

        if (statusTimer) loop.RemoveTimer(statusTimer);
        // Window closed: the same shut-down as the Terminate command (done once).
        form.ShutDown();
        sink->ReleaseAll();
        form.OnLog = nullptr;
        form.OnTerminateRequest = nullptr;
        formPtr = nullptr;
    }
    signals.Stop();
    LogLine("stopped");
    MainLoop::SetCurrent(nullptr);
    return code;
}
