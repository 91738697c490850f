// Several real processes sharing variables: the driver's side as master, panels and tools as
// slaves. Each process is a share_peer scripted over a pipe.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "platform/shm.h"
#include "share/sharemanbase.h"
#include "shmtest.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

class MultiProc : public ::testing::Test {
  protected:
    // A peer with the two variables every test uses: 0 = Comm/Port Int, 1 = Sense/Level Float.
    std::unique_ptr<Peer> Start(bool master, bool activate = true, bool native = false) {
        std::vector<std::string> argv{ZT7_SHARE_PEER};
        if (native) argv.push_back("--native");
        auto p = std::make_unique<Peer>(argv);
        EXPECT_EQ(p->Cmd("add Comm Port Int 1"), "0");
        EXPECT_EQ(p->Cmd("add Sense Level Float 1"), "1");
        if (master) p->Cmd("master");
        if (activate) p->Cmd("active 1");
        return p;
    }
    uint8_t* Group() {
        if (!group) group = ShmObject::Open("MemGrp", TShareManBase::GroupBlockSize);
        return group ? group->Data() : nullptr;
    }

    ShmNamespace ns;
    std::unique_ptr<ShmObject> group;
};

} // namespace

TEST_F(MultiProc, PlainWriteReachesEveryProcessOneTickLaterXWriteNone) {
    auto m = Start(true);
    auto s1 = Start(false);
    auto s2 = Start(false);
    EXPECT_EQ(m->Cmd("status"), "active=1 master=1 slaves=2 present=1 interval=50");
    for (Peer* p : {m.get(), s1.get(), s2.get()})
        p->Cmd("tick");
    for (Peer* p : {m.get(), s1.get(), s2.get()})
        p->TakeEvents();

    s1->Cmd("set 0 0 42");
    EXPECT_TRUE(s1->TakeEvents().empty()); // not before the tick
    for (Peer* p : {m.get(), s2.get(), s1.get()}) {
        p->Cmd("tick");
        EXPECT_EQ(p->TakeEvents(), std::vector<std::string>{"change Comm Port 42"});
        p->Cmd("tick");
        EXPECT_TRUE(p->TakeEvents().empty());
    }

    s2->Cmd("setx 1 0 0.5");
    for (Peer* p : {m.get(), s1.get(), s2.get()}) {
        p->Cmd("tick");
        EXPECT_TRUE(p->TakeEvents().empty());
        EXPECT_EQ(p->Cmd("get 1 0"), "0.5"); // the value arrived all the same
    }

    // The master's own write comes back to it too.
    m->Cmd("set 1 0 0.25");
    for (Peer* p : {m.get(), s1.get(), s2.get()}) {
        p->Cmd("tick");
        EXPECT_EQ(p->TakeEvents(), std::vector<std::string>{"change Sense Level 0.25"});
    }
}

TEST_F(MultiProc, MasterAssignsIdsSecondMasterBecomesSlave) {
    Peer m({ZT7_SHARE_PEER});
    for (const char* v : {"add S A Int 1", "add S B Bool 1", "add S C Double 1"})
        m.Cmd(v);
    m.Cmd("master");
    m.Cmd("active 1");
    EXPECT_EQ(m.Cmd("status"), "active=1 master=1 slaves=0 present=1 interval=50");

    // Another would-be master registering in another order: a slave seeing the master's IDs.
    Peer m2({ZT7_SHARE_PEER});
    m2.Cmd("add S C Double 1");
    m2.Cmd("add S A Int 1");
    m2.Cmd("master");
    m2.Cmd("active 1");
    EXPECT_EQ(m2.Cmd("status"), "active=1 master=0 slaves=1 present=1 interval=50");
    EXPECT_EQ(m2.Cmd("id 0"), "3");
    EXPECT_EQ(m2.Cmd("id 1"), "1");
    EXPECT_EQ(m.Cmd("status"), "active=1 master=1 slaves=1 present=1 interval=50");

    m2.Cmd("active 0");
    EXPECT_EQ(Group()[1], 0);
    // A slave count already at 0 is never lowered below it.
    m2.Cmd("active 1");
    EXPECT_EQ(Group()[1], 1);
    Group()[1] = 0;
    m2.Cmd("active 0");
    EXPECT_EQ(Group()[1], 0);

    m.Cmd("active 0");
    EXPECT_EQ(Group()[0], 0); // master present cleared
}

