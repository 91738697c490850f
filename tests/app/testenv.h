// Test surroundings for the driver's components: an isolated shared-memory namespace, a scratch
// folder, and a stand-in control panel (a separate process attached as slave).
#pragma once

#include <sys/types.h>

#include <string>

// Sets ZT7_SHM_NAMESPACE to a name unique to this process and test, and removes every object of
// that namespace when it goes away.
class TestShmNamespace {
public:
    TestShmNamespace();
    ~TestShmNamespace();
    const std::string& Name() const { return FName; }

private:
    std::string FName;
    std::string FOld;
    bool FHadOld = false;
};

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

// A second process attached to the current namespace's group as slave, as a control panel would
// be. Detaches when destroyed.
class PanelSlave {
public:
    PanelSlave();
    ~PanelSlave();
    bool Attached() const { return FAttached; }

private:
    pid_t FPid = -1;
    int FIn = -1;
    bool FAttached = false;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);
