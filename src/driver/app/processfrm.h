// The driver's processing form: owns every processing component, joins them into the fixed graph
// (link → logger → splitter → per-axis chains → frame fusion → pointer path → mouse), and runs the
// driver's housekeeping: the 10 Hz timer, start-up, settings load and save, heartbeat, shut-down.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "driver/link/commsb.h"
#include "driver/proc/coarsefine.h"
#include "driver/proc/convolveexp.h"
#include "driver/proc/deslope.h"
#include "driver/proc/edgesensitize.h"
#include "driver/proc/historyb.h"
#include "driver/proc/normalise.h"
#include "driver/proc/packetsplitterb.h"
#include "driver/proc/procdualpeakb.h"
#include "driver/proc/sanitycheck.h"
#include "driver/proc/spread.h"
#include "driver/proc/timespread.h"
#include "driver/touch/autoreseta.h"
#include "driver/touch/autothreshold.h"
#include "driver/touch/calibrate.h"
#include "driver/touch/damped.h"
#include "driver/touch/damping.h"
#include "driver/touch/edgestretch.h"
#include "driver/touch/grapher.h"
#include "driver/touch/logger.h"
#include "driver/touch/output.h"
#include "driver/touch/status.h"
#include "share/sharemanager.h"

class MainLoop;
class MemIniFile;
class MouseSink;
class THidBackend;

struct TProcessFormConfig {
    // Folder of "ZT7.INI" and "ZT7.LOG", with or without a trailing "/".
    std::string Directory;
    // The executable whose appended defaults are extracted into Directory ("" = none).
    std::string ExecutablePath;
    MainLoop* Loop = nullptr;           // null: MainLoop::Current()
    THidBackend* HidBackend = nullptr;  // null: the system's HID backend
    bool StartUsbThread = true;
    // Pause in ShutDown that gives the link time to close.
    uint32_t ShutDownWaitMs = 1000;
};

// What the fusion reads of one axis's dual-peak finder.
struct TAxisPeaks {
    int Pos1 = -1, Pos2 = -1;  // wire index, −1 when absent
    float Value1 = 0, Value2 = 0;
    float Angle1 = 0, Angle2 = 0;
};

// The report the fusion sends down the pointer path.
struct TFusedReport {
    float X = 0, Y = 0, MX = 0, MY = 0;
    int Count = 0;  // peaks seen on the followed axis after the touch test (0, 1, 2)
};

class TNX7_ProcessForm {
public:
    explicit TNX7_ProcessForm(const TProcessFormConfig& config);
    ~TNX7_ProcessForm();
    TNX7_ProcessForm(const TNX7_ProcessForm&) = delete;
    TNX7_ProcessForm& operator=(const TNX7_ProcessForm&) = delete;

    // Components, in the form's creation order (the order their variables are registered in).
    TShareManager ShareManager;
    int Timer10Hz = 0;
    TNX7_AutoResetA NX7_AutoResetXY;
    TNX7_Damped NX7_DampedXY;
    TNX7_Output NX7_OutputXY;
    TNX7_AutoThreshold NX7_AutoThresholdXY;
    TNX7_Calibrate NX7_CalibrateXY;
    TNX7_Status NX7_StatusXY;
    TNX7_Grapher NX7_GrapherX, NX7_GrapherY;
    TNX7_EdgeStretch NX7_EdgeStretchXY;
    TNX7_Logger NX7_LoggerXY;
    TNX7_Spread NX7_SpreadX, NX7_SpreadY;
    TNX7_EdgeSensitize NX7_EdgeSensitizeX, NX7_EdgeSensitizeY;
    TNX7_Normalise NX7_NormaliseX, NX7_NormaliseY;
    TNX7_ProcDualPeakB NX7_ProcDualPeakX, NX7_ProcDualPeakY;
    TNX7_Deslope NX7_DeslopeX, NX7_DeslopeY;
    TNX7_ConvolveExp NX7_ConvolveExpX, NX7_ConvolveExpY;
    TNX7_Damping NX7_DampingXY;
    TNX7_TimeSpread NX7_TimeSpreadX, NX7_TimeSpreadY;
    TNX7_HistoryB NX7_HistoryBX, NX7_HistoryBY;
    TNX7_CoarseFine NX7_CoarseFineX, NX7_CoarseFineY;
    TNX7_CommsB NX7_CommsAXY;
    TNX7_SanityCheck NX7_SanityCheckX, NX7_SanityCheckY;
    TNX7_PacketSplitterB NX7_PacketSplitterBXY;

    // Lifecycle.
    void Timer10HzTimer();
    void StartUp();
    void ShutDown();
    void LoadSettings();
    void SaveSettings();
    void TakeSnapshot();
    void UpdateDirty();
    void HeartBeatTick();
    void ForceCursorVisible();
    void RestoreCursor();

