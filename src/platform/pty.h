// Pseudo-terminal pair: the master side stands in for a serial sensor, the slave path is what a
// serial port opens.
#pragma once

#include <cstdint>
#include <string>

// Line settings as the slave's opener left them.
struct PtyLine {
    int Baud = 0;
    int DataBits = 0;
    char Parity = 'N';  // 'N', 'E' or 'O'
    int StopBits = 1;
    bool HardwareFlow = false;
    bool SoftwareFlow = false;
    bool Raw = false;  // no echo, no line editing, no input or output translation
};

class PtyMaster {
public:
    PtyMaster() = default;
    ~PtyMaster();
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    // Creates the pair with the slave in raw mode. False (with LastError) on failure.
    bool Create();
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    const std::string& SlavePath() const { return FSlavePath; }

    // Non-blocking. Bytes moved, 0 when nothing is waiting or the queue is full, −1 on an error
    // (EIO: no process has the slave open).
    int Read(uint8_t* buffer, int count);
    int Write(const uint8_t* buffer, int count);
    // Waits up to timeoutMs for input; true when readable.
    bool WaitReadable(int timeoutMs);
    // Keeps one slave handle open in this process so the master never sees EIO while no reader is
    // attached (and data written meanwhile stays queued). Off by default.
    bool HoldSlave(bool hold);

    bool ReadLine(PtyLine& line);

    // A symbolic link at linkPath pointing to the slave (replacing an old link). Removed by Close.
    bool MakeLink(const std::string& linkPath);

    const std::string& LastError() const { return FLastError; }

private:
    int FFd = -1;
    int FSlaveHold = -1;
    std::string FSlavePath;
    std::string FLinkPath;
    std::string FLastError;
};

