// ZT7_Control_En: the control panel of the touch-screen driver.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <cstdio>
#include <cstring>
#include <string>

#include "panel/main.h"
#include "panel/qtloop.h"
#include "platform/driverprocess.h"

// An error escaping an event handler is shown and the panel carries on.
class PanelApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, QStringLiteral("ZT7_Control_En"), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(nullptr, QStringLiteral("ZT7_Control_En"), QStringLiteral("Unknown error"));
        }
        return false;
    }
};

static void Usage() {
    std::puts(
        "Usage: ZT7_Control_En [--dir DIR]\n"
        "  --dir DIR   settings directory (ZT7.INI, pictures); passed on to the driver it starts\n"
        "  --help      this text\n"
        "  --version   the panel's version");
}

int main(int argc, char** argv) {
    PanelOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        }
        if (a == "--version") {
            std::puts("NX7.0.0.92");
            return 0;
        }
        if (a == "--dir" && i + 1 < argc) {
            options.settingsDir = argv[++i];
        } else if (a.rfind("--dir=", 0) == 0) {
            options.settingsDir = a.substr(6);
        } else if (a.rfind("-", 0) == 0 && a.rfind("-platform", 0) != 0 && a.rfind("-display", 0) != 0) {
            std::fprintf(stderr, "ZT7_Control_En: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }
    PanelApplication app(argc, argv);
    QtLoop loop;
    MainLoop::SetCurrent(&loop);
    options.exePath = ExecutablePath();
    if (options.exePath.empty()) options.exePath = argv[0];
    int rc = 0;
    {
        TNXGF7_Main main(options);
        main.show();
        rc = loop.Run();
    }
    MainLoop::SetCurrent(nullptr);
    return rc;
}
