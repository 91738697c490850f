#include "driver/app/processfrm.h"

#include <chrono>
#include <exception>
#include <sstream>
#include <thread>

#include "platform/driverprocess.h"
#include "platform/mainloop.h"
#include "platform/mousesink.h"
#include "share/fileannote.h"
#include "share/meminifile.h"
#include "share/sharemanbase.h"

namespace {

// Identification written to [General] at every save.
struct GeneralKey {
    const char* key;
    const char* value;
};
constexpr GeneralKey kGeneral[] = {
    {"Product", "Tactilo"},
    {"Version", "ZT7.0.0.92"},
    {"Copyright", "Copyright (C) ZT7 touch-screen driver authors"},
    {"Company", "ZT7 project"},
    {"Address1", "Linux port of the ZT7 touch-screen driver"},
    {"Address2", ""},
    {"Address3", ""},
    {"Address4", ""},
    {"Telephone", ""},
    {"Patents_US", ""},
};

// Lower-case copy for section-name comparison (INI names are case-insensitive).
std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Removes a whole section (header, keys and the blank line before the next header).
void EraseSection(MemIniFile& file, const std::string& section) {
    std::istringstream in(file.Text());
    std::string line, out;
    bool skipping = false;
    const std::string want = Lower(section);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string trimmed = line;
        while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
            trimmed.erase(0, 1);
        while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
            trimmed.pop_back();
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']')
            skipping = Lower(trimmed.substr(1, trimmed.size() - 2)) == want;
        if (!skipping) out += line + "\r\n";
    }
    file.SetText(out);
}

