#include "panel/copyright.h"

#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <exception>

#include "panel/controls.h"
#include "share/meminifile.h"

using namespace zt7;

namespace {
struct LineKey {
    const char* key;
    const char* def;
};
// Line 2 has no key: a blank line between the product and the maker.
const LineKey kLines[10] = {
    {"Product", "Tactilo"},
    {"Version", "NX7.0.0.92"},
    {nullptr, ""},
    {"Copyright", "Copyright (C) Vantrel Technologies Ltd."},
    {"Company", "Vantrel Technologies Ltd."},
    {"Address1", "Unit 4, Harbour Court"},
    {"Address2", "Riverside Business Park"},
    {"Address3", "Cambridge CB4 0WZ"},
    {"Address4", "United Kingdom"},
    {"Telephone", "Tel. +44 1223 000000"},
};

// The page's own background picture: a quiet vertical blend.
QPixmap Underlay() {
    QPixmap pm(350, 250);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, 250);
    g.setColorAt(0.0, QColor(232, 240, 250));
    g.setColorAt(1.0, QColor(196, 214, 236));
    p.fillRect(pm.rect(), g);
    p.setPen(QColor(170, 190, 220));
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

QLabel* ImageLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setGeometry(0, 0, 350, 250);
    l->setScaledContents(true);
    l->hide();
    return l;
}
}  // namespace

TNXGF7_Copyright::TNXGF7_Copyright(QWidget* parent, const std::string& folder)
    : QWidget(parent), FFolder(folder) {
    resize(368, 279);
    Panel = new QWidget(this);
    Panel->setGeometry(8, 0, 350, 250);
    itsUnderlayImage = ImageLabel(Panel);
    itsUnderlayImage->setPixmap(Underlay());
    for (int i = 0; i < 10; ++i) {
        auto* l = new QLabel(Panel);
        l->setGeometry(0, i * 25, 350, 25);
        l->setAlignment(Qt::AlignCenter);
        l->setFont(BoldFont(13));
        l->setAttribute(Qt::WA_TranslucentBackground);
        LineLabel[i] = l;
        FLines.push_back(l);
    }
    itsOverlayImage = ImageLabel(Panel);
    BottomLabel = new QLabel(this);
    BottomLabel->setGeometry(0, 254, 368, 25);
    BottomLabel->setAlignment(Qt::AlignCenter);
    BottomLabel->setFont(BoldFont(13));
    LoadOverlay();
}

void TNXGF7_Copyright::LoadOverlay() {
    FOverlay = false;
    const QString file = QString::fromStdString(FFolder + "ZT7_COPYR.BMP");
    if (!QFileInfo::exists(file)) return;
    QPixmap pm;
    if (!pm.load(file)) return;
    // A picture of 16 pixels or less is taken for a placeholder, not a design.
    if (pm.width() > 16) {
        itsOverlayImage->setPixmap(pm);
        FOverlay = true;
        itsOverlayImage->show();
        itsOverlayImage->raise();
    }
}

void TNXGF7_Copyright::ReloadTexts() {
    try {
        MemIniFile ini(FFolder + "ZT7.INI");
        auto read = [&ini](const char* key, const char* def) {
            return QString::fromStdString(ini.ReadString("General", key, def));
        };
        if (FOverlay) {
            BottomLabel->setText(read("Version", "NX7.0.0.92"));
            return;
        }
        itsUnderlayImage->show();
        itsUnderlayImage->lower();
        for (int i = 0; i < 10; ++i)
            SetLine(i, kLines[i].key ? read(kLines[i].key, kLines[i].def) : QString());
    } catch (const std::exception&) {
        // An unreadable settings file leaves the texts as they were.
    }
}

void TNXGF7_Copyright::SetLine(int index, const QString& text) {
    if (index < 0 || index > 9) return;
    FLines[static_cast<size_t>(index)]->setText(text);
    FLines[static_cast<size_t>(index)]->raise();
}
