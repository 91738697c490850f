#include "panel/about.h"

#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "panel/controls.h"

TNXGF7_About::TNXGF7_About(QWidget* parent, const std::string& folder)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FFolder(folder) {
    setObjectName(QStringLiteral("NXGF7_About"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(zt7::UiFont());
    setFixedSize(291, 180);
    const QString lines[8] = {QStringLiteral("ZT7 0.0.87 Controller"),
                              QString(),
                              QStringLiteral("Vantrel Distribution Japan K.K."),
                              QStringLiteral("2-14-3 Shiba Daimon"),
                              QStringLiteral("Minato-ku, Tokyo"),
                              QStringLiteral("105-0012"),
                              QStringLiteral("Japan"),
                              QStringLiteral("Tel. +81 3 0000 0000")};
    for (int i = 0; i < 8; ++i) {
        Label[i] = new QLabel(lines[i], this);
        Label[i]->setGeometry(0, i * 16, 291, 16);
        Label[i]->setAlignment(Qt::AlignCenter);
        Label[i]->setFont(zt7::BoldFont(13));
    }
    itsOverlayImage = new QLabel(this);
    itsOverlayImage->setGeometry(0, 0, 290, 180);
    itsOverlayImage->setScaledContents(true);
    itsOverlayImage->hide();
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(104, 136, 81, 33);
    QObject::connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });

    const QString file = QString::fromStdString(FFolder + "ZT7_ABOUT.BMP");
    QPixmap pm;
    if (QFileInfo::exists(file) && pm.load(file) && pm.width() > 16) {
        itsOverlayImage->setPixmap(pm);
        itsOverlayImage->show();
    }
    // The button stays usable above the picture.
    itsOverlayImage->raise();
    OKButton->raise();
}

void TNXGF7_About::OKButtonClick() { hide(); }
