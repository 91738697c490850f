// End to end without mocks inside the driver: zt7-sensor-sim on a pseudo-terminal, ZT7_DRIVER
// reading it through ZT7_COM1 with the demonstration settings, mouse actions from the log sink
// (or from the X pointer under Xvfb with the XTest sink).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "testenv.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Action {
    std::string what;  // "move", "down", "up", "rdown", "rup"
    int x = 0, y = 0;
};

std::vector<Action> ParseActions(const std::string& text) {
    std::vector<Action> acts;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        Action a;
        if (std::sscanf(line.c_str(), "mouse move %d %d", &a.x, &a.y) == 2)
            a.what = "move";
        else if (line == "mouse left down")
            a.what = "down";
        else if (line == "mouse left up")
            a.what = "up";
        else
            continue;
        acts.push_back(a);
    }
    return acts;
}

// One touch: the moves from a left down to its left up (with the move just before the down).
struct Stroke {
    std::vector<Action> moves;
    bool released = false;
};

std::vector<Stroke> Strokes(const std::vector<Action>& acts) {
    std::vector<Stroke> strokes;
    Stroke cur;
    bool down = false;
    const Action* lastMove = nullptr;
    for (const Action& a : acts) {
        if (a.what == "move") {
            lastMove = &a;
            if (down) cur.moves.push_back(a);
        } else if (a.what == "down") {
            cur = Stroke{};
            if (lastMove) cur.moves.push_back(*lastMove);
            down = true;
        } else if (a.what == "up" && down) {
            cur.released = true;
            strokes.push_back(cur);
            down = false;
        }
    }
    if (down) strokes.push_back(cur);
    return strokes;
}

struct Announced {
    float x0, y0, x1, y1;
};

// "tap at (x, y)" or "drag (x, y) -> (x1, y1)" lines of the simulator.
std::vector<Announced> ParseScript(const std::string& text) {
    std::vector<Announced> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        Announced a{};
        const char* p = std::strstr(line.c_str(), "s  ");
        if (!p) continue;
        p += 3;
        if (std::sscanf(p, "tap at (%f, %f)", &a.x0, &a.y0) == 2) {
            a.x1 = a.x0;
            a.y1 = a.y0;
            out.push_back(a);
        } else if (std::sscanf(p, "drag (%f, %f) -> (%f, %f)", &a.x0, &a.y0, &a.x1, &a.y1) == 4) {
            out.push_back(a);
        }
    }
    return out;
}

constexpr double kScreen = 65535.0;

struct EndToEnd : ::testing::Test {
    TestShmNamespace ns;
    TempDir dir;
    TempDir run;
    ChildProcess sim, driver;

    void SetUp() override { WriteWholeFile(dir.File("ZT7.INI"), ReadWholeFile(ZT7_DEMO_INI)); }
    std::vector<std::string> Env(const std::vector<std::string>& more = {}) const {
        std::vector<std::string> e = {"ZT7_SHM_NAMESPACE=" + ns.Name(),
                                      "XDG_RUNTIME_DIR=" + run.Path(), "ZT7_NO_PRIORITY=1",
                                      "ZT7_COM1=" + run.File("sensor")};
        e.insert(e.end(), more.begin(), more.end());
        return e;
    }
    void StartSim(const std::string& script, double seconds) {
        ASSERT_TRUE(sim.Start({ZT7_SIM_PATH, "--script", script, "--seed", "3", "--link",
                               run.File("sensor"), "--duration", std::to_string(seconds)},
                              Env(), run.File("sim.out"), run.File("sim.err")));
        for (int i = 0; i < 200 && !std::filesystem::exists(run.File("sensor")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(std::filesystem::exists(run.File("sensor")));
    }
    void StartDriver(const std::string& mouse, const std::vector<std::string>& env = {}) {
        ASSERT_TRUE(driver.Start({ZT7_DRIVER_PATH, "--dir=" + dir.Path(), "--mouse=" + mouse},
                                 Env(env), run.File("driver.out"), run.File("driver.err")));
    }
    void Finish() {
        int code = -1;
        sim.Wait(30000, code);
        driver.Signal(SIGTERM);
        ASSERT_TRUE(driver.Wait(5000, code));
        EXPECT_EQ(code, 0);
    }
    int Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), ZT7CTL_PATH);
        std::string out;
        return RunProgram(args, Env(), out, 15000);
    }
    std::string DriverOut() const { return ReadWholeFile(run.File("driver.out")); }
    std::string SimOut() const { return ReadWholeFile(run.File("sim.out")); }
};

