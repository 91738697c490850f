// zt7ctl against a scripted master.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "shmtest.h"

namespace {

struct Result {
    int code;
    std::string out; // standard output and error together
};

Result Ctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ZT7CTL};
    argv.insert(argv.end(), args.begin(), args.end());
    Peer p(argv, true);
    p.CloseInput();
    Result r;
    r.out = p.ReadAll(10000);
    r.code = p.Wait(10000);
    return r;
}

class Zt7ctl : public ::testing::Test {
  protected:
    void StartMaster() {
        master = std::make_unique<Peer>(std::vector<std::string>{ZT7_SHARE_PEER});
        master->Cmd("add Comm Port Int 1");
        master->Cmd("add Damped SnapRadius Float 1");
        master->Cmd("add Status Save Int 1");
        master->Cmd("add Output Enabled Bool 1");
        master->Cmd("add Grapher0 Data Float 4");
        master->Cmd("master");
        master->Cmd("active 1");
    }
    // Until a slave has attached (zt7ctl started in the background).
    bool WaitForSlave() {
        for (int i = 0; i < 200; ++i) {
            if (master->Cmd("status").find("slaves=1") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    ShmNamespace ns;
    std::unique_ptr<Peer> master;
};

} // namespace

TEST_F(Zt7ctl, ErrorsAreClearAndNonZero) {
    Result noMaster = Ctl({"get", "Comm", "Port", "Int"});
    EXPECT_EQ(noMaster.code, 3);
    EXPECT_NE(noMaster.out.find("no master present"), std::string::npos) << noMaster.out;

    StartMaster();
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    } cases[] = {
        {{}, 1, "usage"},
        {{"frobnicate"}, 1, "unknown command"},
        {{"get", "Comm"}, 1, "usage"},
        {{"--bogus", "get", "Comm", "Port", "Int"}, 1, "unknown option"},
        {{"get", "Comm", "Port", "Integer"}, 2, "unknown type 'Integer'"},
        {{"set", "Comm", "Port", "Int", "abc"}, 2, "bad value 'abc' for type Int"},
        {{"set", "Comm", "Port", "Int", "99999999999"}, 2, "bad value"},
        {{"set", "Comm", "Port", "Int", "12x"}, 2, "bad value"},
        {{"set", "Output", "Enabled", "Bool", "yes"}, 2, "bad value 'yes' for type Bool"},
        {{"set", "Damped", "SnapRadius", "Float", "nan"}, 2, "bad value"},
        {{"set", "Damped", "SnapRadius", "Float", "1e40"}, 2, "bad value"},
        {{"get", "Comm", "Port", "Float"}, 4, "the master has no variable Comm/Port"},
        {{"status", "Frobnicate"}, 4, "the master has no variable Status/Frobnicate"},
        {{"get", "Grapher0", "Data", "Float", "300"}, 2, "COUNT must be 1..128"},
    };
    for (const Case& c : cases) {
        Result r = Ctl(c.args);
        EXPECT_EQ(r.code, c.code) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
    Result help = Ctl({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("usage: zt7ctl"), std::string::npos);
}

TEST_F(Zt7ctl, GetSetAndStatusCommands) {
    StartMaster();
    master->Cmd("set 0 0 7");
    master->Cmd("set 1 0 0.05");
    master->Cmd("set 4 3 -1.5");
    EXPECT_EQ(Ctl({"get", "Comm", "Port", "Int"}).out, "7\n");
    EXPECT_EQ(Ctl({"get", "Damped", "SnapRadius", "float"}).out, "0.05\n");
    EXPECT_EQ(Ctl({"get", "Grapher0", "Data", "Float", "4"}).out, "0 0 0 -1.5\n");

    master->Cmd("tick");
    master->TakeEvents();
    Result set = Ctl({"set", "Comm", "Port", "Int", "0x10"});
    EXPECT_EQ(set.code, 0) << set.out;
    EXPECT_EQ(master->Cmd("get 0 0"), "16");
    master->Cmd("tick");
    EXPECT_EQ(master->TakeEvents(), std::vector<std::string>{"change Comm Port 16"});

    EXPECT_EQ(Ctl({"set", "Output", "Enabled", "Bool", "true"}).code, 0);
    EXPECT_EQ(master->Cmd("get 3 0"), "1");
    EXPECT_EQ(Ctl({"set", "--index", "2", "--count", "4", "Grapher0", "Data", "Float", "2.5"}).code,
              0);
    EXPECT_EQ(master->Cmd("get 4 2"), "2.5");

    EXPECT_EQ(Ctl({"status", "Save"}).code, 0);
    EXPECT_EQ(Ctl({"status", "Save"}).code, 0);
    EXPECT_EQ(master->Cmd("get 2 0"), "2");
}

TEST_F(Zt7ctl, WatchPrintsChanges) {
    StartMaster();
    Peer watch({ZT7CTL, "watch", "Comm", "Port", "Int", "--count", "2", "--timeout", "10"}, true);
    ASSERT_TRUE(WaitForSlave());
    master->Cmd("set 0 0 1");
    EXPECT_EQ(watch.ReadLine(3000), "1");
    master->Cmd("setx 0 0 5"); // X writes are not changes
    master->Cmd("set 0 0 2");
    EXPECT_EQ(watch.ReadLine(3000), "2");
    EXPECT_EQ(watch.Wait(3000), 0);

    Result timedOut = Ctl({"watch", "Comm", "Port", "Int", "--count", "3", "--timeout", "0.2"});
    EXPECT_EQ(timedOut.code, 5);
    EXPECT_EQ(Ctl({"watch", "Comm", "Port", "Int", "--timeout", "0.2"}).code, 0);
}
