#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "formfixture.h"
#include "share/meminifile.h"

namespace {

constexpr int32_t kTolerance = 65535 * 2 / 100;  // 2 % of the screen

TEST_F(FormFixture, TapMovesToTheFingerAndClicks) {
    StartWithSettings(TestSettings());
    Feed(3000);  // baseline learning, nothing touched
    ASSERT_TRUE(sink.Acts.empty());
    Feed(200, {Finger(0.3f, 0.6f)});
    Feed(500);
    auto moves = sink.Moves();
    ASSERT_FALSE(moves.empty());
    for (const MouseAct& m : moves) {
        EXPECT_NEAR(m.dx, 0.3 * 65535, kTolerance);
        EXPECT_NEAR(m.dy, 0.6 * 65535, kTolerance);
    }
    EXPECT_EQ(sink.Count(mouseflags::LeftDown), 1);
    EXPECT_EQ(sink.Count(mouseflags::LeftUp), 1);
    EXPECT_EQ(sink.Acts.back().flags, mouseflags::LeftUp)
        << "lifting the finger releases the button";
}

}  // namespace

namespace {

TEST_F(FormFixture, DragGivesMonotoneMovesAndLiftReleases) {
    StartWithSettings(TestSettings());
    Feed(3000);
    // 1.5 s from left-bottom to right-top, in small steps.
    const int steps = 150;
    for (int i = 0; i < steps; ++i) {
        const float u = static_cast<float>(i) / (steps - 1);
        Feed(10, {Finger(0.2f + 0.6f * u, 0.7f - 0.4f * u)});
    }
    Feed(500);
    auto moves = sink.Moves();
    ASSERT_GE(moves.size(), 20u);
    // Sensor noise may wobble a move by a few counts of 65535; nothing visible may go backwards.
    const int32_t wobble = 65535 / 1000;
    for (size_t i = 1; i < moves.size(); ++i) {
        EXPECT_GE(moves[i].dx, moves[i - 1].dx - wobble) << "move " << i;
        EXPECT_LE(moves[i].dy, moves[i - 1].dy + wobble) << "move " << i;
    }
    EXPECT_NEAR(moves.front().dx, 0.2 * 65535, 3 * kTolerance);
    EXPECT_NEAR(moves.back().dx, 0.8 * 65535, 3 * kTolerance);
    EXPECT_NEAR(moves.back().dy, 0.3 * 65535, 3 * kTolerance);
    EXPECT_EQ(sink.Count(mouseflags::LeftDown), 1) << "held down for the whole drag";
    EXPECT_EQ(sink.Acts.back().flags, mouseflags::LeftUp);
}

// With the calibration known, two fingers: the pointer follows the one nearer the top; when that
// one lifts, the remaining lower finger is not followed (no jump to it, button released).
TEST_F(FormFixture, TwoFingersFollowTheUpperOne) {
    StartWithSettings(TestSettings());
    ASSERT_NE(form->NX7_CalibrateXY.GetOrient(), ot_Unknown)
        << "the stored calibration is complete";
    Feed(3000);
    const sim::TFinger upper = Finger(0.3f, 0.25f), lower = Finger(0.7f, 0.8f);
    Feed(300, {upper});
    Feed(300, {upper, lower});
    const size_t before = sink.Moves().size();
    ASSERT_GT(before, 0u);
    for (const MouseAct& m : sink.Moves())
        EXPECT_NEAR(m.dy, 0.25 * 65535, kTolerance);
    EXPECT_EQ(form->GetTwoPeakState(), 3);

    Feed(500, {lower});  // the upper finger lifts
    EXPECT_EQ(form->GetTwoPeakState(), 2);
    for (const MouseAct& m : sink.Moves())
        EXPECT_LT(m.dy, 0.5 * 65535) << "never follows the lower finger";
    EXPECT_EQ(sink.Acts.back().flags, mouseflags::LeftUp);
    Feed(300);
    EXPECT_EQ(form->GetTwoPeakState(), 0);
}

TEST_F(FormFixture, ResetCommandSendsOneEmptyFrameAndRestartsLearning) {
    StartWithSettings(TestSettings());
    Feed(3000);
    ASSERT_GT(form->NX7_HistoryBX.GetFrameCount(), 250);
    const uint64_t resets = form->GetResetFrameCount();
    Command(form->NX7_StatusXY.GetResetVar());
    EXPECT_EQ(form->GetResetFrameCount(), resets + 1);
    EXPECT_EQ(form->NX7_StatusXY.GetResetVar()->GetValueInt(), 0);
    Feed(10);
    EXPECT_EQ(form->NX7_HistoryBX.GetFrameCount(), 1);
    EXPECT_EQ(form->NX7_HistoryBY.GetFrameCount(), 1);
    // While learning again a touch gives no mouse input.
    Feed(50, {Finger(0.5f, 0.5f)});
    EXPECT_TRUE(sink.Acts.empty());
}

TEST_F(FormFixture, FusionSetsResetAndSanityLevelsFromTouchLevel) {
    StartWithSettings(TestSettings());
    Feed(100);
    const float TT = form->NX7_AutoThresholdXY.GetTouchThreshold();
    ASSERT_GT(TT, 0.0f);
    EXPECT_EQ(form->NX7_AutoResetXY.GetThreshold(), static_cast<double>(TT) * 0.9);
    EXPECT_EQ(form->NX7_SanityCheckX.GetThreshold(), TT);
    EXPECT_EQ(form->NX7_SanityCheckY.GetThreshold(), TT);
}

TEST_F(FormFixture, ElapsedTimeStopsAtOneThousandSeconds) {
    StartWithSettings(TestSettings());
    const int t0 = form->GetElapsedTime();
    loop.Advance(1000);
    EXPECT_EQ(form->GetElapsedTime(), t0 + 1000);
    form->SetElapsedTime(999800);
    loop.Advance(1000);
    EXPECT_EQ(form->GetElapsedTime(), 1000000);
}

TEST_F(FormFixture, NoFramesGiveLossResetsShownAsDiagnostics) {
    StartWithSettings(TestSettings());
    logs.clear();
    loop.Advance(16000);
    int losses = 0;
    for (const std::string& l : logs)
        losses += l.rfind("AutoResetLoss ", 0) == 0;
    EXPECT_GE(losses, 2);
    EXPECT_EQ(form->GetCaption().rfind("AutoResetLoss ", 0) == 0 ||
                  form->GetCaption().rfind("Comms ", 0) == 0,
              true);
    EXPECT_EQ(form->GetCaption(), logs.back());
    EXPECT_EQ(form->GetCaption(), logs.back().substr(0, logs.back().find(' ')) + " " +
                                      std::to_string(form->GetEventCount()));
}

TEST_F(FormFixture, HeartBeatEverySecond) {
    StartWithSettings(TestSettings());
    TShareVarBase* hb = form->NX7_StatusXY.GetHeartBeatVar();
    const int h0 = hb->GetValueInt();
    loop.Advance(5000);
    EXPECT_EQ(hb->GetValueInt(), h0 + 5);
}

// ---- settings ------------------------------------------------------------------------------

TEST_F(FormFixture, FirstStartWritesDefaultsThenLoadsAndSavesThem) {
    ASSERT_FALSE(std::filesystem::exists(dir.File("ZT7.INI")));
    Start(/*extract=*/true);
    MemIniFile ini(dir.File("ZT7.INI"));
    EXPECT_EQ(ini.ReadString("General", "Product", ""), "Tactilo");
    EXPECT_EQ(ini.ReadString("General", "Version", ""), "ZT7.0.0.92");
    EXPECT_EQ(ini.ReadString("Comm", "PortInt1", ""), "9");
    EXPECT_TRUE(ini.SectionExists("Calibrate"));
    // Every saveable variable and the calibration have their key with the running value.
    EXPECT_EQ(form->ShareManager.TestIni(ini), 0);
    EXPECT_EQ(form->NX7_CalibrateXY.TestIni(&ini), 0);
    EXPECT_FALSE(form->ShareManager.GetDirty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("ZT7.INI.tmp")));
}

