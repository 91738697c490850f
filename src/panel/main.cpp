#include "panel/main.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "panel/about.h"
#include "panel/calib.h"
#include "panel/calibscreen.h"
#include "panel/comms.h"
#include "panel/controls.h"
#include "panel/copyright.h"
#include "panel/edge.h"
#include "panel/graph.h"
#include "panel/linearity.h"
#include "panel/monitor.h"
#include "panel/output.h"
#include "panel/save.h"
#include "panel/sense.h"
#include "panel/sensescreen.h"
#include "panel/status.h"
#include "platform/driverprocess.h"
#include "platform/mainloop.h"
#include "platform/spawn.h"
#include "share/fileannote.h"

using namespace zt7;

static constexpr int kClientWidth = 480;
static constexpr int kClientHeight = 360;

TNXGF7_Main::TNXGF7_Main(const PanelOptions& options) : QMainWindow(nullptr) {
    setObjectName(QStringLiteral("NXGF7_Main"));
    setWindowTitle(QStringLiteral("Vantrel Model.R Control"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(UiFont());

    // 1. Own path and folders.
    FExePath = options.exePath;
    FExeFolder = FolderOf(FExePath);
    FFolder = FExeFolder;
    if (!options.settingsDir.empty()) {
        FFolder = options.settingsDir;
        if (FFolder.back() != '/') FFolder += '/';
    }
    // 2. The defaults carried by the executable, written once into the settings folder.
    {
        FileAnnote annote;
        annote.ExtractAll(FExePath, FFolder);
    }
    // 3. One processor, like the driver.
    PinToFirstProcessor();

    // The other forms.
    CalibScreen = std::make_unique<TNXGF7_CalibScreen>();
    About = new TNXGF7_About(this, FFolder);
    SenseScreen = std::make_unique<TNXGF7_SenseScreen>();
    Save = new TNXGF7_Save(this);

    PageMain = new QTabWidget(this);
    PageMain->setObjectName(QStringLiteral("PageMain"));
    // Eight tabs across 480 pixels, as the narrow classic UI font allowed.
    PageMain->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
    auto addTab = [this](const char* name, const QString& caption) {
        auto* s = new Sheet;
        s->setObjectName(QString::fromLatin1(name));
        PageMain->addTab(s, caption);
        return s;
    };
    TabComms = addTab("TabComms", QStringLiteral("接続"));
    TabSense = addTab("TabSense", QStringLiteral("感度"));
    TabCalib = addTab("TabCalib", QStringLiteral("キャリブレーション"));
    TabOutput = addTab("TabOutput", QStringLiteral("マウス"));
    TabGraph = addTab("TabGraph", QStringLiteral("グラフ"));
    TabMonitor = addTab("TabMonitor", QStringLiteral("テスト"));
    TabEdge = addTab("TabEdge", QStringLiteral("補正"));
    TabCopyright = addTab("TabCopyright", QStringLiteral("製造元"));
    setCentralWidget(PageMain);
    BuildMenu();
    PageMain->setFixedSize(kClientWidth, kClientHeight);
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    // 4.
    FBaseCaption = windowTitle();
    FMakerCountdown = 2;
    FShareActive = false;
    // 5.
    BuildFrames();
    // 6.
    PageMain->setCurrentWidget(TabCopyright);
    PageMain->currentWidget()->resize(PageMain->currentWidget()->size());
    PageMainChange();
    QObject::connect(PageMain, &QTabWidget::currentChanged, this, [this] { PageMainChange(); });
    // 7.
    MenuFileRunNX7Click();

    FTimer1 = MainLoop::Current().AddTimer(1000, [this] { Timer1Timer(); });
    move(30, 30);
}

TNXGF7_Main::~TNXGF7_Main() {
    if (FTimer1) MainLoop::Current().RemoveTimer(FTimer1);
    ShareManager1.SetActive(false);
}

void TNXGF7_Main::BuildMenu() {
    QMenuBar* bar = menuBar();
    auto item = [this](QMenu* m, const char* name, const QString& caption, auto fn) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        QObject::connect(a, &QAction::triggered, this, fn);
        return a;
    };
    QMenu* file = bar->addMenu(QStringLiteral("ファイル"));
    file->setObjectName(QStringLiteral("MenuFile"));
    item(file, "MenuFileRunNX7", QStringLiteral("ドライバ開始"), [this] { MenuFileRunNX7Click(); });
    item(file, "MenuFileStopNX7", QStringLiteral("ドライバ停止"), [this] { MenuFileStopNX7Click(); });
    file->addSeparator();
    item(file, "MenuFileLoad", QStringLiteral("ロード"), [this] { StatusFrame->RequestLoad(); });
    item(file, "MenuFileSave", QStringLiteral("セーブ"), [this] { MenuFileSaveClick(); });
    file->addSeparator();
    QMenu* log = file->addMenu(QStringLiteral("ログ"));
    log->setObjectName(QStringLiteral("MenuFileLog"));
    item(log, "MenuFileLogRecord", QStringLiteral("記録開始"), [this] { StatusFrame->RequestLogRecord(); });
    item(log, "MenuFileLogPlay", QStringLiteral("再生"), [this] { StatusFrame->RequestLogPlay(); });
    item(log, "MenuFileLogStop", QStringLiteral("停止"), [this] { StatusFrame->RequestLogStop(); });
    file->addSeparator();
    item(file, "MenuFileExit", QStringLiteral("終了"), [this] { MenuFileExitClick(); });
    item(file, "MenuFileStopAndExit", QStringLiteral("停止して終了"), [this] { MenuFileStopAndExitClick(); });

    QMenu* section = bar->addMenu(QStringLiteral("表示"));
    section->setObjectName(QStringLiteral("MenuSection"));
    const struct {
        const char* name;
        QWidget* tab;
    } sections[] = {{"MenuSectionComms", TabComms},   {"MenuSectionSensitivity", TabSense},
                    {"MenuSectionCalib", TabCalib},   {"MenuSectionOutput", TabOutput},
                    {"MenuSectionGraph", TabGraph},   {"MenuSectionMonitor", TabMonitor},
                    {"MenuSectionEdge", TabEdge},     {"MenuSectionCopyright", TabCopyright}};
    for (const auto& s : sections) {
        QWidget* tab = s.tab;
        item(section, s.name, PageMain->tabText(PageMain->indexOf(tab)), [this, tab] { ShowSection(tab); });
    }

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    item(help, "MenuHelpAbout", QStringLiteral("バージョン情報"), [this] { MenuHelpAboutClick(); });
}

void TNXGF7_Main::BuildFrames() {
    StatusFrame = new TNXGF7_Status(TabComms, FExeFolder, FFolder == FExeFolder ? std::string() : FFolder);
    StatusFrame->OnDirtyChange = [this](void* s) { UpdateCaption(s); };
    CommsFrame = new TNXGF7_Comms(TabComms);
    TabComms->OnResize = [this] {
        const int w = TabComms->width();
        StatusFrame->move((w - StatusFrame->width()) / 2, 8);
        CommsFrame->move((w - CommsFrame->width()) / 2, StatusFrame->height() + 8);
    };

    auto fill = [](Sheet* sheet, QWidget* frame) {
        auto* l = new QVBoxLayout(sheet);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addWidget(frame);
    };
    SenseFrame = new TNXGF7_Sense(TabSense, SenseScreen.get());
    fill(TabSense, SenseFrame);
    CalibFrame = new TNXGF7_Calib(TabCalib, CalibScreen.get());
    fill(TabCalib, CalibFrame);
    OutputFrame = new TNXGF7_Output(TabOutput);
    fill(TabOutput, OutputFrame);
    GraphFrame = new TNXGF7_Graph(TabGraph);
    fill(TabGraph, GraphFrame);
    EdgeFrame = new TNXGF7_Edge(TabEdge);
    fill(TabEdge, EdgeFrame);

    MonitorFrame = new TNXGF7_Monitor(TabMonitor);
    LinearityFrame = new TNXGF7_Linearity(TabMonitor);
    auto* mon = new QVBoxLayout(TabMonitor);
    mon->setContentsMargins(0, 0, 0, 0);
    mon->setSpacing(0);
    LinearityFrame->setFixedHeight(43);
    mon->addWidget(MonitorFrame, 1);
    mon->addWidget(LinearityFrame);

    CopyrightFrame = new TNXGF7_Copyright(TabCopyright, FFolder);
    TabCopyright->OnResize = [this] {
        CopyrightFrame->move((TabCopyright->width() - CopyrightFrame->width()) / 2,
                             (TabCopyright->height() - CopyrightFrame->height()) / 2);
    };
}

void TNXGF7_Main::PageMainChange() {
    QWidget* page = PageMain->currentWidget();
    StatusFrame->setEnabled(page == TabComms);
    CommsFrame->setEnabled(page == TabComms);
    SenseFrame->setEnabled(page == TabSense);
    CalibFrame->setEnabled(page == TabCalib);
    EdgeFrame->setEnabled(page == TabEdge);
    GraphFrame->setEnabled(page == TabGraph);
    MonitorFrame->setEnabled(page == TabMonitor);
    LinearityFrame->setEnabled(page == TabMonitor);
    OutputFrame->setEnabled(page == TabOutput);
    CopyrightFrame->setEnabled(page == TabCopyright);
}

void TNXGF7_Main::ShowSection(QWidget* tab) {
    PageMain->setCurrentWidget(tab);
    PageMainChange();
}

void TNXGF7_Main::Timer1Timer() {
    ActivateShare();
    TickMakerRefresh();
    StatusFrame->UpdateFromShare();
    CommsFrame->UpdateFromShare();
    SenseFrame->UpdateFromShare();
    CalibFrame->UpdateFromShare();
    EdgeFrame->UpdateFromShare();
    MonitorFrame->UpdateFromShare();
    LinearityFrame->UpdateFromShare();
}

void TNXGF7_Main::ActivateShare() {
    if (FShareActive) return;
    FShareActive = true;
    ShareManager1.SetActive(true);
}

void TNXGF7_Main::TickMakerRefresh() {
    if (FMakerCountdown <= 0) return;
    if (--FMakerCountdown == 0) CopyrightFrame->ReloadTexts();
}

void TNXGF7_Main::UpdateCaption(void*) {
    setWindowTitle(StatusFrame->IsDirty() ? FBaseCaption + QStringLiteral("*") : FBaseCaption);
}

void TNXGF7_Main::AskSaveIfDirty() {
    if (!StatusFrame->IsDirty()) return;
    if (Save->exec() == QDialog::Accepted) StatusFrame->RequestSave();
}

void TNXGF7_Main::MenuFileRunNX7Click() {
    StatusFrame->StartDriver();
    FMakerCountdown = 2;
}

void TNXGF7_Main::MenuFileStopNX7Click() {
    AskSaveIfDirty();
    StatusFrame->StopDriver();
}

void TNXGF7_Main::MenuFileSaveClick() {
    StatusFrame->RequestSave();
    FMakerCountdown = 2;
}

void TNXGF7_Main::MenuFileExitClick() {
    AskSaveIfDirty();
    close();
}

void TNXGF7_Main::MenuFileStopAndExitClick() {
    AskSaveIfDirty();
    StatusFrame->StopDriver();
    close();
}

void TNXGF7_Main::MenuHelpAboutClick() {
    About->show();
    About->raise();
}

void TNXGF7_Main::closeEvent(QCloseEvent* e) {
    // The screens and the about box go with the main window, so the program ends; leaving the
    // shared variables takes a moment, which the user need not watch.
    CalibScreen->hide();
    SenseScreen->hide();
    About->hide();
    hide();
    ShareManager1.SetActive(false);
    e->accept();
}
