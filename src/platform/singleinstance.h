// One driver per user: an exclusive lock on a file named after the marker ("NX7_INST") in
// $XDG_RUNTIME_DIR (else /tmp/zt7-<uid>). The kernel drops the lock when the holder dies, so a
// crashed driver never blocks the next start.
#pragma once

#include <string>

class TSingleInstance {
public:
    // The lock-file name gets the shared-memory namespace appended when one is set, so isolated
    // sets (tests, a second user session) each have their own driver.
    explicit TSingleInstance(const std::string& marker = "NX7_INST");
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True when this process holds the lock.
    bool Acquired() const { return FFd >= 0; }
    // True when another process holds it (the duplicate case); false for other failures.
    bool AlreadyRunning() const { return FAlreadyRunning; }
    const std::string& Path() const { return FPath; }
    // Why the lock could not be taken, when neither acquired nor already running.
    const std::string& Error() const { return FError; }

    static std::string LockDirectory();

private:
    int FFd = -1;
    bool FAlreadyRunning = false;
    std::string FPath;
    std::string FError;
};
