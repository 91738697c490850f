// Page logic against a live master: slider and control mappings, write-backs, and the handlers
// that follow the driver's values.
#include <QCheckBox>
#include <QPushButton>
#include <QGroupBox>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <cmath>
#include <limits>

#include "panel/calib.h"
#include "panel/calibscreen.h"
#include "panel/comms.h"
#include "panel/controls.h"
#include "panel/edge.h"
#include "panel/graph.h"
#include "panel/linearity.h"
#include "panel/monitor.h"
#include "panel/output.h"
#include "panel/sense.h"
#include "panel/sensescreen.h"
#include "panel_fixture.h"
#include "widgets/colours.h"
#include "widgets/gaugexy.h"
#include "widgets/graph.h"
#include "widgets/graphitem.h"
#include "widgets/targetgauge.h"

namespace {

using Pages = PanelTest;

TEST_F(Pages, FixedThresholdMapsAndWritesBackOnlyBeyondHalfAStep) {
    TNXGF7_Sense* s = Main->SenseFrame;
    auto* ft = (*Driver)["Sense.FixedThreshold"];
    ft->SetValueFloat(300);
    Tick(2);
    EXPECT_EQ(s->FixedThreshold->value(), 200);
    EXPECT_FLOAT_EQ(s->NX7_GraphPressValue->GetMax(), 300.0f);
    EXPECT_FLOAT_EQ(s->NX7_GraphTouchThresh->GetMax(), 300.0f);
    EXPECT_FLOAT_EQ(ft->GetValueFloat(), 300.0f);
    Driver->Changes.clear();
    Tick(2);
    EXPECT_EQ(Driver->ChangesOf("Sense.FixedThreshold"), 0) << "300 is not written back";

    ft->SetValueFloat(600);
    Tick(2);
    EXPECT_EQ(s->FixedThreshold->value(), 10);
    EXPECT_FLOAT_EQ(ft->GetValueFloat(), 490.5f);
    EXPECT_FLOAT_EQ(s->NX7_GraphPressThresh->GetMax(), 490.0f);

    // The user's slider: left end 490.5, right end 0.5.
    s->FixedThreshold->setValue(500);
    EXPECT_FLOAT_EQ(ft->GetValueFloat(), 0.5f);
}

TEST_F(Pages, RatiosComeBackAsTheCentreOfTheirStep) {
    TNXGF7_Sense* s = Main->SenseFrame;
    struct {
        const char* var;
        QSlider* slider;
    } cases[] = {{"Sense.TouchRatio", s->TouchRatio}, {"Sense.PressRatio", s->PressRatio}};
    for (const auto& c : cases) {
        auto* v = (*Driver)[c.var];
        v->SetValueFloat(0.2f);
        Tick(2);
        EXPECT_EQ(c.slider->value(), 20) << c.var;
        EXPECT_FLOAT_EQ(v->GetValueFloat(), 0.205f) << c.var;
        Driver->Changes.clear();
        Tick(2);
        EXPECT_EQ(c.slider->value(), 20) << c.var;
        EXPECT_EQ(Driver->ChangesOf(c.var), 0) << "0.205 stays as it is";
        c.slider->setValue(100);
        EXPECT_FLOAT_EQ(v->GetValueFloat(), 1.005f) << c.var;
    }
}

TEST_F(Pages, SenseAdvancedShowsTheDragGroupAndGraphsFollowOnlyWhenShown) {
    TNXGF7_Sense* s = Main->SenseFrame;
    Show(Main->TabSense);
    (*Driver)["Sense.Advanced"]->SetValueBool(true);
    Tick(2);
    EXPECT_TRUE(s->SenseAdvanced->isChecked());
    EXPECT_FALSE(s->TrackingThreadholdGroupBox->isHidden());
    (*Driver)["Sense.Advanced"]->SetValueBool(false);
    Tick(2);
    EXPECT_TRUE(s->TrackingThreadholdGroupBox->isHidden());
    // The user's tick reaches the driver.
    s->SenseAdvanced->setChecked(true);
    EXPECT_TRUE((*Driver)["Sense.Advanced"]->GetValueBool());

    (*Driver)["Sense.FixedThreshold"]->SetValueFloat(100);
    (*Driver)["Sense.TouchThresh"]->SetValueFloat(20);
    (*Driver)["Sense.PressThresh"]->SetValueFloat(30);
    (*Driver)["Sense.PressValue"]->SetValueFloat(40);
    Tick(2);
    ASSERT_EQ(s->NX7_GraphPressValue->GetLength(), 1);
    EXPECT_FLOAT_EQ(s->NX7_GraphTouchThresh->Item(0)->GetPosition(), 20.0f);
    EXPECT_FLOAT_EQ(s->NX7_GraphPressThresh->Item(0)->GetPosition(), 30.0f);
    EXPECT_FLOAT_EQ(s->NX7_GraphPressValue->Item(0)->GetPosition(), 40.0f);

    Show(Main->TabGraph);
    (*Driver)["Sense.PressValue"]->SetValueFloat(70);
    Tick(2);
    EXPECT_FLOAT_EQ(s->NX7_GraphPressValue->Item(0)->GetPosition(), 40.0f) << "frozen while hidden";
}

TEST_F(Pages, TouchLevelScreenFollowsTheProcedure) {
    TNXGF7_SenseScreen* scr = Main->SenseScreen.get();
    Show(Main->TabSense);
    QTest::mouseClick(Main->SenseFrame->StartAutoThresholdButton, Qt::LeftButton);
    EXPECT_TRUE(scr->isVisible());
    EXPECT_TRUE((*Driver)["Sense.Start"]->GetValueBool());
    scr->setGeometry(0, 0, 1000, 800);

    // State 2: target slides along the diagonal as CountRatio0 grows.
    (*Driver)["Sense.State"]->SetValueInt(2);
    struct {
        float ratio;
        int cx, cy;
    } cases[] = {{0.0f, 475, 375}, {0.5f, 500, 400}, {1.0f, 525, 425}};
    for (const auto& c : cases) {
        (*Driver)["Sense.CountRatio0"]->SetValueFloat(c.ratio);
        Tick();
        const QRect g = scr->NX7_TargetGauge0->geometry();
        EXPECT_EQ(g.width(), 100);
        EXPECT_EQ(g.left() + 50, c.cx) << c.ratio;
        EXPECT_EQ(g.top() + 50, c.cy) << c.ratio;
        EXPECT_EQ(scr->NX7_TargetGauge0->GetPosition(), static_cast<int>(100 * c.ratio));
        EXPECT_FALSE(scr->TouchLabel->isHidden());
        EXPECT_TRUE(scr->ReleaseLabel->isHidden());
        EXPECT_EQ(scr->NX7_TargetGauge0->GetLineColour(), zt7::clRed);
    }
    (*Driver)["Sense.State"]->SetValueInt(3);
    (*Driver)["Sense.CountRatio1"]->SetValueFloat(0.25f);
    (*Driver)["Sense.CountRatio2"]->SetValueFloat(0.5f);
    Tick();
    EXPECT_EQ(scr->NX7_TargetGauge0->geometry(), QRect(450, 350, 100, 100));
    EXPECT_EQ(scr->NX7_TargetGauge0->GetLineColour(), zt7::clGreen);
    EXPECT_TRUE(scr->TouchLabel->isHidden());
    EXPECT_FALSE(scr->ReleaseLabel->isHidden());
    EXPECT_EQ(scr->NX7_TargetGauge2->GetPosition(), 50);
    EXPECT_EQ(scr->NX7_TargetGauge2->geometry(), QRect(16, 13, 166, 133));

    // The time-out box asks for a cancel but the screen waits for Busy to fall.
    QTest::mouseClick(scr->NX7_TargetGauge2, Qt::LeftButton);
    EXPECT_TRUE((*Driver)["Sense.Cancel"]->GetValueBool());
    EXPECT_TRUE(scr->isVisible());
    (*Driver)["Sense.State"]->SetValueInt(0);
    Tick();
    EXPECT_TRUE(scr->NX7_TargetGauge0->isHidden());
    EXPECT_TRUE(scr->TouchLabel->isHidden() && scr->ReleaseLabel->isHidden());
    (*Driver)["Sense.Busy"]->SetValueBool(true);
    Tick();
    EXPECT_TRUE(scr->isVisible());
    (*Driver)["Sense.Busy"]->SetValueBool(false);
    Tick();
    EXPECT_FALSE(scr->isVisible());
}

TEST_F(Pages, EscapeLeavesEitherScreenWithACancelWhenNoDriverAnswers) {
    Show(Main->TabSense);
    QTest::mouseClick(Main->SenseFrame->StartAutoThresholdButton, Qt::LeftButton);
    ASSERT_TRUE(Main->SenseScreen->isVisible());
    QTest::keyClick(Main->SenseScreen.get(), Qt::Key_Escape);
    EXPECT_FALSE(Main->SenseScreen->isVisible());
    EXPECT_TRUE((*Driver)["Sense.Cancel"]->GetValueBool());

    Show(Main->TabCalib);
    QTest::mouseClick(Main->CalibFrame->StartCalibrationButton, Qt::LeftButton);
    ASSERT_TRUE(Main->CalibScreen->isVisible());
    QTest::keyClick(Main->CalibScreen.get(), Qt::Key_Escape);
    EXPECT_FALSE(Main->CalibScreen->isVisible());
    EXPECT_TRUE((*Driver)["Calib.Cancel"]->GetValueBool());
}

TEST_F(Pages, CalibrationScreenGeometryOnA1280x1024Screen) {
    TNXGF7_CalibScreen* scr = Main->CalibScreen.get();
    scr->resize(1280, 1024);
    (*Driver)["Calib.TargetPos"]->SetValueFloat(0.1f);
    Tick(2);
    EXPECT_FLOAT_EQ(scr->GetTargetPos(), 0.1f);
    scr->LayoutTargets();
    EXPECT_EQ(scr->NX7_TargetGauge1->geometry(), QRect(0, -25, 256, 256));
    EXPECT_EQ(scr->NX7_TargetGauge2->geometry(), QRect(1024, -25, 256, 256));
    EXPECT_EQ(scr->NX7_TargetGauge3->geometry(), QRect(0, 793, 256, 256));
    EXPECT_EQ(scr->NX7_TargetGauge4->geometry(), QRect(512, 384, 256, 256));

    struct {
        float in, used;
    } cases[] = {{0.02f, 0.05f}, {0.7f, 0.4f}, {std::numeric_limits<float>::quiet_NaN(), 0.05f},
                 {0.3f, 0.3f},   {0.3005f, 0.3f}};
    for (const auto& c : cases) {
        (*Driver)["Calib.TargetPos"]->SetValueFloat(c.in);
        Tick();
        EXPECT_FLOAT_EQ(scr->GetTargetPos(), c.used) << c.in;
    }
}

TEST_F(Pages, CalibrationRunShowsTargetsAndCancels) {
    TNXGF7_CalibScreen* scr = Main->CalibScreen.get();
    auto* count0 = (*Driver)["Calib.Count0"];
    // Counts while the page is not shown are ignored.
    count0->SetValueInt(0);
    Tick();
    Show(Main->TabCalib);
    QTest::mouseClick(Main->CalibFrame->StartCalibrationButton, Qt::LeftButton);
    ASSERT_TRUE(scr->isVisible());
    EXPECT_TRUE((*Driver)["Calib.Start"]->GetValueBool());
    EXPECT_TRUE(scr->NX7_TargetGauge1->isHidden());
    EXPECT_FALSE(scr->NX7_TargetGauge4->isHidden()) << "the Cancel box stays";

    struct {
        int count;
        bool hidden;
    } cases[] = {{0, false}, {50, false}, {100, false}, {101, true}, {-1, true}};
    for (const auto& c : cases) {
        count0->SetValueInt(c.count);
        Tick();
        EXPECT_EQ(scr->NX7_TargetGauge1->GetPosition(), c.count);
        EXPECT_EQ(scr->NX7_TargetGauge1->isHidden(), c.hidden) << c.count;
    }
    (*Driver)["Calib.Count3"]->SetValueInt(30);
    Tick();
    EXPECT_EQ(scr->NX7_TargetGauge4->GetPosition(), 30);

    QTest::mouseClick(scr->NX7_TargetGauge4, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(scr->isVisible());
    EXPECT_TRUE((*Driver)["Calib.Cancel"]->GetValueBool());

    // Busy falling hides the screen too.
    QTest::mouseClick(Main->CalibFrame->StartCalibrationButton, Qt::LeftButton);
    ASSERT_TRUE(scr->isVisible());
    (*Driver)["Calib.Busy"]->SetValueBool(false);
    Tick();
    EXPECT_FALSE(scr->isVisible());
}

TEST_F(Pages, EdgeGainsMapToTheCross) {
    TNXGF7_Edge* e = Main->EdgeFrame;
    // Embedded defaults, all 0: top and left at 100, bottom and right at 0, nothing written.
    Tick(2);
    EXPECT_EQ(e->TopGain->value(), 100);
    EXPECT_EQ(e->LeftGain->value(), 100);
    EXPECT_EQ(e->BottomGain->value(), 0);
    EXPECT_EQ(e->RightGain->value(), 0);
    for (const char* v : {"Edge.TopGain", "Edge.BottomGain", "Edge.LeftGain", "Edge.RightGain"})
        EXPECT_EQ(Driver->ChangesOf(v), 0) << v;

    (*Driver)["Edge.TopGain"]->SetValueFloat(1.0f);
    (*Driver)["Edge.BottomGain"]->SetValueFloat(0.3f);
    Tick(2);
    EXPECT_EQ(e->TopGain->value(), 50);
    EXPECT_EQ(e->BottomGain->value(), 15);
    EXPECT_FLOAT_EQ((*Driver)["Edge.BottomGain"]->GetValueFloat(), 0.31f);
    EXPECT_FLOAT_EQ((*Driver)["Edge.TopGain"]->GetValueFloat(), 0.99f);

    struct {
        QSlider* s;
        const char* var;
        int pos;
        float gain;
    } ends[] = {{e->TopGain, "Edge.TopGain", 0, 1.99f},     {e->LeftGain, "Edge.LeftGain", 0, 1.99f},
                {e->BottomGain, "Edge.BottomGain", 100, 2.01f}, {e->RightGain, "Edge.RightGain", 100, 2.01f},
                {e->TopGain, "Edge.TopGain", 100, -0.01f}};
    for (const auto& c : ends) {
        c.s->setValue(c.pos);
        EXPECT_NEAR((*Driver)[c.var]->GetValueFloat(), c.gain, 1e-6) << c.var << " " << c.pos;
    }

    // The cross: a 339 x 282 group gives a = 16, b = 13.
    e->resize(339, 282);
    e->FrameResize();
    EXPECT_EQ(e->TopGain->geometry(), QRect(160, 13, 32, 117));
    EXPECT_EQ(e->BottomGain->geometry(), QRect(160, 156, 32, 117));
    EXPECT_EQ(e->LeftGain->geometry(), QRect(16, 130, 144, 26));
    EXPECT_EQ(e->RightGain->geometry(), QRect(176, 130, 144, 26));
}

TEST_F(Pages, ConnectionPageFollowsAndWritesBack) {
    TNXGF7_Comms* c = Main->CommsFrame;
    struct {
        int port, page;
    } ports[] = {{9, 2}, {3, 1}, {0, 0}};
    for (const auto& p : ports) {
        (*Driver)["Comm.Port"]->SetValueInt(p.port);
        Tick(2);
        EXPECT_EQ(c->Port->GetItemIndex(), p.port);
        EXPECT_EQ(c->OptionPageControl->currentIndex(), p.page) << p.port;
    }

    auto* cycle = (*Driver)["Comm.CycleSize"];
    struct {
        int in, item, back;
    } cycles[] = {{6, 4, 7}, {5, 3, 5}, {-4, 0, 2}, {16, 7, 15}, {11, 6, 12}, {1, 0, 2}};
    for (const auto& k : cycles) {
        cycle->SetValueInt(k.in);
        Tick(2);
        EXPECT_EQ(c->CycleSize->GetItemIndex(), k.item) << k.in;
        EXPECT_EQ(cycle->GetValueInt(), k.back) << k.in;
    }

    auto* mux = (*Driver)["Comm.ReqMuxSize"];
    mux->SetValueInt(64);
    Tick();
    EXPECT_EQ(c->SensorSizeComboBox->currentText(), QStringLiteral("64"));
    c->SensorSizeComboBox->showPopup();
    mux->SetValueInt(30);
    Tick();
    EXPECT_EQ(c->SensorSizeComboBox->currentText(), QStringLiteral("64")) << "not while dropped down";
    c->SensorSizeComboBox->setCurrentIndex(4);
    c->SensorSizeComboBox->hidePopup();
    EXPECT_EQ(mux->GetValueInt(), 20);
    mux->SetValueInt(99);
    Tick();
    EXPECT_EQ(c->SensorSizeComboBox->currentIndex(), -1);

    (*Driver)["Comm.Advanced"]->SetValueBool(true);
    Tick();
    EXPECT_FALSE(c->MuxOrder->isHidden());
    EXPECT_FALSE(c->SensorSizeGroupBox->isHidden());
    (*Driver)["Comm.Advanced"]->SetValueBool(false);
    Tick();
    EXPECT_TRUE(c->MuxOrder->isHidden());
    EXPECT_TRUE(c->SensorSizeGroupBox->isHidden());

    (*Driver)["Comm.DevOpen"]->SetValueBool(true);
    (*Driver)["Comm.Lost"]->SetValueInt(12);
    (*Driver)["Comm.Rate"]->SetValueInt(95);
    Tick();
    EXPECT_EQ(c->DevOpenPanel->GetColour(), zt7::clRed);
    EXPECT_EQ(c->ActivePanel->GetColour(), zt7::clBtnFace);
    EXPECT_EQ(c->LostPanel->text(), QStringLiteral("12"));
    EXPECT_EQ(c->RatePanel->text(), QStringLiteral("95"));

    // User choices reach the driver (the page must be shown: hidden pages are disabled).
    Show(Main->TabComms);
    c->Port->Button(5)->click();
    EXPECT_EQ((*Driver)["Comm.Port"]->GetValueInt(), 5);
    c->Baud->Button(5)->click();
    EXPECT_EQ((*Driver)["Comm.Baud"]->GetValueInt(), 5);
    c->OpenCheckBox->setChecked(!c->OpenCheckBox->isChecked());
    EXPECT_EQ((*Driver)["Comm.ReqOpen"]->GetValueBool(), c->OpenCheckBox->isChecked());
    // An index beyond the list is clamped and the clamped index written back.
    (*Driver)["Comm.Port"]->SetValueInt(42);
    Tick(2);
    EXPECT_EQ(c->Port->GetItemIndex(), 9);
    EXPECT_EQ((*Driver)["Comm.Port"]->GetValueInt(), 9);
}

TEST_F(Pages, MousePageAndLinearityStrip) {
    TNXGF7_Output* o = Main->OutputFrame;
    auto* type = (*Driver)["Output.PressType"];
    type->SetValueInt(4);
    Tick();
    EXPECT_EQ(o->PressReleaseAction->GetItemIndex(), 4);
    EXPECT_EQ(o->PressReleaseAction->ItemText(4), QStringLiteral("選択/ムーブ/リリース"));
    type->SetValueInt(9);
    Tick();
    EXPECT_EQ(o->PressReleaseAction->GetItemIndex(), 6);
    EXPECT_EQ(type->GetValueInt(), 6);
    (*Driver)["Output.Enabled"]->SetValueBool(true);
    Tick();
    EXPECT_TRUE(o->OutputEnabled->isChecked());
    o->OutputEnabled->setChecked(false);
    EXPECT_FALSE((*Driver)["Output.Enabled"]->GetValueBool());

    TNXGF7_Linearity* l = Main->LinearityFrame;
    auto* inner = (*Driver)["DeWiggle.Inner"];
    inner->SetValueFloat(0.505f);
    Tick(2);
    EXPECT_EQ(l->DeWiggleInner->value(), 50);
    EXPECT_FLOAT_EQ(inner->GetValueFloat(), 0.505f);
    (*Driver)["DeWiggle.Advanced"]->SetValueBool(false);
    Tick();
    EXPECT_TRUE(l->LinearityGroupBox->isHidden());
    EXPECT_FALSE(l->LinearityAdvanced->isHidden());
    (*Driver)["DeWiggle.Advanced"]->SetValueBool(true);
    Tick();
    EXPECT_FALSE(l->LinearityGroupBox->isHidden());
}

TEST_F(Pages, GraphPageShowsBothAxesAndNeverOverrunsItsBuffer) {
    TNXGF7_Graph* g = Main->GraphFrame;
    auto* diff = (*Driver)["Grapher1.Diff"];
    for (int i = 0; i < 40; ++i) diff->SetValueFloatA(i, static_cast<float>(i) * 10.0f);
    (*Driver)["Grapher1.Length"]->SetValueInt(40);
    Tick();
    EXPECT_EQ(g->NX7_Graph2->GetLength(), 0) << "ignored while another page is shown";

    Show(Main->TabGraph);
    (*Driver)["Grapher1.Length"]->SetValueInt(40);
    Tick();
    ASSERT_EQ(g->NX7_Graph2->GetLength(), 40);
    EXPECT_EQ(g->NX7_Graph1->GetLength(), 0);
    EXPECT_FLOAT_EQ(g->NX7_Graph2->Item(39)->GetPosition(), 390.0f);
    EXPECT_EQ(g->NX7_Graph2->x(), g->width() / 2);

    // The driver never sends more than 64; a corrupt count still stays inside the buffer.
    (*Driver)["Grapher0.Length"]->SetValueInt(1000);
    (*Driver)["Grapher1.Length"]->SetValueInt(-7);
    Tick();
    EXPECT_EQ(g->NX7_Graph1->GetLength(), 64);
    EXPECT_EQ(g->NX7_Graph2->GetLength(), 40);
}

TEST_F(Pages, MonitorTraceAndItsWipe) {
    TNXGF7_Monitor* m = Main->MonitorFrame;
    Show(Main->TabMonitor);
    TNX7_GaugeXY* gauge = m->NX7_GaugeXY1;
    const int w = gauge->width(), h = gauge->height();
    ASSERT_GT(w, 100);
    struct {
        float x, y;
        int button;
    } seq[] = {{0.1f, 0.1f, 1}, {0.3f, 0.1f, 1}, {0.5f, 0.1f, 2}, {0.7f, 0.1f, 2}};
    auto send = [&](float x, float y, int button) {
        (*Driver)["Output.X"]->SetValueFloat(x);
        (*Driver)["Output.Y"]->SetValueFloat(y);
        (*Driver)["Output.Button"]->SetValueInt(button);
        Poll();
    };
    for (const auto& s : seq) send(s.x, s.y, s.button);
    QImage img = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int y = static_cast<int>(h * 0.1f);
    // Green while touching, nothing at the change to pressing, red while pressing.
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.2f), y)), zt7::clGreen);
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.4f), y)), zt7::clWhite);
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.6f), y)), zt7::clRed);
    EXPECT_NE(m->GetClearCountdown(), 0);

    // Away and back: the page shows only what arrives after the return.
    Show(Main->TabGraph);
    Show(Main->TabMonitor);
    img = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.2f), y)), zt7::clWhite);
    send(0.7f, 0.2f, 2);
    img = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.7f), static_cast<int>(h * 0.15f))), zt7::clRed);

    // Lift-off: wiped at the second timer tick after the last touching sample at the latest.
    send(0.9f, 0.1f, 0);
    Tick();
    EXPECT_EQ(m->GetClearCountdown(), 0);
    img = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.2f), y)), zt7::clWhite);
    EXPECT_EQ(QColor(img.pixel(static_cast<int>(w * 0.6f), y)), zt7::clWhite);

    // Samples while another page is shown are ignored.
    Show(Main->TabGraph);
    send(0.5f, 0.5f, 1);
    EXPECT_EQ(m->GetClearCountdown(), 0);
}

TEST_F(Pages, OutOfRangeAndNonFiniteValuesNeverBreakTheControls) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf, 1e30f, -1e30f, 3e9f}) {
        for (const char* v : {"Sense.FixedThreshold", "Sense.TouchRatio", "Sense.PressRatio", "Sense.CountRatio0",
                              "Sense.CountRatio1", "Sense.CountRatio2", "Edge.TopGain", "Edge.BottomGain",
                              "Edge.LeftGain", "Edge.RightGain", "DeWiggle.Inner", "Calib.TargetPos", "Output.X"})
            (*Driver)[v]->SetValueFloat(bad);
        for (const char* v : {"Comm.Port", "Comm.Baud", "Comm.CycleSize", "Comm.ReqMuxSize", "Comm.MuxOrder",
                              "Output.PressType", "Sense.State", "Calib.Count0", "Grapher0.Length"})
            (*Driver)[v]->SetValueInt(bad != bad ? INT32_MIN : INT32_MAX);
        (*Driver)["Sense.State"]->SetValueInt(2);
        Tick(2);
        for (QSlider* s : {Main->SenseFrame->FixedThreshold, Main->SenseFrame->TouchRatio, Main->EdgeFrame->TopGain,
                           Main->EdgeFrame->RightGain, Main->LinearityFrame->DeWiggleInner}) {
            EXPECT_GE(s->value(), s->minimum());
            EXPECT_LE(s->value(), s->maximum());
        }
        const float tp = Main->CalibScreen->GetTargetPos();
        EXPECT_TRUE(tp >= 0.05f && tp <= 0.4f) << tp;
    }
}

}  // namespace