    // Frame path handlers.
    void NX7_CommsAXYRawData(void* theSender, int theLength, const uint8_t* theRawData);
    void NX7_LoggerXYOutput(void* theSender, int theLength, const uint8_t* theRawData);
    void NX7_PacketSplitterBXYRawX(void* theSender, int theLength, const uint8_t* theRawData);
    void NX7_PacketSplitterBXYRawY(void* theSender, int theLength, const uint8_t* theRawData);
    void NX7_PacketSplitterBXYRaw(void* theSender, int theLength, const uint8_t* theRawData);
    void NX7_DampedXYOutput(void* theSender, float theX, float theY, float theMX, float theMY,
                            float theMTT, float theMPT);
    void NX7_DampingXYOutput(void* theSender, float theX, float theY, float theMX, float theMY,
                             float theMTT, float theMPT);
    void NX7_CalibrateXYOutput(void* theSender, float theX, float theY, float theMX, float theMY,
                               float theMTT, float theMPT);
    void NX7_EdgeStretchXYOutput(void* theSender, float theX, float theY, float theM, float theMTT,
                                 float theMPT);
    void NX7_OutputXYMouseSend(void* theSender, TWinVersionType theWinVer, uint32_t theFlags,
                               int32_t theDx, int32_t theDy, uint32_t theTime);
    void NX7_StatusXYSave(void* theSender);
    void NX7_StatusXYLoad(void* theSender);
    void NX7_StatusXYTerminate(void* theSender);
    void NX7_StatusXYReset(void* theSender);
    void NX7_StatusXYLogRecord(void* theSender);
    void NX7_StatusXYLogPlay(void* theSender);
    void NX7_StatusXYLogStop(void* theSender);
    void NX7_AutoResetXYLossReset(void* theSender);
    void NX7_AutoResetXYQuickReset(void* theSender);
    void NX7_AutoResetXYSkewReset(void* theSender);
    void NX7_AutoResetXYSlowReset(void* theSender);

    // Which peak the pointer follows: with a known orientation the one nearer the top of the
    // screen, and after one of two fingers lifts only a finger on the followed side. state (0 no
    // touch, 1 following, 2 suppressing, 3 two peaks) and midPoint carry over between frames.
    static TFusedReport FusePeaks(const TAxisPeaks& X, const TAxisPeaks& Y, OrientType orient,
                                  float TT, uint8_t& state, float& midPoint);

    // Counts the diagnostic and shows "<name> <count>" as the (hidden) caption and in the log.
    void ShowEvent(const std::string& name);
    static float ToUnitRange(float v) { return v * 0.5f + 0.5f; }

    // Where mouse actions go; null drops them.
    void SetMouseSink(MouseSink* sink) { FMouse = sink; }
    MouseSink* GetMouseSink() const { return FMouse; }

    // Called after the Terminate command's ShutDown: the program should end its loop.
    std::function<void()> OnTerminateRequest;
    // One diagnostic line (ShowEvent, settings trouble); default: none.
    std::function<void(const std::string& line)> OnLog;

    const std::string& GetDirectory() const { return FDirectory; }
    const std::string& GetSettingsPath() const { return FSettingsPath; }
    const std::string& GetCaption() const { return FCaption; }
    int GetEventCount() const { return FEventCount; }
    int GetElapsedTime() const { return FElapsedTime; }
    void SetElapsedTime(int ms) { FElapsedTime = ms; }
    uint8_t GetTwoPeakState() const { return FTwoPeakState; }
    float GetMidPoint() const { return FMidPoint; }
    bool GetStarted() const { return FStarted; }
    bool GetShutDown() const { return FShutDown; }
    int GetCursorBalance() const { return FCursorBalance; }
    bool GetSnapshotTaken() const { return FSnapshot != nullptr; }
    // Frames that reached the fusion with a non-zero length, and mouse actions sent.
    uint64_t GetFrameCount() const { return FFrameCount; }
    // Fused frames of length 0: the reset signal reaching the end of the graph.
    uint64_t GetResetFrameCount() const { return FResetFrameCount; }
    uint64_t GetMouseCount() const { return FMouseCount; }
    // Whether the last settings write succeeded.
    bool GetLastSaveOk() const { return FLastSaveOk; }

private:
    void Log(const std::string& line);
    void BindEvents();

    MainLoop* FLoop;
    std::string FDirectory;
    std::string FExecutablePath;
    std::string FSettingsPath;
    uint32_t FShutDownWaitMs;
    bool FStarted = false;
    bool FShutDown = false;
    int FTickCounter = 0;
    int FElapsedTime = 0;
    std::unique_ptr<MemIniFile> FSnapshot;
    int FCursorBalance = 0;
    int FEventCount = 0;
    std::string FCaption;
    uint8_t FTwoPeakState = 0;
    float FMidPoint = 0.0f;
    MouseSink* FMouse = nullptr;
    uint64_t FFrameCount = 0;
    uint64_t FResetFrameCount = 0;
    uint64_t FMouseCount = 0;
    bool FLastSaveOk = true;
    bool FReportedUnreadable = false;
};
