// Calibration: matrices, the mapping and its orientation, the three-target procedure and the
// [Calibrate] section of the settings file.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "driver/touch/calibrate.h"
#include "share/meminifile.h"
#include "share/sharevarbase.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TShareVarBase* VarNamed(TNX7_Calibrate& c, const std::string& name)
{
    for (int i = 0; i < c.GetVars().GetCount(); ++i)
        if (c.GetVars().GetVar(i)->GetVarName() == name)
            return c.GetVars().GetVar(i);
    return nullptr;
}

void PanelCommand(TNX7_Calibrate& c, const std::string& name)
{
    TShareVarBase* var = VarNamed(c, name);
    ASSERT_NE(var, nullptr);
    var->SetValueBoolX(true);
    var->OnChange(var);
}

// A sensor mounting: where on the sensor (A, B) a finger at screen point (X, Y) is measured.
struct Mounting {
    const char* name;
    std::function<void(float x, float y, float& a, float& b)> toSensor;
    OrientType orient;
};

const Mounting kMountings[] = {
    {"straight", [](float x, float y, float& a, float& b) { a = x; b = y; }, ot_BBottom},
    {"axes swapped", [](float x, float y, float& a, float& b) { a = y; b = x; }, ot_ABottom},
    {"upside down", [](float x, float y, float& a, float& b) { a = 1 - x; b = 1 - y; }, ot_BTop},
    {"turned a quarter", [](float x, float y, float& a, float& b) { a = 1 - y; b = x; }, ot_ATop},
    {"mirrored left-right", [](float x, float y, float& a, float& b) { a = 1 - x; b = y; }, ot_BBottom},
    // Squeezed into the middle of the sensor with an offset, as a real panel is.
    {"scaled and offset",
     [](float x, float y, float& a, float& b) { a = 0.15f + 0.7f * y; b = 0.9f - 0.75f * x; },
     ot_ABottom},
};

// [Calibrate] text for the three targets at t, measured through a mounting.
std::string CalibrateSection(const Mounting& m, float t)
{
    const float xs[3] = {t, 1 - t, t}, ys[3] = {t, t, 1 - t};
    const char* prefixes[3] = {"Ref_TL", "Ref_TR", "Ref_BL"};
    std::string s = "[Calibrate]\r\nTargetPos=" + MemIniFile::FloatToStr(t) + "\r\n";
    for (int i = 0; i < 3; ++i) {
        float a, b;
        m.toSensor(xs[i], ys[i], a, b);
        const std::string p = prefixes[i];
        s += p + "_X=" + MemIniFile::FloatToStr(xs[i]) + "\r\n" + p + "_Y=" +
             MemIniFile::FloatToStr(ys[i]) + "\r\n" + p + "_A=" + MemIniFile::FloatToStr(a) +
             "\r\n" + p + "_B=" + MemIniFile::FloatToStr(b) + "\r\n";
    }
    return s;
}

void ExpectMaps(const TNX7_Calibrate& c, float a, float b, float x, float y, float tol,
                const char* what)
{
    float X, Y;
    c.Map(a, b, X, Y);
    EXPECT_NEAR(X, x, tol) << what << " at sensor " << a << "," << b;
    EXPECT_NEAR(Y, y, tol) << what << " at sensor " << a << "," << b;
}

