// The control panel with the real driver it launches, fed by the simulated sensor through a
// pseudo-terminal, shown on an X server: presence, live graphs, the test-page trace, a full
// calibration by simulated presses, a driver killed mid-run, and the way out.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "panel/calib.h"
#include "panel/calibscreen.h"
#include "panel/comms.h"
#include "panel/controls.h"
#include "panel/graph.h"
#include "panel/main.h"
#include "panel/monitor.h"
#include "panel/qtloop.h"
#include "panel/sense.h"
#include "panel/sensescreen.h"
#include "panel/status.h"
#include "platform/pty.h"
#include "share/meminifile.h"
#include "sim.h"
#include "widgets/colours.h"
#include "widgets/gaugexy.h"
#include "widgets/graph.h"
#include "widgets/graphitem.h"
#include "widgets/targetgauge.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The simulated sensor: frames of a 24 + 40 wire panel written to the terminal 50 times a
// second, with a finger the test places.
class Sensor {
public:
    bool Start() {
        if (!FPty.Create()) return false;
        FRun = true;
        FThread = std::thread([this] { Run(); });
        return true;
    }
    ~Sensor() {
        FRun = false;
        if (FThread.joinable()) FThread.join();
    }
    std::string Path() const { return FPty.SlavePath(); }
    void Touch(float x, float y, float strength) {
        std::lock_guard<std::mutex> lk(FMutex);
        FFinger = {true, x, y, strength};
    }
    void Lift() {
        std::lock_guard<std::mutex> lk(FMutex);
        FFinger = sim::TFinger{};
    }

private:
    void Run() {
        sim::TPanelConfig cfg;
        sim::TPanel panel(cfg);
        std::vector<uint8_t> frame, packet;
        uint8_t sink[256];
        const auto t0 = Clock::now();
        while (FRun) {
            const uint32_t t = static_cast<uint32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
            std::vector<sim::TFinger> fingers;
            {
                std::lock_guard<std::mutex> lk(FMutex);
                if (FFinger.Down) fingers.push_back(FFinger);
            }
            panel.Scan(t, fingers, frame);
            packet.clear();
            sim::EncodeRaw(frame, packet);
            FPty.Write(packet.data(), static_cast<int>(packet.size()));
            while (FPty.Read(sink, sizeof sink) > 0) {
            }  // the driver's poll bytes
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }

    PtyMaster FPty;
    std::thread FThread;
    std::atomic<bool> FRun{false};
    std::mutex FMutex;
    sim::TFinger FFinger;
};

bool Alive(int pid) { return pid > 0 && kill(pid, 0) == 0; }

class PanelE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
        char tmpl[] = "/tmp/zt7-e2e-XXXXXX";
        FDir = mkdtemp(tmpl);
        fs::create_directory(FDir + "/settings");
        fs::create_directory(FDir + "/run");
        fs::permissions(FDir + "/run", fs::perms::owner_all);
        FNamespace = "zt7e2e-" + std::to_string(getpid());
        setenv("ZT7_SHM_NAMESPACE", FNamespace.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (FDir + "/run").c_str(), 1);
        setenv("ZT7_NO_PRIORITY", "1", 1);
        ASSERT_TRUE(FSensor.Start());
        setenv("ZT7_COM1", FSensor.Path().c_str(), 1);

        // The demonstration settings (sensor on COM1), with the mouse output off so the driver's
        // clicks cannot land on the panel under test.
        std::ifstream in(ZT7_DEMO_INI, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        MemIniFile ini;
        ini.SetText(text.str());
        ini.WriteBool("Output", "EnabledBoo1", false);
        ASSERT_TRUE(ini.UpdateFile(Settings() + "ZT7.INI"));

        static int argc = 1;
        static char name[] = "test_panel_e2e";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        MainLoop::SetCurrent(&FLoop);
        fs::create_directories(ZT7_ARTEFACTS_DIR);

        PanelOptions o;
        o.exePath = ZT7_PANEL_PATH;  // the driver is started from beside it
        o.settingsDir = Settings();
        Main = std::make_unique<TNXGF7_Main>(o);
        Main->show();
        FDriverPid = Main->StatusFrame->GetLastDriverPid();
        ASSERT_GT(FDriverPid, 0) << "ZT7_DRIVER beside the panel";
    }

    void TearDown() override {
        if (Main) {
            if (Alive(Main->StatusFrame->GetLastDriverPid())) {
                // Stop the driver as "停止して終了" does (without its save prompt) and leave.
                Main->StatusFrame->StopDriver();
                Main->close();
                const int pid = Main->StatusFrame->GetLastDriverPid();
                EXPECT_TRUE(WaitFor([&] { return !Alive(pid); }, 5000)) << "the driver ends on Terminate";
            }
            for (int pid : {FDriverPid, Main->StatusFrame->GetLastDriverPid()})
                if (Alive(pid)) kill(pid, SIGKILL);
            Main.reset();
        }
        MainLoop::SetCurrent(nullptr);
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/dev/shm", ec))
            if (e.path().filename().string().rfind(FNamespace + "-", 0) == 0) fs::remove(e.path(), ec);
        if (!FDir.empty()) fs::remove_all(FDir, ec);
    }