TEST_F(EndToEnd, TapsMoveToTheFingerAndClick) {
    StartSim("tap", 11);
    StartDriver("log");
    Finish();
    const auto taps = ParseScript(SimOut());
    const auto acts = ParseActions(DriverOut());
    const auto strokes = Strokes(acts);
    ASSERT_GE(strokes.size(), 3u) << DriverOut() << ReadWholeFile(run.File("driver.err"));
    for (const Stroke& s : strokes) {
        ASSERT_FALSE(s.moves.empty());
        EXPECT_TRUE(s.released) << "lifting the finger releases the button";
        // The tap this stroke belongs to: the nearest announced one.
        const Action& m = s.moves.front();
        const Announced* best = nullptr;
        double bestD = 1e9;
        for (const Announced& t : taps) {
            const double d = std::hypot(m.x - t.x0 * kScreen, m.y - t.y0 * kScreen);
            if (d < bestD) bestD = d, best = &t;
        }
        ASSERT_NE(best, nullptr);
        for (const Action& mv : s.moves) {
            EXPECT_NEAR(mv.x, best->x0 * kScreen, 0.02 * kScreen);
            EXPECT_NEAR(mv.y, best->y0 * kScreen, 0.02 * kScreen);
        }
    }
    EXPECT_EQ(acts.back().what, "up");
}

TEST_F(EndToEnd, DragsGiveMonotoneMoves) {
    StartSim("drag", 12);  // the drags start every 2.5 s and last 1.5 s: the last one ends in time
    StartDriver("log");
    Finish();
    const auto drags = ParseScript(SimOut());
    const auto strokes = Strokes(ParseActions(DriverOut()));
    ASSERT_GE(strokes.size(), 2u) << DriverOut();
    const double wobble = 0.002 * kScreen;  // sensor noise, far below a pixel's worth of direction
    int checked = 0, endsMatched = 0;
    for (const Stroke& s : strokes) {
        if (s.moves.size() < 10) continue;  // a drag cut by the start or end of the run
        const int dx = s.moves.back().x - s.moves.front().x,
                  dy = s.moves.back().y - s.moves.front().y;
        for (size_t i = 1; i < s.moves.size(); ++i) {
            if (std::abs(dx) > 0.05 * kScreen) {
                EXPECT_GE((s.moves[i].x - s.moves[i - 1].x) * (dx > 0 ? 1 : -1), -wobble)
                    << "move " << i;
            }
            if (std::abs(dy) > 0.05 * kScreen) {
                EXPECT_GE((s.moves[i].y - s.moves[i - 1].y) * (dy > 0 ? 1 : -1), -wobble)
                    << "move " << i;
            }
        }
        // A drag ends near where the announced one ends: the finger lifts over the last frames and
        // the press ends a frame or two before the finger reaches the end.
        for (const Announced& d : drags)
            if (std::hypot(s.moves.back().x - d.x1 * kScreen, s.moves.back().y - d.y1 * kScreen) <
                0.08 * kScreen)
                ++endsMatched;
        EXPECT_TRUE(s.released);
        ++checked;
    }
    EXPECT_GE(checked, 2);
    EXPECT_GE(endsMatched, 2) << SimOut() << ReadWholeFile(run.File("driver.err"));
}

