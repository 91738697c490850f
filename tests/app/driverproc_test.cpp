// ZT7_DRIVER as a process: single instance, signals, crash and restart, commands through zt7ctl,
// first start, bad files. Each test has its own shared-memory namespace, lock folder and
// settings folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "share/meminifile.h"
#include "testenv.h"

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point t0) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

struct DriverProc : ::testing::Test {
    TestShmNamespace ns;
    TempDir dir;  // settings
    TempDir run;  // lock file, program output
    int started = 0;

    std::vector<std::string> Env() const {
        return {"ZT7_SHM_NAMESPACE=" + ns.Name(), "XDG_RUNTIME_DIR=" + run.Path(),
                "ZT7_NO_PRIORITY=1", "ZT7_COM1=" + run.File("sensor")};
    }
    std::unique_ptr<ChildProcess> StartDriver(std::vector<std::string> extra = {}) {
        auto p = std::make_unique<ChildProcess>();
        std::vector<std::string> argv = {ZT7_DRIVER_PATH, "--dir=" + dir.Path(), "--mouse=log"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        const std::string tag = "driver" + std::to_string(started++);
        EXPECT_TRUE(p->Start(argv, Env(), run.File(tag + ".out"), run.File(tag + ".err")));
        return p;
    }
    std::string Err(int n) const {
        return ReadWholeFile(run.File("driver" + std::to_string(n) + ".err"));
    }
    std::string Out(int n) const {
        return ReadWholeFile(run.File("driver" + std::to_string(n) + ".out"));
    }

    int Ctl(std::vector<std::string> args, std::string* out = nullptr) {
        args.insert(args.begin(), ZT7CTL_PATH);
        std::string o;
        int code = RunProgram(args, Env(), o, 15000);
        if (out) *out = o;
        return code;
    }
    // Until the driver is master and has sent its first heartbeat. Not before 1.5 s: until its
    // first poll the new master's start values replace whatever the blocks of a killed
    // predecessor held, commands included.
    bool WaitUp(int ms = 8000) {
        auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        while (MsSince(t0) < ms) {
            std::string out;
            if (Ctl({"get", "Status", "HeartBeat", "Int"}, &out) == 0 &&
                std::atoi(out.c_str()) >= 1)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    bool NoMaster() { return Ctl({"get", "Status", "HeartBeat", "Int", "--timeout", "1"}) == 3; }
};

TEST_F(DriverProc, CommandLine) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {{"--help"}, 0, "--mouse=SINK"},
        {{"--version"}, 0, "ZT7.0.0.92"},
        {{"--mouse=tablet"}, 2, ""},
        {{"--frobnicate"}, 2, ""},
        {{"--dir"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {ZT7_DRIVER_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string out;
        EXPECT_EQ(RunProgram(argv, Env(), out), c.code) << c.args[0];
        EXPECT_NE(out.find(c.says), std::string::npos) << c.args[0];
    }
}

TEST_F(DriverProc, FirstStartWritesDefaultsAndSecondInstanceLeaves) {
    auto first = StartDriver();
    ASSERT_TRUE(WaitUp());
    MemIniFile ini(dir.File("ZT7.INI"));
    EXPECT_EQ(ini.ReadString("General", "Product", ""), "Tactilo");
    EXPECT_EQ(ini.ReadString("Split", "Split1Int1", ""), "40");
    EXPECT_TRUE(ini.SectionExists("Calibrate"));
    EXPECT_NE(Err(0).find("mouse sink: log"), std::string::npos) << "says which sink and why";

    auto second = StartDriver();
    int code = -1;
    ASSERT_TRUE(second->Wait(3000, code)) << "a second driver leaves at once";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(first->Running());
    EXPECT_EQ(Err(1), "") << "silently";
}

TEST_F(DriverProc, SignalsShutDownCleanly) {
    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        const int n = started;
        auto d = StartDriver();
        ASSERT_TRUE(WaitUp());
        d->Signal(signo);
        int code = -1;
        ASSERT_TRUE(d->Wait(5000, code));
        EXPECT_EQ(code, 0);
        EXPECT_NE(Err(n).find("stopped"), std::string::npos);
        EXPECT_TRUE(NoMaster()) << "the group is left without a master";
    }
}

TEST_F(DriverProc, KilledDriverRestartsAndTerminatesOnCommand) {
    auto d = StartDriver();
    ASSERT_TRUE(WaitUp());
    d->Signal(SIGKILL);
    int code = -1;
    ASSERT_TRUE(d->Wait(3000, code));

    auto again = StartDriver();
    ASSERT_TRUE(WaitUp())
        << "the lock and the shared blocks of the dead driver do not stand in the way";
    std::string out;
    ASSERT_EQ(Ctl({"get", "Comm", "ReqOpen", "Bool"}, &out), 0);
    EXPECT_EQ(out.substr(0, 1), "1");

    auto t0 = Clock::now();
    EXPECT_EQ(Ctl({"status", "Terminate"}), 0);
    ASSERT_TRUE(again->Wait(4000, code)) << Err(1);
    EXPECT_EQ(code, 0);
    EXPECT_LT(MsSince(t0), 2500) << "ends about a second after the command";
    EXPECT_NE(Err(1).find("terminate command"), std::string::npos);
}

TEST_F(DriverProc, SaveAndLoadThroughCtl) {
    auto d = StartDriver();
    ASSERT_TRUE(WaitUp());
    // Dirty is recomputed every second only while a panel is attached, and published by the
    // heartbeat after that: allow a poll and a heartbeat.
    PanelSlave panel;
    ASSERT_TRUE(panel.Attached());
    auto dirtyBecomes = [&](const char* want) {
        auto t0 = Clock::now();
        std::string out;
        while (MsSince(t0) < 3500) {
            if (Ctl({"get", "Status", "Dirty", "Bool"}, &out) == 0 && out.substr(0, 1) == want)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    };
    ASSERT_EQ(Ctl({"set", "Output", "PressType", "Int", "2"}), 0);
    EXPECT_TRUE(dirtyBecomes("1")) << "a changed value differs from the file";
    ASSERT_EQ(Ctl({"status", "Save"}), 0);
    EXPECT_TRUE(dirtyBecomes("0"));
    EXPECT_EQ(MemIniFile(dir.File("ZT7.INI")).ReadString("Output", "PressTypeInt1", ""), "2");

    ASSERT_EQ(Ctl({"set", "Output", "PressType", "Int", "5"}), 0);
    EXPECT_TRUE(dirtyBecomes("1"));
    ASSERT_EQ(Ctl({"status", "Load"}), 0);
    EXPECT_TRUE(dirtyBecomes("0"));
    std::string out;
    ASSERT_EQ(Ctl({"get", "Output", "PressType", "Int"}, &out), 0);
    EXPECT_EQ(std::atoi(out.c_str()), 2) << "the file's value is back";
    d->Signal(SIGTERM);
    int code;
    EXPECT_TRUE(d->Wait(5000, code));
}

TEST_F(DriverProc, BadFilesAreReportedAndSurvived) {
    // A settings file of garbage, a folder in the way of the atomic write, a broken recording.
    WriteWholeFile(dir.File("ZT7.INI"), std::string("\x01\x02\xff\xfe not an ini [[[\n", 20));
    std::filesystem::create_directory(dir.File("ZT7.INI.tmp"));
    std::string log;
    log += std::string("\x00\x00\x00\x00\x10", 5) + std::string(16, '\x40');
    log += std::string("\x0a\x00\x00\x00\xc8", 5) + std::string(200, '\x40');  // 200 bytes: refused
    WriteWholeFile(dir.File("ZT7.LOG"), log);
    const std::string iniBefore = ReadWholeFile(dir.File("ZT7.INI"));

    auto d = StartDriver();
    ASSERT_TRUE(WaitUp());
    EXPECT_NE(Err(0).find("holds no settings"), std::string::npos);
    EXPECT_NE(Err(0).find("cannot write settings file"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.INI")), iniBefore) << "nothing half-written";

    ASSERT_EQ(Ctl({"status", "LogPlay"}), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string before, after;
    ASSERT_EQ(Ctl({"get", "Status", "HeartBeat", "Int"}, &before), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    ASSERT_EQ(Ctl({"get", "Status", "HeartBeat", "Int"}, &after), 0);
    EXPECT_GT(std::atoi(after.c_str()), std::atoi(before.c_str()))
        << "still alive after the bad recording";
    d->Signal(SIGTERM);
    int code = -1;
    EXPECT_TRUE(d->Wait(5000, code));
    EXPECT_EQ(code, 0);
}

}  // namespace
