// Which finger the pointer follows: the fusion step on its own, with the peak results given.
#include <gtest/gtest.h>

#include <cmath>

#include "driver/app/processfrm.h"

namespace {

// Wire index w of a 24-wire axis as the finder's −1 … +1 position.
float Angle(int w) {
    return static_cast<float>(w) / 23.0f * 2.0f - 1.0f;
}

TAxisPeaks One(int w, float value) {
    TAxisPeaks p;
    p.Pos1 = w;
    p.Value1 = value;
    p.Angle1 = Angle(w);
    return p;
}

TAxisPeaks Two(int w1, float v1, int w2, float v2) {
    TAxisPeaks p = One(w1, v1);
    p.Pos2 = w2;
    p.Value2 = v2;
    p.Angle2 = Angle(w2);
    return p;
}

constexpr float TT = 300;

TEST(Fusion, UnknownOrientationAlwaysPrimaryPeaksAndStateZero) {
    uint8_t state = 3;
    float mid = 0.25f;
    TFusedReport r = TNX7_ProcessForm::FusePeaks(Two(10, 500, 20, 400), Two(5, 450, 15, 420),
                                                 ot_Unknown, TT, state, mid);
    EXPECT_EQ(r.X, Angle(10));
    EXPECT_EQ(r.MX, 500);
    EXPECT_EQ(r.Y, Angle(5));
    EXPECT_EQ(r.MY, 450);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(mid, 0.25f);
}

TEST(Fusion, TwoPeaksFollowTheOneNearerTheTop) {
    struct Case {
        OrientType orient;
        bool onX;
        int followed;  // wire of the followed peak
    } cases[] = {
        {ot_ATop, true, 20},
        {ot_ABottom, true, 10},
        {ot_BTop, false, 20},
        {ot_BBottom, false, 10},
    };
    for (const Case& c : cases) {
        uint8_t state = 0;
        float mid = 0;
        const TAxisPeaks two = Two(10, 500, 20, 400), one = One(7, 480);
        TFusedReport r = c.onX ? TNX7_ProcessForm::FusePeaks(two, one, c.orient, TT, state, mid)
                               : TNX7_ProcessForm::FusePeaks(one, two, c.orient, TT, state, mid);
        const float pos = c.onX ? r.X : r.Y, m = c.onX ? r.MX : r.MY;
        const float other = c.onX ? r.Y : r.X, otherM = c.onX ? r.MY : r.MX;
        EXPECT_EQ(pos, Angle(c.followed)) << c.orient;
        EXPECT_EQ(m, c.followed == 10 ? 500 : 400) << c.orient;
        EXPECT_EQ(other, Angle(7)) << "the other axis keeps its primary peak";
        EXPECT_EQ(otherM, 480);
        EXPECT_EQ(state, 3);
        EXPECT_FLOAT_EQ(mid, (Angle(10) + Angle(20)) * 0.5f);
        EXPECT_EQ(r.Count, 2);
    }
}

TEST(Fusion, SecondPeakAbsentOrWeakIsOnePeak) {
    struct Case {
        const char* what;
        TAxisPeaks x;
    } cases[] = {
        {"second peak at index -1 though strong",
         [] {
             TAxisPeaks p = Two(10, 500, 20, 400);
             p.Pos2 = -1;
             return p;
         }()},
        {"second peak below TT", Two(10, 500, 20, 299)},
        {"second peak NaN", Two(10, 500, 20, std::nanf(""))},
    };
    for (const Case& c : cases) {
        uint8_t state = 0;
        float mid = 0;
        TFusedReport r = TNX7_ProcessForm::FusePeaks(c.x, One(3, 400), ot_ATop, TT, state, mid);
        EXPECT_EQ(r.X, Angle(10)) << c.what;
        EXPECT_EQ(state, 1) << c.what;
        EXPECT_EQ(r.Count, 1) << c.what;
    }
}

TEST(Fusion, WeakSinglePeakIsNoTouchButKeepsItsValues) {
    uint8_t state = 1;
    float mid = 0;
    TFusedReport r =
        TNX7_ProcessForm::FusePeaks(One(10, 120), One(3, 400), ot_ATop, TT, state, mid);
    EXPECT_EQ(r.Count, 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(r.MX, 120) << "only state 2 zeroes the strengths";
    EXPECT_EQ(r.MY, 400);
    state = 1;
    r = TNX7_ProcessForm::FusePeaks(One(10, std::nanf("")), One(3, 400), ot_ATop, TT, state, mid);
    EXPECT_EQ(state, 0) << "a NaN strength counts as below the touch level";
}

// After two fingers, one lifts: the remaining one is followed only on the followed side of the
// midpoint; otherwise the report shows no touch until all fingers are gone or two come back.
TEST(Fusion, LiftingOneOfTwoFingers) {
    struct Case {
        OrientType orient;
        int remaining;  // wire of the finger left on the panel; −1: exactly at the midpoint
        uint8_t expect;
    } cases[] = {
        {ot_ATop, 20, 1},    {ot_ATop, 10, 2},    {ot_ATop, -1, 2}, {ot_ABottom, 10, 1},
        {ot_ABottom, 20, 2}, {ot_ABottom, -1, 2}, {ot_BTop, 20, 1}, {ot_BBottom, -1, 2},
    };
    for (const Case& c : cases) {
        const bool onX = c.orient == ot_ATop || c.orient == ot_ABottom;
        auto fuse = [&](const TAxisPeaks& a, uint8_t& state, float& mid) {
            return onX ? TNX7_ProcessForm::FusePeaks(a, One(5, 450), c.orient, TT, state, mid)
                       : TNX7_ProcessForm::FusePeaks(One(5, 450), a, c.orient, TT, state, mid);
        };
        uint8_t state = 0;
        float mid = 0;
        fuse(Two(10, 500, 20, 400), state, mid);
        ASSERT_EQ(state, 3);
        TAxisPeaks left = One(c.remaining < 0 ? 15 : c.remaining, 500);
        if (c.remaining < 0) left.Angle1 = mid;
        TFusedReport r = fuse(left, state, mid);
        EXPECT_EQ(state, c.expect) << c.orient << " remaining at " << c.remaining;
        if (c.expect == 2) {
            EXPECT_EQ(r.MX, 0.0f);
            EXPECT_EQ(r.MY, 0.0f);
            // Suppression lasts while one finger stays ...
            fuse(left, state, mid);
            EXPECT_EQ(state, 2);
            // ... two fingers bring back state 3, a lift ends it.
            fuse(Two(10, 500, 20, 400), state, mid);
            EXPECT_EQ(state, 3);
            fuse(left, state, mid);
            TAxisPeaks lifted = left;
            lifted.Value1 = 10;
            fuse(lifted, state, mid);
            EXPECT_EQ(state, 0);
        } else {
            EXPECT_EQ(onX ? r.MX : r.MY, 500);
        }
    }
}

TEST(Fusion, MidpointOnlyUpdatedInStateThree) {
    uint8_t state = 0;
    float mid = 0;
    TNX7_ProcessForm::FusePeaks(Two(4, 500, 8, 400), One(5, 450), ot_ATop, TT, state, mid);
    const float m = mid;
    TNX7_ProcessForm::FusePeaks(One(8, 500), One(5, 450), ot_ATop, TT, state, mid);  // state 1
    ASSERT_EQ(state, 1);
    TNX7_ProcessForm::FusePeaks(One(2, 500), One(5, 450), ot_ATop, TT, state, mid);
    EXPECT_EQ(mid, m);
}

}  // namespace