TEST_F(MultiProc, SlaveStartedBeforeTheMasterDispatchesOnceItAppears) {
    auto s = Start(false);
    EXPECT_EQ(s->Cmd("id 0"), "0");
    s->Cmd("set 0 0 5"); // reaches the block, posts nothing
    s->Cmd("tick");
    EXPECT_TRUE(s->TakeEvents().empty());
    EXPECT_EQ(s->Cmd("status"), "active=1 master=0 slaves=1 present=0 interval=50");

    auto m = Start(true);
    EXPECT_EQ(m->Cmd("get 0 0"), "5");
    EXPECT_EQ(s->Cmd("id 0"), "1");
    s->Cmd("tick");
    EXPECT_TRUE(s->TakeEvents().empty());
    s->Cmd("set 0 0 6");
    m->Cmd("tick");
    s->Cmd("tick");
    EXPECT_EQ(m->TakeEvents(), std::vector<std::string>{"change Comm Port 6"});
    EXPECT_EQ(s->TakeEvents(), std::vector<std::string>{"change Comm Port 6"});
    m->Cmd("set 1 0 1.5");
    s->Cmd("tick");
    EXPECT_EQ(s->TakeEvents(), std::vector<std::string>{"change Sense Level 1.5"});
}

TEST_F(MultiProc, SlaveReadsTheBlockOverItsPendingValue) {
    auto m = Start(true);
    m->Cmd("set 0 0 5");
    auto s = Start(false, false);
    s->Cmd("setx 0 0 9"); // pending: not allocated yet
    s->Cmd("active 1");
    EXPECT_EQ(s->Cmd("get 0 0"), "5");
    s->Cmd("tick"); // the flush now carries the block's value
    EXPECT_EQ(m->Cmd("get 0 0"), "5");
}

TEST_F(MultiProc, RestartedMasterDoesNotReplayTheOldRing) {
    auto m = Start(true);
    auto s = Start(false);
    // More writes than the ring holds, so every entry carries an ID.
    for (int i = 0; i < 1100; ++i)
        s->Cmd("set 0 0 " + std::to_string(i));
    s->Cmd("tick");
    s->TakeEvents();
    s->Cmd("set 0 0 1000");
    m->Cmd("quit");
    m.reset();
    auto m2 = Start(true);
    m2->Cmd("set 1 0 2");
    s->Cmd("tick");
    // Only what the new master's run posted; nothing of the old master's ring.
    EXPECT_EQ(s->TakeEvents(), std::vector<std::string>{"change Sense Level 2"});
}

