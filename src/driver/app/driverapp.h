// The ZT7_DRIVER program around the processing form: command line, single instance, main loop,
// signals, mouse sink and the human-readable status.
#pragma once

#include <string>
#include <vector>

struct TDriverOptions {
    std::string Directory;       // --dir; empty: the executable's folder
    std::string Mouse = "auto";  // --mouse
    bool Verbose = false;        // --verbose / --foreground
    bool Help = false;
    bool Version = false;
    int StatusIntervalMs = 1000;
};

// Parses argv (without argv[0]); false with a message in error for anything not understood.
bool ParseDriverOptions(const std::vector<std::string>& args, TDriverOptions& options,
                        std::string& error);
std::string DriverUsage();
std::string DriverVersion();

// Runs the driver until Terminate, SIGTERM or SIGINT. Returns the process exit code: 0 also when
// another driver already runs (the duplicate leaves at once, silently).
int RunDriver(const TDriverOptions& options, const std::string& executablePath);
