// The process's share manager: registers every shared variable, joins the named group (block
// "Mem"+GrpName of 1032 bytes: master-present byte, slave count, ring write index, 1024-entry
// change ring), allocates blocks as master or slave and runs the poll that dispatches changes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class MemIniFile;
class MainLoop;
class ShmMutex;
class ShmObject;
class TIPThread;
class TShareVarBase;

class TShareManBase {
  public:
    static constexpr int RingSize = 1024;
    static constexpr int GroupBlockSize = 1032;

    // Process-wide instance, created on first use.
    static TShareManBase* GetShareManBase();
    // The instance if it exists, without creating one.
    static TShareManBase* Existing();

    ~TShareManBase();

    void DoRegisterAdd(TShareVarBase* var);
    void DoRegisterRemove(TShareVarBase* var);
    int GetRegisterCount() const { return static_cast<int>(FVars.size()); }

    bool GetActive() const;
    void SetActive(bool active);
    bool GetMaster() const { return FMaster; }
    void SetMaster(bool master);
    const std::string& GetGrpName() const { return FGrpName; }
    void SetGrpName(const std::string& name);
    const std::string& GetFileName() const { return FFileName; }
    void SetFileName(const std::string& name) { FFileName = name; }
    bool GetDirty() const { return FDirty; }
    void SetDirty(bool dirty) { FDirty = dirty; }
    int GetSlaveCount() const;
    bool GetMasterPresent() const;

    // Posts the sender's ID into the change ring (called by WriteUnLock).
    void DoSignalChange(TShareVarBase* sender);

    void LoadIni();
    void LoadIni(MemIniFile& file);
    void SaveIni();
    void SaveIni(MemIniFile& file);
    int TestIni();
    int TestIni(MemIniFile& file);
    void SaveAll(const std::string& name);
    void SaveAll(MemIniFile& file);

    // The poll tick: change dispatch, then flush and poll of every variable.
    void DoPoll(void* sender);
    void DoPoll1();
    void DoPoll2();

    void DoSignalActiveChange();
    void DoSignalMasterChange();

    // The loop the polling timer runs on; defaults to MainLoop::Current().
    void SetLoop(MainLoop* loop) { FLoop = loop; }
    TIPThread* GetPollThread() const { return FThread.get(); }

    // Pause between stopping the poll and releasing the blocks on deactivation (default 1000 ms);
    // tests and short-lived tools shorten it.
    static void SetDeactivatePause(uint32_t ms);
    static uint32_t GetDeactivatePause();

    std::function<void(void* theSender, int theID)> OnMonitor;

  private:
    TShareManBase();

    int ReadWriteIndex() const;
    void StoreWriteIndex(int index);
    bool LockGroup();
    void UnlockGroup(bool held);
    // Clears traces of processes that died while attached (master-present byte, slave count).
    void Reconcile();
    void MaybeReconcile();
    uint32_t NowMs() const;
    void DestroyIfUnused();

    std::string FGrpName = "Grp";
    bool FMaster = false;
    std::vector<TShareVarBase*> FVars;
    bool FDirty = false;
    uint8_t* FBlock = nullptr;
    int FReadIndex = 0;
    std::array<uint8_t, RingSize> FLocalRing{};
    std::unique_ptr<ShmMutex> FMutex;
    std::unique_ptr<ShmObject> FMapping;
    std::unique_ptr<TIPThread> FThread;
    std::string FFileName = "ZT7.INI";
    std::array<std::vector<TShareVarBase*>, 256> FLookup;
    bool FRebuild = false;
    MainLoop* FLoop = nullptr;
    // Who is attached, kept beside the group block so a crashed process can be told from a live
    // one.
    std::unique_ptr<ShmObject> FOwners;
    uint32_t FGeneration = 0;
    uint32_t FLastReconcile = 0;
    bool FInPoll = false;
    bool FDeletePosted = false;
};