TEST_F(MultiProc, ValuesOutliveTheMasterOnlyWhileSomeoneHoldsThem) {
    struct Case {
        const char* name;
        bool panelStays;
        bool kill;
        const char* expect;
    } cases[] = {
        {"panel attached throughout", true, false, "5"},
        {"master killed, panel attached", true, true, "5"},
        {"nobody left", false, false, "0"},
        {"master killed, nobody left", false, true, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShmNamespace caseNs;
        auto m = Start(true);
        auto s = Start(false);
        m->Cmd("set 0 0 5");
        if (!c.panelStays) s->Cmd("quit");
        if (c.kill) {
            m->Kill(SIGKILL);
        } else {
            m->Cmd("quit");
        }
        auto m2 = Start(true);
        EXPECT_EQ(m2->Cmd("get 0 0"), c.expect);
    }
}

// --- crash safety ------------------------------------------------------------------------------

TEST_F(MultiProc, MasterKilledHoldingAMutexIsReplacedWithoutStalls) {
    struct Case {
        const char* name;
        const char* holdCommand; // what the doomed master does just before it dies
    } cases[] = {
        {"holding a variable mutex", "holdvar 0"},
        {"holding the group mutex", "hold MutGrp"},
        {"holding nothing", "status"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShmNamespace caseNs; // a fresh set of objects per case
        auto m = Start(true);
        auto s = Start(false);
        EXPECT_NE(m->Cmd(c.holdCommand), "failed");
        m->Kill(SIGKILL);

        const auto t0 = Clock::now();
        auto m2 = Start(true);
        EXPECT_EQ(m2->Cmd("status"), "active=1 master=1 slaves=1 present=1 interval=50");
        for (int i = 0; i < 10; ++i) {
            m2->Cmd("set 0 0 " + std::to_string(i));
            m2->Cmd("get 0 0");
            s->Cmd("get 0 0");
            s->Cmd("set 1 0 " + std::to_string(i));
        }
        EXPECT_LT(MsSince(t0), 900) << "an access waited out the lock time-out";
        m2->Cmd("tick");
        s->Cmd("tick");
        auto events = s->TakeEvents();
        ASSERT_EQ(events.size(), 20u);
        EXPECT_EQ(events.front(), "change Comm Port 9"); // handlers read the latest value
        EXPECT_EQ(events.back(), "change Sense Level 9");
    }
}

TEST_F(MultiProc, KilledSlavesStopCountingAndTheMasterSlowsDown) {
    auto m = Start(true);
    auto live = Start(false);
    auto doomed1 = Start(false);
    auto doomed2 = Start(false);
    m->Cmd("advance 50");
    EXPECT_EQ(m->Cmd("status"), "active=1 master=1 slaves=3 present=1 interval=50");
    doomed1->Kill(SIGKILL);
    doomed2->Send("crash"); // ends without deactivating
    EXPECT_EQ(doomed2->Wait(), 3);
    m->Cmd("advance 1000");
    EXPECT_EQ(m->Cmd("status"), "active=1 master=1 slaves=1 present=1 interval=50");
    live->Kill(SIGKILL);
    m->Cmd("advance 1000");
    EXPECT_EQ(m->Cmd("status"), "active=1 master=1 slaves=0 present=1 interval=1000");
    // A new panel is counted again.
    auto again = Start(false);
    m->Cmd("advance 1000");
    EXPECT_EQ(m->Cmd("status"), "active=1 master=1 slaves=1 present=1 interval=50");
}

TEST_F(MultiProc, SlaveNoticesADeadMasterAndFollowsTheNextOne) {
    auto m = Start(true);
    auto s = Start(false);
    m->Kill(SIGKILL);
    s->Cmd("advance 1000");
    EXPECT_EQ(s->Cmd("status"), "active=1 master=0 slaves=1 present=0 interval=50");
    s->Cmd("set 0 0 3"); // no master: posts nothing
    auto m2 = Start(true);
    EXPECT_EQ(m2->Cmd("get 0 0"), "3");
    s->Cmd("set 0 0 4");
    s->Cmd("advance 50");
    EXPECT_EQ(s->TakeEvents(), std::vector<std::string>{"change Comm Port 4"});
}

// --- real timers -------------------------------------------------------------------------------

TEST_F(MultiProc, RealTimersCarryAChangeToBothSides) {
    auto m = Start(true, true, true);
    auto s = Start(false, true, true);
    // Give the master one tick to see the slave and speed up.
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const auto t0 = Clock::now();
    s->Send("set 0 0 77");
    EXPECT_TRUE(m->WaitEvent("change Comm Port 77", 3000));
    EXPECT_TRUE(s->WaitEvent("change Comm Port 77", 3000));
    EXPECT_LT(MsSince(t0), 600);
    EXPECT_EQ(m->Cmd("status"), "active=1 master=1 slaves=1 present=1 interval=50");
}

// --- permissions -------------------------------------------------------------------------------

TEST_F(MultiProc, ObjectsArePrivateToTheUser) {
    auto m = Start(true);
    const auto files = ns.Files();
    ASSERT_FALSE(files.empty());
    for (const std::string& f : files) {
        struct stat st {};
        ASSERT_EQ(stat(("/dev/shm/" + f).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
        EXPECT_EQ(st.st_uid, geteuid()) << f;
    }
    if (geteuid() != 0) GTEST_SKIP() << "not root: cannot try from another user's account";
    pid_t pid = fork();
    if (pid == 0) {
        // As nobody: every object must refuse to open, for reading or for writing.
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        for (const std::string& f : files) {
            const std::string name = "/" + f;
            for (int mode : {O_RDONLY, O_RDWR}) {
                int fd = shm_open(name.c_str(), mode, 0);
                if (fd >= 0 || errno != EACCES) _exit(1);
            }
        }
        _exit(0);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 0) << "another user could open a shared object";
}
