// Main window: presence display, dirty caption, the save prompt on the way out, menus, the
// maker page, and how the driver is started.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include "panel/about.h"
#include "panel/controls.h"
#include "panel/copyright.h"
#include "panel/graph.h"
#include "panel/linearity.h"
#include "panel/monitor.h"
#include "panel/save.h"
#include "panel/status.h"
#include "panel_fixture.h"
#include "platform/shm.h"
#include "share/sharemanbase.h"
#include "widgets/colours.h"

namespace {

using MainWindow = PanelTest;

QAction* Action(TNXGF7_Main* m, const char* name) {
    auto* a = m->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(a, nullptr) << name;
    return a;
}

// Answers the next modal save prompt with the named button.
void AnswerSavePrompt(const char* button, bool* shown) {
    QTimer::singleShot(0, [button, shown] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg) return;
        *shown = true;
        if (auto* b = dlg->findChild<QPushButton*>(QString::fromLatin1(button))) b->click();
    });
}

// IDs posted to the change ring since the given write index, in order.
std::vector<int> RingSince(int from) {
    auto grp = ShmObject::Open("MemGrp", TShareManBase::GroupBlockSize);
    std::vector<int> ids;
    if (!grp) return ids;
    const uint8_t* b = grp->Data();
    int w = b[4] | (b[5] << 8);
    for (int r = from; r != w; r = (r + 1) % TShareManBase::RingSize) ids.push_back(b[8 + r]);
    return ids;
}

// A variable's value straight from its shared block (valid after the panel has left).
int BlockInt(const std::string& sec, const std::string& name) {
    auto b = ShmObject::Open("MemGrp" + sec + name + "Int1", 6);
    return b ? static_cast<int>(b->Data()[2] | (b->Data()[3] << 8) | (b->Data()[4] << 16) | (b->Data()[5] << 24))
             : -1;
}

bool BlockBool(const std::string& sec, const std::string& name) {
    auto b = ShmObject::Open("MemGrp" + sec + name + "Boo1", 3);
    return b && b->Data()[2] != 0;
}

int RingWriteIndex() {
    auto grp = ShmObject::Open("MemGrp", TShareManBase::GroupBlockSize);
    return grp ? (grp->Data()[4] | (grp->Data()[5] << 8)) : -1;
}

TEST_F(MainWindow, OpensOnTheMakerPageWithTheRightFrame) {
    EXPECT_EQ(Main->windowTitle(), QStringLiteral("Vantrel Model.R Control"));
    EXPECT_EQ(Main->PageMain->currentWidget(), Main->TabCopyright);
    EXPECT_EQ(Main->PageMain->count(), 8);
    const char* tabs[] = {"接続", "感度", "キャリブレーション", "マウス", "グラフ", "テスト", "補正", "製造元"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Main->PageMain->tabText(i), QString::fromUtf8(tabs[i]));
    EXPECT_EQ(Main->PageMain->size(), QSize(480, 360));
    EXPECT_TRUE(Main->CopyrightFrame->isEnabled());
    EXPECT_FALSE(Main->StatusFrame->isEnabled());

    // The menu's section items switch pages and only the shown page's frames are enabled.
    Action(Main.get(), "MenuSectionMonitor")->trigger();
    EXPECT_EQ(Main->PageMain->currentWidget(), Main->TabMonitor);
    EXPECT_TRUE(Main->MonitorFrame->isEnabled());
    EXPECT_TRUE(Main->LinearityFrame->isEnabled());
    EXPECT_FALSE(Main->CopyrightFrame->isEnabled());
    EXPECT_FALSE(Main->GraphFrame->isEnabled());
}

