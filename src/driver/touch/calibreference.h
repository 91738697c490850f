// Collects the sensor position of one calibration target: counts pressed frames per sensor
// quadrant (or inside one central box) and averages the positions of the quadrant that wins.
#pragma once

#include <array>
#include <string>

#include "share/events.h"

class MemIniFile;

// 1 when the file's value of key differs from current by more than 0.001 (missing counts).
int DiffersInFile(MemIniFile& file, const std::string& section, const std::string& key,
                  double current);

class TNX7_CalibReference {
public:
    TNX7_CalibReference();

    void Reset(void* Sender);
    // Quadrant of a sensor position: 0 low A low B, 1 high A low B, 2 low A high B,
    // 3 high A high B; in box mode 0 inside the central box; -1 otherwise.
    int WhichQuad(float a, float b) const;
    void FindMaxQuad();
    void Input(void* Sender, float a, float b);
    // One count on quadrant 0 for every 6 calls: the time-out of an untouched target.
    void SlowInc(void* Sender);

    float GetA() const;
    float GetB() const;
    void SetA(float v);
    void SetB(float v);
    void SetAB(float a, float b);
    float GetX() const { return FX; }
    float GetY() const { return FY; }
    void SetX(float v) { FX = v; }
    void SetY(float v) { FY = v; }
    void SetXY(float x, float y);

    // Counter and samples of the best quadrant, 0 when there is none.
    int GetCounter() const;
    int GetSamples() const;
    int GetBestQuad() const { return FBest; }

    float GetEdgeDivider() const { return FEdgeDivider; }
    void SetEdgeDivider(float d);
    bool GetQuadMode() const { return FQuadMode; }
    void SetQuadMode(bool v) { FQuadMode = v; }
    bool GetActive(int q) const;
    void SetActive(int q, bool v);
    int GetStartAt() const { return FStartAt; }
    void SetStartAt(int v) { FStartAt = v; }
    int GetStopAt() const { return FStopAt; }
    void SetStopAt(int v) { FStopAt = v; }

    void Save(MemIniFile* file, const std::string& section, const std::string& prefix);
    void Load(MemIniFile* file, const std::string& section, const std::string& prefix);
    // Differences of _A and _B against the file (missing keys count).
    int TestIni(MemIniFile* file, const std::string& section, const std::string& prefix);

    // v kept between the smaller and the larger of p and q.
    static float Range(float v, float p, float q);

    TNotifyEvent OnUpdated;
    TNotifyEvent OnComplete;

private:
    void DoCounted();

    std::array<int, 4> FCounter{};
    std::array<int, 4> FSamples{};
    std::array<float, 4> FSumA{};
    std::array<float, 4> FSumB{};
    std::array<bool, 4> FActive{true, true, true, true};
    int FBest = -1;
    int FSlow = 0;
    int FStartAt = 10;
    int FStopAt = 100;
    float FStoredA = 0.5f, FStoredB = 0.5f;
    float FX = 0.5f, FY = 0.5f;
    float FEdgeDivider = 0.4f;
    bool FQuadMode = true;
};
