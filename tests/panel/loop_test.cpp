// The panel's Qt loop behind the MainLoop interface, and the detached start of the driver.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "panel/qtloop.h"
#include "panel_fixture.h"
#include "platform/spawn.h"

namespace {

TEST(QtLoopTest, TimersIntervalsAndRemovalFromTheirOwnCallback) {
    EnsurePanelApp();
    QtLoop loop;
    int fast = 0, once = 0;
    int onceId = 0;
    const uint32_t t0 = loop.NowMs();
    loop.AddTimer(10, [&] { ++fast; });
    onceId = loop.AddTimer(15, [&] {
        ++once;
        loop.RemoveTimer(onceId);
    });
    const int slow = loop.AddTimer(100000, [&] { loop.Quit(7); });
    // Taking effect from now: the slow timer now ends the loop after 120 ms.
    loop.SetTimerInterval(slow, 120);
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_GE(loop.NowMs() - t0, 110u);
    EXPECT_GE(fast, 5);
    EXPECT_EQ(once, 1);
    loop.RemoveTimer(12345);  // unknown ids are ignored
}

TEST(QtLoopTest, CallsFromOtherThreadsRunOnTheLoopThread) {
    EnsurePanelApp();
    QtLoop loop;
    const auto loopThread = std::this_thread::get_id();
    std::atomic<int> ranOnLoop{0};
    bool waited = false;
    std::thread worker([&] {
        loop.Post([&] { ranOnLoop += std::this_thread::get_id() == loopThread; });
        waited = loop.PostAndWait([&] { ranOnLoop += std::this_thread::get_id() == loopThread; });
        loop.Post([&] { loop.Quit(0); });
    });
    loop.Run();
    worker.join();
    EXPECT_TRUE(waited);
    EXPECT_EQ(ranOnLoop.load(), 2);
    // On the loop thread itself the call runs at once.
    bool now = false;
    EXPECT_TRUE(loop.PostAndWait([&] { now = true; }));
    EXPECT_TRUE(now);
}

TEST(QtLoopTest, AWaiterIsReleasedWhenTheLoopStops) {
    EnsurePanelApp();
    std::atomic<int> result{-1};
    std::thread worker;
    {
        QtLoop loop;
        loop.AddTimer(20, [&] { loop.Quit(0); });
        worker = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));  // after the loop ended
            result = loop.PostAndWait([] {}) ? 1 : 0;
        });
        loop.Run();
        // The loop is gone for good once destroyed; the waiter must not hang.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    worker.join();
    EXPECT_EQ(result.load(), 0);
}

TEST(SpawnTest, StartsDetachedAndLeavesNoZombie) {
    EXPECT_EQ(SpawnDetached("/nonexistent/ZT7_DRIVER", {}), -1);
    EXPECT_EQ(SpawnDetached("", {}), -1);
    EXPECT_EQ(SpawnDetached("/tmp", {}), -1) << "a folder is not a program";

    char tmpl[] = "/tmp/zt7-spawn-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string prog = dir + "/child";
    {
        std::ofstream f(prog);
        f << "#!/bin/sh\nread -r pid comm state ppid pgrp sid rest < /proc/$$/stat\necho \"$sid\" > \"" << dir << "/sid\"\necho \"$1|$2\" > \"" << dir << "/args\"\n";
    }
    std::filesystem::permissions(prog, std::filesystem::perms::owner_all);
    const int pid = SpawnDetached(prog, {"--dir", "/some where/"});
    ASSERT_GT(pid, 0);
    std::string args, sid;
    for (int i = 0; i < 300 && (args.empty() || sid.empty()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream a(dir + "/args"), s(dir + "/sid");
        std::getline(a, args);
        std::getline(s, sid);
    }
    EXPECT_EQ(args, "--dir|/some where/");
    EXPECT_EQ(std::atoi(sid.c_str()), pid) << "the child leads its own session";
    // Reaped in the background: once it has ended, the id is gone.
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        gone = kill(pid, 0) != 0;
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone);
    EXPECT_EQ(FolderOf("/a/b/ZT7_Control_En"), "/a/b/");
    EXPECT_EQ(FolderOf("ZT7_Control_En"), "");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
