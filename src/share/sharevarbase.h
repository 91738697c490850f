// One shared variable: a local copy plus a named shared-memory block and mutex, mirrored between
// the driver and the control panel. Block layout: byte 0 change counter, byte 1 ID, then the
// elements packed little-endian.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class MemIniFile;
class TShareManBase;
class ShmObject; // platform: a named shared-memory mapping
class ShmMutex;  // platform: a named robust process-shared mutex

class TShareVarBase {
  public:
    using TVarEvent = std::function<void(TShareVarBase* theSender)>;

    TShareVarBase();
    virtual ~TShareVarBase();
    TShareVarBase(const TShareVarBase&) = delete;
    TShareVarBase& operator=(const TShareVarBase&) = delete;

    // Allocation, called by the manager on activation and deactivation.
    virtual void DoMasterAllocate(uint8_t& idCounter);
    virtual void DoSlaveAllocate();
    virtual void DoDeAllocate();
    // Raises OnChange when the manager is active.
    virtual void DoSignalChange();

    virtual void LoadIni(MemIniFile& file);
    virtual void SaveIni(MemIniFile& file);
    virtual int TestIni(MemIniFile& file);
    virtual std::string GetVarType() const;
    virtual int SizeOfValue() const;
    virtual void ClearPendingWrite();

    virtual bool GetValueBoolA(int index);
    virtual void SetValueBoolA(int index, bool value);
    virtual void SetValueBoolXA(int index, bool value);
    virtual int32_t GetValueIntA(int index);
    virtual void SetValueIntA(int index, int32_t value);
    virtual void SetValueIntXA(int index, int32_t value);
    virtual float GetValueFloatA(int index);
    virtual void SetValueFloatA(int index, float value);
    virtual void SetValueFloatXA(int index, float value);
    virtual double GetValueDoubleA(int index);
    virtual void SetValueDoubleA(int index, double value);
    virtual void SetValueDoubleXA(int index, double value);

    // Scalar properties act on element 0; the X forms write without posting a change.
    bool GetValueBool() { return GetValueBoolA(0); }
    void SetValueBool(bool v) { SetValueBoolA(0, v); }
    void SetValueBoolX(bool v) { SetValueBoolXA(0, v); }
    int32_t GetValueInt() { return GetValueIntA(0); }
    void SetValueInt(int32_t v) { SetValueIntA(0, v); }
    void SetValueIntX(int32_t v) { SetValueIntXA(0, v); }
    float GetValueFloat() { return GetValueFloatA(0); }
    void SetValueFloat(float v) { SetValueFloatA(0, v); }
    void SetValueFloatX(float v) { SetValueFloatXA(0, v); }
    double GetValueDouble() { return GetValueDoubleA(0); }
    void SetValueDouble(double v) { SetValueDoubleA(0, v); }
    void SetValueDoubleX(double v) { SetValueDoubleXA(0, v); }

    const std::string& GetSecName() const { return FSecName; }
    void SetSecName(const std::string& name);
    const std::string& GetVarName() const { return FVarName; }
    void SetVarName(const std::string& name);
    int GetVarCount() const { return FVarCount; }
    void SetVarCount(int n);
    bool GetSaveable() const { return FSaveable; }
    void SetSaveable(bool v) { FSaveable = v; }
    uint8_t GetID() const;
    uint8_t GetCount() const { return FCount; }

    // Address of element i in the local buffer or in the block; null when absent or out of range.
    uint8_t* LocalValuePtr(int index);
    uint8_t* ShareValuePtr(int index);

    void Lock();
    void ReadUnLock();
    void WriteUnLock();
    void WriteUnLockX();

    void SetPendingWrite() { FPendingWrite = true; }
    bool GetPendingWrite() const { return FPendingWrite; }

    // Forwarders to the process's manager ("", false or 0 without one).
    std::string GetGrpName() const;
    void SetGrpName(const std::string& name);
    bool GetMaster() const;
    void SetMaster(bool v);
    bool GetActive() const;
    void SetActive(bool v);
    int GetRegisterCount() const;
    int GetSlaveCount() const;
    bool GetDirty() const;
    void SetDirty(bool v);

    void DoSignalPoll();
    void DoSignalActiveChange();
    void DoSignalMasterChange();

    // s × floor(value / s + 0.5) with s = max(step, 0.000001), computed in double.
    static float Granulate(float value, float step);
    static double Granulate(double value, double step);
    // |a − b| > max(tolerance, 0.000001), difference in double.
    static bool IsDiff(float a, float b, float tolerance);
    static bool IsDiff(double a, double b, double tolerance);

    // Names of the block and mutex objects for the given group ("MemGrpCommPortInt1", "Mut…").
    std::string BlockName(const std::string& grpName) const;
    std::string MutexName(const std::string& grpName) const;

    TVarEvent OnChange;
    TVarEvent OnPoll;
    TVarEvent OnActiveChange;
    TVarEvent OnMasterChange;

  protected:
    void DoClose();

    // Element access shared by the typed classes: read refreshes the local element from the block
    // (unless this master has unsent values), write stores locally and then in the block.
    template <class T> T GetElement(int index) {
        uint8_t* local = LocalValuePtr(index);
        if (!local) return T{};
        RefreshLocal(index, local, sizeof(T));
        T v;
        std::memcpy(&v, local, sizeof(T));
        return v;
    }
    template <class T> void SetElement(int index, T v, bool post) {
        uint8_t* local = LocalValuePtr(index);
        if (!local) return;
        std::memcpy(local, &v, sizeof(T));
        StoreLocal(index, local, sizeof(T), post);
    }
    void RefreshLocal(int index, uint8_t* local, int size);
    void StoreLocal(int index, const uint8_t* local, int size, bool post);
    // The flush of a pending write: every element, one counter step, one posted change.
    void FlushPending();
    // The local buffer for n elements of the typed class's size, zero-filled.
    void SizeLocal(int n);
    // INI key: VarName + VarType + VarCount ("SnapRadiusFlo1").
    std::string IniKey() const;

    std::string FSecName = "Sec";
    std::string FVarName = "Var";
    int FVarCount = 1;
    bool FSaveable = true;
    std::vector<uint8_t> FLocal;
    bool FPendingWrite = false;
    uint8_t FCount = 0;
    bool FLockHeld = false;
    uint8_t* FBlock = nullptr;
    uint8_t* FValues = nullptr;
    std::unique_ptr<ShmMutex> FMutex;
    std::unique_ptr<ShmObject> FMapping;
};