TEST(CalibMatrix, InverseTimesMatrixIsIdentity)
{
    TNX7_Matrix3x3 m, inv, prod;
    m.Set(0.0f, 0.8f, 0.1f, -0.8f, 0.0f, 0.9f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(static_cast<double>(m.Determinant()), 0.64, 1e-6);
    inv.Invert(m);
    prod.Multiply(m, inv);
    const float want[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float got[9] = {prod.m11, prod.m12, prod.m13, prod.m21, prod.m22,
                          prod.m23, prod.m31, prod.m32, prod.m33};
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(got[i], want[i], 1e-6) << i;

    // Invert and Multiply may write over their own operand.
    TNX7_Matrix3x3 self = m;
    self.Invert(self);
    EXPECT_FLOAT_EQ(self.m12, inv.m12);
    self.Multiply(self, m);
    EXPECT_NEAR(self.m11, 1.0f, 1e-6);

    float y1, y2, y3;
    m.Transform(1.0f, 2.0f, 1.0f, y1, y2, y3);
    EXPECT_NEAR(y1, 1.7f, 1e-6);
    EXPECT_NEAR(y2, 0.1f, 1e-6);
    EXPECT_FLOAT_EQ(y3, 1.0f);

    TNX7_Matrix3x3 a;
    a.Assign(&m);
    EXPECT_FLOAT_EQ(a.m21, -0.8f);
    a.Assign(nullptr);
    EXPECT_FLOAT_EQ(a.m21, 0.0f);
    EXPECT_FLOAT_EQ(a.m22, 1.0f);
}

TEST(CalibMatrix, NearlySingularDeterminantIsHeldAtTheFloor)
{
    struct Case {
        float m11;  // determinant of diag(m11, 1, 1)
        float sign;
    };
    for (const Case c : {Case{0.0f, 1.0f}, Case{0.00002f, 1.0f}, Case{-0.00002f, -1.0f}}) {
        TNX7_Matrix3x3 m, inv;
        m.Set(c.m11, 0, 0, 0, 1, 0, 0, 0, 1);
        inv.Invert(m);
        EXPECT_TRUE(inv.IsFinite()) << c.m11;
        // Cofactor of m22 is m11 (or 0 → 0); that of m11 is 1, divided by ±0.0001.
        EXPECT_FLOAT_EQ(inv.m11, c.sign * 10000.0f) << c.m11;
        EXPECT_NEAR(inv.m22, c.m11 * c.sign * 10000.0f, 1e-3) << c.m11;
    }
}

TEST(CalibMapping, OrientationAndMappingForEachMounting)
{
    for (const auto& m : kMountings) {
        MemIniFile ini;
        ini.SetText(CalibrateSection(m, 0.1f));
        TNX7_Calibrate c;
        c.Load(&ini);
        EXPECT_TRUE(c.GetComplete()) << m.name;
        EXPECT_EQ(c.GetOrient(), m.orient) << m.name;
        // Every screen point comes back from where the mounting measures it.
        for (float x : {0.0f, 0.1f, 0.5f, 0.9f, 1.0f})
            for (float y : {0.0f, 0.3f, 0.9f}) {
                float a, b;
                m.toSensor(x, y, a, b);
                ExpectMaps(c, a, b, x, y, 1e-5f, m.name);
            }
    }
}

TEST(CalibMapping, ShippedDefaultsGiveIdentity)
{
    MemIniFile ini;
    ini.SetText(
        "[Calibrate]\r\nTargetPos=0.1\r\nRef_TL_X=0.1\r\nRef_TL_Y=0.1\r\nRef_TL_A=0.1\r\n"
        "Ref_TL_B=0.1\r\nRef_TR_X=0.9\r\nRef_TR_Y=0.1\r\nRef_TR_A=0.9\r\nRef_TR_B=0.1\r\n"
        "Ref_BL_X=0.1\r\nRef_BL_Y=0.9\r\nRef_BL_A=0.1\r\nRef_BL_B=0.9\r\n");
    TNX7_Calibrate c;
    EXPECT_EQ(c.GetOrient(), ot_Unknown);  // nothing loaded yet
    EXPECT_TRUE(c.GetBusy());
    c.Load(&ini);
    ExpectMaps(c, 0.3f, 0.7f, 0.3f, 0.7f, 1e-6f, "identity");
    EXPECT_EQ(c.GetOrient(), ot_BBottom);
    EXPECT_FALSE(c.GetBusy());
    EXPECT_EQ(VarNamed(c, "State")->GetValueInt(), cst_Complete);
    EXPECT_FLOAT_EQ(c.GetTargetPos(), 0.1f);
}

TEST(CalibMapping, OutputCarriesTheMappedPositionAndTheStrengths)
{
    MemIniFile ini;
    ini.SetText(CalibrateSection(kMountings[2], 0.1f));  // upside down
    TNX7_Calibrate c;
    c.Load(&ini);
    int calls = 0;
    c.OnOutput = [&](void* s, float x, float y, float mx, float my, float mtt, float mpt) {
        ++calls;
        EXPECT_EQ(s, &c);
        EXPECT_NEAR(x, 0.8f, 1e-5);
        EXPECT_NEAR(y, 0.4f, 1e-5);
        EXPECT_FLOAT_EQ(mx, 1);
        EXPECT_FLOAT_EQ(my, 2);
        EXPECT_FLOAT_EQ(mtt, 3);
        EXPECT_FLOAT_EQ(mpt, 4);
    };
    c.Input(nullptr, 0.2f, 0.6f, 1, 2, 3, 4);
    EXPECT_EQ(calls, 1);
}

TEST(CalibReferenceQuads, BandsAndBox)
{
    TNX7_CalibReference corner;  // quadrant mode, divider 0.4
    struct Case {
        float a, b;
        int quad;
    };
    const Case cornerCases[] = {
        {0.39f, 0.1f, 0}, {0.4f, 0.1f, -1}, {0.6f, 0.1f, -1}, {0.61f, 0.1f, 1},
        {0.1f, 0.61f, 2}, {0.9f, 0.9f, 3}, {0.9f, 0.5f, -1}, {0.5f, 0.9f, -1},
        {kNaN, 0.1f, -1},
    };
    for (const auto& c : cornerCases)
        EXPECT_EQ(corner.WhichQuad(c.a, c.b), c.quad) << c.a << "," << c.b;

    TNX7_CalibReference box;
    box.SetQuadMode(false);
    box.SetEdgeDivider(0.35f);
    const Case boxCases[] = {
        {0.35f, 0.35f, 0}, {0.65f, 0.65f, 0}, {0.5f, 0.5f, 0}, {0.34f, 0.5f, -1}, {0.5f, 0.66f, -1},
    };
    for (const auto& c : boxCases)
        EXPECT_EQ(box.WhichQuad(c.a, c.b), c.quad) << c.a << "," << c.b;

    box.SetEdgeDivider(0.2f);
    EXPECT_FLOAT_EQ(box.GetEdgeDivider(), 0.3f);
    EXPECT_FALSE(box.GetActive(4));
    box.SetActive(-1, false);  // ignored
}

TEST(CalibReferenceCollect, AveragesAfterStartAtAndCompletesPastStopAt)
{
    TNX7_CalibReference ref;
    int completes = 0;
    ref.OnComplete = [&](void*) { ++completes; };
    EXPECT_FLOAT_EQ(ref.GetA(), 0.5f);  // stored position while nothing is counted
    for (int i = 1; i <= 101; ++i)
        ref.Input(nullptr, i <= 10 ? 0.05f : 0.2f, 0.3f);  // settling frames are left out
    EXPECT_EQ(completes, 1);
    EXPECT_EQ(ref.GetCounter(), 101);
    EXPECT_EQ(ref.GetSamples(), 91);
    EXPECT_NEAR(ref.GetA(), 0.2f, 1e-5);
    EXPECT_NEAR(ref.GetB(), 0.3f, 1e-5);
    EXPECT_EQ(ref.GetBestQuad(), 0);
    ref.SetAB(0.7f, 0.8f);
    EXPECT_FLOAT_EQ(ref.GetA(), 0.7f);
    EXPECT_EQ(ref.GetCounter(), 0);
}

// Drives the three-target procedure the way a user does it.
struct Session {
    TNX7_Calibrate c;
    const Mounting& m;
    int completes = 0, cancels = 0;
    float jitter = 0.0f;
    int frame = 0;

    explicit Session(const Mounting& mounting) : m(mounting) {
        c.SetTargetPos(0.1f);
        c.OnComplete = [this](void*) { ++completes; };
        c.OnCancel = [this](void*) { ++cancels; };
    }
    void Press(float x, float y) {
        float a, b;
        m.toSensor(x, y, a, b);
        // Small deterministic wobble around the true point.
        ++frame;
        const float dx = jitter * static_cast<float>((frame * 7) % 5 - 2) / 2.0f;
        const float dy = jitter * static_cast<float>((frame * 3) % 5 - 2) / 2.0f;
        c.Input(nullptr, a + dx, b + dy, 500.0f, 400.0f, 30.0f, 60.0f);
    }
    void Lift() { c.Input(nullptr, 0.5f, 0.5f, 0.0f, 0.0f, 30.0f, 60.0f); }
    int Count(int i) { return VarNamed(c, "Count" + std::to_string(i))->GetValueInt(); }
};

TEST(CalibProcedure, ThreeTargetsInAnyMountingEndWithTheirMapping)
{
    for (const auto& m : kMountings) {
        Session s(m);
        s.jitter = 0.004f;
        PanelCommand(s.c, "Start");
        EXPECT_EQ(s.c.GetState(), cst_TopLeft) << m.name;
        EXPECT_TRUE(VarNamed(s.c, "Busy")->GetValueBool()) << m.name;
        EXPECT_EQ(s.c.GetOrient(), ot_Unknown) << m.name;

        // The press that started it is still on: nothing counts until it lifts.
        for (int i = 0; i < 20; ++i)
            s.Press(0.1f, 0.1f);
        EXPECT_EQ(s.Count(0), 0) << m.name;
        s.Lift();

        for (int i = 0; i < 100; ++i)
            s.Press(0.1f, 0.1f);
        EXPECT_EQ(s.c.GetState(), cst_TopLeft) << m.name;
        EXPECT_EQ(s.Count(0), 100) << m.name;
        s.Press(0.1f, 0.1f);
        EXPECT_EQ(s.c.GetState(), cst_TopRight) << m.name;
        EXPECT_EQ(s.Count(0), -1) << m.name;

        // The same finger staying on the first corner cannot complete the second.
        for (int i = 0; i < 150; ++i)
            s.Press(0.1f, 0.1f);
        EXPECT_EQ(s.c.GetState(), cst_TopRight) << m.name;
        EXPECT_EQ(s.Count(1), 0) << m.name;

        for (int i = 0; i < 101; ++i)
            s.Press(0.9f, 0.1f);
        EXPECT_EQ(s.c.GetState(), cst_BottomLeft) << m.name;
        for (int i = 0; i < 150; ++i)
            s.Press(0.9f, 0.1f);
        EXPECT_EQ(s.Count(2), 0) << m.name;
        for (int i = 0; i < 101; ++i)
            s.Press(0.1f, 0.9f);

        EXPECT_EQ(s.c.GetState(), cst_Complete) << m.name;
        EXPECT_EQ(s.completes, 1) << m.name;
        EXPECT_EQ(s.cancels, 0) << m.name;
        EXPECT_FALSE(VarNamed(s.c, "Busy")->GetValueBool()) << m.name;
        EXPECT_EQ(VarNamed(s.c, "State")->GetValueInt(), cst_Complete) << m.name;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(s.Count(i), -1) << m.name;
        EXPECT_EQ(s.c.GetOrient(), m.orient) << m.name;
        // Each measured corner lands on its target, and so does the rest of the screen.
        for (int i = 0; i < 3; ++i)
            ExpectMaps(s.c, s.c.GetA(i), s.c.GetB(i), s.c.GetX(i), s.c.GetY(i), 1e-4f, m.name);
        for (float x : {0.0f, 0.5f, 1.0f})
            for (float y : {0.0f, 0.5f, 1.0f}) {
                float a, b;
                m.toSensor(x, y, a, b);
                ExpectMaps(s.c, a, b, x, y, 0.01f, m.name);
            }
    }
}

TEST(CalibProcedure, CentreTargetOrIdleTimeoutCancelsAndRestoresTheMapping)
{
    struct Case {
        const char* what;
        bool pressCentre;
        int frames;       // frames after the first release
        bool cancelled;
    };
    const Case cases[] = {
        {"centre pressed 100 frames", true, 100, false},
        {"centre pressed 101 frames", true, 101, true},
        {"605 frames without a press", false, 604, false},
        {"606 frames without a press", false, 605, true},
    };
    const Mounting& before = kMountings[3];
    for (const auto& k : cases) {
        MemIniFile ini;
        ini.SetText(CalibrateSection(before, 0.1f));
        Session s(kMountings[0]);
        s.c.Load(&ini);
        PanelCommand(s.c, "Start");
        s.Lift();
        for (int i = 0; i < k.frames; ++i) {
            if (k.pressCentre)
                s.Press(0.5f, 0.5f);
            else
                s.Lift();
        }
        EXPECT_EQ(s.cancels, k.cancelled ? 1 : 0) << k.what;
        EXPECT_EQ(s.c.GetState(), k.cancelled ? cst_Complete : cst_TopLeft) << k.what;
        if (k.cancelled) {
            EXPECT_EQ(s.completes, 1) << k.what;
            EXPECT_FALSE(VarNamed(s.c, "Busy")->GetValueBool()) << k.what;
            float a, b;
            before.toSensor(0.3f, 0.6f, a, b);
            ExpectMaps(s.c, a, b, 0.3f, 0.6f, 1e-5f, k.what);
        } else {
            EXPECT_EQ(s.Count(3), s.c.GetReference(TNX7_Calibrate::RefCentre).GetCounter());
            EXPECT_GE(s.Count(3), 100) << k.what;
        }
    }
}

TEST(CalibProcedure, CancelBeforeAnyStartKeepsWhatWasLoaded)
{
    MemIniFile ini;
    ini.SetText(CalibrateSection(kMountings[3], 0.1f));
    TNX7_Calibrate c;
    c.Load(&ini);
    c.DoCancel(nullptr);
    ExpectMaps(c, 0.4f, 0.3f, 0.3f, 0.6f, 1e-5f, "after cancel");
    EXPECT_EQ(c.GetOrient(), ot_ATop);

    TNX7_Calibrate fresh;
    fresh.DoCancel(nullptr);
    ExpectMaps(fresh, 0.4f, 0.3f, 0.4f, 0.3f, 1e-6f, "fresh cancel is the identity");
}

TEST(CalibProcedure, SaveDuringTheProcedureCancelsFirst)
{
    Session s(kMountings[0]);
    s.c.DoStart(nullptr);
    MemIniFile ini;
    s.c.Save(&ini);
    EXPECT_EQ(s.cancels, 1);
    EXPECT_EQ(s.c.GetState(), cst_Complete);
    EXPECT_TRUE(ini.SectionExists("Calibrate"));
}

TEST(CalibProcedure, UnknownRequestResetsToNone)
{
    TNX7_Calibrate c;
    c.SetState(static_cast<CalibrationStateType>(99));
    EXPECT_EQ(c.GetState(), cst_None);
    EXPECT_TRUE(c.GetBusy());
    EXPECT_EQ(c.GetOrient(), ot_Unknown);
}

TEST(CalibSettings, TargetAndDividersAreClamped)
{
    TNX7_Calibrate c;
    c.SetTargetPos(0.5f);
    EXPECT_FLOAT_EQ(c.GetTargetPos(), 0.4f);
    EXPECT_FLOAT_EQ(VarNamed(c, "TargetPos")->GetValueFloat(), 0.4f);
    EXPECT_FLOAT_EQ(c.GetX(1), 0.6f);
    EXPECT_FLOAT_EQ(c.GetA(1), 0.6f);
    c.SetTargetPos(kNaN);
    EXPECT_FLOAT_EQ(c.GetTargetPos(), 0.05f);
    c.SetEdgeDivider(0.2f);
    EXPECT_FLOAT_EQ(c.GetEdgeDivider(), 0.3f);
    c.SetCentreDivider(0.9f);
    EXPECT_FLOAT_EQ(c.GetCentreDivider(), 0.5f);
    EXPECT_FLOAT_EQ(c.GetA(7), 0.0f);
    c.SetA(7, 0.3f);  // ignored
}

TEST(CalibIni, TestIniCountsDifferences)
{
    MemIniFile shipped;
    shipped.SetText(CalibrateSection(kMountings[4], 0.1f));
    TNX7_Calibrate c;
    c.Load(&shipped);

    MemIniFile saved;
    c.Save(&saved);
    EXPECT_EQ(c.TestIni(&saved), 0);
    EXPECT_EQ(saved.ReadSection("Calibrate").size(), 13u);

    struct Case {
        const char* what;
        const char* key;
        double delta;  // 0: remove the section
        int diffs;
    };
    const Case cases[] = {
        {"Ref_TR_A off by 0.002", "Ref_TR_A", 0.002, 1},
        {"Ref_BL_B off by 0.0005", "Ref_BL_B", 0.0005, 0},
        {"TargetPos off by 0.01", "TargetPos", 0.01, 1},
        {"_X is not compared", "Ref_TL_X", 0.2, 0},
    };
    for (const auto& k : cases) {
        MemIniFile f;
        f.SetText(saved.Text());
        f.WriteFloat("Calibrate", k.key, f.ReadFloat("Calibrate", k.key, 0.0) + k.delta);
        EXPECT_EQ(c.TestIni(&f), k.diffs) << k.what;
    }
    MemIniFile empty;
    EXPECT_EQ(c.TestIni(&empty), 7);
}

TEST(CalibIni, SaveLoadRoundTripKeepsTheMapping)
{
    Session s(kMountings[5]);
    s.jitter = 0.004f;
    s.c.DoStart(nullptr);
    s.Lift();
    for (int i = 0; i < 101; ++i) s.Press(0.1f, 0.1f);
    for (int i = 0; i < 101; ++i) s.Press(0.9f, 0.1f);
    for (int i = 0; i < 101; ++i) s.Press(0.1f, 0.9f);
    ASSERT_EQ(s.c.GetState(), cst_Complete);
    MemIniFile ini;
    s.c.Save(&ini);

    TNX7_Calibrate other;
    other.Load(&ini);
    EXPECT_EQ(other.GetOrient(), s.c.GetOrient());
    for (float a : {0.2f, 0.5f, 0.8f}) {
        float x1, y1, x2, y2;
        s.c.Map(a, 1 - a, x1, y1);
        other.Map(a, 1 - a, x2, y2);
        EXPECT_NEAR(x1, x2, 1e-4);
        EXPECT_NEAR(y1, y2, 1e-4);
    }
}

TEST(CalibIni, BadValuesKeepCurrentOrFallBackToIdentity)
{
    // Unreadable keys keep the current value; the targets follow TargetPos whatever _X says.
    MemIniFile partial;
    partial.SetText(CalibrateSection(kMountings[3], 0.1f));
    partial.WriteString("Calibrate", "Ref_TL_A", "garbage");
    partial.WriteString("Calibrate", "Ref_TR_B", "nan");
    partial.WriteString("Calibrate", "Ref_BL_X", "0.77");
    TNX7_Calibrate c;
    c.SetTargetPos(0.1f);
    c.Load(&partial);
    EXPECT_FLOAT_EQ(c.GetA(0), 0.1f);  // the stored target position from SetTargetPos
    EXPECT_FLOAT_EQ(c.GetB(1), 0.1f);
    EXPECT_FLOAT_EQ(c.GetX(2), 0.1f);
    EXPECT_TRUE(c.GetMapping().IsFinite());

    // Points so far apart that the triangle overflows single precision give no usable map.
    MemIniFile wild;
    wild.SetText(CalibrateSection(kMountings[0], 0.1f));
    wild.WriteFloat("Calibrate", "Ref_TL_A", -3e38);
    wild.WriteFloat("Calibrate", "Ref_TR_A", 3e38);
    TNX7_Calibrate d;
    d.Load(&wild);
    EXPECT_EQ(d.GetState(), cst_None);
    EXPECT_EQ(d.GetOrient(), ot_Unknown);
    ExpectMaps(d, 0.25f, 0.75f, 0.25f, 0.75f, 0.0f, "identity after failure");

    TNX7_Calibrate e;
    e.Load(nullptr);  // no file: nothing happens
    EXPECT_EQ(e.GetState(), cst_None);
    EXPECT_EQ(e.TestIni(nullptr), 7);
}

TEST(CalibBadInput, NonFinitePositionsAndStrengthsDoNotCountOrCrash)
{
    Session s(kMountings[0]);
    s.c.DoStart(nullptr);
    s.Lift();
    for (int i = 0; i < 300; ++i) {
        s.c.Input(nullptr, kNaN, 0.1f, 500, 500, 30, 60);
        s.c.Input(nullptr, 0.1f, 0.1f, kNaN, 500, 30, 60);
    }
    EXPECT_EQ(s.c.GetState(), cst_TopLeft);
    EXPECT_EQ(s.Count(0), 0);
}

}  // namespace
