// ZT7_DRIVER: the background touch-screen driver.
#include <cstdio>
#include <string>
#include <vector>

#include "driver/app/driverapp.h"
#include "platform/driverprocess.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    TDriverOptions options;
    std::string error;
    if (!ParseDriverOptions(args, options, error)) {
        std::fprintf(stderr, "ZT7_DRIVER: %s\n", error.c_str());
        return 2;
    }
    if (options.Help) {
        std::fputs(DriverUsage().c_str(), stdout);
        return 0;
    }
    if (options.Version) {
        std::printf("%s\n", DriverVersion().c_str());
        return 0;
    }
    std::string exe = ExecutablePath();
    if (exe.empty()) exe = argv[0];
    return RunDriver(options, exe);
}
