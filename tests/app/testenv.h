// Test surroundings for the driver's components: an isolated shared-memory namespace, a scratch
// folder, and a stand-in control panel (a separate process attached as slave).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

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

// A child program with its stdout and stderr going to files; killed (SIGKILL) if still running
// when destroyed.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program path; env entries "NAME=value" are added to this process's.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& outPath, const std::string& errPath);
    // Waits up to ms for the exit; true with the exit code (or 128 + signal) when it ended.
    bool Wait(int ms, int& code);
    void Signal(int signo);
    bool Running();
    pid_t Pid() const { return FPid; }

private:
    pid_t FPid = -1;
    bool FDone = false;
    int FCode = -1;
};

// Runs a program to its end (at most timeoutMs) and returns its exit code, -1 on time-out; its
// stdout goes to out.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               std::string& out, int timeoutMs = 10000);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& text);
