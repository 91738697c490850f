#include "panel/sensescreen.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include "panel/controls.h"
#include "widgets/colours.h"
#include "widgets/targetgauge.h"

using namespace zt7;

// Procedure states in which the screen shows the target.
static constexpr int ats_Touch = 2;
static constexpr int ats_Release = 3;

TNXGF7_SenseScreen::TNXGF7_SenseScreen() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("NXGF7_SenseScreen"));
    setWindowTitle(QStringLiteral("NXGF7_SenseScreen"));
    setFont(UiFont());

    auto makeLabel = [this](const QString& text, const QColor& colour, int top) {
        auto* l = new QLabel(text, this);
        l->setAlignment(Qt::AlignCenter);
        l->setFont(BoldFont(19));
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, colour);
        l->setPalette(pal);
        l->setGeometry(0, top, width(), 41);
        l->hide();
        return l;
    };
    TouchLabel = makeLabel(QStringLiteral("ターゲットを指で触ってください"), clRed, 0);
    ReleaseLabel = makeLabel(QStringLiteral("指を離してください"), clGreen, 41);

    NX7_TargetGauge0 = new TNX7_TargetGauge(this);
    NX7_TargetGauge0->SetLineWidth(4);
    NX7_TargetGauge0->SetLineColour(clRed);
    NX7_TargetGauge0->SetMin(0);
    NX7_TargetGauge0->SetMax(100);
    NX7_TargetGauge0->Contract = true;
    NX7_TargetGauge0->SetPosition(50);
    NX7_TargetGauge0->SetAutoHide(true);
    NX7_TargetGauge0->hide();

    NX7_TargetGauge2 = new TNX7_TargetGauge(this);
    NX7_TargetGauge2->SetShape(tgst_Rectangle);
    NX7_TargetGauge2->SetCaption(QStringLiteral("タイムアウト"));
    NX7_TargetGauge2->SetLineWidth(4);
    NX7_TargetGauge2->SetLineColour(clRed);
    NX7_TargetGauge2->SetMax(100);
    NX7_TargetGauge2->Contract = true;
    NX7_TargetGauge2->SetPosition(50);
    NX7_TargetGauge2->OnClick = [this](TNX7_TargetGauge*) {
        if (OnTimeout) OnTimeout(this);
    };
}

void TNXGF7_SenseScreen::FormShow() {
    // Maximised over the whole screen; no window manager is needed for that.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) setGeometry(s->geometry());
    showFullScreen();
    raise();
    LayoutTargets();
}

void TNXGF7_SenseScreen::ShowState(int state) {
    FState = state;
    if (state == ats_Touch) {
        NX7_TargetGauge0->show();
        NX7_TargetGauge0->SetLineColour(clRed);
        TouchLabel->show();
        ReleaseLabel->hide();
    } else if (state == ats_Release) {
        NX7_TargetGauge0->show();
        NX7_TargetGauge0->SetLineColour(clGreen);
        TouchLabel->hide();
        ReleaseLabel->show();
    } else {
        NX7_TargetGauge0->hide();
        TouchLabel->hide();
        ReleaseLabel->hide();
    }
    LayoutTargets();
    update();
}

void TNXGF7_SenseScreen::SetCountRatio0(float v) {
    FCountRatio0 = v;
    LayoutTargets();
    update();
}

void TNXGF7_SenseScreen::SetCountRatio1(float v) {
    FCountRatio1 = v;
    LayoutTargets();
    update();
}

void TNXGF7_SenseScreen::SetCountRatio2(float v) {
    FCountRatio2 = v;
    LayoutTargets();
    update();
}

void TNXGF7_SenseScreen::LayoutTargets() {
    const float W = static_cast<float>(width());
    const float H = static_cast<float>(height());
    TouchLabel->setGeometry(0, 0, width(), 41);
    ReleaseLabel->setGeometry(0, 41, width(), 41);
    TNX7_TargetGauge* t = NX7_TargetGauge0;
    if (FState == ats_Touch) {
        t->SetPosition(TruncToInt(static_cast<float>(t->GetMax()) * FCountRatio0));
        const float d = (2.0f * FCountRatio0 - 1.0f) * 0.025f * W;
        const int side = TruncToInt(0.1f * W);
        t->setGeometry(TruncToInt(W / 2 + d - 0.05f * W), TruncToInt(H / 2 + d - 0.05f * W), side, side);
    } else if (FState == ats_Release) {
        t->SetPosition(TruncToInt(static_cast<float>(t->GetMax()) * FCountRatio1));
        const int side = TruncToInt(0.1f * W);
        t->setGeometry(TruncToInt(W / 2 - 0.05f * W), TruncToInt(H / 2 - 0.05f * W), side, side);
    }
    TNX7_TargetGauge* b = NX7_TargetGauge2;
    b->SetPosition(TruncToInt(static_cast<float>(b->GetMax()) * FCountRatio2));
    b->setGeometry(TruncToInt(0.1f * W - W / 12), TruncToInt(0.1f * H - H / 12), TruncToInt(W / 6),
                   TruncToInt(H / 6));
}

void TNXGF7_SenseScreen::resizeEvent(QResizeEvent*) { LayoutTargets(); }

void TNXGF7_SenseScreen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), clBtnFace);
}

void TNXGF7_SenseScreen::keyPressEvent(QKeyEvent* e) {
    // A way out when no driver answers: cancel the procedure and leave the screen.
    if (e->key() == Qt::Key_Escape) {
        if (OnTimeout) OnTimeout(this);
        hide();
        return;
    }
    QWidget::keyPressEvent(e);
}
