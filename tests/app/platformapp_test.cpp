// The driver's platform pieces: mouse sinks and their choice, the single-instance lock, signals
// into the main loop.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/manualloop.h"
#include "platform/mousesink.h"
#include "platform/signals.h"
#include "platform/singleinstance.h"
#include "testenv.h"

namespace {

using namespace mouseflags;

TEST(LogMouseSink, OneLinePerAction) {
    struct Case {
        uint32_t flags;
        int32_t dx, dy;
        const char* text;
    } cases[] = {
        {Move | Absolute, 65535, 0, "mouse move 65535 0"},
        {LeftDown, 0, 0, "mouse left down"},
        {LeftUp, 0, 0, "mouse left up"},
        {RightDown, 0, 0, "mouse right down"},
        {RightUp, 0, 0, "mouse right up"},
        {Move, -3, 4, "mouse move-rel -3 4"},
        {Move | Absolute | LeftDown, 10, 20, "mouse move 10 20; mouse left down"},
        {0x40, 0, 0, "mouse flags 0x40"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogMouseSink::Format(c.flags, c.dx, c.dy), c.text);
}

TEST(LogMouseSink, ReleaseAllLetsGoOfHeldButtons) {
    TempDir dir;
    std::FILE* f = std::fopen(dir.File("log").c_str(), "w+");
    ASSERT_NE(f, nullptr);
    {
        LogMouseSink sink(f);
        sink.Send(LeftDown, 0, 0);
        sink.Send(RightDown, 0, 0);
        sink.Send(RightUp, 0, 0);
        sink.ReleaseAll();
        sink.ReleaseAll();  // nothing more is held
    }
    std::fclose(f);
    EXPECT_EQ(ReadWholeFile(dir.File("log")),
              "mouse left down\nmouse right down\nmouse right up\nmouse left up\n");
}

// The sink rule: uinput when /dev/uinput is writable, else XTest with a display, else log.
TEST(MouseSinkChoice, ExplicitAndFallback) {
    std::string msg;
    bool warn = false;
    auto none = CreateMouseSink("none", msg, warn);
    ASSERT_NE(none, nullptr);
    EXPECT_STREQ(none->Name(), "none");
    EXPECT_FALSE(warn);

    auto log = CreateMouseSink("log", msg, warn);
    ASSERT_NE(log, nullptr);
    EXPECT_STREQ(log->Name(), "log");

    EXPECT_EQ(CreateMouseSink("tablet", msg, warn), nullptr);
    EXPECT_TRUE(warn);
    EXPECT_NE(msg.find("unknown mouse sink"), std::string::npos);

    const bool uinputUsable = access("/dev/uinput", W_OK) == 0;
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    auto chosen = CreateMouseSink("auto", msg, warn);
    ASSERT_NE(chosen, nullptr);
    if (uinputUsable) {
        EXPECT_STREQ(chosen->Name(), "uinput");
        EXPECT_FALSE(warn);
    } else {
        EXPECT_STREQ(chosen->Name(), "log");
        EXPECT_TRUE(warn);
        EXPECT_NE(msg.find("/dev/uinput"), std::string::npos) << msg;
        EXPECT_NE(msg.find("DISPLAY is not set"), std::string::npos) << msg;
        EXPECT_EQ(CreateMouseSink("uinput", msg, warn), nullptr)
            << "an explicit choice is not replaced";
        EXPECT_NE(msg.find("uinput unavailable"), std::string::npos) << msg;
    }
    EXPECT_EQ(CreateMouseSink("xtest", msg, warn), nullptr);
    EXPECT_NE(msg.find("DISPLAY is not set"), std::string::npos) << msg;
    if (display) setenv("DISPLAY", saved.c_str(), 1);
}

TEST(SingleInstance, SecondHolderIsToldAndLockDiesWithTheHolder) {
    TestShmNamespace ns;
    TempDir run;
    setenv("XDG_RUNTIME_DIR", run.Path().c_str(), 1);
    {
        TSingleInstance first;
        ASSERT_TRUE(first.Acquired()) << first.Error();
        EXPECT_EQ(first.Path(), run.Path() + "/NX7_INST-" + ns.Name());
        TSingleInstance second;
        EXPECT_FALSE(second.Acquired());
        EXPECT_TRUE(second.AlreadyRunning());
    }
    TSingleInstance again;
    EXPECT_TRUE(again.Acquired()) << "released with its holder";
    unsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstance, FallsBackToTmpWithoutRuntimeDir) {
    TestShmNamespace ns;
    setenv("XDG_RUNTIME_DIR", "/nonexistent/zt7", 1);
    TSingleInstance one;
    EXPECT_TRUE(one.Acquired()) << one.Error();
    EXPECT_EQ(one.Path().rfind("/tmp/zt7-" + std::to_string(getuid()) + "/", 0), 0u) << one.Path();
    unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove(one.Path());
}

TEST(SignalWatch, TermAndIntArriveOnTheLoop) {
    ManualLoop loop;
    std::vector<int> got;
    SignalWatch w;
    ASSERT_TRUE(w.Start(loop, [&](int s) { got.push_back(s); }));
    kill(getpid(), SIGTERM);
    kill(getpid(), SIGINT);
    EXPECT_TRUE(got.empty()) << "nothing runs outside the loop";
    loop.RunPending();
    EXPECT_EQ(got, (std::vector<int>{SIGINT, SIGTERM}));
    w.Stop();
    // The watch leaves them blocked (the driver is ending); the rest of this test run must not.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace
