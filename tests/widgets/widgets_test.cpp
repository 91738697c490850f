// Pixel tests of the display widgets, rendered on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <memory>
#include <vector>

#include "widgets/colours.h"
#include "widgets/gaugexy.h"
#include "widgets/graph.h"
#include "widgets/graphitem.h"
#include "widgets/targetgauge.h"

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "test_widgets";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

QImage Render(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QColor At(const QImage& img, int x, int y) { return QColor(img.pixel(x, y)); }

std::vector<int> RedColumns(const QImage& img, int y) {
    std::vector<int> xs;
    for (int x = 0; x < img.width(); ++x)
        if (At(img, x, y) == zt7::clRed) xs.push_back(x);
    return xs;
}

class WidgetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
};

// ---- Bar graph ----

TEST_F(WidgetTest, GraphInputCreatesAndDestroysStripsByCount) {
    TNX7_Graph g;
    g.resize(120, 90);
    const float three[3] = {10, 20, 30};
    g.Input(nullptr, 3, three);
    ASSERT_EQ(g.GetLength(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(g.Item(i)->geometry(), QRect(0, 30 * i, 120, 30)) << i;
        EXPECT_FLOAT_EQ(g.Item(i)->GetPosition(), three[i]);
    }
    // Count 0 is the reset signal and changes nothing; a null array is ignored.
    g.Input(nullptr, 0, nullptr);
    g.Input(nullptr, 2, nullptr);
    EXPECT_EQ(g.GetLength(), 3);
    const float one = 5;
    g.Input(nullptr, 1, &one);
    ASSERT_EQ(g.GetLength(), 1);
    EXPECT_EQ(g.Item(0)->geometry(), QRect(0, 0, 120, 90));
    // Uneven heights: each strip starts at the truncated running top.
    g.resize(120, 100);
    g.SetLength(3);
    EXPECT_EQ(g.Item(1)->geometry(), QRect(0, 33, 120, 33));
    EXPECT_EQ(g.Item(2)->geometry(), QRect(0, 66, 120, 33));
}

TEST_F(WidgetTest, GraphLineSitsAtTheScaledPixel) {
    TNX7_Graph g;
    g.SetMin(-10);
    g.SetMax(400);
    g.resize(410, 20);
    const float v = 195;
    g.Input(nullptr, 1, &v);
    const QImage img = Render(&g);
    EXPECT_EQ(RedColumns(img, 10), std::vector<int>{205});
    EXPECT_EQ(At(img, 204, 0), zt7::clWhite);
    EXPECT_EQ(At(img, 205, 19), zt7::clRed);

    // Moving the value erases the old line.
    const float w = 0;
    g.Input(nullptr, 1, &w);
    EXPECT_EQ(RedColumns(Render(&g), 10), std::vector<int>{10});

    // Values outside Min..Max are off the strip.
    const float out[1] = {500};
    g.Input(nullptr, 1, out);
    EXPECT_TRUE(RedColumns(Render(&g), 10).empty());
}

TEST_F(WidgetTest, GraphRangeEdgeCases) {
    TNX7_Graph g;
    g.resize(100, 10);
    const float v = 50;
    g.Input(nullptr, 1, &v);
    EXPECT_EQ(RedColumns(Render(&g), 5), std::vector<int>{50});

    // Max closer than 0.001 to the stored one is not taken.
    g.SetMax(300);
    g.SetMax(300.0004f);
    EXPECT_FLOAT_EQ(g.GetMax(), 300.0f);
    EXPECT_FLOAT_EQ(g.Item(0)->GetMax(), 300.0f);

    // Min equal to Max: no line at all (and no division by zero).
    g.SetMin(300);
    EXPECT_TRUE(RedColumns(Render(&g), 5).empty());
    g.SetMin(299.9995f);
    g.Item(0)->SetMin(299.9995f);
    EXPECT_TRUE(RedColumns(Render(&g), 5).empty());

    // A strip narrower than two pixels draws nothing.
    TNX7_GraphItem narrow;
    narrow.resize(1, 10);
    narrow.SetPosition(0.5f);
    EXPECT_EQ(narrow.PixelOf(0.5f), -1);
}

TEST_F(WidgetTest, GraphSurvivesHugeCountsAndNonFiniteValues) {
    TNX7_Graph g;
    g.resize(100, 300);
    std::vector<float> many(1000, 1.0f);
    g.Input(nullptr, static_cast<int>(many.size()), many.data());
    EXPECT_LE(g.GetLength(), 256);
    const float bad[3] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -1e30f};
    g.Input(nullptr, 3, bad);
    ASSERT_EQ(g.GetLength(), 3);
    // NaN is never "different enough": the first strip keeps its line at 1.0; infinity and
    // -1e30 lie off their strips.
    const QImage img = Render(&g);
    EXPECT_EQ(RedColumns(img, 10), std::vector<int>{1});
    EXPECT_TRUE(RedColumns(img, 150).empty());
    EXPECT_TRUE(RedColumns(img, 250).empty());
    g.Input(nullptr, -5, bad);
    EXPECT_EQ(g.GetLength(), 0);
}

// ---- XY gauge ----

TEST_F(WidgetTest, GaugeWithoutTraceMovesOneDot) {
    TNX7_GaugeXY gauge;
    gauge.resize(200, 100);
    gauge.Input(nullptr, 0.5f, 0.5f, 2);
    QImage img = Render(&gauge);
    // Pen width 200 div 100 = 2: a red dot two pixels wide at (100, 50).
    EXPECT_EQ(RedColumns(img, 50), (std::vector<int>{99, 100}));
    gauge.Input(nullptr, 0.25f, 0.2f, 1);
    img = Render(&gauge);
    EXPECT_TRUE(RedColumns(img, 50).empty()) << "old dot painted over in white";
    EXPECT_EQ(At(img, 50, 20), zt7::clGreen);
    EXPECT_EQ(At(img, 100, 50), zt7::clWhite);
}

TEST_F(WidgetTest, GaugeTraceDrawsSegmentsOnlyWhileTheTypeStays) {
    TNX7_GaugeXY gauge;
    gauge.SetTrace(true);
    gauge.resize(200, 200);
    gauge.Input(nullptr, 0.1f, 0.1f, 1);
    gauge.Input(nullptr, 0.2f, 0.2f, 1);
    gauge.Input(nullptr, 0.3f, 0.3f, 2);
    gauge.Input(nullptr, 0.4f, 0.3f, 2);
    gauge.Input(nullptr, 0.5f, 0.5f, 0);
    const QImage img = Render(&gauge);
    // Green from (20,20) to (40,40), nothing at the change of type, red from (60,60) to (80,60),
    // nothing for type 0.
    EXPECT_EQ(At(img, 30, 30), zt7::clGreen);
    EXPECT_EQ(At(img, 50, 50), zt7::clWhite);
    EXPECT_EQ(At(img, 70, 60), zt7::clRed);
    EXPECT_EQ(At(img, 90, 90), zt7::clWhite);

    // Clear wipes the trace and leaves only the last point's dot (type 0: invisible).
    gauge.Clear(nullptr);
    const QImage cleared = Render(&gauge);
    for (QPoint p : {QPoint(30, 30), QPoint(70, 60), QPoint(100, 100)}) EXPECT_EQ(At(cleared, p.x(), p.y()), zt7::clWhite);
}

TEST_F(WidgetTest, GaugeIgnoresRepeatsAndPinsWildCoordinates) {
    TNX7_GaugeXY gauge;
    gauge.SetTrace(true);
    gauge.resize(100, 100);
    gauge.Input(nullptr, 0.5f, 0.5f, 1);
    gauge.Input(nullptr, 0.5f, 0.5f, 1);
    gauge.Input(nullptr, std::numeric_limits<float>::quiet_NaN(), 1e30f, 1);
    gauge.Input(nullptr, -1e30f, std::numeric_limits<float>::infinity(), 2);
    EXPECT_EQ(gauge.PixelOf(1e30f, -1e30f), QPoint(100000, -100000));
    Render(&gauge);  // must not crash
}

// ---- Target gauge ----

struct RingCase {
    bool contract;
    int position;
    int expectRx;  // -1: no ring beyond the centre
};

int OutermostRed(TNX7_TargetGauge& g) {
    const QImage img = Render(&g);
    const auto xs = RedColumns(img, g.height() / 2);
    return xs.empty() ? -1 : xs.back();
}

TEST_F(WidgetTest, TargetGaugeRingFollowsPosition) {
    const RingCase cases[] = {
        {true, 0, 100},  {true, 50, 50},  {true, 100, 0}, {true, -1, 100},
        {true, 101, 0},  {false, 0, 0},   {false, 100, 100}, {false, 25, 25},
    };
    QWidget host;
    for (const auto& c : cases) {
        TNX7_TargetGauge g(&host);
        g.resize(200, 200);
        g.Contract = c.contract;
        g.SetPosition(c.position);
        int rx = -1, ry = -1;
        g.RingRadii(rx, ry);
        EXPECT_EQ(rx, c.expectRx) << c.contract << " " << c.position;
        EXPECT_EQ(ry, c.expectRx);
        // The ring's pen is 4 wide and centred on the ellipse: its outermost red pixel lies
        // within a couple of pixels of the centre + radius.
        const int outer = OutermostRed(g);
        ASSERT_GE(outer, 0) << c.position;
        EXPECT_NEAR(outer, 100 + c.expectRx, 2) << c.contract << " " << c.position;
    }
}

TEST_F(WidgetTest, TargetGaugeAutoHideAndRangeRules) {
    QWidget host;
    TNX7_TargetGauge g(&host);
    g.resize(100, 60);
    g.SetAutoHide(true);
    struct {
        int pos;
        bool hidden;
    } cases[] = {{-1, true}, {0, false}, {100, false}, {101, true}, {50, false}};
    for (const auto& c : cases) {
        g.SetPosition(c.pos);
        EXPECT_EQ(g.isHidden(), c.hidden) << c.pos;
    }
    // Min above Max always hides; turning AutoHide off does not bring it back.
    g.SetMin(200);
    EXPECT_TRUE(g.isHidden());
    g.SetAutoHide(false);
    EXPECT_TRUE(g.isHidden());

    // Min equal to Max counts as a range of one.
    TNX7_TargetGauge one(&host);
    one.resize(100, 100);
    one.SetMin(10);
    one.SetMax(10);
    one.SetPosition(10);
    int rx = 0, ry = 0;
    one.RingRadii(rx, ry);
    EXPECT_EQ(rx, 0);
    one.SetPosition(11);
    one.RingRadii(rx, ry);
    EXPECT_EQ(rx, 50);

    // Non-square: elliptical ring, radii from each half-size.
    TNX7_TargetGauge wide(&host);
    wide.resize(200, 100);
    wide.SetPosition(100);
    wide.RingRadii(rx, ry);
    EXPECT_EQ(rx, 100);
    EXPECT_EQ(ry, 50);

    wide.SetLineWidth(-3);
    EXPECT_EQ(wide.GetLineWidth(), 0);
    EXPECT_EQ(OutermostRed(wide), -1) << "a zero-width ring is not drawn";
}

TEST_F(WidgetTest, TargetGaugeRectangleAndClick) {
    TNX7_TargetGauge g;
    g.SetShape(tgst_Rectangle);
    g.SetCaption(QStringLiteral("Cancel"));
    g.resize(100, 100);
    g.Contract = true;
    g.SetPosition(50);
    const QImage img = Render(&g);
    // Black outline at the border, red rectangle at half size.
    EXPECT_EQ(At(img, 0, 10), zt7::clBlack);
    const auto red = RedColumns(img, 30);
    ASSERT_FALSE(red.empty());
    EXPECT_NEAR(red.front(), 25, 2);
    EXPECT_NEAR(red.back(), 75, 2);

    int clicks = 0;
    g.OnClick = [&](TNX7_TargetGauge* s) {
        EXPECT_EQ(s, &g);
        ++clicks;
    };
    QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(&g, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(clicks, 1);
}

}  // namespace