std::string WithSlash(std::string dir) {
    if (dir.empty()) dir = ".";
    if (dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

TNX7_ProcessForm::TNX7_ProcessForm(const TProcessFormConfig& config)
    : NX7_AutoResetXY(config.Loop), NX7_LoggerXY(config.Loop),
      NX7_CommsAXY(config.Loop, config.HidBackend, config.StartUsbThread),
      FLoop(config.Loop ? config.Loop : &MainLoop::Current()),
      FDirectory(WithSlash(config.Directory)), FExecutablePath(config.ExecutablePath),
      FShutDownWaitMs(config.ShutDownWaitMs) {
    // 1. The form's working values.
    ShareManager.GetShareManBase()->SetLoop(FLoop);
    Timer10Hz = FLoop->AddTimer(100, [this] { Timer10HzTimer(); });

    NX7_AutoResetXY.SetThreshold(10);
    NX7_AutoResetXY.SetLossPeriod(4000);
    NX7_AutoResetXY.SetSlowPeriod(900000);
    NX7_AutoResetXY.SetHoldPeriod(10000);
    NX7_AutoResetXY.SetQuickPeriod(60000);
    NX7_AutoResetXY.SetXYSkewPeriod(2000);

    NX7_DampedXY.SetActive(true);
    NX7_DampedXY.SetMaxLength(100);
    NX7_DampedXY.SetSnapRadius(0.05f);

    NX7_OutputXY.SetWinVersion(wvt_98);
    NX7_OutputXY.SetPressType(mpt_SelectMoveRelease);

    NX7_AutoThresholdXY.SetFixed(true);
    NX7_AutoThresholdXY.SetFixedThreshold(300);
    NX7_AutoThresholdXY.SetMinThreshold(10);
    NX7_AutoThresholdXY.SetMaxThreshold(500);
    NX7_AutoThresholdXY.SetTrackingTimeConstant(0.001f);

    NX7_CalibrateXY.SetTargetPos(0.1f);
    NX7_CalibrateXY.SetEdgeDivider(0.4f);
    NX7_CalibrateXY.SetCentreDivider(0.35f);

    NX7_GrapherX.SetChannel(0);
    NX7_GrapherY.SetChannel(1);

    NX7_EdgeStretchXY.SetActive(true);
    NX7_EdgeStretchXY.SetEdgePos(0.1f);

    NX7_LoggerXY.SetFileLengthLimit(1000000);

    NX7_SpreadX.SetSpread(0.3f);
    NX7_SpreadY.SetSpread(0.3f);
    NX7_NormaliseX.SetMode(4);
    NX7_NormaliseY.SetMode(4);

    NX7_ProcDualPeakX.SetActive(true);
    NX7_ProcDualPeakX.SetDeWiggleOuter(0.5f);
    NX7_ProcDualPeakX.SetDeWiggleInner(0.5f);
    NX7_ProcDualPeakY.SetActive(true);
    NX7_ProcDualPeakY.SetDeWiggleOuter(0.5f);
    NX7_ProcDualPeakY.SetDeWiggleInner(0.5f);

    NX7_ConvolveExpX.SetActive(true);
    NX7_ConvolveExpY.SetActive(true);

    NX7_DampingXY.SetDamping(0.5f);
    NX7_TimeSpreadX.SetHistory(2);
    NX7_TimeSpreadY.SetHistory(2);

    NX7_HistoryBX.SetScaler(2);
    NX7_HistoryBX.SetRate(44);
    NX7_HistoryBY.SetScaler(2);
    NX7_HistoryBY.SetRate(44);

    NX7_CoarseFineX.SetMode(1);
    NX7_CoarseFineY.SetMode(1);

    NX7_SanityCheckX.SetThreshold(10);
    NX7_SanityCheckY.SetThreshold(10);

    BindEvents();

    // 2. First processor only, as the timing of the original relied on.
    PinToFirstProcessor();

    // 3. Counters and fusion state start cleared (member initialisers).

    // 4. Paths.
    FSettingsPath = FDirectory + "ZT7.INI";
    NX7_LoggerXY.SetFileName(FDirectory + "ZT7.LOG");

    // 5. Default settings beside us, written only when absent.
    if (!FExecutablePath.empty()) {
        FileAnnote annote;
        annote.ExtractAll(FExecutablePath, FDirectory);
    }

    // 6. Pointer visibility is bookkeeping only on this platform.
    ForceCursorVisible();
}

TNX7_ProcessForm::~TNX7_ProcessForm() {
    if (Timer10Hz) FLoop->RemoveTimer(Timer10Hz);
    Timer10Hz = 0;
    // No mouse action may reach a sink that is going away with its owner.
    NX7_OutputXY.OnMouseSend = nullptr;
    NX7_CommsAXY.OnRawData = nullptr;
    RestoreCursor();
    FSnapshot.reset();
}

void TNX7_ProcessForm::BindEvents() {
    NX7_CommsAXY.OnRawData = [this](void* s, int n, const uint8_t* d) {
        NX7_CommsAXYRawData(s, n, d);
    };
    NX7_LoggerXY.OnOutput = [this](void* s, int n, const uint8_t* d) {
        NX7_LoggerXYOutput(s, n, d);
    };
    NX7_PacketSplitterBXY.OnRawX = [this](void* s, int n, const uint8_t* d) {
        NX7_PacketSplitterBXYRawX(s, n, d);
    };
    NX7_PacketSplitterBXY.OnRawY = [this](void* s, int n, const uint8_t* d) {
        NX7_PacketSplitterBXYRawY(s, n, d);
    };
    NX7_PacketSplitterBXY.OnRaw = [this](void* s, int n, const uint8_t* d) {
        NX7_PacketSplitterBXYRaw(s, n, d);
    };

    // Axis chains: history → coarse/fine (+ sanity) → grapher, time spread → spread → deslope →
    // exponential convolution → edge sensitise → normalise → dual peak.
    NX7_HistoryBX.OnOutput = [this](void*, int n, const float* d) {
        NX7_CoarseFineX.Input(this, n, d);
        NX7_SanityCheckX.Input(this, n, d);
    };
    NX7_CoarseFineX.OnOutput = [this](void*, int n, const float* d) {
        NX7_GrapherX.Input(this, n, d);
        NX7_TimeSpreadX.Input(this, n, d);
    };
    NX7_TimeSpreadX.OnOutput = [this](void*, int n, const float* d) {
        NX7_SpreadX.Input(this, n, d);
    };
    NX7_SpreadX.OnOutput = [this](void*, int n, const float* d) { NX7_DeslopeX.Input(this, n, d); };
    NX7_DeslopeX.OnOutput = [this](void*, int n, const float* d) {
        NX7_ConvolveExpX.Input(this, n, d);
    };
    NX7_ConvolveExpX.OnOutput = [this](void*, int n, const float* d) {
        NX7_EdgeSensitizeX.Input(this, n, d);
    };
    NX7_EdgeSensitizeX.OnOutput = [this](void*, int n, const float* d) {
        NX7_NormaliseX.Input(this, n, d);
    };
    NX7_NormaliseX.OnOutput = [this](void*, int n, const float* d) {
        NX7_ProcDualPeakX.Input(this, n, d);
    };
    NX7_ProcDualPeakX.OnOutput = nullptr;
    NX7_GrapherX.OnOutput = nullptr;

    NX7_HistoryBY.OnOutput = [this](void*, int n, const float* d) {
        NX7_CoarseFineY.Input(this, n, d);
        NX7_SanityCheckY.Input(this, n, d);
    };
    NX7_CoarseFineY.OnOutput = [this](void*, int n, const float* d) {
        NX7_GrapherY.Input(this, n, d);
        NX7_TimeSpreadY.Input(this, n, d);
    };
    NX7_TimeSpreadY.OnOutput = [this](void*, int n, const float* d) {
        NX7_SpreadY.Input(this, n, d);
    };
    NX7_SpreadY.OnOutput = [this](void*, int n, const float* d) { NX7_DeslopeY.Input(this, n, d); };
    NX7_DeslopeY.OnOutput = [this](void*, int n, const float* d) {
        NX7_ConvolveExpY.Input(this, n, d);
    };
    NX7_ConvolveExpY.OnOutput = [this](void*, int n, const float* d) {
        NX7_EdgeSensitizeY.Input(this, n, d);
    };
    NX7_EdgeSensitizeY.OnOutput = [this](void*, int n, const float* d) {
        NX7_NormaliseY.Input(this, n, d);
    };
    NX7_NormaliseY.OnOutput = [this](void*, int n, const float* d) {
        NX7_ProcDualPeakY.Input(this, n, d);
    };
    NX7_ProcDualPeakY.OnOutput = nullptr;
    NX7_GrapherY.OnOutput = nullptr;

    NX7_SanityCheckX.OnReset = [this](void*) { NX7_CommsAXY.Reset(this); };
    NX7_SanityCheckY.OnReset = [this](void*) { NX7_CommsAXY.Reset(this); };

    NX7_DampedXY.OnOutput = [this](void* s, float x, float y, float mx, float my, float tt,
                                   float pt) { NX7_DampedXYOutput(s, x, y, mx, my, tt, pt); };
    NX7_DampingXY.OnOutput = [this](void* s, float x, float y, float mx, float my, float tt,
                                    float pt) { NX7_DampingXYOutput(s, x, y, mx, my, tt, pt); };
    NX7_CalibrateXY.OnOutput = [this](void* s, float x, float y, float mx, float my, float tt,
                                      float pt) { NX7_CalibrateXYOutput(s, x, y, mx, my, tt, pt); };
    NX7_EdgeStretchXY.OnOutput = [this](void* s, float x, float y, float m, float tt, float pt) {
        NX7_EdgeStretchXYOutput(s, x, y, m, tt, pt);
    };
    NX7_OutputXY.OnMouseSend = [this](void* s, TWinVersionType v, uint32_t f, int32_t dx,
                                      int32_t dy,
                                      uint32_t t) { NX7_OutputXYMouseSend(s, v, f, dx, dy, t); };

    NX7_StatusXY.OnSave = [this](void* s) { NX7_StatusXYSave(s); };
    NX7_StatusXY.OnLoad = [this](void* s) { NX7_StatusXYLoad(s); };
    NX7_StatusXY.OnTerminate = [this](void* s) { NX7_StatusXYTerminate(s); };
    NX7_StatusXY.OnReset = [this](void* s) { NX7_StatusXYReset(s); };
    NX7_StatusXY.OnLogRecord = [this](void* s) { NX7_StatusXYLogRecord(s); };
    NX7_StatusXY.OnLogPlay = [this](void* s) { NX7_StatusXYLogPlay(s); };
    NX7_StatusXY.OnLogStop = [this](void* s) { NX7_StatusXYLogStop(s); };

    NX7_AutoResetXY.OnLossReset = [this](void* s) { NX7_AutoResetXYLossReset(s); };
    NX7_AutoResetXY.OnQuickReset = [this](void* s) { NX7_AutoResetXYQuickReset(s); };
    NX7_AutoResetXY.OnSkewReset = [this](void* s) { NX7_AutoResetXYSkewReset(s); };
    NX7_AutoResetXY.OnSlowReset = [this](void* s) { NX7_AutoResetXYSlowReset(s); };
}

void TNX7_ProcessForm::Log(const std::string& line) {
    if (OnLog) OnLog(line);
}

void TNX7_ProcessForm::ShowEvent(const std::string& name) {
    ++FEventCount;
    FCaption = name + " " + std::to_string(FEventCount);
    Log(FCaption);
}

// ---- frame path ------------------------------------------------------------------------------

void TNX7_ProcessForm::NX7_CommsAXYRawData(void*, int theLength, const uint8_t* theRawData) {
    if (theLength == 0) ShowEvent("Comms");
    NX7_LoggerXY.Input(this, theLength, theRawData);
}

void TNX7_ProcessForm::NX7_LoggerXYOutput(void*, int theLength, const uint8_t* theRawData) {
    NX7_PacketSplitterBXY.Input(this, theLength, theRawData);
}

void TNX7_ProcessForm::NX7_PacketSplitterBXYRawX(void*, int theLength, const uint8_t* theRawData) {
    NX7_HistoryBX.SetRate(NX7_CommsAXY.GetRate());
    NX7_HistoryBX.Input(this, theLength, theRawData);
}

void TNX7_ProcessForm::NX7_PacketSplitterBXYRawY(void*, int theLength, const uint8_t* theRawData) {
    NX7_HistoryBY.SetRate(NX7_CommsAXY.GetRate());
    NX7_HistoryBY.Input(this, theLength, theRawData);
}

// Frame fusion: both axes of this frame have run; fuse them into one report.
void TNX7_ProcessForm::NX7_PacketSplitterBXYRaw(void*, int theLength, const uint8_t*) {
    TNX7_ProcDualPeakB& X = NX7_ProcDualPeakX;
    TNX7_ProcDualPeakB& Y = NX7_ProcDualPeakY;
    if (theLength != 0)
        ++FFrameCount;
    else
        ++FResetFrameCount;

    NX7_AutoThresholdXY.SetRate(NX7_CommsAXY.GetRate());
    NX7_AutoThresholdXY.CrudeInput(this, NX7_HistoryBX.GetLength(), NX7_HistoryBX.GetData(),
                                   NX7_HistoryBY.GetLength(), NX7_HistoryBY.GetData());
    const float m1 = X.GetPeakValue1() < Y.GetPeakValue1() ? X.GetPeakValue1() : Y.GetPeakValue1();
    NX7_AutoThresholdXY.Input(this, X.GetPeakAngle1(), Y.GetPeakAngle1(), m1);

    const float TT = NX7_AutoThresholdXY.GetTouchThreshold();
    const float PT = NX7_AutoThresholdXY.GetPressThreshold();
    NX7_AutoResetXY.SetThreshold(static_cast<double>(TT) * 0.9);
    NX7_AutoResetXY.Input(this, theLength, X.GetPeakValue1(), Y.GetPeakValue1());
    NX7_SanityCheckX.SetThreshold(TT);
    NX7_SanityCheckY.SetThreshold(TT);

    auto peaks = [](const TNX7_ProcDualPeakB& p) {
        TAxisPeaks a;
        a.Pos1 = p.GetPeakPos1();
        a.Pos2 = p.GetPeakPos2();
        a.Value1 = p.GetPeakValue1();
        a.Value2 = p.GetPeakValue2();
        a.Angle1 = p.GetPeakAngle1();
        a.Angle2 = p.GetPeakAngle2();
        return a;
    };
    const TFusedReport r =
        FusePeaks(peaks(X), peaks(Y), NX7_CalibrateXY.GetOrient(), TT, FTwoPeakState, FMidPoint);
    NX7_DampedXY.Input(r.X, r.Y, r.MX, r.MY, TT, PT);
}

TFusedReport TNX7_ProcessForm::FusePeaks(const TAxisPeaks& X, const TAxisPeaks& Y,
                                         OrientType orient, float TT, uint8_t& state,
                                         float& midPoint) {
    TFusedReport r;
    r.X = X.Angle1;
    r.Y = Y.Angle1;
    r.MX = X.Value1;
    r.MY = Y.Value1;
    int count = 1;
    float s = 0.0f, v = 0.0f, o = 0.0f;
    bool ascending = true;

    const TAxisPeaks* A = nullptr;
    if (orient == ot_ATop || orient == ot_ABottom) A = &X;
    if (orient == ot_BTop || orient == ot_BBottom) A = &Y;
    if (A) {
        ascending = orient == ot_ATop || orient == ot_BTop;
        s = A->Angle1;
        v = A->Value1;
        // An unordered comparison (NaN) counts as below the touch level.
        const bool secondBelow = !(A->Value2 >= TT);
        if (!(A->Pos2 < 0 || secondBelow)) {
            count = 2;
            const bool first = ascending ? A->Pos1 > A->Pos2 : A->Pos1 < A->Pos2;
            const float angleK = first ? A->Angle1 : A->Angle2;
            const float valueK = first ? A->Value1 : A->Value2;
            const float angleJ = first ? A->Angle2 : A->Angle1;
            if (A == &X) {
                r.X = angleK;
                r.MX = valueK;
            } else {
                r.Y = angleK;
                r.MY = valueK;
            }
            s = angleK;
            v = valueK;
            o = angleJ;
        }
    }

    if (orient == ot_Unknown) {
        state = 0;
        r.Count = count;
        return r;
    }
    if (count == 1 && !(v >= TT)) count = 0;
    uint8_t next = state;
    if (count == 0) {
        next = 0;
    } else if (count == 2) {
        next = 3;
    } else {
        switch (state) {
        case 0:
        case 1:
            next = 1;
            break;
        case 2:
            next = 2;
            break;
        default:
            // One of two fingers lifted: keep following only one on the followed side.
            if (ascending)
                next = s > midPoint ? 1 : 2;
            else
                next = s >= midPoint ? 2 : 1;
            break;
        }
    }
    state = next;
    if (state == 2) {
        r.MX = 0.0f;
        r.MY = 0.0f;
    } else if (state == 3) {
        midPoint = (s + o) * 0.5f;
    }
    r.Count = count;
    return r;
}

void TNX7_ProcessForm::NX7_DampedXYOutput(void*, float theX, float theY, float theMX, float theMY,
                                          float theMTT, float theMPT) {
    NX7_DampingXY.Input(theX, theY, theMX, theMY, theMTT, theMPT);
}

void TNX7_ProcessForm::NX7_DampingXYOutput(void*, float theX, float theY, float theMX, float theMY,
                                           float theMTT, float theMPT) {
    NX7_CalibrateXY.Input(this, ToUnitRange(theX), ToUnitRange(theY), theMX, theMY, theMTT, theMPT);
}

void TNX7_ProcessForm::NX7_CalibrateXYOutput(void*, float theX, float theY, float theMX,
                                             float theMY, float theMTT, float theMPT) {
    const float M = theMX < theMY ? theMX : theMY;
    NX7_EdgeStretchXY.Input(this, theX, theY, M, theMTT, theMPT);
}

void TNX7_ProcessForm::NX7_EdgeStretchXYOutput(void*, float theX, float theY, float theM,
                                               float theMTT, float theMPT) {
    NX7_OutputXY.SetEnabled3(!NX7_AutoThresholdXY.GetBusy());
    NX7_OutputXY.SetEnabled4(!NX7_CalibrateXY.GetBusy());
    NX7_OutputXY.Input(this, theX, theY, theM, theMTT, theMPT, NX7_AutoThresholdXY.GetCrudeTouch(),
                       FElapsedTime / 1000);
}

void TNX7_ProcessForm::NX7_OutputXYMouseSend(void*, TWinVersionType, uint32_t theFlags,
                                             int32_t theDx, int32_t theDy, uint32_t) {
    ++FMouseCount;
    if (FMouse) FMouse->Send(theFlags, theDx, theDy);
}

// ---- status commands -------------------------------------------------------------------------

void TNX7_ProcessForm::NX7_StatusXYSave(void*) {
    SaveSettings();
}
void TNX7_ProcessForm::NX7_StatusXYLoad(void*) {
    LoadSettings();
}

void TNX7_ProcessForm::NX7_StatusXYTerminate(void*) {
    ShutDown();
    if (OnTerminateRequest) OnTerminateRequest();
}

void TNX7_ProcessForm::NX7_StatusXYReset(void*) {
    NX7_PacketSplitterBXY.Reset(this);
}

void TNX7_ProcessForm::NX7_StatusXYLogRecord(void*) {
    NX7_LoggerXY.DoRecord();
    if (NX7_LoggerXY.GetMode() != lmt_Record)
        Log("cannot record to " + NX7_LoggerXY.GetFileName() + ": the file cannot be created");
}

void TNX7_ProcessForm::NX7_StatusXYLogPlay(void*) {
    NX7_LoggerXY.DoPlay();
    if (NX7_LoggerXY.GetMode() != lmt_Play)
        Log("cannot play " + NX7_LoggerXY.GetFileName() + ": missing, unreadable or empty");
    NX7_PacketSplitterBXY.Reset(this);
}

void TNX7_ProcessForm::NX7_StatusXYLogStop(void*) {
    NX7_LoggerXY.DoClose();
    NX7_PacketSplitterBXY.Reset(this);
}

// ---- automatic resets ------------------------------------------------------------------------

void TNX7_ProcessForm::NX7_AutoResetXYLossReset(void*) {
    ShowEvent("AutoResetLoss");
    NX7_CommsAXY.Reset(this);
}
void TNX7_ProcessForm::NX7_AutoResetXYQuickReset(void*) {
    ShowEvent("AutoResetQuick");
}
void TNX7_ProcessForm::NX7_AutoResetXYSkewReset(void*) {
    ShowEvent("AutoResetSkew");
}
void TNX7_ProcessForm::NX7_AutoResetXYSlowReset(void*) {}

// ---- lifecycle -------------------------------------------------------------------------------

void TNX7_ProcessForm::Timer10HzTimer() {
    if (FElapsedTime < 1000000) FElapsedTime += 100;
    NX7_SanityCheckX.DoPoll();
    NX7_SanityCheckY.DoPoll();
    StartUp();
    HeartBeatTick();
}

void TNX7_ProcessForm::StartUp() {
    if (FStarted) return;
    FStarted = true;
    ShareManager.SetMaster(true);
    ShareManager.SetActive(true);
    LoadSettings();
    SaveSettings();
    // The form's window stays hidden: there is none on this platform.
}

void TNX7_ProcessForm::HeartBeatTick() {
    if (++FTickCounter < 10) return;
    FTickCounter = 0;
    if (ShareManager.GetSlaveCount() >= 1) UpdateDirty();
    NX7_StatusXY.DoHeartBeat();
}

void TNX7_ProcessForm::LoadSettings() {
    NX7_CommsAXY.SetReqOpen2(false);
    NX7_OutputXY.SetEnabled2(false);

    ShareManager.SetFileName(FSettingsPath);
    try {
        MemIniFile file(FSettingsPath);
        if (file.ReadSections().empty()) {
            // Missing, unreadable or without a single section: everything keeps its value and the
            // next save writes a complete file.
            if (!FReportedUnreadable)
                Log("settings file " + FSettingsPath +
                    " is missing or holds no settings; keeping the current values");
            FReportedUnreadable = true;
        } else {
            FReportedUnreadable = false;
        }
        ShareManager.LoadIni(file);
        try {
            NX7_CalibrateXY.Load(&file);
        } catch (const std::exception&) {
        }
    } catch (const std::exception& e) {
        Log(std::string("settings load failed: ") + e.what());
    }

    NX7_CommsAXY.SetReqOpen2(true);
    NX7_OutputXY.SetEnabled2(true);
    TakeSnapshot();
}

void TNX7_ProcessForm::SaveSettings() {
    ShareManager.SetFileName(FSettingsPath);
    // One in-memory copy gets the variables, [General] and [Calibrate], then replaces the file in
    // one step (temporary file + rename), so a crash or a full disk never leaves half a file.
    MemIniFile file(FSettingsPath);
    try {
        ShareManager.SaveIni(file);
    } catch (const std::exception& e) {
        Log(std::string("saving the shared settings failed: ") + e.what());
    }
    try {
        EraseSection(file, "General");
    } catch (const std::exception&) {
    }
    try {
        for (const GeneralKey& k : kGeneral)
            file.WriteString("General", k.key, k.value);
    } catch (const std::exception&) {
    }
    try {
        NX7_CalibrateXY.Save(&file);
    } catch (const std::exception&) {
    }
    const bool ok = file.UpdateFile(FSettingsPath);
    if (!ok && FLastSaveOk)
        Log("cannot write settings file " + FSettingsPath +
            " (read-only folder or disk full?); settings stay unsaved until it can be written");
    FLastSaveOk = ok;
    TakeSnapshot();
}

void TNX7_ProcessForm::TakeSnapshot() {
    FSnapshot.reset();
    FSnapshot = std::make_unique<MemIniFile>(FSettingsPath);
    UpdateDirty();
}

void TNX7_ProcessForm::UpdateDirty() {
    int n = 0;
    if (FSnapshot) n = ShareManager.TestIni(*FSnapshot) + NX7_CalibrateXY.TestIni(FSnapshot.get());
    ShareManager.SetDirty(n != 0);
}

void TNX7_ProcessForm::ShutDown() {
    if (FShutDown) return;
    FShutDown = true;
    // No button may stay down once we are gone: the output is switched off (which releases the
    // button) before the link closes, so the reset frame of the closing link cannot press again.
    NX7_OutputXY.SetEnabled2(false);
    NX7_OutputXY.Reset(this);
    NX7_CommsAXY.SetReqOpen1(false);
    // The link needs a pause to close before the shared blocks go. The share manager's own
    // deactivation pause blocks this thread just the same, so only what it does not cover is
    // waited here: the driver ends about one second after the command, not two.
    const uint32_t covered = ShareManager.GetActive() ? TShareManBase::GetDeactivatePause() : 0;
    if (FShutDownWaitMs > covered)
        std::this_thread::sleep_for(std::chrono::milliseconds(FShutDownWaitMs - covered));
    ShareManager.SetActive(false);
}

void TNX7_ProcessForm::ForceCursorVisible() {
    // The pointer's display counter has no equivalent here; only the balance is kept so that
    // start-up and destruction stay symmetrical.
    FCursorBalance = 1;
}

void TNX7_ProcessForm::RestoreCursor() {
    while (FCursorBalance > 0)
        --FCursorBalance;
    while (FCursorBalance < 0)
        ++FCursorBalance;
}