TEST_F(MainWindow, PresenceFollowsTheHeartbeatCounter) {
    TNXGF7_Status* s = Main->StatusFrame;
    auto* beat = (*Driver)["Status.HeartBeat"];
    // A heartbeat while another page is shown leaves the counter untouched.
    beat->SetValueInt(1);
    Tick();
    EXPECT_EQ(s->GetPresenceCounter(), 0);

    Action(Main.get(), "MenuSectionComms")->trigger();
    Tick();
    EXPECT_EQ(s->Beat->text(), QStringLiteral("Not Present"));
    EXPECT_EQ(s->Beat->GetColour(), zt7::clBtnFace);

    beat->SetValueInt(2);
    Tick();
    EXPECT_GT(s->GetPresenceCounter(), 150);
    EXPECT_EQ(s->Beat->text(), QStringLiteral("Present"));
    EXPECT_EQ(s->Beat->GetColour(), zt7::clRed);
    int polls = 0;
    while (s->GetPresenceCounter() > 41 && polls < 300) {
        Poll();
        ++polls;
    }
    ASSERT_EQ(s->GetPresenceCounter(), 41);
    EXPECT_EQ(s->Beat->text(), QStringLiteral("Present"));
    EXPECT_GE(polls, 150) << "Present holds about 160 polls (8 s at 50 ms)";
    Poll();
    EXPECT_EQ(s->GetPresenceCounter(), 40);
    EXPECT_EQ(s->Beat->text(), QStringLiteral("Not Present"));

    // Reset button: one more Reset request.
    const int before = (*Driver)["Status.Reset"]->GetValueInt();
    s->ResetButton->click();
    EXPECT_EQ((*Driver)["Status.Reset"]->GetValueInt(), before + 1);
}

TEST_F(MainWindow, CaptionCarriesOneStarWhileDirty) {
    const QString base = QStringLiteral("Vantrel Model.R Control");
    auto* dirty = (*Driver)["Status.Dirty"];
    for (int i = 0; i < 3; ++i) {
        dirty->SetValueBool(true);
        Tick();
        EXPECT_EQ(Main->windowTitle(), base + "*");
    }
    dirty->SetValueBool(false);
    Tick();
    EXPECT_EQ(Main->windowTitle(), base);

    // Stopping the driver does not touch the caption: the star stays until Dirty differs from
    // the flag that StopDriver cleared.
    dirty->SetValueBool(true);
    Tick();
    ASSERT_EQ(Main->windowTitle(), base + "*");
    bool shown = false;
    AnswerSavePrompt("CancelButton", &shown);
    Action(Main.get(), "MenuFileStopNX7")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ((*Driver)["Status.Terminate"]->GetValueInt(), 1);
    EXPECT_FALSE(dirty->GetValueBool());
    EXPECT_EQ(Main->windowTitle(), base + "*");
    dirty->SetValueBool(false);
    Tick();
    EXPECT_EQ(Main->windowTitle(), base + "*");
    dirty->SetValueBool(true);
    Tick();
    dirty->SetValueBool(false);
    Tick();
    EXPECT_EQ(Main->windowTitle(), base);
}

TEST_F(MainWindow, ExitWithCancelSendsNothingAndEnds) {
    (*Driver)["Status.Dirty"]->SetValueBool(true);
    Tick();
    const int w = RingWriteIndex();
    bool shown = false;
    AnswerSavePrompt("CancelButton", &shown);
    Action(Main.get(), "MenuFileExit")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(RingSince(w).empty());
    EXPECT_EQ(BlockInt("Status", "Save"), 0);
    EXPECT_EQ(BlockInt("Status", "Terminate"), 0);
    EXPECT_TRUE(BlockBool("Status", "Dirty")) << "the driver keeps its unsaved changes";
    EXPECT_FALSE(Main->isVisible());
    EXPECT_FALSE(TShareManBase::GetShareManBase()->GetActive()) << "closing leaves the shared variables";
}

