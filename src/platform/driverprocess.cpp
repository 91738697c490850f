#include "platform/driverprocess.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

void RaiseProcessPriority() {
    const char* off = std::getenv("ZT7_NO_PRIORITY");
    if (off && *off && std::strcmp(off, "0") != 0) return;
    // EPERM without CAP_SYS_NICE: the driver simply runs at normal priority.
    if (getpriority(PRIO_PROCESS, 0) > -10) setpriority(PRIO_PROCESS, 0, -10);
}

void PinToFirstProcessor() {
    const char* off = std::getenv("ZT7_NO_PRIORITY");
    if (off && *off && std::strcmp(off, "0") != 0) return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    sched_setaffinity(0, sizeof set, &set);
}

std::string ExecutablePath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = 0;
    return buf;
}