    std::string Settings() const { return FDir + "/settings/"; }

    // Runs the panel's event loop until pred holds or the time is up.
    bool WaitFor(const std::function<bool()>& pred, int ms) {
        const auto t0 = Clock::now();
        while (!pred()) {
            if (Clock::now() - t0 > std::chrono::milliseconds(ms)) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void Settle(int ms) {
        WaitFor([] { return false; }, ms);
    }

    void Show(QWidget* tab) {
        Main->ShowSection(tab);
        Settle(300);
    }
    void Screenshot(QWidget* w, const std::string& name) {
        const QString file = QString::fromStdString(std::string(ZT7_ARTEFACTS_DIR) + "/" + name + ".png");
        EXPECT_TRUE(w->grab().save(file)) << name;
    }
    bool Present() { return Main->StatusFrame->Beat->text() == QStringLiteral("Present"); }

    QtLoop FLoop;
    Sensor FSensor;
    std::string FDir;
    std::string FNamespace;
    int FDriverPid = -1;
    std::unique_ptr<TNXGF7_Main> Main;
};

TEST_F(PanelE2E, LiveDriverPagesTraceAndCalibration) {
    // Connection page: the driver answers and its link is open.
    Show(Main->TabComms);
    ASSERT_TRUE(WaitFor([&] { return Present(); }, 15000)) << "no heartbeat from the driver";
    EXPECT_TRUE(WaitFor([&] { return Main->CommsFrame->DevOpenPanel->GetColour() == zt7::clRed; }, 5000));
    EXPECT_EQ(Main->CommsFrame->Port->GetItemIndex(), 1);
    Screenshot(Main.get(), "page-comms");

    // Graph page: the wires' signals, with a finger on the panel.
    Settle(4000);  // baseline learning
    FSensor.Touch(0.3f, 0.6f, 70);
    Show(Main->TabGraph);
    TNX7_Graph* gx = Main->GraphFrame->NX7_Graph1;
    TNX7_Graph* gy = Main->GraphFrame->NX7_Graph2;
    auto peak = [](TNX7_Graph* g) {
        float m = -1e9f;
        for (int i = 0; i < g->GetLength(); ++i) m = std::max(m, g->Item(i)->GetPosition());
        return m;
    };
    ASSERT_TRUE(WaitFor([&] { return gx->GetLength() == 24 && gy->GetLength() == 40; }, 10000))
        << gx->GetLength() << " " << gy->GetLength();
    EXPECT_TRUE(WaitFor([&] { return peak(gx) > 20 && peak(gy) > 20; }, 20000)) << peak(gx) << " " << peak(gy);
    Screenshot(Main.get(), "page-graph");

    // Sensitivity page: the live value against the levels.
    Show(Main->TabSense);
    Settle(1500);
    Screenshot(Main.get(), "page-sense");
    FSensor.Lift();

    // Test page: a pressed stroke leaves a trace.
    Show(Main->TabMonitor);
    Settle(1500);
    TNX7_GaugeXY* gauge = Main->MonitorFrame->NX7_GaugeXY1;
    auto traced = [&] {
        const QImage img = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < img.height(); y += 2)
            for (int x = 0; x < img.width(); x += 2) {
                const QColor c(img.pixel(x, y));
                n += (c == zt7::clRed || c == zt7::clGreen);
            }
        return n;
    };
    int best = 0;
    for (int i = 0; i <= 60; ++i) {
        const float u = i / 60.0f;
        FSensor.Touch(0.2f + 0.6f * u, 0.3f + 0.4f * u, 70);
        Settle(25);
        best = std::max(best, traced());
    }
    EXPECT_GT(best, 20) << "the stroke is drawn";
    Screenshot(Main.get(), "page-monitor");
    FSensor.Lift();
    EXPECT_TRUE(WaitFor([&] { return traced() == 0; }, 4000)) << "wiped after the finger left";

    for (auto [tab, name] : {std::pair{Main->TabOutput, "page-output"}, std::pair{Main->TabEdge, "page-edge"},
                             std::pair{Main->TabCopyright, "page-maker"}}) {
        Show(tab);
        Screenshot(Main.get(), name);
    }

    // Calibration: press each target as it appears until the driver moves on.
    Show(Main->TabCalib);
    Screenshot(Main.get(), "page-calib");
    TNXGF7_CalibScreen* scr = Main->CalibScreen.get();
    QTest::mouseClick(Main->CalibFrame->StartCalibrationButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return scr->isVisible(); }, 2000));
    const struct {
        TNX7_TargetGauge* gauge;
        float x, y;
        const char* shot;
    } targets[] = {{scr->NX7_TargetGauge1, 0.1f, 0.1f, "calib-screen-1"},
                   {scr->NX7_TargetGauge2, 0.9f, 0.1f, "calib-screen-2"},
                   {scr->NX7_TargetGauge3, 0.1f, 0.9f, "calib-screen-3"}};
    for (const auto& t : targets) {
        FSensor.Touch(t.x, t.y, 70);
        ASSERT_TRUE(WaitFor([&] { return !t.gauge->isHidden() && t.gauge->GetPosition() > 50; }, 15000))
            << t.shot << " position " << t.gauge->GetPosition();
        Screenshot(scr, t.shot);
        EXPECT_TRUE(WaitFor([&] { return t.gauge->isHidden() || !scr->isVisible(); }, 15000)) << t.shot;
        FSensor.Lift();
        Settle(500);
    }
    ASSERT_TRUE(WaitFor([&] { return !scr->isVisible(); }, 5000)) << "Busy falls when the calibration completes";

    // The new calibration makes the driver's settings dirty; Save writes them.
    const std::string before = [&] {
        std::ifstream f(Settings() + "ZT7.INI", std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }();
    EXPECT_TRUE(WaitFor([&] { return Main->windowTitle().endsWith('*'); }, 5000)) << "dirty after calibrating";
    Main->MenuFileSaveClick();
    EXPECT_TRUE(WaitFor([&] { return !Main->windowTitle().endsWith('*'); }, 5000)) << "clean after saving";
    MemIniFile saved(Settings() + "ZT7.INI");
    const double tlA = saved.ReadFloat("Calibrate", "Ref_TL_A", -1);
    const double trA = saved.ReadFloat("Calibrate", "Ref_TR_A", -1);
    EXPECT_NE(tlA, 0.100000001490116) << "measured, not the default";
    EXPECT_GT(std::fabs(tlA - trA), 0.5) << "top-left and top-right lie on opposite sides";
    std::ifstream f(Settings() + "ZT7.INI", std::ios::binary);
    std::stringstream after;
    after << f.rdbuf();
    EXPECT_NE(after.str(), before);
}

