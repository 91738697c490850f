// Edge stretch: bands along the screen edges spread outwards by their gains.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "driver/touch/edgestretch.h"
#include "share/sharevarbase.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TShareVarBase* VarNamed(TNX7_EdgeStretch& e, const std::string& name)
{
    for (int i = 0; i < e.GetVars().GetCount(); ++i)
        if (e.GetVars().GetVar(i)->GetVarName() == name)
            return e.GetVars().GetVar(i);
    return nullptr;
}

struct Out {
    float x = -9, y = -9, m = -9, mtt = -9, mpt = -9;
    void* sender = nullptr;
};

Out Stretch(TNX7_EdgeStretch& e, float x, float y)
{
    Out o;
    e.OnOutput = [&](void* s, float X, float Y, float M, float MTT, float MPT) {
        o = {X, Y, M, MTT, MPT, s};
    };
    e.Input(nullptr, x, y, 100.0f, 30.0f, 60.0f);
    return o;
}

TEST(EdgeStretch, BandFigures)
{
    struct Case {
        const char* what;
        float edgePos, top, bottom, left, right;
        float x, y;
        float wantX, wantY;
    };
    const Case cases[] = {
        {"no gain: unchanged near the left", 0.1f, 0, 0, 0, 0, 0.05f, 0.03f, 0.05f, 0.03f},
        {"no gain: unchanged near the right", 0.1f, 0, 0, 0, 0, 0.95f, 0.99f, 0.95f, 0.99f},
        {"left gain 1 at 0.05", 0.1f, 0, 0, 1, 0, 0.05f, 0.5f, 0.0f, 0.5f},
        {"left gain 1 at the band limit", 0.1f, 0, 0, 1, 0, 0.1f, 0.5f, 0.1f, 0.5f},
        {"left gain 1 in the middle", 0.1f, 0, 0, 1, 0, 0.5f, 0.5f, 0.5f, 0.5f},
        {"right gain 2 at 0.95", 0.1f, 0, 0, 0, 2, 0.95f, 0.5f, 1.05f, 0.5f},
        {"top gain 1 at 0.08", 0.1f, 1, 0, 0, 0, 0.5f, 0.08f, 0.5f, 0.06f},
        {"bottom gain 0.5 at 0.98", 0.1f, 0, 0.5f, 0, 0, 0.5f, 0.98f, 0.5f, 1.02f},
        {"corner uses both", 0.1f, 1, 0, 0, 2, 0.95f, 0.05f, 1.05f, 0.0f},
        {"outside the screen moves further out", 0.1f, 0, 0, 1, 0, -0.1f, 0.5f, -0.3f, 0.5f},
        {"EdgePos 0 acts as 0.01", 0.0f, 0, 0, 1, 0, 0.005f, 0.5f, 0.0f, 0.5f},
    };
    for (const auto& c : cases) {
        TNX7_EdgeStretch e;
        e.SetActive(true);
        e.SetEdgePos(c.edgePos);
        e.SetTopGain(c.top);
        e.SetBottomGain(c.bottom);
        e.SetLeftGain(c.left);
        e.SetRightGain(c.right);
        const Out o = Stretch(e, c.x, c.y);
        EXPECT_NEAR(o.x, c.wantX, 1e-6) << c.what;
        EXPECT_NEAR(o.y, c.wantY, 1e-6) << c.what;
        EXPECT_FLOAT_EQ(o.m, 100.0f) << c.what;
        EXPECT_FLOAT_EQ(o.mtt, 30.0f) << c.what;
        EXPECT_FLOAT_EQ(o.mpt, 60.0f) << c.what;
        EXPECT_EQ(o.sender, &e) << c.what;
    }
}

TEST(EdgeStretch, InactivePassesUnchanged)
{
    TNX7_EdgeStretch e;
    e.SetLeftGain(2.0f);
    const Out o = Stretch(e, 0.05f, 1.3f);
    EXPECT_FLOAT_EQ(o.x, 0.05f);
    EXPECT_FLOAT_EQ(o.y, 1.3f);
}

TEST(EdgeStretch, SettingsAreClamped)
{
    TNX7_EdgeStretch e;
    e.SetEdgePos(0.3f);
    EXPECT_FLOAT_EQ(e.GetEdgePos(), 0.2f);
    e.SetEdgePos(-1.0f);
    EXPECT_FLOAT_EQ(e.GetEdgePos(), 0.0f);

    struct Case {
        const char* var;
        float written, used;
        float (TNX7_EdgeStretch::*get)() const;
    };
    const Case cases[] = {
        {"TopGain", 5.0f, 2.0f, &TNX7_EdgeStretch::GetTopGain},
        {"BottomGain", -1.0f, 0.0f, &TNX7_EdgeStretch::GetBottomGain},
        {"LeftGain", kNaN, 0.0f, &TNX7_EdgeStretch::GetLeftGain},
        {"RightGain", 1.5f, 1.5f, &TNX7_EdgeStretch::GetRightGain},
    };
    for (const auto& c : cases) {
        TShareVarBase* v = VarNamed(e, c.var);
        ASSERT_NE(v, nullptr) << c.var;
        v->SetValueFloatX(c.written);
        v->OnChange(v);
        EXPECT_FLOAT_EQ((e.*c.get)(), c.used) << c.var;
    }

    // The setters publish the kept value.
    e.SetRightGain(9.0f);
    EXPECT_FLOAT_EQ(e.GetRightGain(), 2.0f);
    EXPECT_FLOAT_EQ(VarNamed(e, "RightGain")->GetValueFloat(), 2.0f);
}

}  // namespace