TEST_F(MainWindow, StopAndExitWithOkSavesThenTerminates) {
    (*Driver)["Status.Dirty"]->SetValueBool(true);
    Tick();
    const int w = RingWriteIndex();
    const std::vector<int> expected = {(*Driver)["Status.Save"]->GetID(), (*Driver)["Status.Terminate"]->GetID()};
    ASSERT_NE(expected[0], 0);
    bool shown = false;
    AnswerSavePrompt("OKButton", &shown);
    Action(Main.get(), "MenuFileStopAndExit")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_EQ(RingSince(w), expected) << "Save before Terminate, and Dirty written without a change";
    EXPECT_EQ(BlockInt("Status", "Save"), 1);
    EXPECT_EQ(BlockInt("Status", "Terminate"), 1);
    EXPECT_FALSE(BlockBool("Status", "Dirty"));
    EXPECT_FALSE(Main->isVisible());
}

TEST_F(MainWindow, CleanExitAsksNothing) {
    bool shown = false;
    AnswerSavePrompt("OKButton", &shown);
    Action(Main.get(), "MenuFileStopAndExit")->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(shown);
    EXPECT_EQ(BlockInt("Status", "Save"), 0);
    EXPECT_EQ(BlockInt("Status", "Terminate"), 1);
}

TEST_F(MainWindow, CommandsIncrementTheirCounters) {
    struct {
        const char* action;
        const char* var;
    } cases[] = {{"MenuFileLoad", "Status.Load"},          {"MenuFileSave", "Status.Save"},
                 {"MenuFileLogRecord", "Status.LogRecord"}, {"MenuFileLogPlay", "Status.LogPlay"},
                 {"MenuFileLogStop", "Status.LogStop"}};
    for (const auto& c : cases) {
        (*Driver)[c.var]->SetValueInt(5);
        Action(Main.get(), c.action)->trigger();
        EXPECT_EQ((*Driver)[c.var]->GetValueInt(), 6) << c.action;
        Tick();
        EXPECT_GE(Driver->ChangesOf(c.var), 2) << "the driver is told of the change";
    }
    // A counter at its limit wraps instead of overflowing.
    (*Driver)["Status.Reset"]->SetValueInt(INT32_MAX);
    Main->StatusFrame->RequestReset();
    EXPECT_EQ((*Driver)["Status.Reset"]->GetValueInt(), INT32_MIN);

    // Save rereads the maker page two ticks later.
    Action(Main.get(), "MenuFileSave")->trigger();
    EXPECT_EQ(Main->GetMakerCountdown(), 2);
    Tick(2);
    EXPECT_EQ(Main->GetMakerCountdown(), 0);

    Action(Main.get(), "MenuHelpAbout")->trigger();
    EXPECT_TRUE(Main->About->isVisible());
    Main->About->OKButton->click();
    EXPECT_FALSE(Main->About->isVisible());
}

// ---- Maker page ----

class MakerPage : public PanelTest {
protected:
    void BeforeMain() override {
        std::ofstream ini(Dir + "ZT7.INI", std::ios::binary);
        ini << "[General]\r\nProduct=Tactilo Pro\r\nVersion=NX7.0.0.92\r\nCompany=Example Co.\r\n";
    }
};

