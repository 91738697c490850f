// Thin component through which a form reaches the process's share manager.
#pragma once

#include <functional>
#include <string>

class MemIniFile;
class TShareManBase;

class TShareManager {
public:
    TShareManager() = default;
    ~TShareManager();

    TShareManBase* GetShareManBase() const;

    std::string GetFileName() const;
    void SetFileName(const std::string& name);
    std::string GetGrpName() const;
    void SetGrpName(const std::string& name);
    bool GetMaster() const;
    void SetMaster(bool master);
    bool GetActive() const;
    void SetActive(bool active);
    int GetRegisterCount() const;
    bool GetDirty() const;
    void SetDirty(bool dirty);
    int GetSlaveCount() const;

    void LoadIni();
    void LoadIni(MemIniFile& file);
    int TestIni();
    int TestIni(MemIniFile& file);
    void SaveIni();
    void SaveIni(MemIniFile& file);
    void SaveAll(const std::string& name);
    void SaveAll(MemIniFile& file);

    void SetOnMonitor(std::function<void(void* theSender, int theID)> cb);

private:
    std::function<void(void* theSender, int theID)> FOnMonitor;
};
