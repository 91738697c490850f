// A serial device through termios: raw 8-bit line, non-blocking, exclusive.
#pragma once

#include <cstdint>
#include <string>

class SerialPort {
public:
    enum class Parity { None, Even, Odd };
    enum class StopBits { One, OneAndHalf, Two };

    struct Settings {
        int Baud = 9600;       // 1200 … 38400; anything else gives 9600
        Parity ParityMode = Parity::None;
        StopBits Stop = StopBits::One;  // termios has no 1.5: it gives two
        int QueueSize = 1024;  // kept for the record; the kernel sizes its own queues
    };

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens and configures the device; on any failure the port stays closed and LastError()
    // says why.
    bool Open(const std::string& path, const Settings& settings);
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }

    // Bytes moved (0 when nothing is waiting or the line is full), −1 on an error.
    int Read(uint8_t* buffer, int count);
    int Write(const uint8_t* buffer, int count);
    // The device is gone (unplugged adapter, pty master closed): reads will never deliver again.
    bool HungUp() const { return FHungUp; }

    const std::string& LastError() const { return FLastError; }

private:
    int FFd = -1;
    bool FHungUp = false;
    std::string FLastError;
};

// Value of an environment variable, empty when unset.
std::string GetEnvString(const char* name);