TEST_F(FormFixture, ExistingSettingsAreNotReplacedByDefaults) {
    std::string mine = TestSettings();
    WriteWholeFile(dir.File("ZT7.INI"), mine);
    Start(/*extract=*/true);
    MemIniFile ini(dir.File("ZT7.INI"));
    EXPECT_EQ(ini.ReadString("Output", "EnabledBoo1", ""), "1");
    EXPECT_EQ(ini.ReadString("Output", "PressTypeInt1", ""), "4");
}

TEST_F(FormFixture, SaveCommandWritesChangesAndClearsDirty) {
    StartWithSettings(TestSettings());
    PanelSlave panel;
    ASSERT_TRUE(panel.Attached());
    TShareVarBase* pressType = form->NX7_OutputXY.GetVars().GetVar(1);
    ASSERT_EQ(pressType->GetVarName(), "PressType");
    pressType->SetValueInt(2);
    loop.Advance(1100);  // change delivered and a heartbeat with the panel attached
    EXPECT_TRUE(form->ShareManager.GetDirty());
    EXPECT_TRUE(form->NX7_StatusXY.GetDirtyVar()->GetValueBool());

    Command(form->NX7_StatusXY.GetSaveVar());
    EXPECT_EQ(form->NX7_StatusXY.GetSaveVar()->GetValueInt(), 0);
    EXPECT_EQ(MemIniFile(dir.File("ZT7.INI")).ReadString("Output", "PressTypeInt1", ""), "2");
    EXPECT_FALSE(form->ShareManager.GetDirty());
    loop.Advance(1000);
    EXPECT_FALSE(form->NX7_StatusXY.GetDirtyVar()->GetValueBool());
}