// The replay of a recording gives the same mouse actions as the live run it recorded.
TEST_F(EndToEnd, RecordAndReplayThroughCtl) {
    StartDriver("log");
    // Record from before the sensor appears, so the recording starts with the link's reset.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(Ctl({"status", "LogRecord"}), 0);
    StartSim("tap", 8);
    int code;
    sim.Wait(30000, code);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(Ctl({"status", "LogStop"}), 0);
    const std::string live = DriverOut();
    ASSERT_GE(Strokes(ParseActions(live)).size(), 2u);
    ASSERT_GT(std::filesystem::file_size(dir.File("ZT7.LOG")), 1000u);

    ASSERT_EQ(Ctl({"status", "LogPlay"}), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10000));
    driver.Signal(SIGTERM);
    ASSERT_TRUE(driver.Wait(5000, code));
    const std::string all = DriverOut();
    ASSERT_EQ(all.substr(0, live.size()), live);
    const auto liveActs = ParseActions(live), replayActs = ParseActions(all.substr(live.size()));
    ASSERT_EQ(replayActs.size(), liveActs.size());
    for (size_t i = 0; i < liveActs.size(); ++i) {
        EXPECT_EQ(replayActs[i].what, liveActs[i].what) << i;
        EXPECT_EQ(replayActs[i].x, liveActs[i].x) << i;
        EXPECT_EQ(replayActs[i].y, liveActs[i].y) << i;
    }
}

// Xvfb on a free display number; stopped when the object goes.
class XServer {
public:
    XServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        FPid = fork();
        if (FPid == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            close(fds[0]);
            if (fds[1] != 3) {
                dup2(fds[1], 3);
                close(fds[1]);
            }
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen",
                   "0", "1280x1024x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number may come in pieces ("0", then "\n"); the pipe stays open for the server's
        // life, or its second write fails and it quits.
        FPipe = fds[0];
        std::string got;
        char c;
        while (read(FPipe, &c, 1) == 1 && c != '\n')
            got += c;
        if (!got.empty()) FDisplay = ":" + got;
    }
    ~XServer() {
        if (FPipe >= 0) close(FPipe);
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            int st;
            for (int i = 0; i < 300 && waitpid(FPid, &st, WNOHANG) == 0; ++i)
                usleep(10000);
            if (waitpid(FPid, &st, WNOHANG) == 0) {
                kill(FPid, SIGKILL);
                waitpid(FPid, &st, 0);
            }
        }
    }
    const std::string& Display() const { return FDisplay; }

private:
    pid_t FPid = -1;
    int FPipe = -1;
    std::string FDisplay;
};

bool OnPath(const char* program) {
    std::string out;
    return RunProgram({"/bin/sh", "-c", std::string("command -v ") + program}, {}, out) == 0;
}

TEST_F(EndToEnd, XTestPointerEndsWhereTheFingerWas) {
    if (!OnPath("Xvfb") || !OnPath("xdotool")) GTEST_SKIP() << "Xvfb or xdotool not installed";
    XServer x;
    ASSERT_FALSE(x.Display().empty()) << "Xvfb did not start";
    StartSim("tap", 9);
    StartDriver("xtest", {"DISPLAY=" + x.Display()});
    int code;
    sim.Wait(30000, code);
    std::string loc;
    ASSERT_EQ(RunProgram({"/bin/sh", "-c", "xdotool getmouselocation 2>&1"},
                         {"DISPLAY=" + x.Display()}, loc),
              0)
        << loc << " on " << x.Display();
    driver.Signal(SIGTERM);
    ASSERT_TRUE(driver.Wait(5000, code));
    EXPECT_NE(ReadWholeFile(run.File("driver.err")).find("mouse sink: xtest"), std::string::npos);
    int px = -1, py = -1;
    ASSERT_EQ(std::sscanf(loc.c_str(), "x:%d y:%d", &px, &py), 2) << loc;
    // The last tap the driver acted on is where the pointer stays.
    const auto taps = ParseScript(SimOut());
    ASSERT_FALSE(taps.empty());
    bool near = false;
    for (const Announced& t : taps)
        near |=
            std::abs(px - t.x0 * 1280) <= 0.02 * 1280 && std::abs(py - t.y0 * 1024) <= 0.02 * 1024;
    EXPECT_TRUE(near) << "pointer at " << px << "," << py;
    EXPECT_FALSE(px == 640 && py == 512) << "the pointer moved from the screen's centre";
}

}  // namespace
