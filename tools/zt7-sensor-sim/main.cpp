// zt7-sensor-sim: a serial touch sensor on a pseudo-terminal, for running and testing the driver
// without hardware.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/pty.h"
#include "sim.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int)
{
    gStop = 1;
}

struct TOptions {
    sim::TPanelConfig Panel;
    bool SplitGiven = false;
    int Baud = 19200;
    bool Sparse = false;
    int Groups = 8;
    int Zeros = 1;
    double Fps = 50;
    std::string Script = "demo";
    double Duration = 0;
    std::string Log;
    std::string Link;
    bool Offline = false;
    bool FreeRun = false;
    bool Quiet = false;
    float Touch = 30;
    float Press = 70;
};

void Usage(std::FILE* to)
{
    std::fprintf(to,
        "usage: zt7-sensor-sim [options]\n"
        "\n"
        "Simulates a serial touch sensor on a pseudo-terminal and prints the terminal's path.\n"
        "Point the driver at it with ZT7_COM<n>=<path> and select COM<n>.\n"
        "\n"
        "Panel:\n"
        "  --x N            X wires (default 24)\n"
        "  --y M            Y wires (default 40; X + Y at most 127)\n"
        "  --split S        X wires scanned before the Y wires (default X/2); the rest of the X\n"
        "                   wires follow the Y wires in reverse order\n"
        "  --noise SIGMA    noise in counts (default 1.0)\n"
        "  --drift COUNTS   slow baseline wander in counts (default 6)\n"
        "  --seed N         random seed (default 1)\n"
        "Touches:\n"
        "  --script NAME    tap | press | drag | hold | two | random | demo (default demo: all in turn)\n"
        "  --touch LEVEL    rise of a light touch in counts (default 30)\n"
        "  --press LEVEL    rise of a press in counts (default 70)\n"
        "Line:\n"
        "  --baud B         1200 2400 4800 9600 19200 38400 (default 19200); output is paced to it\n"
        "  --sparse         send sparse packets (default raw)\n"
        "  --groups G       groups per sparse packet (default 8)\n"
        "  --zeros Z        zero bytes after a raw packet: 1 or 3 and more (default 1)\n"
        "  --fps F          frames per second at most (default 50; the baud may allow fewer)\n"
        "  --free-run       send even when the host does not poll\n"
        "  --link PATH      also make a symbolic link PATH to the terminal (removed at exit)\n"
        "Run:\n"
        "  --duration S     stop after S seconds (default: until interrupted)\n"
        "  --log FILE       record every frame sent as a ZT7.LOG recording (full frames, also in\n"
        "                   sparse mode)\n"
        "  --offline        no terminal: write --duration seconds of frames to --log at once\n"
        "  --quiet          print only the terminal's path\n"
        "  --help           this text\n");
}