TEST_F(MakerPage, ShowsTheSettingsTextsAfterTwoTicks) {
    TNXGF7_Copyright* c = Main->CopyrightFrame;
    EXPECT_FALSE(c->GetOverlay());
    Tick();  // the second tick since start
    EXPECT_EQ(c->LineLabel[0]->text(), QStringLiteral("Tactilo Pro"));
    EXPECT_EQ(c->LineLabel[1]->text(), QStringLiteral("NX7.0.0.92"));
    EXPECT_TRUE(c->LineLabel[2]->text().isEmpty());
    EXPECT_EQ(c->LineLabel[4]->text(), QStringLiteral("Example Co."));
    EXPECT_FALSE(c->LineLabel[9]->text().isEmpty()) << "missing keys show the defaults";
    EXPECT_FALSE(c->itsUnderlayImage->isHidden());

    {
        std::ofstream ini(Dir + "ZT7.INI", std::ios::binary);
        ini << "[General]\r\nProduct=Another\r\n";
    }
    Action(Main.get(), "MenuFileSave")->trigger();
    Tick(2);
    EXPECT_EQ(c->LineLabel[0]->text(), QStringLiteral("Another"));

    // SetLine ignores indexes outside the ten lines.
    c->SetLine(10, QStringLiteral("x"));
    c->SetLine(-1, QStringLiteral("x"));

    // Pictures: 16 pixels wide or less is ignored; a real one replaces the lines.
    QImage tiny(16, 40, QImage::Format_RGB32);
    tiny.fill(Qt::blue);
    ASSERT_TRUE(tiny.save(QString::fromStdString(Dir + "ZT7_COPYR.BMP"), "BMP"));
    c->LoadOverlay();
    EXPECT_FALSE(c->GetOverlay());
    QImage pic(100, 40, QImage::Format_RGB32);
    pic.fill(Qt::blue);
    ASSERT_TRUE(pic.save(QString::fromStdString(Dir + "ZT7_COPYR.BMP"), "BMP"));
    c->LoadOverlay();
    ASSERT_TRUE(c->GetOverlay());
    {
        std::ofstream ini(Dir + "ZT7.INI", std::ios::binary);
        ini << "[General]\r\nProduct=Third\r\nVersion=NX9\r\n";
    }
    c->ReloadTexts();
    EXPECT_EQ(c->BottomLabel->text(), QStringLiteral("NX9"));
    EXPECT_EQ(c->LineLabel[0]->text(), QStringLiteral("Another")) << "lines left alone";
}

// ---- Starting the driver ----

class DriverStart : public PanelTest {
protected:
    void BeforeMain() override {
        // A stand-in driver that records how it was called, then never answers.
        const std::string script = Dir + "ZT7_DRIVER";
        std::ofstream f(script);
        f << "#!/bin/sh\necho \"$@\" > \"" << Dir << "args.txt\"\nexec sleep 30\n";
        f.close();
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }

    std::string WaitForArgs() {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(Dir + "args.txt");
            std::string s;
            if (std::getline(in, s)) return s;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "<not started>";
    }

    void TearDown() override {
        // The stand-in execs sleep under the id the panel started it with.
        if (Main && Main->StatusFrame->GetLastDriverPid() > 0) kill(Main->StatusFrame->GetLastDriverPid(), SIGKILL);
        PanelTest::TearDown();
    }
};

TEST_F(DriverStart, LaunchesTheDriverBesideThePanelAndShowsNotPresent) {
    EXPECT_EQ(WaitForArgs(), "");
    Action(Main.get(), "MenuSectionComms")->trigger();
    Tick(3);
    EXPECT_EQ(Main->StatusFrame->Beat->text(), QStringLiteral("Not Present"));
}

TEST(DriverStartDir, PassesItsSettingsDirectoryOn) {
    EnsurePanelApp();
    char tmpl[] = "/tmp/zt7-panel-XXXXXX";
    const std::string dir = std::string(mkdtemp(tmpl)) + "/";
    const std::string settings = dir + "settings";
    std::filesystem::create_directory(settings);
    {
        std::ofstream f(dir + "ZT7_DRIVER");
        f << "#!/bin/sh\necho \"$@\" > \"" << dir << "args.txt\"\n";
    }
    std::filesystem::permissions(dir + "ZT7_DRIVER", std::filesystem::perms::owner_all);
    setenv("ZT7_SHM_NAMESPACE", ("zt7paneltest-dir-" + std::to_string(getpid())).c_str(), 1);
    ManualLoop loop;
    MainLoop::SetCurrent(&loop);
    {
        PanelOptions o;
        o.exePath = dir + "ZT7_Control_En";
        o.settingsDir = settings;
        TNXGF7_Main m(o);
        EXPECT_EQ(m.SettingsFolder(), settings + "/");
        std::string args;
        for (int i = 0; i < 200 && args.empty(); ++i) {
            std::ifstream in(dir + "args.txt");
            std::getline(in, args);
            if (args.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(args, "--dir " + settings + "/");
    }
    MainLoop::SetCurrent(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    unsetenv("ZT7_SHM_NAMESPACE");
}

}  // namespace