TEST_F(PanelE2E, AutomaticTouchLevelsWithAFingerOnTheTarget) {
    Show(Main->TabComms);
    ASSERT_TRUE(WaitFor([&] { return Present(); }, 15000));
    Settle(3000);  // baseline learning
    Show(Main->TabSense);
    TNXGF7_SenseScreen* scr = Main->SenseScreen.get();
    const int before = Main->SenseFrame->FixedThreshold->value();
    QTest::mouseClick(Main->SenseFrame->StartAutoThresholdButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return scr->isVisible(); }, 2000));
    EXPECT_EQ(scr->geometry().size(), QSize(1280, 1024)) << "the whole screen";
    // Touch: the screen asks for the finger (once a second it follows the driver's state).
    ASSERT_TRUE(WaitFor([&] { return scr->GetState() == 2; }, 5000)) << scr->GetState();
    EXPECT_FALSE(scr->TouchLabel->isHidden());
    FSensor.Touch(0.5f, 0.5f, 70);
    ASSERT_TRUE(WaitFor([&] { return scr->NX7_TargetGauge0->GetPosition() >= 40; }, 15000));
    Screenshot(scr, "sense-screen-touch");
    // Release: the screen asks to lift the finger.
    ASSERT_TRUE(WaitFor([&] { return scr->GetState() == 3; }, 20000)) << scr->GetState();
    EXPECT_FALSE(scr->ReleaseLabel->isHidden());
    FSensor.Lift();
    Settle(3000);
    Screenshot(scr, "sense-screen-release");
    // The driver computes the new levels and the screen goes away when Busy falls.
    ASSERT_TRUE(WaitFor([&] { return !scr->isVisible(); }, 25000));
    EXPECT_TRUE(WaitFor([&] { return Main->SenseFrame->FixedThreshold->value() != before; }, 3000))
        << "the slider follows the new fixed threshold";
}

TEST_F(PanelE2E, DriverKilledMidRunIsShownAndRestarted) {
    Show(Main->TabComms);
    ASSERT_TRUE(WaitFor([&] { return Present(); }, 15000));
    ASSERT_EQ(kill(FDriverPid, SIGKILL), 0);
    // The panel keeps running; "Present" lasts 160 polls after the last heartbeat.
    const auto t0 = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return !Present(); }, 15000));
    const auto gone = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GT(gone, 3000);
    Screenshot(Main.get(), "comms-driver-gone");
    // Start it again from the menu: a fresh driver takes over the shared variables.
    Main->MenuFileRunNX7Click();
    EXPECT_TRUE(WaitFor([&] { return Present(); }, 15000)) << "a restarted driver is seen";
    EXPECT_TRUE(Alive(Main->StatusFrame->GetLastDriverPid()));
}

}  // namespace

