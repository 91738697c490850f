// A control panel in the test process with a live master beside it: the "driver side" registers
// the same variables first, the share manager activates as master at the panel's first timer
// tick, and virtual time drives the panel's timer and the share manager's poll.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "panel/main.h"
#include "platform/manualloop.h"
#include "platform/shm.h"
#include "share/ipthread.h"
#include "share/sharemanbase.h"
#include "share/sharevarbase.h"
#include "share/sharevarpoly.h"

inline void EnsurePanelApp() {
    static int argc = 1;
    static char name[] = "test_panel";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        auto* app = new QApplication(argc, argv);
        app->setQuitOnLastWindowClosed(false);
    }
}

// The driver's end of the variables, with a log of every change it receives.
class DriverSide {
public:
    DriverSide() {
        struct Def {
            const char* sec;
            const char* name;
            const char* type;
            int count;
        };
        static const Def defs[] = {
            {"Status", "Save", "Int", 1},         {"Status", "Load", "Int", 1},
            {"Status", "Terminate", "Int", 1},    {"Status", "Reset", "Int", 1},
            {"Status", "HeartBeat", "Int", 1},    {"Status", "Dirty", "Bool", 1},
            {"Status", "LogRecord", "Int", 1},    {"Status", "LogPlay", "Int", 1},
            {"Status", "LogStop", "Int", 1},      {"Comm", "Port", "Int", 1},
            {"Comm", "Baud", "Int", 1},           {"Comm", "CycleSize", "Int", 1},
            {"Comm", "Advanced", "Bool", 1},      {"Comm", "ReqMuxSize", "Int", 1},
            {"Comm", "MuxOrder", "Int", 1},       {"Comm", "ReqOpen", "Bool", 1},
            {"Comm", "DevOpen", "Bool", 1},       {"Comm", "Active", "Bool", 1},
            {"Comm", "Valid", "Bool", 1},         {"Comm", "Length", "Int", 1},
            {"Comm", "Lost", "Int", 1},           {"Comm", "Rate", "Int", 1},
            {"Sense", "FixedThreshold", "Float", 1}, {"Sense", "TouchRatio", "Float", 1},
            {"Sense", "PressRatio", "Float", 1},  {"Sense", "TouchThresh", "Float", 1},
            {"Sense", "PressThresh", "Float", 1}, {"Sense", "PressValue", "Float", 1},
            {"Sense", "Advanced", "Bool", 1},     {"Sense", "State", "Int", 1},
            {"Sense", "Start", "Bool", 1},        {"Sense", "Cancel", "Bool", 1},
            {"Sense", "Busy", "Bool", 1},         {"Sense", "CountRatio0", "Float", 1},
            {"Sense", "CountRatio1", "Float", 1}, {"Sense", "CountRatio2", "Float", 1},
            {"Calib", "Count0", "Int", 1},        {"Calib", "Count1", "Int", 1},
            {"Calib", "Count2", "Int", 1},        {"Calib", "Count3", "Int", 1},
            {"Calib", "TargetPos", "Float", 1},   {"Calib", "Start", "Bool", 1},
            {"Calib", "Cancel", "Bool", 1},       {"Calib", "Busy", "Bool", 1},
            {"Output", "Enabled", "Bool", 1},     {"Output", "PressType", "Int", 1},
            {"Output", "X", "Float", 1},          {"Output", "Y", "Float", 1},
            {"Output", "Button", "Int", 1},       {"Edge", "TopGain", "Float", 1},
            {"Edge", "BottomGain", "Float", 1},   {"Edge", "LeftGain", "Float", 1},
            {"Edge", "RightGain", "Float", 1},    {"DeWiggle", "Inner", "Float", 1},
            {"DeWiggle", "Outer", "Float", 1},    {"DeWiggle", "Advanced", "Bool", 1},
            {"Grapher0", "Length", "Int", 1},     {"Grapher0", "Diff", "Float", 66},
            {"Grapher1", "Length", "Int", 1},     {"Grapher1", "Diff", "Float", 66},
        };
        for (const auto& d : defs) {
            const std::string key = std::string(d.sec) + "." + d.name;
            FVars[key] = FPoly.AddItem(d.sec, d.name, d.type, d.count,
                                       [this, key](TShareVarBase*) { Changes.push_back(key); }, nullptr, false);
        }
    }

    TShareVarBase* operator[](const std::string& key) {
        auto it = FVars.find(key);
        EXPECT_NE(it, FVars.end()) << key;
        return it == FVars.end() ? nullptr : it->second;
    }
    int ChangesOf(const std::string& key) const {
        int n = 0;
        for (const auto& c : Changes) n += c == key;
        return n;
    }

    std::vector<std::string> Changes;

private:
    TShareVarPoly FPoly;
    std::map<std::string, TShareVarBase*> FVars;
};

class PanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsurePanelApp(); }

    void SetUp() override {
        static int counter = 0;
        FNamespace = "zt7paneltest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        setenv("ZT7_SHM_NAMESPACE", FNamespace.c_str(), 1);
        char tmpl[] = "/tmp/zt7-panel-XXXXXX";
        Dir = mkdtemp(tmpl);
        Dir += "/";
        MainLoop::SetCurrent(&Loop);
        Driver = std::make_unique<DriverSide>();
        TShareManBase::GetShareManBase()->SetMaster(true);
        BeforeMain();
        PanelOptions options;
        options.exePath = Dir + "ZT7_Control_En";  // no driver beside it
        Main = std::make_unique<TNXGF7_Main>(options);
        Main->show();
        // The first timer tick joins the shared variables.
        Tick();
        ASSERT_TRUE(TShareManBase::GetShareManBase()->GetActive());
        ASSERT_TRUE(TShareManBase::GetShareManBase()->GetMaster());
        Driver->Changes.clear();
    }

    void TearDown() override {
        Main.reset();
        Driver.reset();
        MainLoop::SetCurrent(nullptr);
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec))
            if (e.path().filename().string().rfind(FNamespace + "-", 0) == 0) std::filesystem::remove(e.path(), ec);
        std::filesystem::remove_all(Dir, ec);
        unsetenv("ZT7_SHM_NAMESPACE");
    }

    virtual void BeforeMain() {}

    // One second: one panel timer tick and at least one poll.
    void Tick(int seconds = 1) {
        for (int i = 0; i < seconds; ++i) Loop.Advance(1000);
    }
    // One poll of the share manager (the master alone in this process polls once a second).
    void Poll(int n = 1) {
        for (int i = 0; i < n; ++i) Loop.Advance(TShareManBase::GetShareManBase()->GetPollThread()->GetInterval());
    }
    void Show(QWidget* tab) {
        Main->ShowSection(tab);
        QApplication::processEvents();  // let the page lay itself out, as the event loop would
    }

    ManualLoop Loop;
    std::string FNamespace;
    std::string Dir;
    std::unique_ptr<DriverSide> Driver;
    std::unique_ptr<TNXGF7_Main> Main;
};