bool ParseArgs(int argc, char** argv, TOptions& o)
{
    float touch = 30, press = 70;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zt7-sensor-sim: %s needs a value\n", what);
                return nullptr;
            }
            return argv[++i];
        };
        const char* v = nullptr;
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            std::exit(0);
        } else if (a == "--sparse") {
            o.Sparse = true;
        } else if (a == "--offline") {
            o.Offline = true;
        } else if (a == "--free-run") {
            o.FreeRun = true;
        } else if (a == "--quiet") {
            o.Quiet = true;
        } else if (a == "--x" || a == "--y" || a == "--split" || a == "--noise" || a == "--drift" || a == "--seed"
                   || a == "--script" || a == "--touch" || a == "--press" || a == "--baud" || a == "--groups"
                   || a == "--zeros" || a == "--fps" || a == "--link" || a == "--duration" || a == "--log") {
            if (!(v = value(a.c_str())))
                return false;
            if (a == "--x") o.Panel.XWires = std::atoi(v);
            else if (a == "--y") o.Panel.YWires = std::atoi(v);
            else if (a == "--split") { o.Panel.Split0 = std::atoi(v); o.SplitGiven = true; }
            else if (a == "--noise") o.Panel.Noise = static_cast<float>(std::atof(v));
            else if (a == "--drift") o.Panel.DriftCounts = static_cast<float>(std::atof(v));
            else if (a == "--seed") o.Panel.Seed = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
            else if (a == "--script") o.Script = v;
            else if (a == "--touch") touch = static_cast<float>(std::atof(v));
            else if (a == "--press") press = static_cast<float>(std::atof(v));
            else if (a == "--baud") o.Baud = std::atoi(v);
            else if (a == "--groups") o.Groups = std::atoi(v);
            else if (a == "--zeros") o.Zeros = std::atoi(v);
            else if (a == "--fps") o.Fps = std::atof(v);
            else if (a == "--link") o.Link = v;
            else if (a == "--duration") o.Duration = std::atof(v);
            else if (a == "--log") o.Log = v;
        } else {
            std::fprintf(stderr, "zt7-sensor-sim: unknown option %s (see --help)\n", a.c_str());
            return false;
        }
    }
    static const int bauds[] = {1200, 2400, 4800, 9600, 19200, 38400};
    if (std::find(std::begin(bauds), std::end(bauds), o.Baud) == std::end(bauds)) {
        std::fprintf(stderr, "zt7-sensor-sim: baud %d not one of 1200 … 38400\n", o.Baud);
        return false;
    }
    if (!sim::TScript::Known(o.Script)) {
        std::fprintf(stderr, "zt7-sensor-sim: unknown script %s\n", o.Script.c_str());
        return false;
    }
    if (o.Panel.XWires < 5 || o.Panel.YWires < 5 || o.Panel.XWires + o.Panel.YWires > 127) {
        std::fprintf(stderr, "zt7-sensor-sim: need at least 5 wires per axis and at most 127 in all\n");
        return false;
    }
    if (o.Zeros < 1 || o.Zeros == 2) {
        std::fprintf(stderr, "zt7-sensor-sim: --zeros must be 1 or at least 3 (2 marks a sparse packet)\n");
        return false;
    }
    if (o.Offline && (o.Log.empty() || o.Duration <= 0)) {
        std::fprintf(stderr, "zt7-sensor-sim: --offline needs --log and --duration\n");
        return false;
    }
    if (!o.SplitGiven)
        o.Panel.Split0 = o.Panel.XWires / 2;
    o.Groups = std::clamp(o.Groups, 2, 31);
    o.Fps = std::clamp(o.Fps, 1.0, 200.0);
    o.Panel.Noise = std::max(0.0f, o.Panel.Noise);
    o.Touch = touch;
    o.Press = press;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    TOptions o;
    if (!ParseArgs(argc, argv, o))
        return 2;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    sim::TPanel panel(o.Panel);
    sim::TScript script(o.Script, o.Panel.Seed + 1, o.Touch, o.Press);
    sim::TLogWriter log;
    if (!o.Log.empty() && !log.Open(o.Log)) {
        std::fprintf(stderr, "zt7-sensor-sim: cannot write %s: %s\n", o.Log.c_str(), std::strerror(errno));
        return 1;
    }
    const int xCount = panel.Config.XWires, yCount = panel.Config.YWires;
    std::vector<uint8_t> frame, packet;

    if (o.Offline) {
        const uint32_t step = static_cast<uint32_t>(1000.0 / o.Fps);
        const uint32_t end = static_cast<uint32_t>(o.Duration * 1000);
        uint32_t frames = 0;
        for (uint32_t t = 0; t < end; t += std::max<uint32_t>(step, 1)) {
            panel.Scan(t, script.At(t), frame);
            log.Write(t, frame);
            std::string e = script.TakeEvent();
            if (!o.Quiet && !e.empty())
                std::printf("t=%7.2f s  %s\n", t / 1000.0, e.c_str());
            ++frames;
        }
        if (!o.Quiet)
            std::printf("wrote %u frames of %d bytes to %s\n", frames, panel.Length(), o.Log.c_str());
        return 0;
    }

    PtyMaster pty;
    if (!pty.Create()) {
        std::fprintf(stderr, "zt7-sensor-sim: %s\n", pty.LastError().c_str());
        return 1;
    }
    if (!o.Link.empty() && !pty.MakeLink(o.Link)) {
        std::fprintf(stderr, "zt7-sensor-sim: %s\n", pty.LastError().c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", pty.SlavePath().c_str());
    if (!o.Quiet) {
        std::printf("panel %d X + %d Y wires, frame of %d bytes: X 0..%d, Y 0..%d, X %d..%d reversed\n", xCount,
                    yCount, panel.Length(), panel.Config.Split0 - 1, yCount - 1, xCount - 1, panel.Config.Split0);
        std::printf("%s packets at %d baud, up to %.0f frames/s, script %s%s%s\n", o.Sparse ? "sparse" : "raw", o.Baud,
                    o.Fps, o.Script.c_str(), o.FreeRun ? ", free-running" : ", sending while polled",
                    o.Log.empty() ? "" : (", recording to " + o.Log).c_str());
        if (!o.Link.empty())
            std::printf("link %s -> %s\n", o.Link.c_str(), pty.SlavePath().c_str());
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto msSince = [&](Clock::time_point t0) {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
    };
    const double bytesPerMs = o.Baud / 10.0 / 1000.0;  // 8N1: ten bit times a byte
    const uint32_t framePeriod = static_cast<uint32_t>(1000.0 / o.Fps);
    double credit = 0;
    uint32_t lastMs = 0, nextFrameMs = 0, lastPollMs = 0, lastReport = 0;
    bool polled = false, attached = false;
    size_t sent = 0;
    uint64_t frames = 0, polls = 0, bytes = 0;
    uint32_t counter = 0;
    uint8_t in[256];

    while (!gStop) {
        const uint32_t now = msSince(start);
        if (o.Duration > 0 && now >= o.Duration * 1000)
            break;
        credit = std::min(credit + (now - lastMs) * bytesPerMs, 64.0);
        lastMs = now;

        // The host's poll bytes; EIO means nobody has the terminal open.
        int n = pty.Read(in, sizeof in);
        if (n > 0) {
            polls += static_cast<uint64_t>(n);
            lastPollMs = now;
            if (!attached && !o.Quiet)
                std::printf("t=%7.2f s  host attached\n", now / 1000.0);
            attached = true;
        } else if (n < 0 && attached) {
            if (!o.Quiet)
                std::printf("t=%7.2f s  host closed the port\n", now / 1000.0);
            attached = false;
        }
        polled = o.FreeRun || (attached && now - lastPollMs < 250);

        if (sent >= packet.size() && polled && now >= nextFrameMs) {
            panel.Scan(now, script.At(now), frame);
            packet.clear();
            if (o.Sparse) {
                sim::EncodeSparse(frame, xCount, yCount, panel.Rise(), o.Groups, counter++, packet);
            } else {
                sim::EncodeRaw(frame, packet);
                packet.insert(packet.end(), static_cast<size_t>(o.Zeros - 1), 0);
            }
            sent = 0;
            log.Write(now, frame);
            ++frames;
            nextFrameMs = std::max(nextFrameMs + framePeriod, now);
        } else if (!polled) {
            (void)script.At(now);  // the script runs on while nobody listens
        }
        std::string e = script.TakeEvent();
        if (!o.Quiet && !e.empty())
            std::printf("t=%7.2f s  %s\n", now / 1000.0, e.c_str());

        if (sent < packet.size() && credit >= 1.0) {
            int want = static_cast<int>(std::min<double>(credit, static_cast<double>(packet.size() - sent)));
            int w = pty.Write(packet.data() + sent, want);
            if (w > 0) {
                sent += static_cast<size_t>(w);
                bytes += static_cast<uint64_t>(w);
                credit -= w;
            } else if (w < 0) {
                sent = packet.size();  // nobody to hear it
            }
        }
        if (!o.Quiet && now - lastReport >= 5000) {
            lastReport = now;
            std::printf("t=%7.2f s  frames %llu, bytes %llu, polls %llu\n", now / 1000.0,
                        static_cast<unsigned long long>(frames), static_cast<unsigned long long>(bytes),
                        static_cast<unsigned long long>(polls));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!o.Quiet)
        std::printf("done after %.2f s: frames %llu, bytes %llu, polls %llu\n", msSince(start) / 1000.0,
                    static_cast<unsigned long long>(frames), static_cast<unsigned long long>(bytes),
                    static_cast<unsigned long long>(polls));
    log.Close();
    pty.Close();
    return 0;
}