TEST_F(FormFixture, WithoutPanelDirtyIsOnlyUpdatedByLoadAndSave) {
    StartWithSettings(TestSettings());
    TShareVarBase* pressType = form->NX7_OutputXY.GetVars().GetVar(1);
    pressType->SetValueInt(2);
    loop.Advance(3000);
    EXPECT_FALSE(form->ShareManager.GetDirty());
    Command(form->NX7_StatusXY.GetLoadVar());
    EXPECT_EQ(pressType->GetValueInt(), 4) << "the file's value is back";
    EXPECT_FALSE(form->ShareManager.GetDirty());
}

TEST_F(FormFixture, LoadCommandReadsTheFileAndReenablesOutputAndLink) {
    StartWithSettings(TestSettings());
    std::string edited = TestSettings();
    edited.replace(edited.find("PressTypeInt1=4"), 15, "PressTypeInt1=1");
    WriteWholeFile(dir.File("ZT7.INI"), edited);
    Command(form->NX7_StatusXY.GetLoadVar());
    loop.Advance(1100);  // the loaded values reach the components at the next poll
    EXPECT_EQ(form->NX7_OutputXY.GetPressType(), mpt_Move);
    EXPECT_TRUE(form->NX7_OutputXY.GetEnabled2());
    EXPECT_TRUE(form->NX7_CommsAXY.GetReqOpen2());
}