// ---- The programs as a user starts them ----

namespace {

struct ProgramEnv {
    std::string dir, ns;
    ProgramEnv() {
        char tmpl[] = "/tmp/zt7-prog-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::create_directory(dir + "/run");
        fs::permissions(dir + "/run", fs::perms::owner_all);
        ns = "zt7prog-" + std::to_string(getpid());
        setenv("ZT7_SHM_NAMESPACE", ns.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (dir + "/run").c_str(), 1);
        setenv("ZT7_NO_PRIORITY", "1", 1);
    }
    ~ProgramEnv() {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/dev/shm", ec))
            if (e.path().filename().string().rfind(ns + "-", 0) == 0) fs::remove(e.path(), ec);
        fs::remove_all(dir, ec);
    }
};

int RunProgram(const QString& program, const QStringList& args, QString* out = nullptr, int ms = 15000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool Eventually(const std::function<bool()>& pred, int ms) {
    const auto t0 = Clock::now();
    while (!pred()) {
        if (Clock::now() - t0 > std::chrono::milliseconds(ms)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

TEST(PanelProgram, CommandLine) {
    QString out;
    EXPECT_EQ(RunProgram(ZT7_PANEL_PATH, {"--version"}, &out), 0);
    EXPECT_TRUE(out.contains("NX7.0.0.92"));
    EXPECT_EQ(RunProgram(ZT7_PANEL_PATH, {"--help"}, &out), 0);
    EXPECT_TRUE(out.contains("--dir"));
    EXPECT_EQ(RunProgram(ZT7_PANEL_PATH, {"--frobnicate"}), 2);
}

TEST(PanelProgram, StartsTheDriverBesideItAndTheDriverAnswers) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    ProgramEnv env;
    const std::string settings = env.dir + "/settings";
    fs::create_directory(settings);
    QProcess panel;
    panel.start(ZT7_PANEL_PATH, {"--dir", QString::fromStdString(settings)});
    ASSERT_TRUE(panel.waitForStarted());
    EXPECT_TRUE(Eventually([&] { return fs::exists(settings + "/ZT7.INI"); }, 10000)) << "defaults written";
    auto beat = [&] {
        QString o;
        return RunProgram(ZT7CTL_PATH, {"get", "Status", "HeartBeat", "Int", "--timeout", "1"}, &o) == 0 && o.trimmed().toInt() >= 1;
    };
    EXPECT_TRUE(Eventually(beat, 15000)) << "the panel started ZT7_DRIVER with --dir";
    MemIniFile ini(settings + "/ZT7.INI");
    EXPECT_TRUE(ini.SectionExists("Sense"));
    // The driver keeps running when the panel ends; Terminate stops it.
    panel.terminate();
    panel.waitForFinished(5000);
    EXPECT_TRUE(beat());
    EXPECT_EQ(RunProgram(ZT7CTL_PATH, {"status", "Terminate"}), 0);
    EXPECT_TRUE(Eventually([&] { return RunProgram(ZT7CTL_PATH, {"get", "Status", "HeartBeat", "Int", "--timeout", "1"}) == 3; },
                           10000))
        << "no master once the driver has ended";
}

TEST(PanelProgram, WithoutADriverItOpensAndWritesItsOwnDefaults) {
    ProgramEnv env;
    // A copy of the panel alone in a folder: nothing to start, defaults extracted beside it.
    const std::string exe = env.dir + "/ZT7_Control_En";
    fs::copy_file(ZT7_PANEL_PATH, exe);
    fs::permissions(exe, fs::perms::owner_all);
    QProcess panel;
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    pe.insert("QT_QPA_PLATFORM", "offscreen");
    panel.setProcessEnvironment(pe);
    panel.start(QString::fromStdString(exe), {});
    ASSERT_TRUE(panel.waitForStarted());
    EXPECT_TRUE(Eventually([&] { return fs::exists(env.dir + "/ZT7.INI"); }, 10000));
    Eventually([] { return false; }, 1500);
    EXPECT_EQ(panel.state(), QProcess::Running) << "a failed driver start is not fatal";
    MemIniFile ini(env.dir + "/ZT7.INI");
    EXPECT_EQ(ini.ReadString("General", "Version", ""), "NX7.0.0.92");
    EXPECT_EQ(ini.ReadInteger("Comm", "PortInt1", -1), 9);
    panel.terminate();
    panel.waitForFinished(5000);
}

}  // namespace