TEST_F(FormFixture, BadSettingsFilesKeepValuesAndAreRewrittenWhole) {
    struct Case {
        const char* what;
        std::string text;
        bool reported;
        bool outputOn;  // the file's [Output] switch got through
    };
    const std::string good = TestSettings();
    Case cases[] = {
        {"binary garbage", std::string("\x00\xff\x13garbage\x01\x02[[[=\n\x00", 18), true, false},
        {"empty", "", true, false},
        {"cut in the middle of a line", good.substr(0, good.find("PressTypeInt1=4") + 11), false,
         true},
        {"section header never closed", "[Output\r\nEnabledBoo1=1\r\n", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        logs.clear();
        sink.Acts.clear();
        StartWithSettings(c.text);
        bool said = false;
        for (const std::string& l : logs)
            said |= l.find("holds no settings") != std::string::npos;
        EXPECT_EQ(said, c.reported);
        MemIniFile ini(dir.File("ZT7.INI"));
        EXPECT_EQ(ini.ReadString("General", "Product", ""), "Tactilo");
        EXPECT_EQ(form->ShareManager.TestIni(ini), 0) << "every key written back";
        EXPECT_FALSE(form->ShareManager.GetDirty());
        EXPECT_EQ(form->NX7_OutputXY.GetEnabled1(), c.outputOn);
    }
}

TEST_F(FormFixture, UnwritableSettingsAreReportedAndLeftIntact) {
    const std::string original = TestSettings();
    WriteWholeFile(dir.File("ZT7.INI"), original);
    // Root ignores folder permissions; a directory where the temporary file goes blocks it too.
    std::filesystem::create_directory(dir.File("ZT7.INI.tmp"));
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    Start();
    EXPECT_FALSE(form->GetLastSaveOk());
    bool said = false;
    for (const std::string& l : logs)
        said |= l.find("cannot write settings file") != std::string::npos;
    EXPECT_TRUE(said);
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.INI")), original);
    // The running values came from the file all the same.
    EXPECT_TRUE(form->NX7_OutputXY.GetEnabled1());
    Command(form->NX7_StatusXY.GetSaveVar());  // a later save fails the same way, quietly
    EXPECT_EQ(ReadWholeFile(dir.File("ZT7.INI")), original);
}

// ---- logger commands -----------------------------------------------------------------------

TEST_F(FormFixture, RecordedSessionReplaysToTheSameMouseActions) {
    StartWithSettings(TestSettings());
    Command(form->NX7_StatusXY.GetLogRecordVar());
    ASSERT_EQ(form->NX7_LoggerXY.GetMode(), lmt_Record);
    Command(form->NX7_StatusXY.GetResetVar());  // live run and replay both begin learning afresh
    Feed(3000);
    Feed(200, {Finger(0.3f, 0.6f)});
    Feed(400);
    for (int i = 0; i < 60; ++i)
        Feed(10, {Finger(0.2f + 0.01f * i, 0.4f)});
    Feed(400);
    Command(form->NX7_StatusXY.GetLogStopVar());
    ASSERT_EQ(form->NX7_LoggerXY.GetMode(), lmt_Idle);
    const std::vector<MouseAct> live = sink.Acts;
    ASSERT_GT(live.size(), 10u);

    sink.Acts.clear();
    Command(form->NX7_StatusXY.GetLogPlayVar());
    ASSERT_EQ(form->NX7_LoggerXY.GetMode(), lmt_Play);
    // Live frames meanwhile are ignored.
    for (int i = 0; i < 600; ++i) {
        Feed(10, {Finger(0.9f, 0.9f)});
        if (form->NX7_LoggerXY.GetMode() != lmt_Play) break;
    }
    loop.Advance(2000);
    EXPECT_EQ(form->NX7_LoggerXY.GetMode(), lmt_Idle) << "playback ended with the file";
    ASSERT_EQ(sink.Acts.size(), live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        EXPECT_EQ(sink.Acts[i].flags, live[i].flags) << i;
        EXPECT_EQ(sink.Acts[i].dx, live[i].dx) << i;
        EXPECT_EQ(sink.Acts[i].dy, live[i].dy) << i;
    }
}

// ---- shut-down -----------------------------------------------------------------------------

TEST_F(FormFixture, TerminateClosesLinkReleasesButtonAndLeavesGroup) {
    StartWithSettings(TestSettings());
    bool terminated = false;
    form->OnTerminateRequest = [&] { terminated = true; };
    Feed(3000);
    Feed(100, {Finger(0.5f, 0.5f)});
    ASSERT_EQ(sink.Count(mouseflags::LeftDown), 1);
    ASSERT_EQ(sink.Count(mouseflags::LeftUp), 0);
    TShareVarBase* reqOpen = nullptr;
    for (int i = 0; i < form->NX7_CommsAXY.GetShareVars().GetCount(); ++i)
        if (form->NX7_CommsAXY.GetShareVars().GetVar(i)->GetVarName() == "ReqOpen")
            reqOpen = form->NX7_CommsAXY.GetShareVars().GetVar(i);
    ASSERT_NE(reqOpen, nullptr);
    ASSERT_TRUE(reqOpen->GetValueBool());

    Command(form->NX7_StatusXY.GetTerminateVar());
    EXPECT_TRUE(terminated);
    EXPECT_TRUE(form->GetShutDown());
    EXPECT_FALSE(form->NX7_CommsAXY.GetReqOpen1());
    EXPECT_FALSE(reqOpen->GetValueBool());
    EXPECT_EQ(sink.Acts.back().flags, mouseflags::LeftUp);
    EXPECT_FALSE(form->ShareManager.GetActive());
}

}  // namespace
